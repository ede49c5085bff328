#include "tests/support/DamagedDatabase.h"

#include "core/Database.h"
#include "core/Paths.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <gtest/gtest.h>

namespace testenv {

qint64 FillGroupDatabase(const QString& group, int count) {
    FreshDataPath();
    const QString filled = UserDatabasePath();
    Connection db;
    EXPECT_TRUE(db.Open());
    EXPECT_EQ(1, db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('") +
                                 SqlQuote(group) + QStringLiteral("')")));
    const qint32 id = GroupByName(db, group).id;
    EXPECT_EQ(count,
              db.ExecuteWrite(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                             "WHERE i < %1) INSERT INTO [Emails] ([G-ID], [G-Email], "
                                             "[G-FirstName]) SELECT %2, 'r' || i || '@example.com', "
                                             "'Name' || i FROM n")
                                  .arg(count)
                                  .arg(id)));
    Recordset rs = db.Execute(QStringLiteral("PRAGMA page_size"));
    const qint64 page = rs.Field(QStringLiteral("page_size")).toLongLong();
    rs.Close();
    db.Close();
    // The check's verdict is kept per file: a copy under a new name is one it has not seen.
    FreshDataPath();
    QFile::remove(UserDatabasePath());
    EXPECT_TRUE(QFile::copy(filled, UserDatabasePath()));
    return page;
}

void ZeroPages(const QString& file, qint64 pageSize, double fraction, int pages) {
    const qint64 first = qint64(double(QFile(file).size() / pageSize) * fraction);
    OverwriteBytes(file, first * pageSize, QByteArray(int(pageSize * pages), '\0'));
}

} // namespace testenv
