// The merge macros of a subject: each recipient's own values, never a second header line.
#include "sending/MergeMacros.h"

#include <QHash>
#include <gtest/gtest.h>

TEST(MergeMacros, SubjectTakesTheRecipientsValuesOnOneLine) {
    const QHash<QString, QString> values{
        {QStringLiteral("G-FirstName"), QStringLiteral("Ann")},
        {QStringLiteral("G-LastName"), QStringLiteral("Lee\r\nBcc: x@example.test")},
        {QStringLiteral("G-Company"), QStringLiteral("A\rB\nC\n\rD")}};
    const auto valueOf = [&values](const QString& column) { return values.value(column); };
    // Every occurrence is replaced; the tokens are exact (case counts); a column without a value empties
    // its macro.
    EXPECT_EQ(MergeSubject(QStringLiteral("$*MergeFirstName*$ $*MergeLastName*$, $*MergeFirstName*$ of "
                                          "$*MergeCompany*$ ($*mergefirstname*$|$*MergeCity*$|$*Merge*$)"),
                           valueOf),
              QStringLiteral("Ann Lee Bcc: x@example.test, Ann of A B C  D ($*mergefirstname*$||$*Merge*$)"));
    EXPECT_EQ(MergeSubject(QStringLiteral("No macros"), valueOf), QStringLiteral("No macros"));
    EXPECT_EQ(OneLine(QStringLiteral("a\r\n\r\nb")), QStringLiteral("a  b"));
    EXPECT_EQ(OneLine(QStringLiteral("plain")), QStringLiteral("plain"));
}
