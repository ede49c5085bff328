// The SMTP class against servers that misbehave: each failure comes back as its code, within the time-out.
#include "mail/DataBlock.h"
#include "mail/Smtp.h"
#include "tests/mail/SmtpPeers.h"
#include "tests/support/TimeBounds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using mail::Smtp;
using namespace smtptest;
using testenv::EndedByItsTimeOut;
using testenv::EndedLongBeforeItsTimeOut;

namespace {

// The time-out of waits that must end by an answer instead, and the reply time-out of waits that must
// end by it: far enough apart that a wait for the wrong one shows, whatever the machine's load.
constexpr int kLongMs = 30000;
constexpr int kReplyMs = 2000;

std::unique_ptr<Smtp> Client(quint16 port, QString* log = nullptr, int replyMs = 400) {
    auto smtp = std::make_unique<Smtp>();
    smtp->SetTimeouts(kLongMs, kLongMs, replyMs);
    smtp->SetMailServer(QStringLiteral("127.0.0.1"));
    smtp->SetPort(port);
    smtp->SetClientHostName(QStringLiteral("client.test"));
    smtp->SetFromAddress(QStringLiteral("s@sender.test"));
    smtp->AddRecipient(QString(), QStringLiteral("r@rcpt.test"), mail::RecipientKind::To);
    smtp->SetSubject(QStringLiteral("S"));
    smtp->SetBodyText(QStringLiteral("B"));
    if (log)
        QObject::connect(smtp.get(), &Smtp::ConnectLog, [log](const QString& text, qint32) { *log += text; });
    return smtp;
}

QByteArray Ehlo(const QByteArray& extra = {}) {
    return "250-fake.test\r\n" + extra + "250 HELP\r\n";
}

// A server that answers every message with its verdict at the end of DATA and is silent inside it.
std::function<QByteArray(const QByteArray&)> Verdict(const QByteArray& verdict = "250 queued\r\n") {
    auto inData = std::make_shared<bool>(false);
    return [inData, verdict](const QByteArray& line) -> QByteArray {
        if (*inData) {
            *inData = line != ".";
            return *inData ? FakeServer::Silence : verdict;
        }
        if (line.startsWith("EHLO"))
            return Ehlo();
        *inData = line == "DATA";
        return *inData ? "354 go\r\n" : "250 OK\r\n";
    };
}

// The lines of the last message the server took, as they came (dots still doubled).
QList<QByteArray> DataLines(const FakeServer& server) {
    const qsizetype data = server.received.lastIndexOf("DATA");
    const qsizetype end = server.received.indexOf(".", data + 1);
    return data < 0 || end < 0 ? QList<QByteArray>() : server.received.mid(data + 1, end - data - 1);
}

} // namespace

TEST(SmtpFailures, GreetingProblemsGiveTheirCodes) {
    struct Case {
        QByteArray greeting;
        qint32 code;
    };
    const QList<Case> cases{
        {"554 go away\r\n", 5},  {"HELLO THERE\r\n", 18}, {FakeServer::Silence, 27},
        {FakeServer::Close, 16}, {"220 ok\r\n", 5}, // EHLO and HELO refused (answer below)
    };
    for (const Case& c : cases) {
        FakeServer server;
        server.greeting = c.greeting;
        server.answer = [](const QByteArray&) { return QByteArray("502 no\r\n"); };
        // A silent server is given up at the reply time-out (not the connect time-out); every other
        // greeting decides at once, long before it.
        const bool silent = c.greeting == FakeServer::Silence;
        const int replyMs = silent ? kReplyMs : kLongMs;
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(Client(server.port(), nullptr, replyMs)->Connect(0), c.code)
            << c.greeting.left(20).toStdString();
        if (silent)
            EXPECT_TRUE(EndedByItsTimeOut(timer.elapsed(), replyMs));
        else
            EXPECT_TRUE(EndedLongBeforeItsTimeOut(timer.elapsed(), replyMs))
                << c.greeting.left(20).toStdString();
    }
}

