// The account dialog and its connection test, the send checks, the preview and the signature dialog.
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "sending/SendCheckRules.h"
#include "sending/forms/EmailManagerForm.h"
#include "sending/forms/MessagePreview.h"
#include "sending/forms/SendChecks.h"
#include "sending/forms/SignatureManagerForm.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestComposer.h"
#include "tests/support/TestEnvironment.h"
#include "ui/ShellOpener.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QUrl>
#include <gtest/gtest.h>

using namespace sendingtest;

namespace {
template <typename T>
T* Find(QWidget& w, const char* name) {
    T* child = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QString Stored(const char* key) {
    return GetSetting(Sections::Account, key, QStringLiteral("<missing>"));
}

// What the account dialog hands the main window: every sender line and the last sending method.
struct MainLists {
    QStringList senders;
    QString method;
    explicit MainLists(EmailManagerForm& form) {
        QObject::connect(&form, &EmailManagerForm::senderChanged, [this](const QString& s) { senders << s; });
        QObject::connect(&form, &EmailManagerForm::sendingMethodChanged,
                         [this](const QString& m) { method = m; });
    }
};
} // namespace

TEST(EmailManager, ShowsDefaultsAndStoresWhatOkAccepts) {
    testenv::ClearSettings();
    SaveSetting(Sections::Account, Keys::Username, QStringLiteral("olduser"));
    SaveSetting(Sections::Account, Keys::Password, QStringLiteral("oldpass"));
    SaveSetting(Sections::Account, Keys::Method, QStringLiteral("Odd"));
    testenv::MessageBoxRecorder boxes;
    EmailManagerForm form;
    MainLists main(form);
    EXPECT_EQ(Find<QLineEdit>(form, "PortTextBox")->text(), QStringLiteral("25"));
    EXPECT_FALSE(Find<QCheckBox>(form, "AuthCheckBox")->isChecked());
    EXPECT_EQ(Find<QLineEdit>(form, "UsernameTextBox")->text(), QString());
    EXPECT_EQ(Find<QLineEdit>(form, "PasswordTextBox")->text(), QString());
    // The password shows one "*" for every character, whatever the desktop style would use.
    Find<QLineEdit>(form, "PasswordTextBox")->setText(QStringLiteral("pa ss"));
    EXPECT_EQ(Find<QLineEdit>(form, "PasswordTextBox")->displayText(), QStringLiteral("*****"));
    EXPECT_TRUE(Find<QRadioButton>(form, "PersonalRadioButton")->isChecked());
    EXPECT_FALSE(Find<QLineEdit>(form, "BCCFieldTextBox")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(form, "BCCFieldTextBox")->text(), QStringLiteral("Group"));
    EXPECT_EQ(Find<QComboBox>(form, "HeaderEncodingComboBox")->currentText(), QStringLiteral("None"));
    EXPECT_EQ(Find<QComboBox>(form, "ContentEncodingComboBox")->currentText(),
              QStringLiteral("Quoted Printable"));
    EXPECT_EQ(Find<QComboBox>(form, "CharSetComboBox")->currentText(),
              QStringLiteral("Western European (Windows)"));
    EXPECT_TRUE(Find<QCheckBox>(form, "TextPartCheckBox")->isChecked());
    EXPECT_EQ(Find<QComboBox>(form, "ToFieldComboBox")->count(), 18);

    auto* port = Find<QLineEdit>(form, "PortTextBox");
    Find<QLineEdit>(form, "FullNameTextBox")->setText(QStringLiteral("  Ann Sender  "));
    Find<QLineEdit>(form, "EmailTextBox")->setText(QStringLiteral("ann@example.test"));
    Find<QLineEdit>(form, "ServerTextBox")->setText(QStringLiteral("mail.example.test"));
    for (const char* bad : {"0", "65536", ""}) {
        port->setText(QString::fromLatin1(bad));
        form.OKButton_Click();
        EXPECT_EQ(boxes.last(), *bad ? QStringLiteral("Please enter a valid port.")
                                     : QStringLiteral("Please enter your port."));
        EXPECT_EQ(Stored(Keys::Name), QStringLiteral("<missing>"));
    }
    EXPECT_EQ(Find<QLineEdit>(form, "FullNameTextBox")->text(), QStringLiteral("Ann Sender"));
    Find<QCheckBox>(form, "AuthCheckBox")->click();
    port->setText(QStringLiteral("0025"));
    form.OKButton_Click();
    EXPECT_EQ(boxes.last(), QStringLiteral("Please enter your username."));
    Find<QCheckBox>(form, "AuthCheckBox")->click();
    form.OKButton_Click();

    EXPECT_EQ(Stored(Keys::Name), QStringLiteral("Ann Sender"));
    EXPECT_EQ(Stored(Keys::Port), QStringLiteral("0025"));
    EXPECT_EQ(Stored(Keys::Username), QString());
    EXPECT_EQ(Stored(Keys::Password), QString());
    EXPECT_EQ(Stored(Keys::Method), QStringLiteral("Personal"));
    EXPECT_EQ(Stored(Keys::HeaderEncoding), QStringLiteral("None"));
    EXPECT_EQ(Stored(Keys::DSNReturn), QStringLiteral("Do not send command to server"));
    EXPECT_EQ(main.method, QStringLiteral("Personal Sending"));
    EXPECT_EQ(main.senders, QStringList{QStringLiteral("Ann Sender <ann@example.test>")});
}

TEST(EmailManager, ChecksOfTheOtherMethodsAndReset) {
    testenv::ClearSettings();
    SaveSetting(Sections::Account, Keys::Name, QStringLiteral("Ann"));
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    SaveSetting(Sections::Account, Keys::Server, QStringLiteral("mail.example.test"));
    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers folders;
    {
        EmailManagerForm form;
        EXPECT_EQ(Find<QPushButton>(form, "ThirdCommandButton")->text(), QString());
        Find<QRadioButton>(form, "BulkRadioButton")->setChecked(true);
        Find<QLineEdit>(form, "BCCFieldTextBox")->setText(QStringLiteral("   "));
        form.OKButton_Click();
        EXPECT_EQ(boxes.last(), QStringLiteral("Please enter the BCC Field."));
        EXPECT_EQ(Find<QTabWidget>(form, "TabControl")->currentIndex(), 1);
        Find<QRadioButton>(form, "ThirdRadioButton")->setChecked(true);
        form.OKButton_Click();
        EXPECT_EQ(boxes.last(), QStringLiteral("Please enter the queue directory."));
        folders.answer(QStringLiteral("/"));
        form.ThirdCommandButton_Click();
        form.OKButton_Click();
        EXPECT_EQ(boxes.last(), QStringLiteral("You cannot select root directory."));
        folders.answer(QStringLiteral("/var/spool/queue"));
        form.ThirdCommandButton_Click();
        EXPECT_EQ(Find<QLineEdit>(form, "ThirdPathTextBox")->text(), QStringLiteral("/var/spool/queue/"));
        EXPECT_EQ(Stored(Keys::Method), QStringLiteral("<missing>"));
    }
    {
        EmailManagerForm form;
        MainLists main(form);
        boxes.answer(QMessageBox::No);
        form.ResetButton_Click();
        EXPECT_EQ(Stored(Keys::Name), QStringLiteral("Ann"));
        boxes.answer(QMessageBox::Yes);
        form.ResetButton_Click();
        EXPECT_EQ(boxes.last(), QStringLiteral("You are just about to wipe out your email settings.\r\n"
                                               "Are you sure you want to proceed?"));
        EXPECT_EQ(Stored(Keys::Name), QStringLiteral("<missing>"));
        EXPECT_EQ(main.senders, QStringList{QString()}) << "no sender left";
    }
}

TEST(EmailManager, ConnectionTestReportsTheResultOfWhatIsTyped) {
    testenv::ClearSettings();
    SaveSetting(Sections::SmtpThread, Keys::Mode, QStringLiteral("No"));
    SmtpPeer peer;
    testenv::MessageBoxRecorder boxes;
    EmailManagerForm form;
    Find<QLineEdit>(form, "ServerTextBox")->setText(QStringLiteral("   "));
    form.TestPushButton_Click();
    EXPECT_EQ(boxes.last(), QStringLiteral("Please enter your mail server."));
    Find<QLineEdit>(form, "ServerTextBox")->setText(QStringLiteral("127.0.0.1"));
    Find<QLineEdit>(form, "PortTextBox")->setText(QString::number(peer.port()));
    form.TestPushButton_Click();
    EXPECT_EQ(boxes.last(), QStringLiteral("Your SMTP settings appear to be functioning correctly."));
    EXPECT_EQ(boxes.seen().back().icon, QMessageBox::Information);
    EXPECT_TRUE(Find<QPushButton>(form, "TestPushButton")->isEnabled());
    EXPECT_EQ(peer.quits().size(), 1);
    Find<QLineEdit>(form, "PortTextBox")->setText(QString::number(ClosedPort()));
    form.TestPushButton_Click();
    EXPECT_TRUE(boxes.last().startsWith(QStringLiteral("Error "))) << boxes.last().toStdString();
    EXPECT_EQ(Stored(Keys::Server), QStringLiteral("<missing>"));
}

TEST(SendChecks, StopAtTheFirstFailingCheck) {
    MakeGroup(2);
    testenv::TestComposer main;
    testenv::MessageBoxRecorder boxes;
    main.subject = QStringLiteral("   ");
    SaveSetting(Sections::Account, Keys::Name, QStringLiteral("Ann"));
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    SaveSetting(Sections::Account, Keys::Server, QStringLiteral("127.0.0.1"));
    EXPECT_FALSE(RunSendChecks(nullptr, main));
    EXPECT_EQ(boxes.last(), QStringLiteral("Please fill out the Mail Account section in Email Manager."));
    EXPECT_EQ(main.subject, QString());
    SaveSetting(Sections::Account, Keys::Port, QStringLiteral("25"));
    main.group = QStringLiteral("Friends"); // typed, with no group in the list
    EXPECT_FALSE(RunSendChecks(nullptr, main));
    EXPECT_EQ(boxes.last(), QStringLiteral("Please create at least one group of recipients."));
    main.groupCount = 2;
    main.group = QStringLiteral("Nobody");
    EXPECT_FALSE(RunSendChecks(nullptr, main));
    EXPECT_EQ(boxes.last(), QStringLiteral("The selected group does not contain any recipients."));
    main.group = QStringLiteral("Friends");
    boxes.answer(QMessageBox::No);
    EXPECT_FALSE(RunSendChecks(nullptr, main));
    EXPECT_EQ(boxes.last(), QStringLiteral("This message has no subject. Are you sure you want to send it?"));
    const size_t asked = boxes.seen().size();
    main.subject = QStringLiteral("RE: offer");
    boxes.answer(QMessageBox::Yes);
    boxes.answer(QMessageBox::No);
    EXPECT_FALSE(RunSendChecks(nullptr, main));
    EXPECT_EQ(boxes.seen().size(), asked + 2);
    EXPECT_EQ(boxes.last(), QStringLiteral("Are you sure you want to send an empty message?"));
    EXPECT_TRUE(RunSendChecks(nullptr, main)); // every question answered Yes
    // Each refusal but the empty body's (the editor's) sent the user to the control it names.
    using F = Composer::Field;
    EXPECT_EQ(main.focused, (std::vector<F>{F::AccountButton, F::GroupButton, F::GroupButton, F::Subject}));
}

// A picture of the document that cannot be read stops Send with a question whose answer is No unless
// the user says Yes; Preview names it too and shows the message without it.
TEST(SendChecks, PicturesThatCannotBeReadAreNamedBeforeSendAndPreview) {
    MakeGroup(2);
    SaveSetting(Sections::Account, Keys::Name, QStringLiteral("Ann"));
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    SaveSetting(Sections::Account, Keys::Server, QStringLiteral("127.0.0.1"));
    SaveSetting(Sections::Account, Keys::Port, QStringLiteral("25"));
    SaveSetting(Sections::Account, Keys::TextPart, QStringLiteral("0"));
    testenv::TestComposer main;
    main.subject = QStringLiteral("Offer");
    main.group = QStringLiteral("Friends");
    main.groupCount = 1;
    main.format = MessageFormat::Html;
    HtmlEditor editor;
    main.editor = &editor;
    const QString gone = TempFolder() + QStringLiteral("gone-logo.png");
    editor.SetDocumentHTML(QStringLiteral("<html><body><p>Hello</p><img src=\"%1\"></body></html>")
                               .arg(QUrl::fromLocalFile(gone).toString()));
    testenv::MessageBoxRecorder boxes;
    boxes.answer(QMessageBox::No);
    EXPECT_FALSE(RunSendChecks(nullptr, main));
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.last(), UnreadablePicturesQuestion({gone}));
    EXPECT_TRUE(boxes.last().contains(gone));
    EXPECT_EQ(boxes.seen().back().defaultButton, QMessageBox::No);
    EXPECT_TRUE(RunSendChecks(nullptr, main)) << "answered Yes";

