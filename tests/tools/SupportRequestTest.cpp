// The technical-support request: its texts, and the mail as aiosmtpd receives it and Python's email
// package reads it (plain text, Windows-1252, quoted-printable, the blocks, never the password).
#include "tools/SupportRequest.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/WriteSendStatus.h"
#include "mail/Smtp.h"
#include "sending/MessageSetup.h"
#include "tests/mail/SmtpPeers.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TimeBounds.h"
#include "tools/MakerSite.h"
#include "tools/forms/SupportForm.h"
#include "tools/SystemFacts.h"
#include "ui/ShellOpener.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString kPassword = QStringLiteral("Hunter2-never-mailed");

void StoreAccount(quint16 port) {
    testenv::ClearSettings();
    const QString a = QString::fromLatin1(Sections::Account);
    SaveSetting(a, QStringLiteral("Name"), QStringLiteral("Ada Sender"));
    SaveSetting(a, QStringLiteral("Email"), QStringLiteral("ada@example.test"));
    SaveSetting(a, QStringLiteral("Server"), QStringLiteral("127.0.0.1"));
    SaveSetting(a, QStringLiteral("Port"), QString::number(port));
    SaveSetting(a, QStringLiteral("Password"), kPassword);
    SaveSetting(a, QStringLiteral("Encoding"), QStringLiteral("Base 64")); // the request ignores it
    SaveSetting(a, QStringLiteral("CharSet"), QStringLiteral("Cyrillic (KOI8-R)"));
}

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

QString HeaderOf(const QJsonObject& envelope, const char* name) {
    return envelope[QStringLiteral("headers")]
        .toObject()[QString::fromLatin1(name)]
        .toArray()
        .at(0)
        .toString();
}

// The body as Python's email package decodes it, with its line ends as "\n".
QString BodyOf(const QJsonObject& envelope) {
    return envelope[QStringLiteral("body")].toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
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

class SupportMail : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        StoreAccount(peer.port());
        qputenv("VELANTO_TEST_SUPPORT_ADDRESS", "help@maker.test");
    }
    void TearDown() override {
        qunsetenv("VELANTO_TEST_SUPPORT_ADDRESS");
        testenv::ClearSettings();
    }
    SupportRequest request() {
        SupportRequest r;
        r.topic = QStringLiteral("Bug Report");
        r.description = QStringLiteral("Grüße from the editor: 10 € lost\nsecond line");
        return r;
    }
    smtptest::PythonPeer peer{
        {QStringLiteral("--user"), QStringLiteral("ada"), QStringLiteral("--password"), kPassword}};
};

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
    r.priority = QStringLiteral("High");
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
        SetUpSenderAndServer(run, QStringLiteral("Normal"), false);
        run.AddRecipient(QString(), QStringLiteral("bob@example.test"), 1);
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

// The window, with message boxes, the file dialog and the browser answered by the test.
class SupportWindow : public SupportMail {
protected:
    void SetUp() override {
        SupportMail::SetUp();
        SetWebPageOpenerForTesting([this](const QString& url) {
            opened << url;
            return true;
        });
    }
    void TearDown() override {
        SetWebPageOpenerForTesting({});
        SupportMail::TearDown();
    }
    template <typename T>
    T* find(SupportForm& form, const char* name) {
        return form.findChild<T*>(QString::fromLatin1(name));
    }
    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers files;
    QStringList opened;
};

TEST_F(SupportWindow, OpensWithTheAccountAndTopicsAndRefusesABlankDescription) {
    SupportForm form(QStringLiteral("Normal"), false);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Technical Support"));
    EXPECT_EQ(find<QLineEdit>(form, "NameTextBox")->text(), QStringLiteral("Ada Sender"));
    EXPECT_EQ(find<QLineEdit>(form, "EmailTextBox")->text(), QStringLiteral("ada@example.test"));
    auto* topics = find<QComboBox>(form, "TopicComboBox");
    ASSERT_EQ(topics->count(), 5);
    EXPECT_EQ(topics->itemText(4), QStringLiteral("Product Idea and Suggestion"));
    EXPECT_EQ(topics->currentText(), QStringLiteral("Support Request"));
    EXPECT_TRUE(find<QCheckBox>(form, "CheckBox1")->isChecked());
    EXPECT_TRUE(find<QCheckBox>(form, "CheckBox2")->isChecked());
    EXPECT_FALSE(find<QCheckBox>(form, "CheckBox3")->isChecked());

    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("    "));
    find<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Please enter your description.")});
    EXPECT_TRUE(find<QPushButton>(form, "OKButton")->isEnabled());
    EXPECT_TRUE(peer.envelopes().isEmpty());

    // Add takes the chosen file, a second Add replaces it, a cancelled dialog keeps it, Remove empties.
    auto* attachment = find<QLineEdit>(form, "AttachmentTextBox");
    files.answer(QStringLiteral("/tmp/a.txt"));
    files.answer(QStringLiteral("/tmp/b.txt"));
    files.answer(QString());
    for (int i = 0; i < 3; ++i)
        find<QPushButton>(form, "AddButton")->click();
    EXPECT_EQ(attachment->text(), QStringLiteral("/tmp/b.txt"));
    EXPECT_EQ(files.seen().front().title, QStringLiteral("Technical Support"));
    find<QPushButton>(form, "RemoveButton")->click();
    EXPECT_EQ(attachment->text(), QString());
}

