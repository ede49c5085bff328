// The account dialog keeps stored list values it does not know, and stays open while its connection
// test runs.
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "sending/forms/EmailManagerForm.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// Failures show texts, not their bytes.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

QString Stored(const char* key) {
    return GetSetting(Sections::Account, key, QStringLiteral("<missing>"));
}

void StoreAccount(const char* key, const QString& value) {
    SaveSetting(Sections::Account, key, value);
}

struct ListValue {
    const char* key;
    const char* box;
    const char* stored;
};

// Values no list holds: hand-edited, written by another version, or with a stray blank.
const ListValue kUnknownValues[] = {
    {Keys::CharSet, "CharSetComboBox", "Western European (Windows) "},
    {Keys::AuthMode, "AuthModeComboBox", "PLAIN"},
    {Keys::ToField, "ToFieldComboBox", "Nickname"},
    {Keys::ThirdField, "ThirdFieldComboBox", "Exim"},
    {Keys::HeaderEncoding, "HeaderEncodingComboBox", "base64"},
    {Keys::Encoding, "ContentEncodingComboBox", "8bit"},
    {Keys::AttachmentEncoding, "AttachmentEncodingComboBox", "UUEncode"},
    {Keys::DSNNotify, "NotifyComboBox", "Notify me never"},
    {Keys::DSNReturn, "ReturnComboBox", ""},
};

void StoreUsableAccount() {
    testenv::ClearSettings();
    StoreAccount(Keys::Name, QStringLiteral("Ann"));
    StoreAccount(Keys::Email, QStringLiteral("ann@example.test"));
    StoreAccount(Keys::Server, QStringLiteral("mail.example.test"));
    StoreAccount(Keys::Auth, QStringLiteral("1"));
    StoreAccount(Keys::Username, QStringLiteral("ann"));
    StoreAccount(Keys::Password, QStringLiteral("secret"));
}

} // namespace

TEST(AccountDialog, StoredValuesAreKeptWhetherOrNotTheBoxesOfferThem) {
    StoreUsableAccount();
    for (const ListValue& v : kUnknownValues)
        StoreAccount(v.key, QString::fromUtf8(v.stored));
    // Texts longer than the boxes' typing limits (64 and 255) are kept whole as well.
    const QString longName = QStringLiteral("Ann ").repeated(40);
    const QString longUser = QStringLiteral("u").repeated(300);
    StoreAccount(Keys::Name, longName.trimmed());
    StoreAccount(Keys::Username, longUser);
    testenv::MessageBoxRecorder boxes;
    {
        EmailManagerForm form;
        for (const ListValue& v : kUnknownValues)
            EXPECT_EQ(form.findChild<QComboBox*>(QString::fromLatin1(v.box))->currentText(),
                      QString::fromUtf8(v.stored))
                << v.box;
        form.OKButton_Click();
        EXPECT_EQ(form.result(), QDialog::Accepted) << boxes.last().toStdString();
    }
    for (const ListValue& v : kUnknownValues)
        EXPECT_EQ(Stored(v.key), QString::fromUtf8(v.stored)) << v.key;
    EXPECT_EQ(Stored(Keys::Name), longName.trimmed());
    EXPECT_EQ(Stored(Keys::Username), longUser);

    // What the user picks is stored; the unknown value is not offered again once it is gone.
    {
        EmailManagerForm form;
        auto* charset = form.findChild<QComboBox*>(QStringLiteral("CharSetComboBox"));
        const int count = charset->count();
        charset->setCurrentText(QStringLiteral("Unicode (UTF-8)"));
        form.OKButton_Click();
        EXPECT_EQ(Stored(Keys::CharSet), QStringLiteral("Unicode (UTF-8)"));
        EmailManagerForm again;
        EXPECT_EQ(again.findChild<QComboBox*>(QStringLiteral("CharSetComboBox"))->count(), count - 1);
    }
}

