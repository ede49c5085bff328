#include "core/Database.h"
#include "core/Paths.h"
#include "core/RecipientFields.h"
#include "tests/support/DamagedDatabase.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::FreshDataPath();
        ASSERT_TRUE(db.Open());
    }
    qint32 addGroup(const QString& name, const QString& sort = QString()) {
        EXPECT_EQ(1, db.ExecuteWrite(
                         QStringLiteral("INSERT INTO [Groups] ([GroupName], [SortSQL]) VALUES ('%1', '%2')")
                             .arg(name, SqlQuote(sort))));
        return GroupByName(db, name).id;
    }
    void addRecipient(qint32 group, const QString& email, const QString& first = QString()) {
        EXPECT_EQ(1, db.ExecuteWrite(QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName]) "
                                                    "VALUES (%1, '%2', '%3')")
                                         .arg(group)
                                         .arg(SqlQuote(email), SqlQuote(first))));
    }
    QStringList emailsOf(qint32 group, const QString& order = QString()) {
        QStringList out;
        for (Recordset rs = db.Execute(GroupRecipientsSql(group, order)); !rs.Eof(); rs.MoveNext())
            out << rs.Field(QStringLiteral("G-Email"));
        return out;
    }
    Connection db;
};

TEST_F(DatabaseTest, GroupLookupIgnoresCaseAndTrailingBlank) {
    const qint32 id = addGroup(QStringLiteral("Friends"));
    EXPECT_GT(id, 0);
    EXPECT_EQ(id, GroupByName(db, QStringLiteral("friends")).id);
    EXPECT_EQ(id, GroupByName(db, QStringLiteral("FRIENDS  ")).id);
    EXPECT_EQ(0, GroupByName(db, QStringLiteral("Friend")).id);
    EXPECT_TRUE(emailsOf(0).isEmpty());
    // A pasted quote cannot break the statement.
    EXPECT_EQ(0, GroupByName(db, QStringLiteral("x') OR ('1'='1")).id);
    // The record carries the stored order as stored, for the readers that run it.
    ASSERT_EQ(1,
              db.ExecuteWrite(
                  QStringLiteral("UPDATE [Groups] SET [SortSQL] = '[G-City] DESC' WHERE [ID] = %1").arg(id)));
    const GroupRecord group = GroupByName(db, QStringLiteral("friends"));
    EXPECT_EQ(group.sortSql, QStringLiteral("[G-City] DESC"));
    EXPECT_TRUE(group.error.isEmpty());
}

TEST_F(DatabaseTest, QuotesAndNonAsciiRoundTrip) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    addRecipient(id, QStringLiteral("obrien@example.com"), QStringLiteral("O'Brien"));
    addRecipient(id, QStringLiteral("zoe@example.com"), QStringLiteral("Zoë Łódź"));
    Recordset rs = db.Execute(QStringLiteral("SELECT * FROM [Emails] WHERE ([G-FirstName] = 'o''brien')"));
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(QStringLiteral("O'Brien"), rs.Field(QStringLiteral("G-FirstName")));
    EXPECT_EQ(QString(), rs.Field(QStringLiteral("G-Title"))) << "omitted columns read as empty text";
    rs = db.Execute(QStringLiteral("SELECT * FROM [Emails] WHERE ([G-FirstName] = 'ZOË ŁÓDŹ ')"));
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(QStringLiteral("zoe@example.com"), rs.Field(QStringLiteral("G-Email")));
}

TEST_F(DatabaseTest, AddressesDifferingInCaseAreDuplicates) {
    const qint32 id = addGroup(QStringLiteral("Dupes"));
    addRecipient(id, QStringLiteral("Ann@Example.com"));
    Recordset rs =
        db.Execute(QStringLiteral("SELECT * FROM [Emails] WHERE ([G-ID] = '%1 ') AND ([G-Email] = '%2')")
                       .arg(id)
                       .arg(QStringLiteral("ann@example.COM")));
    EXPECT_FALSE(rs.Eof());
    // Bare and quoted ids match the same rows.
    rs = db.Execute(QStringLiteral("SELECT * FROM [Emails] WHERE ([G-ID] = '%1')").arg(id));
    EXPECT_FALSE(rs.Eof());
}

