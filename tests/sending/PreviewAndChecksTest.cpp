// What the Send command, the Preview command and the account dialog's connection test decide, without
// their windows: the subject and body rules, the preview message, and the connection test of what is typed.
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/Smtp.h"
#include "sending/ConnectionTest.h"
#include "sending/PreviewMessage.h"
#include "sending/SendCheckRules.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include <sys/stat.h>

using namespace sendingtest;

TEST(SendChecks, SubjectAndBodyRules) {
    for (const char* s : {"Re: hello", "fw : x", "FW:", "rE:"})
        EXPECT_TRUE(IsReplyOrForwardSubject(QString::fromLatin1(s))) << s;
    for (const char* s : {"Fwd: x", "RE hello", "Hello RE:", ""})
        EXPECT_FALSE(IsReplyOrForwardSubject(QString::fromLatin1(s))) << s;
    EXPECT_TRUE(IsEmptyBodyText(QString()));
    EXPECT_TRUE(IsEmptyBodyText(QStringLiteral("  \r\n \r\n")));
    EXPECT_FALSE(IsEmptyBodyText(QStringLiteral("\t")));
    EXPECT_FALSE(IsEmptyBodyText(QStringLiteral("\n")));
    EXPECT_FALSE(IsEmptyBodyText(QStringLiteral("\r \n")));
    EXPECT_FALSE(IsEmptyBodyText(QString(QChar(160))));
}

// A picture a message cannot carry: missing, not a picture, or not a file; addresses that name no local
// file are not pictures of the sender's disk.
TEST(SendChecks, PicturesThatCannotBeReadAreTheMissingAndTheNonPictures) {
    QTemporaryDir dir;
    const QString logo = dir.filePath(QStringLiteral("logo.gif"));
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    const QString gone = dir.filePath(QStringLiteral("gone.png"));
    {
        QFile f(logo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14));
        QFile t(notes);
        ASSERT_TRUE(t.open(QIODevice::WriteOnly));
        t.write("text");
    }
    const QMap<QString, QString> pictures{
        {QStringLiteral("a.gif"), logo},  {QStringLiteral("b.png"), gone},
        {QStringLiteral("c.txt"), notes}, {QStringLiteral("d"), dir.path()},
        {QStringLiteral("e.png"), gone},  {QStringLiteral("https://example.org/r.png"), QString()}};
    EXPECT_EQ(PicturesThatCannotBeRead(pictures), QStringList({gone, notes, dir.path()}));
}

TEST(SendChecks, AccountIsCompleteOnlyWithNameAddressServerAndPort) {
    testenv::ClearSettings();
    EXPECT_FALSE(AccountIsComplete());
    SaveSetting(Sections::Account, Keys::Name, QStringLiteral("Ann"));
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    SaveSetting(Sections::Account, Keys::Server, QStringLiteral("127.0.0.1"));
    EXPECT_FALSE(AccountIsComplete());
    SaveSetting(Sections::Account, Keys::Port, QStringLiteral("25"));
    EXPECT_TRUE(AccountIsComplete());
}

TEST(ConnectionTest, ConnectsWithWhatIsTypedAndWordsTheResult) {
    testenv::ClearSettings();
    SaveSetting(Sections::SmtpThread, Keys::Mode, QStringLiteral("No"));
    SmtpPeer peer;
    mail::Smtp smtp;
    ServerLogin login;
    login.server = QStringLiteral("127.0.0.1");
    login.port = QString::number(peer.port());
    EXPECT_EQ(RunConnectionTest(smtp, login), 0);
    EXPECT_EQ(smtp.ThreadMode(), 2);
    EXPECT_EQ(ConnectionTestResultText(6), QStringLiteral("Error 6: Unknown Error."));
    EXPECT_EQ(ConnectionTestResultText(17), QStringLiteral("Error 17: Could not resolve host."));
    EXPECT_EQ(peer.quits().size(), 1);
    EXPECT_TRUE(IsValidPortText(QStringLiteral("65535")));
    for (const char* bad : {"", "0", "65536", " 25", "2a", "-1"})
        EXPECT_FALSE(IsValidPortText(QString::fromLatin1(bad))) << bad;
}

// The first refused value of an otherwise complete account, in the order OK checks them.
TEST(Account, CheckNamesTheFirstRefusedValue) {
    const auto complete = [] {
        Account a;
        a.name = QStringLiteral("Ann");
        a.email = QStringLiteral("ann@example.test");
        a.login = {QStringLiteral("mail.example.test"),
                   QStringLiteral("25"),
                   true,
                   QStringLiteral("ann"),
                   QStringLiteral("pw"),
                   QStringLiteral("AUTH LOGIN")};
        a.bcc = QStringLiteral("list@example.test");
        a.thirdPath = QStringLiteral("/var/spool/queue/");
        return a;
    };
    const std::vector<std::pair<std::function<void(Account&)>, AccountField>> cases = {
        {[](Account& a) { a.name.clear(); }, AccountField::Name},
        {[](Account& a) { a.email = QStringLiteral("ann@"); }, AccountField::Email},
        {[](Account& a) { a.login.server.clear(); }, AccountField::Server},
        {[](Account& a) { a.login.port = QStringLiteral("0"); }, AccountField::Port},
        {[](Account& a) { a.login.username.clear(); }, AccountField::Username},
        {[](Account& a) { a.login.password.clear(); }, AccountField::Password},
        {[](Account& a) { a.method = SendingMethod::Bulk, a.bcc.clear(); }, AccountField::Bcc},
        {[](Account& a) { a.method = SendingMethod::Third, a.thirdPath = QStringLiteral("/"); },
         AccountField::ThirdPath},
    };
    EXPECT_FALSE(complete().Check());
    for (const auto& [spoil, field] : cases) {
        Account a = complete();
        spoil(a);
        const std::optional<AccountProblem> problem = a.Check();
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->field, field) << problem->text.toStdString();
    }
    Account off = complete();
    off.login.auth = false;
    off.login.username.clear();
    EXPECT_FALSE(off.Check()) << "credentials are asked for only with authentication on";
}

TEST(PreviewMessage, BodyThatCannotBeWrittenPreviewsNothing) {
    SendRunInput in = HtmlInput();
    in.writeHtmlBody = [] { return QString(); };

    QFile::remove(TempFolder() + QStringLiteral("Preview.eml")); // from an earlier preview
    QString error;
    EXPECT_TRUE(SavePreview(in, &error).isEmpty());
    EXPECT_TRUE(error.contains(QLatin1String("preview"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1String("sent"))) << "a preview sends nothing: " << error.toStdString();
    EXPECT_FALSE(QFile::exists(TempFolder() + QStringLiteral("Preview.eml")));
}

TEST(MessagePreview, SkipsAnUnreadableAttachment) {
    testenv::ClearSettings();
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    const QString good = TempFolder() + QStringLiteral("notes.txt");
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("Gr\xc3\xbc\xc3\x9f"
                "e\n");
    }
    SendRunInput in = HtmlInput();
    const QString fifo = TempFolder() + QStringLiteral("pipe.pdf");
    QFile::remove(fifo);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    in.attachments = {TempFolder() + QStringLiteral("missing.pdf"), good, TempFolder(), fifo};
    QString error;
    const QString path = SavePreview(in, &error);
    ASSERT_FALSE(path.isEmpty()) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray eml = f.readAll();
    EXPECT_TRUE(eml.contains("notes.txt"));
    EXPECT_FALSE(eml.contains("missing.pdf"));
    EXPECT_FALSE(eml.contains("pipe.pdf"));
    QFile::remove(fifo);
}
