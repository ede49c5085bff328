// A Group.mdb that is damaged or that comes from elsewhere: the store never writes to a file that failed
// its check (the bytes on disk stay as they were; the check itself is tested in tests/core), reads go on
// where the file still reads and tell where they broke off, and a stored group order that is not a plain
// sort clause is never run.
#include "core/Database.h"
#include "core/Paths.h"
#include "recipients/GroupCount.h"
#include "recipients/RecipientStore.h"
#include "tests/support/DamagedDatabase.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

RecipientValues Recipient(const QString& email) {
    RecipientValues values;
    values[0] = email;
    return values;
}

// A fresh data folder whose database holds the group "Intact" with enough recipients to fill many pages,
// as a file the program has not checked yet; the size of one page.
qint64 FillFreshDatabase() {
    return testenv::FillGroupDatabase(QStringLiteral("Intact"), 3000);
}

TEST(DamagedStore, AFileThatFailsItsCheckIsNeverWrittenAndStillReads) {
    for (const char* damage : {"a zeroed page", "one flipped bit"}) {
        SCOPED_TRACE(damage);
        const qint64 page = FillFreshDatabase();
        ASSERT_GT(page, 0);
        const QString file = UserDatabasePath();
        const QByteArray sound = testenv::ReadFile(file);
        ASSERT_GT(sound.size(), 20 * page);
        // A page of the recipients' rows, far from the groups' table at the start of the file.
        const qint64 offset = (sound.size() / page - 4) * page;
        if (QByteArray(damage).contains("zeroed"))
            testenv::OverwriteBytes(file, offset, QByteArray(int(page), '\0'));
        else
            testenv::OverwriteBytes(file, offset + page / 2,
                                    QByteArray(1, char(sound[offset + page / 2] ^ 4)));
        const QByteArray damaged = testenv::ReadFile(file);

        EXPECT_EQ(StoreResult::Failed, CreateGroup(QStringLiteral("New")));
        EXPECT_EQ(StoreResult::Failed, AddRecipient(QStringLiteral("Intact"), Recipient("new@example.com")));
        EXPECT_EQ(StoreResult::Failed, RenameGroup(QStringLiteral("Intact"), QStringLiteral("Renamed")));
        EXPECT_EQ(StoreResult::Failed,
                  DeleteRecipient(QStringLiteral("Intact"), QStringLiteral("r1@example.com")));
        EXPECT_EQ(StoreResult::Failed, DeleteGroup(QStringLiteral("Intact")));
        EXPECT_TRUE(damaged == testenv::ReadFile(file)) << "the file was written";

        EXPECT_EQ(QStringList{QStringLiteral("Intact")}, ReadGroupNames()) << "the groups' page still reads";
    }
}

// SortSQL is never written by the program: a foreign file may hold any statement text there.
TEST(DamagedStore, AGroupIsLoadedInItsStoredOrderOnlyWhenThatIsASortClause) {
    testenv::FreshDataPath();
    ASSERT_EQ(StoreResult::Done, CreateGroup(QStringLiteral("G")));
    for (const char* email : {"b@x.org", "c@x.org", "a@x.org"})
        ASSERT_EQ(StoreResult::Done,
                  AddRecipient(QStringLiteral("G"), Recipient(QString::fromLatin1(email))));
    const auto loaded = [](const QString& order) {
        Connection db;
        EXPECT_TRUE(db.Open());
        EXPECT_EQ(1, db.ExecuteWrite(QStringLiteral("UPDATE [Groups] SET [SortSQL] = '") + SqlQuote(order) +
                                     QStringLiteral("'")));
        db.Close();
        QStringList emails;
        GroupLoader loader;
        EXPECT_TRUE(loader.Start(QStringLiteral("G")));
        loader.Read(100, [&](QByteArrayView, QByteArrayView, QByteArrayView email) {
            emails << QString::fromUtf8(email);
        });
        loader.Finish();
        return emails;
    };
    EXPECT_EQ((QStringList{"c@x.org", "b@x.org", "a@x.org"}), loaded(QStringLiteral("G-Email desc")));
    EXPECT_EQ((QStringList{"b@x.org", "c@x.org", "a@x.org"}),
              loaded(QStringLiteral("[G-Email] DESC, (SELECT count(*) FROM [Emails])")));
}

// Every walk over a group's rows tells a read that broke off on a damaged page from the end of the
// group: the count, the Group Manager's load and the search say so instead of passing for the whole group.
TEST(DamagedStore, AReadThatBreaksOffIsAFailureAtEveryWalker) {
    const QString malformed = QStringLiteral("database disk image is malformed");
    const struct {
        const char* damage;
        double at;        // where in the file the zeroed page lies
        bool countBreaks; // the count reads the index alone
    } cases[] = {{"a page of the rows", 0.1, false}, {"a page of the index", 0.4, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        const QString group = QStringLiteral("Large");
        testenv::ZeroPages(UserDatabasePath(), testenv::FillGroupDatabase(group, 3000), c.at, 1);
        QString why;
        EXPECT_EQ(CountGroupRecipients(group, &why), c.countBreaks ? -1 : 3000);
        EXPECT_EQ(why, c.countBreaks ? malformed : QString());

        int rows = 0;
        const auto take = [&rows](QByteArrayView, QByteArrayView, QByteArrayView) { ++rows; };
        GroupLoader loader;
        loader.Start(group);
        while (loader.Read(500, take)) {
        }
        EXPECT_EQ(loader.ReadError(), malformed);
        loader.Finish();
        EXPECT_LT(rows, 3000);
        rows = 0;
        EXPECT_EQ(SearchRecipients(group, QStringLiteral("First Name"), QStringLiteral("Starts with"),
                                   QStringLiteral("Name"), take),
                  malformed);
        EXPECT_LT(rows, 3000);
    }
    EXPECT_EQ(
        IncompleteListText(219, QStringLiteral("disk I/O error")),
        QStringLiteral("The recipient database could not be read to the end: disk I/O error.\n\nThis list "
                       "is incomplete: it shows only the 219 recipients read before that."));
}

} // namespace