TEST_F(DatabaseTest, SortSqlOrdersAGroup) {
    const qint32 id = addGroup(QStringLiteral("Sorted"), QStringLiteral("[G-Email] DESC"));
    for (const char* e : {"b@x.org", "c@x.org", "a@x.org"})
        addRecipient(id, QString::fromLatin1(e));
    Recordset g = db.Execute(QStringLiteral("SELECT * FROM [Groups] WHERE ([ID] = %1)").arg(id));
    EXPECT_EQ((QStringList{"c@x.org", "b@x.org", "a@x.org"}),
              emailsOf(id, g.Field(QStringLiteral("SortSQL"))));
    EXPECT_EQ((QStringList{"b@x.org", "c@x.org", "a@x.org"}), emailsOf(id)) << "order of adding";
    EXPECT_EQ((QStringList{"b@x.org", "c@x.org", "a@x.org"}), emailsOf(id, QStringLiteral("  ")));
}

// The program never writes SortSQL; a foreign file may hold any statement text there, even a query that
// never returns. Only column names with ASC or DESC are run; anything else reads in the order of adding.
TEST_F(DatabaseTest, OnlyASortClauseOfColumnNamesIsRun) {
    const qint32 id = addGroup(QStringLiteral("Sorted"));
    addRecipient(id, QStringLiteral("b@x.org"), QStringLiteral("x"));
    addRecipient(id, QStringLiteral("c@x.org"), QStringLiteral("x"));
    addRecipient(id, QStringLiteral("a@x.org"), QStringLiteral("y"));
    const QStringList added{"b@x.org", "c@x.org", "a@x.org"};
    const struct {
        const char* order;
        QStringList emails;
    } accepted[] = {
        {"G-Email", {"a@x.org", "b@x.org", "c@x.org"}},
        {"[g-email] desc", {"c@x.org", "b@x.org", "a@x.org"}},
        {" [G-FirstName]  DESC ,[G-Email] ASC ", {"a@x.org", "b@x.org", "c@x.org"}},
        {"ID DESC", {"a@x.org", "c@x.org", "b@x.org"}},
    };
    for (const auto& c : accepted) {
        QString why;
        EXPECT_EQ(c.emails, emailsOf(id, QString::fromLatin1(c.order))) << c.order;
        GroupRecipientsSql(id, QString::fromLatin1(c.order), &why);
        EXPECT_EQ(QString(), why) << c.order;
    }
    for (const char* order :
         {"[NoSuchColumn]", "random()", "[G-Email] DESC, (SELECT count(*) FROM [Emails])",
          "[G-Email] DESC LIMIT 1", "[G-Email]; DROP TABLE [Groups]", "[G-Email] COLLATE BINARY DESC",
          "[G-Email] DESC,", "[G-Email", "G-Email DESC DESC", "1"}) {
        QString why;
        const QString sql = GroupRecipientsSql(id, QString::fromLatin1(order), &why);
        EXPECT_EQ(added, emailsOf(id, QString::fromLatin1(order))) << order;
        EXPECT_FALSE(why.isEmpty()) << order;
        EXPECT_TRUE(sql.endsWith(QLatin1String("ORDER BY [ID]"))) << order;
    }
}

