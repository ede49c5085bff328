#pragma once
// The message as it would be sent, without merging and without a server: saved as "Preview.eml" in the
// temporary folder.
#include "sending/SendRun.h"

namespace mail {
class Smtp;
}

// Builds the preview message on smtp from the input and the settings (the group name is its one
// recipient; merge macros stay as they are; attachments that cannot be read are left out). False when
// the HTML body could not be written to its file.
bool BuildPreviewMessage(mail::Smtp& smtp, const SendRunInput& input);

// What the preview says when the message's body could not be written to its file.
QString PreviewNotWrittenText();

// Builds and saves the preview file; returns its path, or an empty text when it could not be saved
// (*error, when given, then says why).
QString SavePreview(const SendRunInput& input, QString* error = nullptr);
