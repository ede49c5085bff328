// The SMTP server probe against aiosmtpd and scripted servers on 127.0.0.1: what it sends, what the
// report shows, and the saved and printed log.
#include "tools/SmtpProbe.h"
#include "core/GetComputerName.h"
#include "core/Settings.h"
#include "mail/Smtp.h"
#include "tests/mail/SmtpPeers.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

QString ClosedPortText() {
    return QString::number(smtptest::FreePort());
}

TEST(SmtpProbe, ShowsTheServersGreetingAndAnswerAndSaysQuit) {
    smtptest::PythonPeer peer({});
    ASSERT_TRUE(peer.ok());
    mail::Smtp smtp;
    const QString report = RunSmtpProbe(smtp, QStringLiteral("127.0.0.1"), QString::number(peer.port()));
    EXPECT_TRUE(report.startsWith(QStringLiteral("220 "))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("250"))) << report.toStdString();
    EXPECT_FALSE(smtp.IsConnected());
    EXPECT_TRUE(peer.commands().contains(QStringLiteral("QUIT")));
}

TEST(SmtpProbe, GreetsWithTheComputerNameAndNeverAuthenticates) {
    smtptest::FakeServer server;
    server.greeting = "220 probe.test ready\r\n";
    server.answer = [](const QByteArray& line) -> QByteArray {
        if (line.startsWith("EHLO"))
            return "250-probe.test hello\r\n250-AUTH LOGIN PLAIN\r\n250 SIZE 1000\r\n";
        if (line == "QUIT")
            return "221 bye\r\n";
        return "500 what\r\n";
    };
    SaveSetting(QStringLiteral("SMTP-Thread"), QStringLiteral("Mode"), QStringLiteral("Single"));
    mail::Smtp smtp;
    const QString report = RunSmtpProbe(smtp, QStringLiteral("127.0.0.1"), QString::number(server.port()));
    EXPECT_TRUE(report.contains(QStringLiteral("220 probe.test ready")));
    EXPECT_TRUE(report.contains(QStringLiteral("250 SIZE 1000")));
    EXPECT_EQ(smtp.ThreadMode(), 0);
    ASSERT_GE(server.received.size(), 2);
    EXPECT_EQ(server.received.first(), "EHLO " + GetLocalComputerName().toLatin1());
    EXPECT_EQ(server.received.last(), "QUIT");
    for (const QByteArray& line : server.received)
        EXPECT_FALSE(line.startsWith("AUTH")) << line.constData();
    testenv::ClearSettings();
}

TEST(SmtpProbe, AFailedConnectionShowsTheTextOfItsCode) {
    struct Case {
        QString server;
        QString port;
        qint32 code;
    } cases[] = {
        {QStringLiteral("127.0.0.1"), ClosedPortText(), 9},
        {QStringLiteral("127.0.0.1"), QStringLiteral("0"), 9}, // passed on unchanged, refused there
        {QStringLiteral("127.0.0.1"), QStringLiteral("99999"), 9},
    };
    for (const Case& c : cases) {
        mail::Smtp smtp;
        EXPECT_EQ(RunSmtpProbe(smtp, c.server, c.port), ProbeResultText(c.code)) << c.port.toStdString();
    }
    EXPECT_EQ(ProbeResultText(9),
              QStringLiteral("Error 9: There was an error connecting to the SMTP mail server."));
}

TEST(SmtpProbe, ResultTextsLeaveOutTheTerminationRow) {
    const std::pair<qint32, const char*> rows[] = {
        {1, "Error 1: An exception has occurred."}, {6, "Error 6: Unknown Error."},
        {12, "Error 12: Unknown Error."},           {17, "Error 17: Could not resolve host."},
        {20, "Error 20: The operation cancelled."}, {27, "Error 27: Socket Timeout Error."},
        {-3, "Error -3: Unknown Error."},
    };
    for (const auto& [code, text] : rows)
        EXPECT_EQ(ProbeResultText(code), QString::fromLatin1(text)) << code;
}

TEST(SmtpProbe, SavedLogEndsWithExactlyOneLineEnd) {
    EXPECT_EQ(ProbeLogFileBytes(QStringLiteral("220 a")), QByteArray("220 a\r\n"));
    EXPECT_EQ(ProbeLogFileBytes(QStringLiteral("220 a\n250 b")), QByteArray("220 a\r\n250 b\r\n"));
    EXPECT_EQ(ProbeLogFileBytes(QStringLiteral("220 a\r\n250 b\r\n")), QByteArray("220 a\r\n250 b\r\n\r\n"));
    const QStringList lines = ProbePrintLines(QStringLiteral("220 a"));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Torvale Velanto Ostrel 14.0"), QString(36, u'-'),
                                  QStringLiteral("220 a")}));
}

} // namespace
