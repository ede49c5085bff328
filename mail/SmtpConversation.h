#pragma once
// The TCP/TLS conversation with one SMTP server: replies, waits with their time-outs, capabilities.
// Internal to the mail library; the Smtp object owns one while it is connected.

#include "mail/SendStatus.h"
#include "mail/Smtp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSslSocket>
#include <QStringList>
#include <QTimer>

#include <cctype>
#include <functional>
#include <limits>

namespace mail {

// Replies larger than this are not SMTP: they end the conversation with BadResponse.
constexpr qsizetype kMaxReplyBytes = 64 * 1024;
constexpr int kMaxReplyLines = 1000;
// How long a cancelled operation still waits for the server's answer to a message that is all out.
constexpr qint64 kCancelGraceMs = 3000;
// How often the caller's events are let through while the conversation waits on its socket.
constexpr qint64 kEventsEveryMs = 50;

struct SmtpReply {
    int code = 0;
    QStringList lines;
    QString Text() const { return lines.join(QStringLiteral("\r\n")); }
    // The text after the code of the last line ("334 abc" -> "abc").
    QString LastArgument() const { return lines.isEmpty() ? QString() : lines.last().mid(4); }
};

// One TCP/TLS conversation with one server. Lives only inside the Smtp object that owns it.
class SmtpConversation {
public:
    enum class Phase { Connecting, Handshake, Talking };

    explicit SmtpConversation(Smtp& owner) : o(owner) {
        clock.start();
        // Only bytes we write extend a wait: a server that trickles its reply a byte at a time must
        // not hold the conversation beyond the reply time-out.
        QObject::connect(&socket, &QSslSocket::readyRead, &socket, [this] {
            if (overflow) {
                socket.skip(socket.bytesAvailable());
                return;
            }
            in.append(socket.readAll());
            // Between operations nobody reads replies: a server that keeps pushing must not grow the
            // buffer without limit. The next operation fails with 18.
            if (!o.m_busy && in.size() > kMaxReplyBytes) {
                overflow = true;
                in.clear();
                in.squeeze();
            }
            Wake();
        });
        QObject::connect(&socket, &QSslSocket::connected, &socket, [this] { Wake(); });
        QObject::connect(&socket, &QSslSocket::encrypted, &socket, [this] { Wake(); });
        QObject::connect(&socket, &QSslSocket::disconnected, &socket, [this] {
            lost = true;
            Wake();
        });
        QObject::connect(&socket, &QSslSocket::errorOccurred, &socket,
                         [this](QAbstractSocket::SocketError e) {
                             // A socket wait that ran out is no fault: the time-outs are our own.
                             if (e == QAbstractSocket::SocketTimeoutError)
                                 return;
                             socketError = e;
                             lost = true;
                             Wake();
                         });
        QObject::connect(&socket, &QSslSocket::bytesWritten, &socket, [this](qint64 n) {
            lastWriteMs = clock.elapsed();
            Wake(); // a message that goes out in pieces waits for room for the next one
            if (progressMax > 0) {
                progressDone = qMin<qint64>(progressDone + n, progressMax);
                emit o.Progress(qint32(progressDone), qint32(progressMax));
            }
        });
    }

    ~SmtpConversation() {
        socket.disconnect();
        socket.abort();
    }

    void Wake() {
        if (loop)
            loop->quit();
    }

    bool Alive() const { return !broken && !lost && socket.state() == QAbstractSocket::ConnectedState; }

