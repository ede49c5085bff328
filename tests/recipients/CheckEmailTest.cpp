#include "recipients/CheckEmail.h"
#include "recipients/GroupCount.h"

#include "core/Database.h"
#include "tests/support/TestEnvironment.h"
#include "ui/MainFormControls.h"

#include <QComboBox>
#include <gtest/gtest.h>

TEST(CheckEmail, AcceptsTheAddressShapesOfTheRule) {
    for (const char* good : {"a@example.com", "ab@example.com", "_x@example.com", "-x@example.com",
                             "first.last@mail.example.org", "A.B-C_d@EXAMPLE.COM", "x1@a1.info",
                             "me@my-host_1.co", "ab@255.255.255.255", "ab@0.00.010.199", "ab@ex.museum.de"})
        EXPECT_TRUE(ValidateEmailSilent(QString::fromLatin1(good))) << good;
}

TEST(CheckEmail, RefusesWhatTheRuleDoesNot) {
    for (const char* bad : {"",
                            "1@example.com",
                            "_@example.com",
                            "-@example.com",
                            "a..b@example.com",
                            ".ab@example.com",
                            "ab.@example.com",
                            "ab@e.com",
                            "ab@example.c",
                            "ab@example.museum",
                            "ab@example.c0m",
                            "ab@-ex.com",
                            "ab@_ex.com",
                            "ab@256.1.1.1",
                            "ab@300.1.1.1",
                            "ab@[1.2.3.4]",
                            " ab@example.com",
                            "ab@example.com ",
                            "a b@example.com",
                            "ab@@example.com",
                            "ab@example"})
        EXPECT_FALSE(ValidateEmailSilent(QString::fromLatin1(bad))) << bad;
}

TEST(CheckEmail, MatchesTheWholeTextOnlyAndAsciiLettersOnly) {
    // "$" must not stop before a final line break.
    EXPECT_FALSE(ValidateEmailSilent(QStringLiteral("a@b.com\n")));
    EXPECT_FALSE(ValidateEmailSilent(QStringLiteral("ab@example.com\nab@example.com")));
    // Case folding must not widen the letter classes: Kelvin sign, long s, accented letters.
    EXPECT_FALSE(ValidateEmailSilent(QStringLiteral("ab@example.\u212Aom")));
    EXPECT_FALSE(ValidateEmailSilent(QStringLiteral("\u212A@example.com")));
    EXPECT_FALSE(ValidateEmailSilent(QStringLiteral("ab@example.co\u017F")));
    EXPECT_FALSE(ValidateEmailSilent(QStringLiteral("zo\u00eb@example.com")));
}

TEST(CheckEmail, NoAddressIsLongerThan254Characters) {
    // A local part of 240 characters plus "@example.com" and padding to the limit, then one more.
    const QString domain = QStringLiteral("@example.com");
    const QString fits = QString(MaxEmailLength - domain.size(), QLatin1Char('a')) + domain;
    ASSERT_EQ(254, fits.size());
    EXPECT_TRUE(ValidateEmailSilent(fits));
    EXPECT_FALSE(ValidateEmailSilent(QLatin1Char('a') + fits));
    testenv::MessageBoxRecorder boxes;
    EXPECT_FALSE(ValidateEmail(QLatin1Char('a') + fits)) << "the dialogs refuse it too";
    EXPECT_EQ(1u, boxes.seen().size());
}

TEST(CheckEmail, OnlyTheLoudRuleShowsItsMessage) {
    testenv::MessageBoxRecorder boxes;
    EXPECT_TRUE(ValidateEmail(QStringLiteral("ab@example.com")));
    EXPECT_FALSE(ValidateEmailSilent(QStringLiteral("nope")));
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_FALSE(ValidateEmail(QStringLiteral("nope")));
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.last(), QStringLiteral("Invalid email address."));
    EXPECT_EQ(boxes.seen().front().icon, QMessageBox::Warning);
}

TEST(GroupCount, CountsTheRowsOfTheNamedGroupOnly) {
    testenv::FreshDataPath();
    Connection db;
    ASSERT_TRUE(db.Open());
    ASSERT_EQ(db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Friends')")), 1);
    ASSERT_EQ(db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Empty')")), 1);
    ASSERT_TRUE(db.BeginTransaction());
    for (int i = 0; i < 33000; ++i)
        db.ExecuteWrite(
            QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email]) VALUES (1, 'r%1@x.com')").arg(i));
    ASSERT_TRUE(db.Commit());
    db.Close();

    // Counts are 32-bit: past 32767 the count goes on.
    EXPECT_EQ(CountGroupRecipients(QStringLiteral("friends")), 33000);
    EXPECT_EQ(CountGroupRecipients(QStringLiteral("Empty")), 0);
    EXPECT_EQ(CountGroupRecipients(QStringLiteral("Nobody")), 0);
    EXPECT_EQ(CountGroupRecipients(QStringLiteral("x' OR '1'='1")), 0);

    QComboBox to;
    to.addItems({QStringLiteral("Empty"), QStringLiteral("Friends")});
    MainFormUi().ToComboBox = &to;
    to.setCurrentIndex(1);
    EXPECT_EQ(CountToGroupRecipients(), 33000);
    MainFormUi().ToComboBox = nullptr;
    EXPECT_EQ(CountToGroupRecipients(), 0);
}
