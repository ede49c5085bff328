#pragma once
// What an SMTP operation ended with. The values are the result codes that the send log, the history
// and the message boxes show (core/WriteSendStatus.h holds their texts) and that callers of the mail
// component compare with, so they never change; Code() gives the number where it is shown or stored.
#include <QtGlobal>

namespace mail {

enum class SendStatus : qint32 {
    Ok = 0,
    Exception = 1, // also: another operation of the object is still running
    MessageProblem = 4,
    GreetingRefused = 5,
    QuitFailed = 6,
    SenderRefused = 7,
    RecipientRefused = 8,
    ConnectFailed = 9,
    NoServer = 15,
    SocketError = 16,
    ResolveFailed = 17,
    BadResponse = 18,
    Cancelled = 20,
    ResolveTimedOut = 21,
    ConnectTimedOut = 22,
    AuthFailed = 24,
    AuthModeUnsupported = 25,
    AuthProtocolError = 26,
    SocketTimeout = 27,
};

constexpr qint32 Code(SendStatus status) {
    return static_cast<qint32>(status);
}

// A result code of the message side (composing, attaching) as a status; 0 stays Ok.
constexpr SendStatus StatusOf(qint32 code) {
    return static_cast<SendStatus>(code);
}

} // namespace mail