TEST(SmtpFailures, HugeGreetingIsCutOffAtOnce) {
    FakeServer server;
    QByteArray huge;
    huge.reserve(10 * 1024 * 1024 + 16);
    while (huge.size() < 10 * 1024 * 1024)
        huge += "220-" + QByteArray(200, 'x') + "\r\n";
    server.greeting = huge;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Client(server.port(), nullptr, kLongMs)->Connect(0), 18);
    // Cut at the limit, not read to the end of the 10 MB nor waited out.
    EXPECT_TRUE(EndedLongBeforeItsTimeOut(timer.elapsed(), kLongMs));

    FakeServer oneLine;
    oneLine.greeting = "220 " + QByteArray(10 * 1024 * 1024, 'y');
    timer.restart();
    EXPECT_EQ(Client(oneLine.port(), nullptr, kLongMs)->Connect(0), 18);
    EXPECT_TRUE(EndedLongBeforeItsTimeOut(timer.elapsed(), kLongMs));
}

TEST(SmtpFailures, TricklingGreetingEndsAtTheReplyTimeOut) {
    // A greeting that does not end, one byte every 50 ms for longer than the reply time-out twice over:
    // the wait is not extended by what comes in.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTimer drip;
    QList<QTcpSocket*> peers;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = server.nextPendingConnection())
            peers << s;
    });
    QObject::connect(&drip, &QTimer::timeout, [&] {
        for (QTcpSocket* s : std::as_const(peers))
            s->write("2");
    });
    drip.start(50);
    QTimer::singleShot(kLongMs, &drip, &QTimer::stop); // a client that waits for the end fails, not hangs
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Client(server.serverPort(), nullptr, kReplyMs)->Connect(0), 27);
    EXPECT_TRUE(EndedByItsTimeOut(timer.elapsed(), kReplyMs));
}

TEST(SmtpFailures, ServerListNamesAndPorts) {
    FakeServer server;
    auto smtp = Client(server.port());
    smtp->SetMailServer(QStringLiteral(" ; "));
    EXPECT_EQ(smtp->Connect(0), 15);
    smtp->SetMailServer(QStringLiteral("bad..host"));
    EXPECT_EQ(smtp->Connect(0), 17);
    // The first server cannot be reached, the second can.
    smtp->SetMailServer(QStringLiteral("bad..host; 127.0.0.1"));
    EXPECT_EQ(smtp->Connect(0), 0);
    EXPECT_EQ(smtp->Disconnect(0), 0);

    auto refused = Client(FreePort());
    EXPECT_EQ(refused->Connect(0), 9);
    refused->SetPort(0);
    EXPECT_EQ(refused->Connect(0), 9);
    EXPECT_EQ(refused->Send(), 9) << "Send without a connection opens one, and fails like Connect";
}