// Values spliced into statement text go in whole, whatever quotes they hold, or not at all: a NUL ends
// the engine's reading of a statement, so it must never leave a value stored cut short.
TEST_F(DatabaseTest, QuotedValuesGoInWholeOrNotAtAll) {
    const qint32 id = addGroup(QStringLiteral("Quotes"));
    const QStringList values{QStringLiteral("O'Brien"),
                             QStringLiteral("'"),
                             QStringLiteral("''"),
                             QStringLiteral("ends with '"),
                             QStringLiteral("x'); DELETE FROM [Emails]; --"),
                             QStringLiteral("\"double\" and `grave` \\")};
    for (const QString& value : values)
        addRecipient(id, value);
    EXPECT_EQ(values, emailsOf(id));
    for (const QString& value : values)
        EXPECT_EQ(1, db.ExecuteWrite(QStringLiteral("DELETE FROM [Emails] WHERE [G-Email] = '") +
                                     SqlQuote(value) + QStringLiteral("'")))
            << value.toStdString();

    const QString nul = QStringLiteral("cut") + QChar(0) + QStringLiteral("') , ('2");
    const qint32 written =
        db.ExecuteWrite(QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email]) VALUES (") +
                        QString::number(id) + QStringLiteral(", '") + SqlQuote(nul) + QStringLiteral("')"));
    const QStringList stored = emailsOf(id);
    EXPECT_TRUE(written == -1 ? stored.isEmpty() : stored == QStringList{nul}) << written;
    EXPECT_EQ(0, GroupByName(db, QStringLiteral("Quotes") + QChar(0) + QStringLiteral("' OR '1'='1")).id);
}

TEST_F(DatabaseTest, LargeGroupCountsPast32767) {
    const qint32 id = addGroup(QStringLiteral("Big"));
    ASSERT_TRUE(db.BeginTransaction());
    for (int i = 0; i < 40000; ++i)
        db.ExecuteWrite(QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email]) VALUES (%1, 'u%2@x.org')")
                            .arg(id)
                            .arg(i));
    ASSERT_TRUE(db.Commit());
    qint32 count = 0;
    qint32 lastId = 0;
    for (Recordset rs = db.Execute(GroupRecipientsSql(id, QString())); !rs.Eof(); rs.MoveNext()) {
        ++count;
        rs.FieldInt(QStringLiteral("ID"), &lastId);
    }
    EXPECT_EQ(40000, count);
    EXPECT_EQ(1, db.ExecuteWrite(QStringLiteral("DELETE FROM [Emails] WHERE ([ID] = %1)").arg(lastId)));
    EXPECT_GT(lastId, 32767);
}

TEST_F(DatabaseTest, WritesReportFailureAndRowsTouched) {
    EXPECT_EQ(-1, db.ExecuteWrite(QStringLiteral("INSERT INTO [Nowhere] VALUES (1)")));
    EXPECT_EQ(0, db.ExecuteWrite(QStringLiteral("DELETE FROM [Emails] WHERE ([ID] = 12345)")));
    EXPECT_TRUE(db.Execute(QStringLiteral("SELECT * FROM [Nowhere]")).Failed());
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(Collation, FastComparisonAgreesWithUnicodeFolding) {
    // Short texts from few symbols, so that many share prefixes and differ only in case, in a trailing
    // blank or inside a multi-byte character: ASCII of both cases, characters that fold onto ASCII
    // (Kelvin sign, long s), letters with case (É/é, Ł/ł, Ω/ω), a character outside the BMP.
    const QStringList symbols = {"a", "A", "b",      "K",      "k", "s",          "S", "z",
                                 "@", ".", "1",      "_",      "é", "É",          "ł", "Ł",
                                 "ω", "Ω", "\u212A", "\u017F", "ß", "\U0001F600", "ﬀ", " "};
    QRandomGenerator random(42);
    std::vector<QByteArray> corpus{"", " ", "  "};
    for (int i = 0; i < 700; ++i) {
        QString text;
        const int length = random.bounded(7);
        for (int j = 0; j < length; ++j)
            text += symbols[random.bounded(int(symbols.size()))];
        text += QString(random.bounded(3), QLatin1Char(' '));
        corpus.push_back(text.toUtf8());
        // The same text in the other case, which the rule must call equal (or order as Qt folds it).
        corpus.push_back((random.bounded(2) ? text.toUpper() : text.toLower()).toUtf8());
    }
    int mismatches = 0;
    for (const QByteArray& a : corpus) {
        for (const QByteArray& b : corpus) {
            const int fast = sign(CompareRecipientText(a, b));
            const int unicode = sign(CompareRecipientTextUnicode(a, b));
            if (fast != unicode && ++mismatches < 10)
                ADD_FAILURE() << a.toStdString() << " vs " << b.toStdString() << ": " << fast << " not "
                              << unicode;
        }
    }
    EXPECT_EQ(0, mismatches);
    EXPECT_EQ(0, CompareRecipientText("Zoë@Example.COM  ", "zoë@example.com"));
    EXPECT_EQ(0, CompareRecipientText("\xE2\x84\xAA", "k")) << "the Kelvin sign folds to k";
    EXPECT_GT(0, CompareRecipientText("ab", "ab\xC3\xA9"));
}

TEST(DatabaseFile, BadFilesReadAsEmptyDatabase) {
    const QString dir = testenv::FreshDataPath();
    const QString junk = dir + QStringLiteral("junk.mdb");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    for (const QString& path : {junk, dir + QStringLiteral("missing.mdb")}) {
        Connection c;
        EXPECT_FALSE(c.Open(path));
        EXPECT_TRUE(c.Execute(QStringLiteral("SELECT * FROM [Groups]")).Eof());
        EXPECT_EQ(-1, c.ExecuteWrite(QStringLiteral("DELETE FROM [Groups]")));
        EXPECT_EQ(0, GroupByName(c, QStringLiteral("Friends")).id);
    }
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("missing.mdb"))) << "opening never creates a file";
}