    QStringList opened;
    SetFileOpenerForTesting([&opened](const QString& path) {
        opened << path;
        return true;
    });
    ShowMessagePreview(nullptr, main);
    SetFileOpenerForTesting(nullptr);
    EXPECT_EQ(boxes.last(), UnreadablePicturesWarning({gone}));
    EXPECT_EQ(boxes.seen().back().icon, QMessageBox::Warning);
    ASSERT_EQ(opened.size(), 1);
    const QByteArray eml = ReadAll(opened.front());
    EXPECT_TRUE(eml.contains("Hello"));
    EXPECT_FALSE(eml.contains("gone-logo")) << eml.constData();
}

TEST(MessagePreview, SavesTheUnmergedMessageAndOpensIt) {
    testenv::ClearSettings();
    SaveSetting(Sections::Account, Keys::Name, QStringLiteral("Ann"));
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    SaveSetting(Sections::Account, Keys::HeaderEncoding, QStringLiteral("None"));
    SaveSetting(Sections::Account, Keys::Encoding, QStringLiteral("None"));
    testenv::TestComposer main;
    main.subject = QStringLiteral("  Hello $*MergeFirstName*$ ");
    main.group = QStringLiteral("Friends");
    main.groupCount = 1;
    main.format = MessageFormat::Text;
    main.priority = MessagePriority::High;
    struct {
        QStringList opened;
    } opener;
    SetFileOpenerForTesting([&opener](const QString& path) {
        opener.opened << path;
        return true;
    });
    ShowMessagePreview(nullptr, main);
    SetFileOpenerForTesting(nullptr);
    EXPECT_EQ(main.subject, QStringLiteral("Hello $*MergeFirstName*$"));
    ASSERT_EQ(opener.opened, QStringList{TempFolder() + QStringLiteral("Preview.eml")});
    QFile f(opener.opened.front());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray eml = f.readAll();
    EXPECT_TRUE(eml.contains("Subject: Hello $*MergeFirstName*$\r\n")) << eml.constData();
    EXPECT_TRUE(eml.contains("X-Mailer: Torvale Velanto Ostrel 14.0\r\n"));
    EXPECT_TRUE(eml.contains("Friends"));
}