TEST(SmtpFailures, QuitRefusedAndStallingReplies) {
    FakeServer server;
    server.answer = [](const QByteArray& line) {
        if (line.startsWith("EHLO"))
            return Ehlo();
        if (line == "QUIT")
            return QByteArray("500 what\r\n");
        if (line == "DATA")
            return QByteArray(FakeServer::Silence);
        return QByteArray("250 OK\r\n");
    };
    auto smtp = Client(server.port(), nullptr, kReplyMs);
    ASSERT_EQ(smtp->Connect(0), 0);
    EXPECT_EQ(smtp->Disconnect(0), 6);
    ASSERT_EQ(smtp->Connect(0), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(smtp->Send(), 27);
    // The reply time-out counts from the command, and the session ends without waiting it out again.
    EXPECT_TRUE(EndedByItsTimeOut(timer.elapsed(), kReplyMs));
    EXPECT_FALSE(smtp->IsConnected());
}

// After a Connect that failed, each Send fails at once with its code and never contacts the server
// again (no login per message with a wrong password, no time-out per message with a dead server). An
// object that was never connected still opens its own conversation.
TEST(SmtpFailures, FailedConnectIsNotTriedAgainBySend) {
    struct Case {
        QByteArray greeting;
        bool refuseAuth;
        qint32 code;
    };
    for (const Case& c : {Case{FakeServer::Silence, false, 27}, Case{"220 ok\r\n", true, 24}}) {
        FakeServer server;
        server.greeting = c.greeting;
        server.answer = [](const QByteArray& line) {
            if (line.startsWith("EHLO"))
                return Ehlo("250-AUTH LOGIN\r\n");
            if (line.startsWith("AUTH"))
                return QByteArray("535 no\r\n");
            if (line == "DATA")
                return QByteArray("354 go\r\n");
            return QByteArray("250 OK\r\n");
        };
        auto smtp = Client(server.port());
        if (c.refuseAuth) {
            smtp->SetUserName(QStringLiteral("joe"));
            smtp->SetPassword(QStringLiteral("wrong"));
            smtp->SetAuthMode(Smtp::AuthLogin);
        }
        EXPECT_EQ(smtp->Connect(0), c.code);
        // From here a wait for any reply would last long enough to show.
        smtp->SetTimeouts(kLongMs, kLongMs, kLongMs);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(smtp->Send(), c.code) << i;
        EXPECT_TRUE(EndedLongBeforeItsTimeOut(timer.elapsed(), kLongMs));
        // A connection of our own after the five: the server accepts connections in the order they
        // came, so once it has read ours it has counted any the client opened before.
        QTcpSocket marker;
        marker.connectToHost(QHostAddress::LocalHost, server.port());
        marker.write("MARKER\r\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.received.contains("MARKER"); }, 10000));
        marker.abort();
        EXPECT_EQ(server.connections, 2) << "the failed session's and ours";
        EXPECT_EQ(server.received.count("AUTH LOGIN"), c.refuseAuth ? 1 : 0);
        // Disconnect ends the failed session: Send is on its own again.
        EXPECT_EQ(smtp->Disconnect(0), 0);
        smtp->SetAuthMode(Smtp::AuthNone);
        server.greeting = "220 ok\r\n";
        EXPECT_EQ(smtp->Send(), 0);
        EXPECT_EQ(server.connections, 3);
    }
}

// A cancel that comes after the whole message is out does not decide: the server's 250 does. A server
// that stays silent then is waited for a short grace only (3 s), not the whole reply time-out (here 60 s).
TEST(SmtpFailures, MessageAcceptedAfterACancelCountsAsSent) {
    struct Case {
        QByteArray verdict;
        qint32 code;
    };
    for (const Case& c :
         {Case{"250 queued\r\n", 0}, Case{"554 refused\r\n", 4}, Case{FakeServer::Silence, 20}}) {
        FakeServer server;
        server.answer = Verdict(c.verdict);
        auto smtp = Client(server.port(), nullptr, 2 * kLongMs);
        ASSERT_EQ(smtp->Connect(0), 0);
        // The cancel comes when the last byte of the message has been written.
        QObject::connect(smtp.get(), &Smtp::Progress, [&](qint32 value, qint32 max) {
            if (max > 0 && value == max)
                smtp->Cancel();
        });
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(smtp->Send(), c.code);
        EXPECT_TRUE(EndedLongBeforeItsTimeOut(timer.elapsed(), 2 * kLongMs));
        EXPECT_TRUE(server.received.contains("."));
    }
}

// BODY=8BITMIME goes to a server that offers it; any other gets quoted-printable, never raw 8-bit.
TEST(SmtpFailures, EightBitBodiesOnlyToServersThatTakeThem) {
    for (const bool offers : {true, false}) {
        FakeServer server;
        server.answer = [offers](const QByteArray& line) {
            if (line.startsWith("EHLO"))
                return Ehlo(offers ? "250-8BITMIME\r\n" : "");
            if (line == "DATA")
                return QByteArray("354 go\r\n");
            return QByteArray("250 OK\r\n");
        };
        auto smtp = Client(server.port());
        smtp->SetCharset(QStringLiteral("utf-8"));
        smtp->SetBodyEncoding(mail::EncodingNone);
        smtp->SetBodyText(QStringLiteral("Grüße"));
        ASSERT_EQ(smtp->Send(), 0);
        const QByteArray mail = server.received.value(server.received.indexOf("EHLO client.test") + 1);
        ASSERT_TRUE(mail.startsWith("MAIL FROM:"));
        EXPECT_EQ(mail.contains("BODY=8BITMIME"), offers);
        bool eightBit = false;
        for (const QByteArray& line : std::as_const(server.received))
            eightBit = eightBit || line.contains("Grüße");
        EXPECT_EQ(eightBit, offers);
        if (!offers) {
            EXPECT_TRUE(server.received.contains("Content-Transfer-Encoding: quoted-printable"));
        }
    }
}

static qint64 ResidentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// A server that pushes data while the connection is idle (say while the user answers a question): what
// is kept stays small, and the next operation fails with 18.
TEST(SmtpFailures, DataPushedBetweenOperationsIsCappedAndFailsTheNextOne) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket* peer = nullptr;
    qint64 pushed = 0;
    const qint64 total = 48LL * 1024 * 1024;
    const QByteArray chunk(256 * 1024, 'z');
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        peer = server.nextPendingConnection();
        peer->write("220 ok\r\n");
        QObject::connect(peer, &QTcpSocket::readyRead, [&] {
            const QByteArray line = peer->readAll();
            if (line.startsWith("EHLO")) {
                peer->write(Ehlo());
                pushed = chunk.size();
                peer->write(chunk);
            }
        });
        QObject::connect(peer, &QTcpSocket::bytesWritten, [&] {
            if (pushed > 0 && pushed < total && peer->bytesToWrite() < chunk.size()) {
                pushed += chunk.size();
                peer->write(chunk);
            }
        });
    });
    QString log;
    auto smtp = Client(server.serverPort(), &log, 2000);
    ASSERT_EQ(smtp->Connect(0), 0) << log.toStdString();
    const qint64 before = ResidentKb();
    QElapsedTimer timer;
    timer.start();
    while ((pushed < total || (peer && peer->bytesToWrite() > 0)) && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_GE(pushed, total);
    EXPECT_LT(ResidentKb() - before, 16 * 1024) << "kilobytes kept after 48 MB pushed";
    EXPECT_EQ(smtp->Send(), 18);
    EXPECT_FALSE(smtp->IsConnected());
}