TEST(AccountDialog, ConnectionTestKeepsTheDialogOpenUntilItsResultIsShown) {
    testenv::ClearSettings();
    // A server that takes the connection and never greets: the test waits on it until we hang up.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QTcpSocket* held = nullptr;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] { held = silent.nextPendingConnection(); });

    EmailManagerForm form;
    form.show();
    form.findChild<QLineEdit*>(QStringLiteral("ServerTextBox"))->setText(QStringLiteral("127.0.0.1"));
    form.findChild<QLineEdit*>(QStringLiteral("PortTextBox"))->setText(QString::number(silent.serverPort()));
    auto* ok = form.findChild<QPushButton*>(QStringLiteral("OKButton"));
    auto* cancel = form.findChild<QPushButton*>(QStringLiteral("CancelButton"));

    bool visibleWhenShown = false;
    QStringList shown;
    SetMessageBoxHook([&](const MessageBoxRequest& request) {
        shown << request.text;
        visibleWhenShown = form.isVisible();
        return QMessageBox::Ok;
    });
    bool triedWhileRunning = false;
    QTimer::singleShot(300, [&] {
        triedWhileRunning = true;
        QTest::keyClick(&form, Qt::Key_Escape);
        form.close();
        ok->click();
        cancel->click();
        form.OKButton_Click();
        form.ResetButton_Click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.result(), 0);
        EXPECT_TRUE(shown.isEmpty()) << shown.join(QLatin1Char('|')).toStdString();
        ASSERT_NE(held, nullptr);
        held->abort(); // the test now ends with a failed connection
    });
    form.TestPushButton_Click();
    SetMessageBoxHook(nullptr);

    EXPECT_TRUE(triedWhileRunning);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.first().startsWith(QStringLiteral("Error "))) << shown.first().toStdString();
    EXPECT_TRUE(visibleWhenShown);
    EXPECT_EQ(Stored(Keys::Name), QStringLiteral("<missing>"));
    // Afterwards the dialog answers as before.
    EXPECT_TRUE(ok->isEnabled());
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

// A screen reader toggles the box through its accessibility action, which is no click: the dialog
// must react all the same, or OK stores the credentials with authentication off.
TEST(AccountDialog, TheAuthenticationBoxReactsToAScreenReadersToggle) {
    StoreUsableAccount();
    testenv::MessageBoxRecorder boxes;
    EmailManagerForm form;
    auto* auth = form.findChild<QCheckBox*>(QStringLiteral("AuthCheckBox"));
    auto* user = form.findChild<QLineEdit*>(QStringLiteral("UsernameTextBox"));
    auto* password = form.findChild<QLineEdit*>(QStringLiteral("PasswordTextBox"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(auth);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->actionInterface(), nullptr);
    ASSERT_TRUE(
        accessible->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    ASSERT_TRUE(auth->isChecked());

    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(auth->isChecked());
    EXPECT_FALSE(user->isEnabled());
    EXPECT_FALSE(password->isEnabled());
    EXPECT_TRUE(user->text().isEmpty() && password->text().isEmpty());
    form.OKButton_Click();
    EXPECT_EQ(Stored(Keys::Auth), QStringLiteral("0"));
    EXPECT_EQ(Stored(Keys::Username), QString());
    EXPECT_EQ(Stored(Keys::Password), QString());

    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(auth->isChecked());
    EXPECT_TRUE(user->isEnabled() && password->isEnabled());
}

// The send run takes "Auth" as a number, so "1.0" logs in: the dialog must show that account as
// authenticating, with its user and password, and its OK must keep them.
TEST(AccountDialog, AuthenticationStoredAsANumberKeepsTheCredentials) {
    StoreUsableAccount();
    StoreAccount(Keys::Auth, QStringLiteral("1.0"));
    testenv::MessageBoxRecorder boxes;
    EmailManagerForm form;
    form.show();
    EXPECT_TRUE(form.findChild<QCheckBox*>(QStringLiteral("AuthCheckBox"))->isChecked());
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("UsernameTextBox"))->text(), QStringLiteral("ann"));
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("PasswordTextBox"))->text(),
              QStringLiteral("secret"));
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("OKButton")), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted) << boxes.last().toStdString();
    EXPECT_EQ(Stored(Keys::Auth), QStringLiteral("1"));
    EXPECT_EQ(Stored(Keys::Username), QStringLiteral("ann"));
    EXPECT_EQ(Stored(Keys::Password), QStringLiteral("secret"));
}
