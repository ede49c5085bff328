#pragma once
// The rules the Send command checks the message and the account by, before the sending window opens.
#include <QString>

// True when the subject starts like a reply or forward ("RE:", "FW:", "RE :", "FW :", any case).
bool IsReplyOrForwardSubject(const QString& subject);

// True when the body's text holds nothing but blanks and CR LF pairs (or nothing at all).
bool IsEmptyBodyText(const QString& text);

// True when the account's name, address, server and port are all stored.
bool AccountIsComplete();