TEST(SmtpFailures, DataOrMessageRefused) {
    for (const QByteArray& refusal : {QByteArray("DATA"), QByteArray(".")}) {
        FakeServer server;
        server.answer = [refusal](const QByteArray& line) {
            if (line.startsWith("EHLO"))
                return Ehlo();
            if (line == refusal)
                return QByteArray("554 no thanks\r\n");
            if (line == "DATA")
                return QByteArray("354 go\r\n");
            if (line.startsWith("MAIL") || line.startsWith("RCPT") || line == "." || line == "RSET")
                return QByteArray("250 OK\r\n");
            return QByteArray(FakeServer::Silence);
        };
        auto smtp = Client(server.port());
        ASSERT_EQ(smtp->Connect(0), 0);
        EXPECT_EQ(smtp->Send(), 4) << refusal.toStdString();
        EXPECT_TRUE(smtp->IsConnected());
    }
}

// NTLM through GNU SASL against a scripted server that checks the message types.
TEST(SmtpFailures, NtlmExchangeAndProtocolErrors) {
    FakeServer server;
    QList<int> types;
    server.answer = [&](const QByteArray& line) {
        if (line.startsWith("EHLO"))
            return Ehlo("250-AUTH NTLM CRAM-MD5\r\n");
        if (line == "AUTH NTLM")
            return QByteArray("334 \r\n");
        if (line == "AUTH CRAM-MD5")
            return QByteArray("334 !!!not base64!!!\r\n");
        if (line == "*")
            return QByteArray("501 aborted\r\n");
        const QByteArray msg = QByteArray::fromBase64(line);
        if (msg.startsWith(QByteArray("NTLMSSP\0", 8)) && msg.size() >= 12) {
            types.append(msg[8]);
            if (msg[8] == 1) {
                QByteArray challenge("NTLMSSP\0", 8);
                challenge += QByteArray("\x02\0\0\0", 4);         // type 2
                challenge += QByteArray("\0\0\0\0\x30\0\0\0", 8); // empty target name at 48
                challenge += QByteArray("\x01\x02\x00\x00", 4);   // flags: unicode, NTLM
                challenge += QByteArray("\x11\x22\x33\x44\x55\x66\x77\x88", 8);
                challenge += QByteArray(16, '\0'); // context, target info
                return "334 " + challenge.toBase64() + "\r\n";
            }
            return QByteArray("235 welcome\r\n");
        }
        return QByteArray("250 OK\r\n");
    };
    QString log;
    auto smtp = Client(server.port(), &log);
    smtp->SetUserName(QStringLiteral("DOMAIN\\joe"));
    smtp->SetPassword(QStringLiteral("NtlmSecret"));
    smtp->SetAuthMode(Smtp::AuthNtlm);
    EXPECT_EQ(smtp->Connect(0), 0) << log.toStdString();
    EXPECT_EQ(types, (QList<int>{1, 3}));
    EXPECT_FALSE(log.contains(QStringLiteral("NtlmSecret")));
    EXPECT_FALSE(log.contains(QStringLiteral("TlRMTVNTUA"))) << "no NTLM message in the log";

    auto cram = Client(server.port());
    cram->SetUserName(QStringLiteral("joe"));
    cram->SetPassword(QStringLiteral("x"));
    cram->SetAuthMode(Smtp::AuthCramMd5);
    EXPECT_EQ(cram->Connect(0), 26);
    cram->SetAuthMode(3);
    EXPECT_EQ(cram->Connect(0), 25);
}

