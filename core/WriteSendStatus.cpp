#include "core/WriteSendStatus.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<qint32, const char*>, 22> SmtpResultTexts{{
    {1, "Error 1: An exception has occurred."},
    {3, "Error 3: The process has run out of memory."},
    {4, "Error 4: An error has occurred due to a problem with the message body or attachments."},
    {5, "Error 5: There was a problem initiating the conversation with the mail server."},
    {6, "Error 6: There was an error terminating the conversation with the SMTP mail server."},
    {7, "Error 7: The from address was not formatted correctly or was rejected by the SMTP mail server. Some "
        "SMTP mail servers will only accept mail from particular addresses or domains. SMTP mail servers may "
        "also reject a from address if the server cannot successfully do a reverse lookup on the from "
        "address."},
    {8, "Error 8: An error was reported in response to a recipient address. The SMTP server may refuse to "
        "handle mail for unknown recipients."},
    {9, "Error 9: There was an error connecting to the SMTP mail server."},
    {10, "Error 10: There was an error opening a file. If you have specified file attachments, ensure that "
         "they exist and that you have access to them."},
    {11, "Error 11: There was an error reading a file. If you have specified file attachments, ensure that "
         "they exist and the you have access to them."},
    {15, "Error 15: No mail server specified."},
    {16, "Error 16: There was a problem with the connection and a socket error occurred."},
    {17, "Error 17: Could not resolve host."},
    {18, "Error 18: Connected but server sent back bad response."},
    {19, "Error 19: Could not create thread."},
    {20, "Error 20: The operation cancelled."},
    {21, "Error 21: The operation timed-out while the host was being resolved."},
    {22, "Error 22: The operation timed-out while connecting."},
    {24, "Error 24: ESMTP Authentication failed."},
    {25, "Error 25: The selected ESMTP Authentication mode is not supported by the server."},
    {26, "Error 26: ESMTP Authentication protocol error."},
    {27, "Error 27: Socket Timeout Error."},
}};

} // namespace

QString SmtpResultText(qint32 code, bool withTerminationRow) {
    for (const auto& [c, text] : SmtpResultTexts) {
        if (c == code && (withTerminationRow || c != 6))
            return QString::fromLatin1(text);
    }
    return QStringLiteral("Error ") + QString::number(code) + QStringLiteral(": Unknown Error.");
}

QString GetSendErrorText(qint32 code) {
    return QStringLiteral("There was an error sending your message.\r\n") + SmtpResultText(code);
}

QString SendStatusEntry(qint32 code) {
    return SmtpResultText(code) + QStringLiteral("\r\n\r\n");
}

void AppendSendStatus(SendLog* log, qint32 code) {
    if (log)
        log->append(SendStatusEntry(code));
}
