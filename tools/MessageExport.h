#pragma once
// Writes the message being composed in the main window to an .eml file, built the way a send run
// builds it for one recipient (the group name as recipient and address), without a server.
#include <QString>

struct SendRunInput;

namespace mail {
class Smtp;
}

// Sets up smtp from the account settings and the message. For an HTML body the document is written
// first (ComposerInput.h: a copy in the temporary "Preview.htm").
void BuildComposedMessage(mail::Smtp& smtp, const SendRunInput& input);

// Builds the message and writes it to path, replacing an existing file only once the new one is
// complete (a failed write keeps the old file). 0, or the composer's result code.
qint32 ExportComposedMessage(const SendRunInput& input, const QString& path);
