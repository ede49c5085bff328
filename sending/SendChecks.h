#pragma once
// What the main window's Send command checks before the sending window opens.
#include <QString>

class QWidget;

// True when the subject starts like a reply or forward ("RE:", "FW:", "RE :", "FW :", any case).
bool IsReplyOrForwardSubject(const QString& subject);

// True when the body's text holds nothing but blanks and CR LF pairs (or nothing at all).
bool IsEmptyBodyText(const QString& text);

// True when the account's name, address, server and port are all stored.
bool AccountIsComplete();

// The checks in order on the main window's controls; a failed check shows its message and puts the focus
// where the user must act. True when the sending window may open.
bool RunSendChecks(QWidget* parent);
