#pragma once
// What the main window's Send command checks before the sending window opens.
#include <QString>

class Composer;
class QWidget;

// True when the subject starts like a reply or forward ("RE:", "FW:", "RE :", "FW :", any case).
bool IsReplyOrForwardSubject(const QString& subject);

// True when the body's text holds nothing but blanks and CR LF pairs (or nothing at all).
bool IsEmptyBodyText(const QString& text);

// True when the account's name, address, server and port are all stored.
bool AccountIsComplete();

// The checks in order on the main window's message (the subject loses its leading and trailing blanks);
// a failed check shows its message over parent, the main window, and puts the focus on its control
// where the user must act. True when the sending window may open.
bool RunSendChecks(QWidget* parent, Composer& composer);
