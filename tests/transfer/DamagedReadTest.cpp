// Import and export over a group whose rows cannot all be read: neither passes a read that broke off
// for the end of the group.
#include "core/Database.h"
#include "core/Paths.h"
#include "tests/support/DamagedDatabase.h"
#include "tests/support/TestFiles.h"
#include "transfer/RecipientExporter.h"
#include "transfer/RecipientImporter.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// The export stops at a damaged page of the rows and keeps the file it would have replaced; the import's
// look-up for duplicates that breaks off on a damaged page of the index never adds the address.
TEST(DamagedRead, ExportAndImportTellAReadThatBrokeOff) {
    testenv::ZeroPages(UserDatabasePath(), testenv::FillGroupDatabase(QStringLiteral("Large"), 3000), 0.1, 1);
    const QString kept = testenv::WriteFile(DataPath() + QStringLiteral("kept.txt"), "old content");
    ExportOptions out;
    out.groupName = QStringLiteral("Large");
    out.outputPath = kept;
    EXPECT_EQ(RecipientExporter(out).Run().status, ExportResult::Status::ReadFailed);
    EXPECT_EQ(testenv::ReadFile(kept), QByteArray("old content"));

    testenv::ZeroPages(UserDatabasePath(), testenv::FillGroupDatabase(QStringLiteral("Large"), 3000), 0.4, 1);
    QByteArray addresses;
    for (int i = 1; i <= 3000; ++i)
        addresses += "r" + QByteArray::number(i) + "@example.com\r\n";
    ImportOptions in;
    in.groupName = QStringLiteral("Large");
    in.filePath = testenv::WriteFile(DataPath() + QStringLiteral("again.txt"), addresses);
    const ImportResult result = RecipientImporter(in).Run();
    EXPECT_EQ(result.added, 0);
    EXPECT_GT(result.failed, 0);
    EXPECT_EQ(result.duplicates + result.failed, 3000);
    Connection db;
    ASSERT_TRUE(db.Open());
    int rows = 0;
    Recordset rs = db.Execute(GroupRecipientsSql(1, QString())); // the table's rows, not the index
    for (; !rs.Eof(); rs.MoveNext())
        ++rows;
    EXPECT_FALSE(rs.Failed());
    EXPECT_EQ(rows, 3000);
}

} // namespace