// A read that breaks off on a damaged page ends the rows of both row readers, told from their end by
// Failed() and the engine's words; a statement run again starts with no failure.
TEST(DatabaseFile, AReadThatBreaksOffIsToldFromTheEndOfTheRows) {
    testenv::ZeroPages(UserDatabasePath(), testenv::FillGroupDatabase(QStringLiteral("Large"), 3000), 0.1, 1);
    Connection db;
    ASSERT_TRUE(db.Open());
    int rows = 0;
    Recordset rs = db.Execute(GroupRecipientsSql(1, QString()));
    for (; !rs.Eof(); rs.MoveNext())
        ++rows;
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 3000);
    EXPECT_TRUE(rs.Failed());
    EXPECT_EQ(rs.Error(), QStringLiteral("database disk image is malformed"));
    Statement st = db.Prepare(GroupRecipientsSql(1, QString()));
    for (int run = 0; run < 2; ++run) {
        int stepped = 0;
        while (st.Step())
            ++stepped;
        EXPECT_EQ(stepped, rows);
        EXPECT_TRUE(st.Failed());
        EXPECT_EQ(st.Error(), rs.Error());
        st.Reset();
        EXPECT_FALSE(st.Failed());
    }
}

// The shipped file is a real SQLCipher database: the CLI opens it with the password only.
TEST(DatabaseFile, ShippedFileHasTheSchemaAndNeedsThePassword) {
    const auto cli = [](const QString& script) {
        QProcess p;
        p.start(QStringLiteral("sqlcipher"), {testenv::ShippedDatabase()});
        p.write(script.toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    };
    const QString schema =
        cli(QStringLiteral("PRAGMA key = '%1';\nPRAGMA table_info(Groups);\nPRAGMA table_info(Emails);\n")
                .arg(QLatin1String(DatabasePassword)));
    QStringList names;
    for (const QString& line : schema.split('\n', Qt::SkipEmptyParts))
        names << line.section('|', 1, 1);
    QStringList expected{"ID", "GroupName", "SortSQL", "ID", "G-ID"};
    for (const auto& f : RecipientFields)
        expected << QString::fromLatin1(f.column);
    EXPECT_EQ(expected, names) << schema.toStdString();
    const QString withoutKey = cli(QStringLiteral("SELECT * FROM Groups;\n"));
    EXPECT_TRUE(withoutKey.contains(QStringLiteral("not a database"))) << withoutKey.toStdString();
}

} // namespace