// Cancel from a button handler while Connect waits for a silent server, and the probe's
// Cancel + ResetSession.
TEST(SmtpFailures, CancelAndResetSessionDuringConnect) {
    FakeServer server;
    server.greeting = FakeServer::Silence;
    auto smtp = Client(server.port(), nullptr, kLongMs);
    QTimer::singleShot(100, [&] { smtp->Cancel(); });
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(smtp->Connect(0), 20);
    // The cancel ends the wait when it comes, not when the time-out would have.
    EXPECT_TRUE(EndedLongBeforeItsTimeOut(timer.elapsed(), kLongMs));
    EXPECT_FALSE(smtp->IsConnected());

    QTimer::singleShot(100, [&] {
        smtp->Cancel();
        smtp->ResetSession();
    });
    EXPECT_EQ(smtp->Connect(0), 20);
    smtp->ResetSession();
    EXPECT_TRUE(smtp->GetServerReply().isEmpty());
    EXPECT_EQ(smtp->Disconnect(0), 0);
}

// The bytes of DATA wherever its pieces are cut: every line ends in CR LF (the last one too), a "." that
// begins a line is doubled once, the end is ".", and no piece is much larger than asked for.
TEST(SmtpData, LineEndsAndDotsWhereverThePiecesAreCut) {
    struct Case {
        QByteArray message;
        QByteArray data;
    };
    const QList<Case> cases{
        {"a\r\nlast", "a\r\nlast\r\n.\r\n"},
        {"a\r\n", "a\r\n.\r\n"},
        {".a\r\n..\r\n.\r\nb.c\r\n", "..a\r\n...\r\n..\r\nb.c\r\n.\r\n"},
        {"x\ny\rz\r\r\n.", "x\r\ny\r\nz\r\n\r\n..\r\n.\r\n"},
        {"", ".\r\n"},
    };
    for (const Case& c : cases) {
        const QList<QByteArray> message{c.message};
        EXPECT_EQ(mail::DataBlock(message).size(), c.data.size()) << c.message.toStdString();
        for (qsizetype piece = 1; piece <= c.data.size(); ++piece) {
            mail::DataBlock block(message);
            QByteArray out;
            for (qsizetype n = 0; !block.atEnd() && n <= c.data.size(); ++n) {
                const QByteArray next = block.next(piece);
                EXPECT_LE(next.size(), piece + 6) << "piece of " << piece;
                out += next;
            }
            EXPECT_EQ(out, c.data) << c.message.toStdString() << " in pieces of " << piece;
        }
    }
}

