// The account set-up of the mail component: what the stored account makes of an SMTP object.
#include "sending/MessageSetup.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/MimeComposer.h"
#include "mail/Smtp.h"
#include "sending/ThreadModes.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QJsonArray>
#include <gtest/gtest.h>

using namespace sendingtest;

namespace {

const char* const A = Sections::Account;

// An account at the peer that logs in as joe with the password the peer wants.
void StoreLogin(quint16 port) {
    testenv::ClearSettings();
    StoreAccount(port);
    SaveSetting(A, Keys::Username, QStringLiteral("joe"));
    SaveSetting(A, Keys::Password, QStringLiteral("right"));
    SaveSetting(A, Keys::AuthMode, QStringLiteral("AUTH LOGIN"));
}

// One plain message to ann@example.test through an object set up from the stored account.
qint32 SendOne() {
    mail::Smtp smtp;
    SetUpSmtp(smtp, MessagePriority::Normal, false);
    smtp.AddRecipient(QStringLiteral("Ann"), QStringLiteral("ann@example.test"), mail::RecipientKind::To);
    ApplyTextBody(smtp, QStringLiteral("Hello"));
    return smtp.Send();
}

// The words of a JSON array, blank-separated.
std::string Words(const QJsonValue& array) {
    QStringList words;
    for (const QJsonValue& v : array.toArray())
        words << v.toString();
    return words.join(QLatin1Char(' ')).toStdString();
}

} // namespace

TEST(MessageSetup, FollowsTheAccountSettings) {
    testenv::ClearSettings();
    {
        mail::Smtp smtp;
        SetUpSmtp(smtp, MessagePriority::Low, false);
        EXPECT_EQ(smtp.Spec().optionFlags, 256) << "no extended character set unless asked for";
        EXPECT_EQ(smtp.Spec().priority, QStringLiteral("5"));
    }
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    SaveSetting(Sections::Account, Keys::Extended, QStringLiteral("1"));
    SaveSetting(Sections::Account, Keys::Encoding, QStringLiteral("Base 64"));
    {
        mail::Smtp smtp;
        SetUpSmtp(smtp, MessagePriority::Normal, true);
        const mail::MessageSpec& spec = smtp.Spec();
        EXPECT_EQ(spec.optionFlags, 272);
        EXPECT_EQ(smtp.ThreadMode(), 1);
        EXPECT_EQ(spec.priority, QStringLiteral("3"));
        EXPECT_EQ(spec.bodyEncoding, 2);
        EXPECT_EQ(spec.partEncoding, 2);
        EXPECT_EQ(spec.boundaryPrefix.size(), 10);
        EXPECT_TRUE(spec.headers.contains(
            qMakePair(QStringLiteral("X-Mailer"), QStringLiteral("Torvale Velanto Ostrel 14.0"))));
        EXPECT_TRUE(spec.headers.contains(
            qMakePair(QStringLiteral("Disposition-Notification-To"), QStringLiteral("ann@example.test"))));
        // A missing header encoding means quoted-printable.
        EXPECT_TRUE(ApplySubject(smtp, QStringLiteral("Grüße")));
        EXPECT_TRUE(smtp.Spec().subject.startsWith(QStringLiteral("=?")))
            << smtp.Spec().subject.toStdString();
    }
    SaveSetting(Sections::Account, Keys::Extended, QStringLiteral("0"));
    SaveSetting(Sections::Account, Keys::HeaderEncoding, QStringLiteral("Base 64"));
    mail::Smtp smtp;
    SetUpSmtp(smtp, MessagePriority::Low, false);
    EXPECT_EQ(smtp.Spec().optionFlags, 256);
    EXPECT_EQ(smtp.Spec().priority, QStringLiteral("5"));
    EXPECT_EQ(smtp.Spec().headers.size(), 1);
    EXPECT_TRUE(ApplySubject(smtp, QString()));
    EXPECT_EQ(smtp.Spec().subject, QString());
    SaveSetting(Sections::Account, Keys::TextPart, QStringLiteral("2"));
    EXPECT_EQ(ApplyHtmlBody(smtp, QStringLiteral("/nonexistent.htm")), std::nullopt);
    SaveSetting(Sections::Account, Keys::TextPart, QStringLiteral("0"));
    EXPECT_EQ(ApplyHtmlBody(smtp, QStringLiteral("/nonexistent.htm")), mail::ImportOpenFailed);
}

