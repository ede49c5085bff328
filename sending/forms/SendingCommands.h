#pragma once
// The entry points the main window's buttons and commands call. Each shows its window modally over
// parent (the main window); those that read or change the message get it as composer.
class Composer;
class QWidget;

// Send: the send checks, then the sending window, which sends the composer's message.
void RunSendCommand(QWidget* parent, Composer& composer);
void ShowHistoryManager(QWidget* parent);
void ShowSignatureManager(QWidget* parent);
void ShowThreadOptions(QWidget* parent);
// Preview: the message saved as an .eml file and opened with the desktop's mail program.
void ShowMessagePreview(QWidget* parent, Composer& composer);
