// The e-mail rule as the dialogs apply it: the same rule, and a refused address is reported.
#include "recipients/forms/ValidateEmail.h"

#include "tests/support/DialogAnswers.h"

#include <gtest/gtest.h>

TEST(CheckEmail, OnlyTheLoudRuleShowsItsMessage) {
    testenv::MessageBoxRecorder boxes;
    EXPECT_TRUE(ValidateEmail(QStringLiteral("ab@example.com")));
    EXPECT_FALSE(ValidateEmailSilent(QStringLiteral("nope")));
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_FALSE(ValidateEmail(QStringLiteral("nope")));
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.last(), QStringLiteral("Invalid email address."));
    EXPECT_EQ(boxes.seen().front().icon, QMessageBox::Warning);

    // The length limit holds here too: the dialogs refuse what the silent rule refuses.
    const QString tooLong = QString(MaxEmailLength - 11, QLatin1Char('a')) + QStringLiteral("@example.com");
    EXPECT_FALSE(ValidateEmail(tooLong));
    EXPECT_EQ(boxes.seen().size(), 2u);
}
