#pragma once
// The entry points the main window's buttons and commands call. Each shows its window modally over
// parent (the main window).
class QWidget;

// Send: the send checks, then the sending window.
void RunSendCommand(QWidget* parent);
// The mail account dialog.
void ShowEmailManager(QWidget* parent);
void ShowHistoryManager(QWidget* parent);
void ShowSignatureManager(QWidget* parent);
void ShowThreadOptions(QWidget* parent);
// Preview: the message saved as an .eml file and opened with the desktop's mail program.
void ShowMessagePreview(QWidget* parent);