    // Waits until ready() holds. Returns Ok, Cancelled, failCode when the connection fails, or
    // timeoutCode when nothing happened for timeoutMs. The time-out counts from the call or from the
    // last bytes the server took from us, whichever is later, so a command's reply time-out starts when
    // the command is written and a long message keeps its wait alive while it flows. With
    // cancelOnlyWhileWriting a cancel ends the wait at once only while our bytes are still on their
    // way: once they are all out the outcome is the server's, and its reply is awaited for a short
    // grace (a message it accepts is sent, whatever the cancel).
    //
    // Once the conversation is under way the wait is on the socket itself, and the caller's events
    // are let through every kEventsEveryMs: a reply that comes at once costs no trip through the
    // caller's loop, and a handler (Cancel, the close box) still answers within twice that. Until then
    // (host look-up, connect, TLS hand-shake) the caller's loop runs, which those need.
    SendStatus Wait(const std::function<bool()>& ready, int timeoutMs, SendStatus timeoutCode,
                    SendStatus failCode, bool cancelOnlyWhileWriting = false) {
        const qint64 startMs = clock.elapsed();
        qint64 cancelSeenMs = -1;
        for (;;) {
            if (o.m_cancelled && cancelSeenMs < 0)
                cancelSeenMs = clock.elapsed();
            // The server's verdict on a message that is all out is awaited a short while only, so a
            // cancel is still answered soon when the server stalls.
            const bool awaitVerdict =
                cancelOnlyWhileWriting && socket.bytesToWrite() == 0 &&
                clock.elapsed() - cancelSeenMs < qMin<qint64>(timeoutMs, kCancelGraceMs);
            if (o.m_cancelled && !awaitVerdict) {
                // A reply that already arrived still counts.
                if (!overflow && socket.bytesAvailable() > 0)
                    in.append(socket.readAll());
                return ready() ? SendStatus::Ok : Fail(SendStatus::Cancelled);
            }
            if (ready())
                return SendStatus::Ok;
            if (lost || socketError != QAbstractSocket::UnknownSocketError)
                return Fail(failCode);
            const qint64 remaining = timeoutMs - (clock.elapsed() - qMax(startMs, lastWriteMs));
            if (remaining <= 0)
                return Fail(timeoutCode);
            qint64 wait = remaining;
            if (o.m_cancelled)
                wait = qMax<qint64>(1, qMin(wait, kCancelGraceMs - (clock.elapsed() - cancelSeenMs)));
            if (OnSocket())
                WaitOnSocket(wait);
            else
                WaitInLoop(wait);
        }
    }

    // True once the conversation is on an open channel: no look-up, connect or hand-shake under way.
    bool OnSocket() const {
        return socket.state() == QAbstractSocket::ConnectedState &&
               (socket.mode() == QSslSocket::UnencryptedMode || socket.isEncrypted());
    }

    // Waits for the socket at most waitMs and only up to the next turn of the caller's events, which
    // it then lets through.
    void WaitOnSocket(qint64 waitMs) {
        const qint64 sinceEvents = clock.elapsed() - lastEventsMs;
        if (lastEventsMs < 0 || sinceEvents >= kEventsEveryMs) {
            QCoreApplication::processEvents();
            lastEventsMs = clock.elapsed();
            return;
        }
        const int slice = int(qMax<qint64>(1, qMin(waitMs, kEventsEveryMs - sinceEvents)));
        // Both waits take in what arrives and send what is queued.
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(slice);
        else
            socket.waitForReadyRead(slice);
    }

    void WaitInLoop(qint64 waitMs) {
        QEventLoop waitLoop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &waitLoop, &QEventLoop::quit);
        timer.start(int(qMin<qint64>(waitMs, std::numeric_limits<int>::max())));
        loop = &waitLoop;
        waitLoop.exec();
        loop = nullptr;
        lastEventsMs = clock.elapsed();
    }

    SendStatus Fail(SendStatus code) {
        broken = true;
        return code;
    }

    enum class Parse { Incomplete, Complete, Garbage };