// The thread mode comes from the stored text as the thread options store it, exactly; a text none of
// the modes names leaves the component's own mode.
TEST(ThreadModes, StoredTextsAndTheirValues) {
    testenv::ClearSettings();
    EXPECT_EQ(SmtpThreadModeValue(), 1) << "nothing stored means \"Second\"";
    const struct {
        const char* stored;
        int value;
    } cases[] = {{"No", 2}, {"Single", 0}, {"Second", 1}, {"second", -1}, {"Odd", -1}, {"", -1}};
    for (const auto& c : cases) {
        SaveSetting(Sections::SmtpThread, Keys::Mode, QString::fromLatin1(c.stored));
        EXPECT_EQ(ThreadModeValue(QString::fromLatin1(c.stored)), c.value) << c.stored;
        EXPECT_EQ(SmtpThreadModeValue(), c.value) << c.stored;
        mail::Smtp smtp;
        smtp.SetThreadMode(2);
        SetUpThreadAndOptions(smtp);
        EXPECT_EQ(smtp.ThreadMode(), c.value < 0 ? 2 : c.value) << c.stored;
    }
}

// "Auth" is a number: only a value equal to 1 logs in, and then with the stored mechanism.
TEST(MessageSetup, LogsInOnlyWhenAuthIsNumericallyOne) {
    SmtpPeer peer({}, QStringLiteral("joe"), QStringLiteral("right"));
    StoreLogin(peer.port());
    const struct {
        const char* stored;
        bool logsIn;
    } cases[] = {{"1", true}, {" 1 ", true},  {"1.0", true}, {"0", false},
                 {"", false}, {"yes", false}, {"11", false}, {"0.1", false}};
    for (const auto& c : cases) {
        SaveSetting(A, Keys::Auth, QString::fromLatin1(c.stored));
        const int before = peer.authAttempts();
        mail::Smtp smtp;
        SetUpSmtp(smtp, MessagePriority::Normal, false);
        EXPECT_EQ(smtp.Connect(0), 0) << c.stored;
        EXPECT_EQ(smtp.Disconnect(0), 0) << c.stored;
        EXPECT_EQ(peer.authAttempts() - before, c.logsIn ? 1 : 0) << '"' << c.stored << '"';
    }
    EXPECT_EQ(peer.authMechanisms().join(QLatin1Char(' ')).toStdString(), "LOGIN LOGIN LOGIN");
}

// The delivery-status requests go with the login: with "Auth" 1 the stored texts become the MAIL FROM
// and RCPT TO parameters, "Do not send command to server" asks for nothing; without login nothing is
// asked, whatever the account dialog shows.
TEST(MessageSetup, DeliveryStatusRequestsOnlyWithTheLogin) {
    SmtpPeer login({}, QStringLiteral("joe"), QStringLiteral("right"), SmtpPeer::Dsn::Offered);
    StoreLogin(login.port());
    SaveSetting(A, Keys::Auth, QStringLiteral("1"));
    const struct {
        const char* notify;
        const char* ret;
        const char* mailDsn;
        const char* rcptDsn;
    } cases[] = {
        {"Notify me in all conditions", "Return the full message", "RET=FULL",
         "NOTIFY=SUCCESS,FAILURE,DELAY"},
        {"Notify me if message fails", "Return only the header of the message", "RET=HDRS", "NOTIFY=FAILURE"},
        {"Notify me if message is sent", "Return whatever the server default is", "", "NOTIFY=SUCCESS"},
        {"Notify me if message is delayed", "Do not send command to server", "", "NOTIFY=DELAY"},
        {"Do not send command to server", "Do not send command to server", "", ""},
    };
    int sent = 0;
    for (const auto& c : cases) {
        SaveSetting(A, Keys::DSNNotify, QString::fromLatin1(c.notify));
        SaveSetting(A, Keys::DSNReturn, QString::fromLatin1(c.ret));
        ASSERT_EQ(SendOne(), 0) << c.notify;
        const QJsonObject envelope = login.envelope(sent++);
        EXPECT_EQ(Words(envelope.value(QStringLiteral("mail_dsn"))), c.mailDsn) << c.ret;
        EXPECT_EQ(Words(envelope.value(QStringLiteral("rcpt_dsn"))), c.rcptDsn) << c.notify;
    }

    SmtpPeer open({}, QString(), QString(), SmtpPeer::Dsn::Offered);
    StoreAccount(open.port());
    SaveSetting(A, Keys::Auth, QStringLiteral("0"));
    SaveSetting(A, Keys::DSNNotify, QStringLiteral("Notify me in all conditions"));
    SaveSetting(A, Keys::DSNReturn, QStringLiteral("Return the full message"));
    ASSERT_EQ(SendOne(), 0);
    EXPECT_EQ(Words(open.envelope(0).value(QStringLiteral("mail_dsn"))), "");
    EXPECT_EQ(Words(open.envelope(0).value(QStringLiteral("rcpt_dsn"))), "");
    EXPECT_EQ(open.authAttempts(), 0);
}

