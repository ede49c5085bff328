#pragma once
// The Preview command: the message as it would be sent, opened with the desktop's mail program.
#include "sending/PreviewMessage.h"

class Composer;
class QWidget;

// The Preview command: trims the subject, saves the preview of the main window's message and opens it.
void ShowMessagePreview(QWidget* parent, Composer& composer);
