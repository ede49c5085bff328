// The technical-support request: its texts, and the mail as aiosmtpd receives it and Python's email
// package reads it (plain text, Windows-1252, quoted-printable, the blocks, never the password).
#include "tools/SupportRequest.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/Smtp.h"
#include "sending/MessageSetup.h"
#include "tests/tools/SupportMailFixture.h"
#include "tools/SystemFacts.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using toolstest::BodyOf;
using toolstest::HeaderOf;
using toolstest::kPassword;
using toolstest::StoreAccount;
using toolstest::SupportMail;

namespace {

SystemFacts SampleFacts() {
    SystemFacts f;
    f.systemName = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
    f.owner = QStringLiteral("Ada Lovelace");
    f.homeFolder = QStringLiteral("/home/ada");
    f.screen = QSize(1920, 1080);
    f.mounts = {QStringLiteral("/ [ext4]"), QStringLiteral("/home [xfs]")};
    f.localIp = QStringLiteral("192.0.2.7");
    return f;
}

TEST(SupportTexts, BlocksHoldTheirLinesInOrder) {
    EXPECT_EQ(SystemInformationBlock(SampleFacts()),
              QStringLiteral("---System Information---\r\n"
                             "Operating System: Debian GNU/Linux 12 (bookworm)\r\n"
                             "Registered to: Ada Lovelace - \r\n"
                             "Home Folder: /home/ada\r\n"
                             "Screen Resolution: 1920x1080\r\n"
                             "Mounted File Systems:\r\n"
                             "/ [ext4]\r\n"
                             "/home [xfs]\r\n"));
    EXPECT_EQ(
        BaseSupportBody(QStringLiteral("192.0.2.7"), QStringLiteral("one\ntwo")),
        QStringLiteral("Sender's IP Address: 192.0.2.7\r\n\r\n---Problem Description---\r\none\r\ntwo\r\n"));
    EXPECT_EQ(SupportSubject(QStringLiteral("Support Request")),
              QStringLiteral("Support Request - Torvale Velanto Ostrel Edition 14.0"));
}

TEST(SupportTexts, SettingsBlockListsFiftySettingsButNeverThePassword) {
    StoreAccount(25);
    SaveSetting(QStringLiteral("Mail-SPAM"), QStringLiteral("Server"), QStringLiteral("spam.test"));
    DeleteSetting(QStringLiteral("SMTP-Thread"));
    const QStringList lines = SettingsBlock(QStringLiteral("/opt/velanto/")).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(),
              54); // title, path, version, fifty settings, and the empty rest after the last CR LF
    EXPECT_EQ(lines[0], QStringLiteral("---Velanto Settings---"));
    EXPECT_EQ(lines[1], QStringLiteral("Install Path: /opt/velanto"));
    EXPECT_EQ(lines[2], QStringLiteral("Version: 14.0"));
    EXPECT_EQ(lines[3], QStringLiteral("Account-Name: Ada Sender"));
    EXPECT_EQ(lines[6], QStringLiteral("Account-Port: 25"));
    EXPECT_EQ(lines[23], QStringLiteral("Advanced-Reconnect: "));
    EXPECT_EQ(lines[34], QStringLiteral("Options-Tips: "));
    EXPECT_TRUE(lines.contains(QStringLiteral("Mail-SPAM-Server: spam.test")));
    EXPECT_EQ(lines[50], QStringLiteral("SMTP-Thread: ")); // never stored: the label alone
    EXPECT_EQ(lines[52], QStringLiteral("IMAP4-Thread: "));
    EXPECT_TRUE(lines[53].isEmpty());
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(kPassword));
        EXPECT_FALSE(line.startsWith(QStringLiteral("Account-Password")));
    }
}

TEST_F(SupportMail, ArrivesAsQuotedPrintableWindows1252PlainTextWithBothBlocks) {
    mail::Smtp smtp;
    ASSERT_EQ(SendSupportRequest(smtp, request(), SampleFacts(), QStringLiteral("/opt/velanto")), 0);
    ASSERT_EQ(peer.envelopes().size(), 1);
    const QJsonObject e = peer.envelopes().first();
    EXPECT_EQ(e[QStringLiteral("rcpt_tos")].toArray(), QJsonArray{QStringLiteral("help@maker.test")});
    EXPECT_EQ(e[QStringLiteral("mail_from")].toString(), QStringLiteral("ada@example.test"));
    EXPECT_TRUE(e[QStringLiteral("defects")].toArray().isEmpty());
    EXPECT_EQ(HeaderOf(e, "subject"), QStringLiteral("Bug Report - Torvale Velanto Ostrel Edition 14.0"));
    EXPECT_EQ(HeaderOf(e, "x-mailer"), QStringLiteral("Torvale Velanto Ostrel 14.0"));
    const QString type = HeaderOf(e, "content-type").toLower();
    EXPECT_TRUE(type.startsWith(QStringLiteral("text/plain"))) << type.toStdString();
    EXPECT_TRUE(type.contains(QStringLiteral("charset=\"windows-1252\"")) ||
                type.contains(QStringLiteral("charset=windows-1252")))
        << type.toStdString();
    EXPECT_EQ(HeaderOf(e, "content-transfer-encoding").toLower(), QStringLiteral("quoted-printable"));
    EXPECT_TRUE(HeaderOf(e, "disposition-notification-to").isEmpty());

    const QString body = BodyOf(e);
    const QString expectedStart =
        QStringLiteral("Sender's IP Address: 192.0.2.7\n\n---Problem Description---\n"
                       "Grüße from the editor: 10 € lost\nsecond line\n\n"
                       "---System Information---\n");
    EXPECT_TRUE(body.startsWith(expectedStart)) << body.toStdString();
    EXPECT_TRUE(body.contains(QStringLiteral("\n\n---Velanto Settings---\nInstall Path: /opt/velanto\n")));
    EXPECT_TRUE(body.contains(QStringLiteral("Account-Server: 127.0.0.1\n")));

    const QByteArray raw = peer.messages().first();
    EXPECT_TRUE(raw.contains("=80")) << "the euro sign as Windows-1252 byte 0x80";
    EXPECT_FALSE(raw.contains(kPassword.toLatin1()));
    EXPECT_FALSE(body.contains(kPassword));
}

