// The history of send runs: the names of its files and how the History Manager lists them.
#include "sending/HistoryStore.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

TEST(HistoryStore, NamesRunsByStartTimeAndCleanedSubject) {
    testenv::FreshDataPath();
    const QDateTime start(QDate(2026, 12, 8), QTime(1, 31, 5));
    EXPECT_EQ(HistoryBase(start, QStringLiteral("Spring offer: 20% off!")),
              HistoryFolder() + QStringLiteral("12-08-2026_01-31-05_Spring offer 20 off"));
    EXPECT_EQ(SubjectToFileName(QString()), QStringLiteral("No Subject"));
    EXPECT_EQ(SubjectToFileName(QStringLiteral("_é!?")), QStringLiteral("No Subject"));
    EXPECT_EQ(SubjectToFileName(QStringLiteral("a_b-c d\u00e9")), QStringLiteral("ab-c d"));
    EXPECT_EQ(HistoryBase(start, QString(100, QLatin1Char('k'))).section(QLatin1Char('_'), 2).size(), 64);
    EXPECT_EQ(HistoryDetails(QStringLiteral("12-08-2026_01-31-05_Spring offer 20 off.txt")),
              QStringLiteral("Date = 12-08-2026  -  Time = 01-31-05 - Subject = Spring offer 20 off"));
    EXPECT_EQ(HistoryDetails(QStringLiteral("notes.txt")), QString());
}
