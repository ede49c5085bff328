// The account set-up of the mail component: what the stored account makes of an SMTP object.
#include "sending/MessageSetup.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/Smtp.h"
#include "sending/ThreadModes.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

TEST(MessageSetup, FollowsTheAccountSettings) {
    testenv::ClearSettings();
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    SaveSetting(Sections::Account, Keys::Extended, QStringLiteral("1"));
    SaveSetting(Sections::Account, Keys::Encoding, QStringLiteral("Base 64"));
    {
        mail::Smtp smtp;
        SetUpSmtp(smtp, QStringLiteral("Normal"), true);
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
    SetUpSmtp(smtp, QStringLiteral("Urgent"), false);
    EXPECT_EQ(smtp.Spec().optionFlags, 256);
    EXPECT_EQ(smtp.Spec().priority, QString());
    EXPECT_EQ(smtp.Spec().headers.size(), 1);
    EXPECT_TRUE(ApplySubject(smtp, QString()));
    EXPECT_EQ(smtp.Spec().subject, QString());
    SaveSetting(Sections::Account, Keys::TextPart, QStringLiteral("2"));
    EXPECT_EQ(ApplyHtmlBody(smtp, QStringLiteral("/nonexistent.htm")), -1);
    SaveSetting(Sections::Account, Keys::TextPart, QStringLiteral("0"));
    EXPECT_EQ(ApplyHtmlBody(smtp, QStringLiteral("/nonexistent.htm")), 1);
}

// The thread mode comes from the stored text as the thread options store it, exactly.
TEST(ThreadModes, StoredTextsAndTheirValues) {
    testenv::ClearSettings();
    SaveSetting(Sections::SmtpThread, Keys::Mode, QStringLiteral("Single"));
    EXPECT_EQ(SmtpThreadModeValue(), 0);
    EXPECT_EQ(ThreadModeValue(QStringLiteral("second")), -1);
}
