#pragma once
#include <QString>

// The text for a mail component result code: "Error N: ..." from the one table, or
// "Error N: Unknown Error." for a code without a row. The account test and the server probe look codes
// up without the row of code 6 (withTerminationRow = false).
QString SmtpResultText(qint32 code, bool withTerminationRow = true);

// "There was an error sending your message." CR LF and the code's text (for a message box).
QString GetSendErrorText(qint32 code);

// What the send log gets for a failed step: the code's text and two CR LF pairs.
QString SendStatusEntry(qint32 code);

// Something that keeps a send log; the sending window's report view implements it.
class SendLog {
public:
    virtual ~SendLog() = default;
    virtual void append(const QString& text) = 0;
};

// Appends the code's text and two CR LF pairs to the log (nothing when there is no log).
void AppendSendStatus(SendLog* log, qint32 code);