TEST(SignatureManager, StoresTheEditedSignatureAndResets) {
    testenv::ClearSettings();
    testenv::MessageBoxRecorder boxes;
    {
        SignatureManagerForm form;
        EXPECT_FALSE(Find<QCheckBox>(form, "SignatureCheckBox")->isChecked());
        EXPECT_TRUE(form.editor()->DocumentHTML().contains(QStringLiteral("confidential information")));
        form.OKButton_Click();
    }
    EXPECT_EQ(GetSetting(Sections::Signature, Keys::Status), QStringLiteral("0"));
    EXPECT_TRUE(
        GetSetting(Sections::Signature, Keys::Message).contains(QStringLiteral("confidential information")));
    {
        SignatureManagerForm form;
        Find<QCheckBox>(form, "SignatureCheckBox")->setChecked(true);
        form.editor()->SetDocumentHTML(QStringLiteral("<html><body><p>Regards, Ann</p></body></html>"));
        form.OKButton_Click();
    }
    EXPECT_EQ(GetSetting(Sections::Signature, Keys::Status), QStringLiteral("1"));
    EXPECT_TRUE(GetSetting(Sections::Signature, Keys::Message).contains(QStringLiteral("Regards, Ann")));
    {
        SignatureManagerForm form;
        boxes.answer(QMessageBox::No);
        form.ResetButton_Click();
        EXPECT_EQ(GetSetting(Sections::Signature, Keys::Status), QStringLiteral("1"));
        boxes.answer(QMessageBox::Yes);
        form.ResetButton_Click();
        EXPECT_EQ(GetSetting(Sections::Signature, Keys::Status, QStringLiteral("<missing>")),
                  QStringLiteral("<missing>"));
    }
}