// The per-message rules take the stored texts exactly; a text none of them names leaves its part out.
TEST(MessageSetup, AttachmentBodyAndSubjectRulesFollowTheStoredTexts) {
    testenv::ClearSettings();
    const QString file = TempFolder() + QStringLiteral("notes.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("notes\n");
    }
    const struct {
        const char* stored;
        qint32 encoding;
    } attachments[] = {{"Base 64", mail::AttachBase64},
                       {"Quoted Printable", mail::AttachQuotedPrintable},
                       {"None", mail::AttachNone}};
    for (const auto& a : attachments) {
        SaveSetting(A, Keys::AttachmentEncoding, QString::fromLatin1(a.stored));
        mail::Smtp smtp;
        ApplyAttachments(smtp, {file, file});
        ASSERT_EQ(smtp.Spec().attachments.size(), 2) << a.stored;
        EXPECT_EQ(smtp.Spec().attachments.at(1).encoding, a.encoding) << a.stored;
        EXPECT_EQ(smtp.Spec().attachments.at(1).path, file);
    }
    SaveSetting(A, Keys::AttachmentEncoding, QStringLiteral("UUEncode"));
    mail::Smtp smtp;
    ApplyAttachments(smtp, {file});
    EXPECT_TRUE(smtp.Spec().attachments.isEmpty());

    // "TextPart" 1 adds the text alternative of the HTML body, 0 sends the HTML alone.
    const QString html = TempFolder() + QStringLiteral("rules.htm");
    {
        QFile f(html);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("<html><body><p>Dear reader</p></body></html>");
    }
    SaveSetting(A, Keys::TextPart, QStringLiteral("1"));
    EXPECT_EQ(ApplyHtmlBody(smtp, html), mail::ImportOk);
    EXPECT_TRUE(smtp.Spec().textAlternative);
    EXPECT_TRUE(smtp.Spec().bodyText.contains(QStringLiteral("Dear reader")));
    smtp.ClearMessage(3);
    SaveSetting(A, Keys::TextPart, QStringLiteral("0"));
    EXPECT_EQ(ApplyHtmlBody(smtp, html), mail::ImportOk);
    EXPECT_FALSE(smtp.Spec().textAlternative);
    EXPECT_TRUE(smtp.Spec().htmlBody.contains(QStringLiteral("Dear reader")));

    // "Quoted Printable" and "Base 64" encode the subject in their own way; another text sets none.
    SaveSetting(A, Keys::HeaderEncoding, QStringLiteral("Quoted Printable"));
    EXPECT_TRUE(ApplySubject(smtp, QStringLiteral("Grüße")));
    EXPECT_TRUE(smtp.Spec().subject.contains(QStringLiteral("?Q?"), Qt::CaseInsensitive))
        << smtp.Spec().subject.toStdString();
    SaveSetting(A, Keys::HeaderEncoding, QStringLiteral("Base 64"));
    EXPECT_TRUE(ApplySubject(smtp, QStringLiteral("Grüße")));
    EXPECT_TRUE(smtp.Spec().subject.contains(QStringLiteral("?B?"), Qt::CaseInsensitive))
        << smtp.Spec().subject.toStdString();
    smtp.ClearMessage(3);
    SaveSetting(A, Keys::HeaderEncoding, QStringLiteral("base64"));
    EXPECT_TRUE(ApplySubject(smtp, QStringLiteral("Grüße")));
    EXPECT_EQ(smtp.Spec().subject, QString());
}