// Return in a box of the window sends nothing and opens nothing: no file dialog from the "+" button.
TEST_F(SupportWindow, ReturnInABoxPressesNoButton) {
    SupportForm form(QStringLiteral("Normal"), false);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("Help."));
    for (const char* box : {"NameTextBox", "EmailTextBox", "AttachmentTextBox"}) {
        find<QLineEdit>(form, box)->setFocus();
        QTest::keyClick(find<QLineEdit>(form, box), Qt::Key_Return);
        EXPECT_TRUE(files.seen().empty()) << box;
    }
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(find<QPushButton>(form, "OKButton")->isEnabled());
}

TEST_F(SupportWindow, ASentRequestKeepsTheInputsLocked) {
    SupportForm form(QStringLiteral("Low"), false);
    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("  It crashes.  "));
    find<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(boxes.texts(),
              QStringList{QStringLiteral("Your message has been successfully sent to Torvale.\n"
                                         "Please click Cancel to quit.")});
    EXPECT_EQ(boxes.seen().front().icon, QMessageBox::Information);
    EXPECT_EQ(find<QPlainTextEdit>(form, "DescriptionTextBox")->toPlainText(), QStringLiteral("It crashes."));
    EXPECT_FALSE(find<QPushButton>(form, "OKButton")->isEnabled());
    EXPECT_FALSE(find<QPlainTextEdit>(form, "DescriptionTextBox")->isEnabled());
    EXPECT_TRUE(find<QPushButton>(form, "CancelButton")->isEnabled());
    ASSERT_EQ(peer.envelopes().size(), 1);
    const QJsonObject e = peer.envelopes().first();
    EXPECT_EQ(HeaderOf(e, "subject"),
              QStringLiteral("Support Request - Torvale Velanto Ostrel Edition 14.0"));
    EXPECT_TRUE(HeaderOf(e, "x-priority").startsWith(u'5'));
    const QString body = BodyOf(e);
    EXPECT_TRUE(body.contains(QStringLiteral("---System Information---\nOperating System: ")));
    EXPECT_TRUE(body.contains(QStringLiteral("\nHome Folder: ") + QDir::homePath() + u'\n'));
    EXPECT_TRUE(body.contains(QStringLiteral("\nMounted File Systems:\n/")));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(SupportWindow, AFailedSendOffersTheOnlineFormAndUnlocksTheInputs) {
    SaveSetting(QString::fromLatin1(Sections::Account), QStringLiteral("Port"),
                QString::number(smtptest::FreePort()));
    SupportForm form(QStringLiteral("Normal"), false);
    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("No connection."));
    boxes.answer(QMessageBox::Ok);
    boxes.answer(QMessageBox::Yes);
    find<QPushButton>(form, "OKButton")->click();
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.seen()[0].text, GetSendErrorText(9));
    EXPECT_EQ(boxes.seen()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes.seen()[1].text,
              QStringLiteral("Sending your support request to Torvale failed.\n"
                             "Would you like to visit the online support form instead?"));
    EXPECT_EQ(opened, QStringList{OnlineSupportUrl()});
    EXPECT_TRUE(find<QPushButton>(form, "OKButton")->isEnabled());
    EXPECT_TRUE(find<QLineEdit>(form, "AttachmentTextBox")->isEnabled());

    // An attachment that cannot be read stops the next try before anything is sent; No opens nothing.
    SaveSetting(QString::fromLatin1(Sections::Account), QStringLiteral("Port"), QString::number(peer.port()));
    find<QLineEdit>(form, "AttachmentTextBox")->setText(QStringLiteral("/nonexistent/velanto/file.log"));
    boxes.answer(QMessageBox::Ok);
    boxes.answer(QMessageBox::No);
    find<QPushButton>(form, "OKButton")->click();
    ASSERT_EQ(boxes.seen().size(), 4u);
    EXPECT_EQ(boxes.seen()[2].text, GetSendErrorText(10));
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(peer.envelopes().isEmpty());
}

TEST_F(SupportWindow, CancelWhileSendingStopsTheConversationAndClosesWithoutResult) {
    smtptest::FakeServer silent;
    silent.greeting = smtptest::FakeServer::Silence;
    SaveSetting(QString::fromLatin1(Sections::Account), QStringLiteral("Port"),
                QString::number(silent.port()));
    SupportForm form(QStringLiteral("Normal"), false);
    form.show();
    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("Hangs."));
    QTimer::singleShot(100, &form, [&] {
        EXPECT_TRUE(form.IsSending());
        EXPECT_TRUE(find<QPushButton>(form, "CancelButton")->isEnabled());
        find<QPushButton>(form, "CancelButton")->click();
        EXPECT_TRUE(form.isVisible()); // not while the send is still on the stack
    });
    QElapsedTimer clock;
    clock.start();
    find<QPushButton>(form, "OKButton")->click();
    // The silent server would hold the send for the mail component's reply time-out of 60 s; the cancel
    // ends it when it comes.
    EXPECT_TRUE(testenv::EndedLongBeforeItsTimeOut(clock.elapsed(), 60000));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_TRUE(opened.isEmpty());
}

} // namespace