TEST_F(SupportMail, AuthenticatesWithThePasswordYetNeverMailsIt) {
    const QString a = QString::fromLatin1(Sections::Account);
    SaveSetting(a, QStringLiteral("Auth"), QStringLiteral("1"));
    SaveSetting(a, QStringLiteral("Username"), QStringLiteral("ada"));
    SaveSetting(a, QStringLiteral("AuthMode"), QStringLiteral("CRAM MD5"));
    SaveSetting(a, QStringLiteral("Extended"), QStringLiteral("1"));
    SupportRequest r = request();
    r.includeSystem = false;
    r.sendCopy = true;
    r.priority = MessagePriority::High;
    r.readReceipt = true;
    mail::Smtp smtp;
    ASSERT_EQ(SendSupportRequest(smtp, r, SampleFacts(), QStringLiteral("/opt/velanto")), 0);
    EXPECT_EQ(smtp.Spec().optionFlags, 272);
    ASSERT_EQ(peer.envelopes().size(), 1);
    const QJsonObject e = peer.envelopes().first();
    EXPECT_TRUE(e[QStringLiteral("authenticated")].toBool());
    EXPECT_EQ(e[QStringLiteral("rcpt_tos")].toArray(),
              (QJsonArray{QStringLiteral("help@maker.test"), QStringLiteral("ada@example.test")}));
    EXPECT_TRUE(HeaderOf(e, "cc").contains(QStringLiteral("ada@example.test")));
    EXPECT_EQ(HeaderOf(e, "disposition-notification-to"), QStringLiteral("ada@example.test"));
    EXPECT_TRUE(HeaderOf(e, "x-priority").startsWith(u'1'));
    const QString body = BodyOf(e);
    EXPECT_FALSE(body.contains(QStringLiteral("---System Information---")));
    EXPECT_TRUE(body.contains(
        QStringLiteral("Account-Auth: 1\nAccount-Username: ada\nAccount-AuthMode: CRAM MD5\n")));
    EXPECT_FALSE(peer.messages().first().contains(kPassword.toLatin1()));
}

TEST_F(SupportMail, AnAttachmentGoesAlongAndOneThatCannotBeReadStopsTheSend) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("crash.log"));
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("stack trace\n");
    f.close();

    SupportRequest r = request();
    r.includeSystem = r.includeSettings = false;
    r.attachment = log;
    mail::Smtp withFile;
    ASSERT_EQ(SendSupportRequest(withFile, r, SampleFacts(), QString()), 0);
    ASSERT_EQ(peer.messages().size(), 1);
    EXPECT_TRUE(peer.messages().first().contains("filename=\"crash.log\"") ||
                peer.messages().first().contains("filename=crash.log"));
    EXPECT_EQ(BodyOf(peer.envelopes().first()),
              QStringLiteral("Sender's IP Address: 192.0.2.7\n\n---Problem Description---\n"
                             "Grüße from the editor: 10 € lost\nsecond line\n"));

    for (const QString& bad : {dir.filePath(QStringLiteral("gone.log")), dir.path()}) {
        r.attachment = bad;
        mail::Smtp smtp;
        EXPECT_EQ(SendSupportRequest(smtp, r, SampleFacts(), QString()), 10) << bad.toStdString();
    }
    EXPECT_EQ(peer.messages().size(), 1); // nothing more went out
}

// The send run and the support request connect alike: both authenticate exactly when the stored "Auth"
// has the numeric value 1, however it is written.
TEST_F(SupportMail, BothSetUpsAuthenticateExactlyWhenAuthIsTheNumberOne) {
    SaveSetting(Setting::AccountUsername, QStringLiteral("ada"));
    const std::pair<const char*, bool> cases[] = {
        {nullptr, false}, // never stored
        {"1", true},      {"1.0", true},  {" 1 ", true},  {"01", true},  {"+1", true},
        {"1e0", true},    {"0", false},   {"", false},    {"2", false},  {"1.5", false},
        {"-1", false},    {"one", false}, {"1 0", false}, {"0.1", false}};
    for (const auto& [stored, authenticates] : cases) {
        const std::string label = stored ? stored : "(missing)";
        if (stored)
            SaveSetting(Setting::AccountAuth, QString::fromLatin1(stored));
        peer.clear();
        mail::Smtp run; // as the send run sets its object up
        SetUpThreadAndOptions(run);
        SetUpSenderAndServer(run, MessagePriority::Normal, false);
        run.AddRecipient(QString(), QStringLiteral("bob@example.test"), mail::RecipientKind::To);
        ApplyTextBody(run, QStringLiteral("hello"));
        ASSERT_EQ(run.Send(), 0) << label;
        mail::Smtp support;
        ASSERT_EQ(SendSupportRequest(support, request(), SampleFacts(), QString()), 0) << label;
        const QList<QJsonObject> envelopes = peer.envelopes();
        ASSERT_EQ(envelopes.size(), 2) << label;
        EXPECT_EQ(envelopes[0][QStringLiteral("authenticated")].toBool(), authenticates)
            << "send run " << label;
        EXPECT_EQ(envelopes[1][QStringLiteral("authenticated")].toBool(), authenticates)
            << "support " << label;
    }
}

} // namespace