    // Takes one complete reply from the front of the input, if there is one.
    Parse TryParse(SmtpReply& reply) {
        qsizetype pos = 0;
        QStringList lines;
        for (;;) {
            const qsizetype nl = in.indexOf('\n', pos);
            if (nl < 0)
                break;
            QByteArray line = in.mid(pos, nl - pos);
            if (line.endsWith('\r'))
                line.chop(1);
            pos = nl + 1;
            const bool codeOk = line.size() >= 3 && std::isdigit(uchar(line[0])) &&
                                std::isdigit(uchar(line[1])) && std::isdigit(uchar(line[2]));
            if (!codeOk || (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
                return Parse::Garbage;
            lines.append(QString::fromUtf8(line));
            if (lines.size() > kMaxReplyLines)
                return Parse::Garbage;
            if (line.size() == 3 || line[3] == ' ') {
                reply.code = line.left(3).toInt();
                reply.lines = lines;
                in.remove(0, pos);
                return Parse::Complete;
            }
        }
        return in.size() > kMaxReplyBytes ? Parse::Garbage : Parse::Incomplete;
    }

    SendStatus ReadReply(SmtpReply& reply, bool cancelOnlyWhileWriting = false) {
        Parse state = Parse::Incomplete;
        const SendStatus rc = Wait(
            [&] {
                state = TryParse(reply);
                return state != Parse::Incomplete;
            },
            o.m_replyTimeout, SendStatus::SocketTimeout, SendStatus::SocketError, cancelOnlyWhileWriting);
        if (rc != SendStatus::Ok)
            return rc;
        if (state == Parse::Garbage) {
            emit o.ConnectLog(QStringLiteral("The server's reply is not SMTP.\r\n"), 0);
            return Fail(SendStatus::BadResponse);
        }
        emit o.ConnectLog(secretReply && reply.code == 334 ? QStringLiteral("334 ***\r\n")
                                                           : reply.Text() + QStringLiteral("\r\n"),
                          reply.code);
        return SendStatus::Ok;
    }

    // Writes one command line; logText replaces the line in the log (for secrets).
    void Write(const QByteArray& line, const QString& logText = QString()) {
        socket.write(line + "\r\n");
        emit o.ConnectLog((logText.isNull() ? QString::fromUtf8(line) : logText) + QStringLiteral("\r\n"), 0);
    }

    SendStatus Command(const QByteArray& line, SmtpReply& reply, const QString& logText = QString()) {
        if (o.m_cancelled)
            return Fail(SendStatus::Cancelled);
        Write(line, logText);
        socket.flush();
        return ReadReply(reply);
    }

    void ReadCapabilities(const SmtpReply& ehlo) {
        authMechanisms.clear();
        pipelining = dsn = eightBitMime = startTls = false;
        for (qsizetype i = 1; i < ehlo.lines.size(); ++i) {
            const QString line = ehlo.lines[i].mid(4).trimmed().toUpper();
            const QString keyword = line.section(u' ', 0, 0);
            if (keyword == u"PIPELINING")
                pipelining = true;
            else if (keyword == u"DSN")
                dsn = true;
            else if (keyword == u"8BITMIME")
                eightBitMime = true;
            else if (keyword == u"STARTTLS")
                startTls = true;
            else if (keyword == u"AUTH" || keyword.startsWith(u"AUTH="))
                authMechanisms += line.mid(5).split(u' ', Qt::SkipEmptyParts);
        }
    }

    Smtp& o;
    QSslSocket socket;
    QByteArray in;
    QEventLoop* loop = nullptr;
    QElapsedTimer clock;
    qint64 lastWriteMs = -1;
    qint64 lastEventsMs = -1; // when the caller's events last ran during a wait
    bool overflow = false;    // the server pushed more than a reply between two operations
    bool lost = false;
    bool broken = false;
    bool secretReply = false;
    QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
    qint64 progressDone = 0;
    qint64 progressMax = 0;
    QString host;
    QString greeting;
    QString serverReply;
    bool esmtp = false;
    bool pipelining = false;
    bool dsn = false;
    bool eightBitMime = false;
    bool startTls = false;
    QStringList authMechanisms;
};

} // namespace mail