// Where the first 1 MB piece of DATA ends inside a line that begins with ".", at whichever of its bytes,
// the dot is doubled once. The headers' length varies a little (the message id), so messages go until
// each byte of such a line has met the end of the piece.
TEST(SmtpData, DotLinesAtThePieceBoundaryAreStuffedOnce) {
    FakeServer server;
    server.answer = Verdict();
    auto smtp = Client(server.port(), nullptr, kLongMs);
    smtp->SetBodyEncoding(mail::EncodingNone);
    ASSERT_EQ(smtp->Connect(0), 0);
    constexpr int kDotLines = 2048; // "..", sent as "...\r\n": 10 KB around the end of the piece
    QSet<qsizetype> met;            // the bytes of a dot line that the end of the piece fell on
    for (int shift = 0; shift < 30 && met.size() < 5; ++shift) {
        // 72 bytes a filler line with its CR LF, then the dot lines from about 4 KB before the piece's end
        const QByteArray body = QByteArray(shift % 5, 'x') + '\n' +
                                (QByteArray(70, 'a') + '\n').repeated((mail::kDataPiece - 4096) / 72) +
                                QByteArray("..\n").repeated(kDotLines) + "end";
        smtp->SetBodyText(QString::fromLatin1(body));
        ASSERT_EQ(smtp->Send(), 0);
        qsizetype at = 0; // where the line begins in DATA
        int dots = 0;
        for (const QByteArray& line : DataLines(server)) {
            if (line.startsWith('.')) {
                EXPECT_EQ(line, "...") << "the line at byte " << at;
                ++dots;
                if (at <= mail::kDataPiece && mail::kDataPiece < at + line.size() + 2)
                    met.insert(mail::kDataPiece - at);
            }
            at += line.size() + 2;
        }
        EXPECT_EQ(dots, kDotLines);
    }
    EXPECT_EQ(met.size(), 5);
}

// The writer hands the socket a piece only when it has taken most of the last: when the last byte of an
// 8 MB message is handed over, less than two pieces wait in the socket (all of it with a writer that
// does not wait).
TEST(SmtpData, ALargeMessageIsNeverQueuedWhole) {
    FakeServer server;
    server.answer = Verdict();
    auto smtp = Client(server.port(), nullptr, kLongMs);
    smtp->SetBodyEncoding(mail::EncodingNone);
    smtp->SetBodyText(QString::fromLatin1((QByteArray(76, 'b') + '\n').repeated(8 * mail::kDataPiece / 77)));
    qint64 taken = 0, total = 0, queuedAtEnd = -1;
    QObject::connect(smtp.get(), &Smtp::Progress, [&](qint32 value, qint32 max) {
        taken = value;
        total = max;
    });
    QObject::connect(smtp.get(), &Smtp::ConnectLog, [&](const QString& text, qint32) {
        if (text.contains(QStringLiteral(" bytes of message)")))
            queuedAtEnd = total - taken;
    });
    ASSERT_EQ(smtp->Send(), 0);
    EXPECT_GT(total, 8 * mail::kDataPiece);
    EXPECT_GE(queuedAtEnd, 0);
    EXPECT_LT(queuedAtEnd, 2 * mail::kDataPiece)
        << "bytes waiting in the socket when the last was handed over";
}

// While a reply is awaited on the socket the caller's events keep running (a timer every 20 ms ticks on),
// and a Cancel from one of them ends the wait with 20 at once, long before the reply time-out.
TEST(SmtpFailures, CallerEventsRunWhileAReplyIsAwaited) {
    struct Case {
        const char* silentAt; // the line the server never answers; "" for the greeting
        bool send;
    };
    for (const Case& c : {Case{"", false}, Case{"MAIL", true}, Case{"DATA", true}}) {
        FakeServer server;
        if (!*c.silentAt)
            server.greeting = FakeServer::Silence;
        server.answer = [&c](const QByteArray& line) {
            if (line.startsWith(c.silentAt))
                return QByteArray(FakeServer::Silence);
            if (line.startsWith("EHLO"))
                return Ehlo("250-PIPELINING\r\n");
            return QByteArray("250 OK\r\n");
        };
        auto smtp = Client(server.port(), nullptr, kLongMs);
        if (c.send) {
            ASSERT_EQ(smtp->Connect(0), 0);
        }
        int ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (++ticks == 10)
                smtp->Cancel();
        });
        tick.start(20);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(c.send ? smtp->Send() : smtp->Connect(0), 20) << c.silentAt;
        // Ten ticks with the events let through every 50 ms or so, not only at the time-out's end.
        EXPECT_LT(timer.elapsed(), 10 * 100) << c.silentAt;
        EXPECT_EQ(ticks, 10);
    }
}

// With PIPELINING, DATA goes with a one-recipient envelope before any reply. When the envelope fails
// and the server still says 354, an empty message (a lone ".") closes the data and RSET follows; the
// failure counts as the envelope's, and the next message on the connection goes.
TEST(SmtpFailures, PipelinedDataAfterAFailedEnvelope) {
    struct Case {
        QByteArray mail, rcpt, data;
        qint32 code;
    };
    const QList<Case> cases{
        {"250 OK\r\n", "550 no such user\r\n", "354 go\r\n", 8},
        {"250 OK\r\n", "550 no such user\r\n", "554 no valid recipients\r\n", 8},
        {"553 bad sender\r\n", "503 need MAIL\r\n", "354 go\r\n", 7},
        {"250 OK\r\n", "250 OK\r\n", "554 no thanks\r\n", 4},
    };
    for (const Case& c : cases) {
        FakeServer server;
        bool refuse = true, inData = false;
        server.answer = [&](const QByteArray& line) {
            if (inData) {
                inData = line != ".";
                return inData ? QByteArray(FakeServer::Silence) : QByteArray("250 OK\r\n");
            }
            if (line.startsWith("EHLO"))
                return Ehlo("250-PIPELINING\r\n");
            if (line.startsWith("MAIL"))
                return refuse ? c.mail : QByteArray("250 OK\r\n");
            if (line.startsWith("RCPT"))
                return refuse ? c.rcpt : QByteArray("250 OK\r\n");
            if (line == "DATA") {
                const QByteArray reply = refuse ? c.data : QByteArray("354 go\r\n");
                inData = reply.startsWith("354");
                return reply;
            }
            return QByteArray("250 OK\r\n");
        };
        QString log;
        auto smtp = Client(server.port(), &log);
        ASSERT_EQ(smtp->Connect(0), 0);
        EXPECT_EQ(smtp->Send(), c.code) << log.toStdString();
        const qsizetype dataAt = server.received.indexOf("DATA");
        ASSERT_GE(dataAt, 0) << log.toStdString();
        EXPECT_LT(log.indexOf(QStringLiteral("DATA")), log.indexOf(QStringLiteral("250 OK")))
            << "DATA written before the first reply";
        const bool dot = c.data.startsWith("354");
        const QList<QByteArray> after = dot ? QList<QByteArray>{".", "RSET"} : QList<QByteArray>{"RSET"};
        EXPECT_EQ(server.received.mid(dataAt + 1, after.size()), after);
        EXPECT_FALSE(server.received.contains("Subject: S")) << "no message after a failed envelope";
        refuse = false;
        EXPECT_EQ(smtp->Send(), 0) << log.toStdString();
        EXPECT_TRUE(server.received.contains("Subject: S"));
    }
}
