#include "tests/support/TestFiles.h"
#include "tests/transfer/TransferFixture.h"
#include "transfer/ImportText.h"
#include "transfer/RecipientImporter.h"

#include <QStringEncoder>

namespace {

class ImportEngine : public TransferFixture {
protected:
    ImportResult importEmails(const QString& path, const QString& group = QStringLiteral("Clients"),
                              const ImportRunHooks& hooks = {}) {
        ImportOptions o;
        o.filePath = path;
        o.groupName = group;
        return RecipientImporter(o).Run(hooks);
    }
    ImportResult importFields(const QString& path, QChar delimiter, std::array<int, 18> mapping,
                              bool quotes = false, const ImportRunHooks& hooks = {}, int offered = 0) {
        ImportOptions o;
        o.offeredFields = offered;
        o.filePath = path;
        o.groupName = QStringLiteral("Clients");
        o.mode = ImportMode::Fields;
        o.delimiter = delimiter;
        o.stripQuotes = quotes;
        o.mapping = mapping;
        return RecipientImporter(o).Run(hooks);
    }
    static std::array<int, 18> emailFirstLast() {
        std::array<int, 18> m{};
        m[0] = 1; // Email Address
        m[2] = 2; // First Name
        m[3] = 3; // Last Name
        return m;
    }
    static QString row(const QString& email, const QString& first = QString(),
                       const QString& last = QString()) {
        QStringList f(18);
        f[0] = email;
        f[2] = first;
        f[3] = last;
        return f.join(QLatin1Char('|'));
    }
};

TEST_F(ImportEngine, EmailModeAddsOnceReportsDuplicatesAndKeepsLongLabels) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    const QByteArray bytes = "Contact: Zo\xC3\xAB <zoe@example.com>\r\nzoe@example.com, ZOE@Example.com\n"
                             "also x@my.museum and nobody@z";
    const ImportResult r = importEmails(writeFile(QStringLiteral("list.txt"), bytes));
    EXPECT_EQ(ImportResult::Status::Completed, r.status);
    EXPECT_EQ(2, r.added);
    EXPECT_EQ(2, r.duplicates);
    EXPECT_EQ(1, r.ignored);
    EXPECT_EQ(QStringList({row("zoe@example.com"), row("x@my.museum")}), rowsOf(id));
    EXPECT_EQ(QStringLiteral("1 invalid recipients ignored.\n2 duplicate recipients ignored.\n"
                             "2 recipients imported successfully."),
              ImportSummaryText(r));
    EXPECT_EQ(QStringLiteral(
                  "Import Started\r\n--------------\r\n\r\n"
                  "Email Added : zoe@example.com\r\n"
                  "Email Duplicated : zoe@example.com\r\n"
                  "Email Duplicated : ZOE@Example.com\r\n"
                  "Email Added : x@my.museum\r\n"
                  "Email Ignored : nobody@z\r\n"
                  "\r\nProcessed : %1 Bytes\r\n\r\n"
                  "Added : 2\r\nIgnored : 1\r\nDuplicates : 2\r\n\r\n----------------\r\nImport Completed")
                  .arg(bytes.size()),
              reportText());

    // Addresses are stored whole or not at all: a character the scan does not take into an address
    // never starts a shorter one (mail to news@, brien@ or rg@ would reach strangers).
    const QByteArray names = "anna+news@example.org\r\no'brien@example.ie\r\nj\xC3\xB6rg@example.de\r\n"
                             "'quoted@example.org'";
    const ImportResult whole = importEmails(writeFile(QStringLiteral("names.txt"), names));
    EXPECT_EQ(3, whole.added);
    EXPECT_EQ(1, whole.ignored);
    EXPECT_EQ(QStringList({"zoe@example.com", "x@my.museum", "anna+news@example.org", "o'brien@example.ie",
                           "quoted@example.org"}),
              emailsOf(id));
    EXPECT_TRUE(reportText().contains(QStringLiteral("\r\nEmail Ignored : j\u00f6rg@example.de\r\n")));
    // A file without a single ignored token reports as it always did, without an "Ignored" count.
    importEmails(writeFile(QStringLiteral("clean.txt"), "zoe@example.com"));
    EXPECT_TRUE(reportText().contains(QStringLiteral("\r\nAdded : 0\r\nDuplicates : 1\r\n")));
    EXPECT_EQ(QFile::ReadOwner | QFile::WriteOwner,
              QFile::permissions(ImportReportPath()) &
                  (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther |
                   QFile::WriteGroup | QFile::WriteOther));
}

TEST_F(ImportEngine, FieldModeStoresEveryEncodingAndLineEnd) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    const QString text = QStringLiteral("zoe@example.com;Zoë;Łódź\r\n"
                                        "obrien@example.com;Seán;O'Brien\n"
                                        "bad address;X;Y\r"
                                        "\r\n"
                                        "short@example.com\r\n"
                                        "zoe@example.com;Dup;Licate");
    QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE);
    const std::vector<QByteArray> files = {
        text.toUtf8(),
        "\xEF\xBB\xBF" + text.toUtf8(),
        QByteArray("\xFF\xFE") + QByteArray(le.encode(text)),
        QByteArray(be.encode(text)),
    };
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        db.ExecuteWrite(QStringLiteral("DELETE FROM [Emails]"));
        const ImportResult r = importFields(writeFile(QStringLiteral("f%1.txt").arg(i), files[i]),
                                            QLatin1Char(';'), emailFirstLast());
        EXPECT_EQ(3, r.added);
        EXPECT_EQ(2, r.ignored);
        EXPECT_EQ(1, r.duplicates);
        EXPECT_EQ(qint64(files[i].size()), r.processedBytes);
        EXPECT_EQ(QStringList({row("zoe@example.com", "Zoë", "Łódź"),
                               row("obrien@example.com", "Seán", "O'Brien"), row("short@example.com")}),
                  rowsOf(id));
    }
    const QString report = reportText();
    EXPECT_TRUE(report.contains(QStringLiteral("\r\nEmail Added : obrien@example.com\r\n"
                                               "Email Ignored : bad address\r\n"
                                               "Email Ignored : \r\n"
                                               "Email Added : short@example.com\r\n"
                                               "Email Duplicated : zoe@example.com\r\n")));
    EXPECT_TRUE(report.endsWith(QStringLiteral("Added : 3\r\nIgnored : 2\r\nDuplicates : 1\r\n\r\n"
                                               "----------------\r\nImport Completed")));

    // Windows-1252 (no valid UTF-8), quoted fields.
    db.ExecuteWrite(QStringLiteral("DELETE FROM [Emails]"));
    const ImportResult r = importFields(
        writeFile(QStringLiteral("ansi.txt"), "\"zoe@example.com\",\"Zo\xEB\",\"O'Brien \"\"Jr\"\"\"\r\n"),
        QLatin1Char(','), emailFirstLast(), true);
    EXPECT_EQ(1, r.added);
    EXPECT_EQ(QStringList({row("zoe@example.com", "Zoë", "O'Brien \"Jr\"")}), rowsOf(id));
}

TEST_F(ImportEngine, EveryLineBelongsToOneReportedRecord) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    // A stray quote opens a name on line 1, and a name on line 1,000 holds one: every line is a record.
    QByteArray bytes = "r1@example.com,\"Anna\r\n";
    for (int i = 2; i < 1000; ++i)
        bytes += "r" + QByteArray::number(i) + "@example.com,Name " + QByteArray::number(i) + "\r\n";
    bytes += "r1000@example.com,O\"Neil\r\n";
    ImportResult r =
        importFields(writeFile(QStringLiteral("stray.txt"), bytes), QLatin1Char(','), emailFirstLast(), true);
    EXPECT_EQ(1000, r.added);
    EXPECT_EQ(0, r.ignored);
    EXPECT_EQ(1000, reportText().count(QStringLiteral("\r\nEmail Added : ")));
    EXPECT_EQ(row("r1000@example.com", "O\"Neil"), rowsOf(id).value(999));

    // A record that spans lines and fails names its lines: an address that fails the rule, more fields
    // than the first record offered the mapping; one that passes is added.
    db.ExecuteWrite(QStringLiteral("DELETE FROM [Emails]"));
    bytes = "a@example.com,Anna\r\n\"b@example.com\r\nx\",Bob\r\nc@example.com,\"Carl\r\nJr\",Smith\r\n"
            "d@example.com,\"Dora\r\nLee\"\r\ne@example.com,Eve";
    r = importFields(writeFile(QStringLiteral("spans.txt"), bytes), QLatin1Char(','), emailFirstLast(), true,
                     {}, 2);
    EXPECT_EQ(3, r.added);
    EXPECT_EQ(2, r.ignored);
    EXPECT_TRUE(reportText().contains(QStringLiteral("\r\nEmail Added : a@example.com\r\n"
                                                     "Email Ignored : b@example.com x (lines 2 to 3)\r\n"
                                                     "Email Ignored : c@example.com (lines 4 to 5)\r\n"
                                                     "Email Added : d@example.com\r\n"
                                                     "Email Added : e@example.com\r\n")))
        << reportText().toStdString();
    EXPECT_EQ(row("d@example.com", "Dora\r\nLee"), rowsOf(id).value(1));
}

TEST_F(ImportEngine, DuplicatesAreTheSameAddressInTheSameGroupOnly) {
    // Stored values with a trailing blank and another letter case, the same address in another group,
    // and a group whose id is beyond 16 bits: the bound statements find what the texts found.
    const qint32 other = addGroup(QStringLiteral("Other"));
    ASSERT_EQ(1, db.ExecuteWrite(
                     QStringLiteral("INSERT INTO [Groups] ([ID], [GroupName]) VALUES (40000, 'Clients')")));
    const qint32 id = GroupByName(db, QStringLiteral("Clients")).id;
    ASSERT_EQ(40000, id);
    ASSERT_EQ(
        1, db.ExecuteWrite(
               QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email]) VALUES (%1, 'Known@Example.COM  ')")
                   .arg(id)));
    ASSERT_EQ(
        1, db.ExecuteWrite(
               QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email]) VALUES (%1, 'elsewhere@example.com')")
                   .arg(other)));
    const QString path = writeFile(QStringLiteral("dups.txt"), "known@example.com\r\nKNOWN@EXAMPLE.COM\r\n"
                                                               "elsewhere@example.com\r\nnew@example.com\r\n"
                                                               "NEW@example.com\r\n");
    std::array<int, 18> emailOnly{};
    emailOnly[0] = 1;
    const ImportResult fields = importFields(path, QLatin1Char(';'), emailOnly);
    EXPECT_EQ(2, fields.added);
    EXPECT_EQ(3, fields.duplicates);
    EXPECT_EQ(QStringList({"Known@Example.COM  ", "elsewhere@example.com", "new@example.com"}), emailsOf(id));
    const ImportResult emails = importEmails(path);
    EXPECT_EQ(0, emails.added);
    EXPECT_EQ(5, emails.duplicates);
    EXPECT_EQ(QStringList({"elsewhere@example.com"}), emailsOf(other));
}

TEST_F(ImportEngine, BadInputImportsWithoutACrashAndATruthfulReport) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    std::array<int, 18> all{};
    for (int j = 0; j < 18; ++j)
        all[size_t(j)] = j + 1;

    // 20 fields where 18 are offered; NUL bytes; a line longer than any record can be, and one just
    // short of that; no line end at the very end.
    QByteArray bytes = "a@example.com";
    for (int k = 2; k <= 20; ++k)
        bytes += "\tf" + QByteArray::number(k);
    static const char withNul[] = "\r\nb@exa\0mple.com\tNul\0Name\n";
    bytes += QByteArray(withNul, sizeof(withNul) - 1);
    bytes += "c@example.com\t" + QByteArray(2'000'000, 'L') + "\n";
    const QByteArray longest = "e@example.com\t" + QByteArray(MaxImportRecordLength - 14, 'M');
    bytes += longest + "\nd@example.com\tlast";
    ImportResult r = importFields(writeFile(QStringLiteral("bad.txt"), bytes), QLatin1Char('\t'), all);
    EXPECT_EQ(4, r.added);
    EXPECT_EQ(1, r.ignored);
    const QStringList rows = rowsOf(id);
    ASSERT_EQ(4, rows.size());
    EXPECT_TRUE(rows[0].endsWith(QStringLiteral("|f18"))) << "fields past the 18th are not used";
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("b@example.com|NulName|")));
    EXPECT_EQ(MaxImportRecordLength + 16, rows[2].size());
    EXPECT_TRUE(rows[3].startsWith(QStringLiteral("d@example.com|last|")));
    EXPECT_TRUE(reportText().contains(QStringLiteral("\r\nEmail Ignored : c@example.com\r\n")));

    // Binary data: whatever it holds is reported as processed, nothing crashes.
    QByteArray binary;
    for (int i = 0; i < 65536; ++i)
        binary += char((i * 7919 + 13) % 251);
    binary += "\r\nq@example.com\tok";
    r = importFields(writeFile(QStringLiteral("bin.dat"), binary), QLatin1Char('\t'), all);
    EXPECT_EQ(ImportResult::Status::Completed, r.status);
    EXPECT_EQ(1, r.added);
    EXPECT_EQ(r.added + r.ignored + r.duplicates, reportText().count(QStringLiteral("\r\nEmail ")));
    r = importEmails(writeFile(QStringLiteral("bin2.dat"), binary));
    EXPECT_EQ(0, r.added);
    EXPECT_EQ(1, r.duplicates);

    // A file that is gone: a run without records, zeros reported.
    r = importEmails(dir.filePath(QStringLiteral("missing.txt")));
    EXPECT_FALSE(r.fileRead);
    EXPECT_TRUE(r.reportWritten);
    EXPECT_TRUE(
        reportText().contains(QStringLiteral("Processed : 0 Bytes\r\n\r\nAdded : 0\r\nDuplicates : 0")));
    // Zeros "imported successfully" alone would pass a lost file off as an empty one.
    EXPECT_TRUE(ImportSummaryText(r).endsWith(QStringLiteral(" recipients imported successfully.\n"
                                                             "The file to import could not be read.")))
        << ImportSummaryText(r).toStdString();
    r = importEmails(writeFile(QStringLiteral("empty.txt"), QByteArray()));
    EXPECT_TRUE(r.fileRead) << "an empty file is read, not lost";
    EXPECT_TRUE(ImportSummaryText(r).endsWith(QStringLiteral(" recipients imported successfully.")));
}

TEST_F(ImportEngine, MissingGroupStopsBeforeAnythingIsStored) {
    addGroup(QStringLiteral("Clients"));
    const ImportResult r =
        importEmails(writeFile(QStringLiteral("l.txt"), "a@example.com"), QStringLiteral("Gone"));
    EXPECT_EQ(ImportResult::Status::GroupNotFound, r.status);
    EXPECT_TRUE(rowsOf(0).isEmpty());
    EXPECT_TRUE(db.Execute(QStringLiteral("SELECT * FROM [Emails]")).Eof());
}

TEST_F(ImportEngine, FailedInsertsAreNeverCountedAsAdded) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    // The database refuses one address; the others go in.
    ASSERT_GE(db.ExecuteWrite(QStringLiteral(
                  "CREATE TRIGGER refuse BEFORE INSERT ON [Emails] WHEN NEW.[G-Email] = 'no@example.com' "
                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")),
              0);
    const ImportResult r =
        importEmails(writeFile(QStringLiteral("l.txt"), "yes@example.com no@example.com also@example.com"));
    EXPECT_EQ(2, r.added);
    EXPECT_EQ(1, r.failed);
    EXPECT_EQ(QStringList({"yes@example.com", "also@example.com"}), emailsOf(id));
    EXPECT_TRUE(reportText().contains(QStringLiteral("Email Not Added : no@example.com\r\n")));
    EXPECT_TRUE(reportText().contains(QStringLiteral("Added : 2\r\nDuplicates : 0\r\nNot Added : 1\r\n")));
    EXPECT_TRUE(ImportSummaryText(r).endsWith(QStringLiteral("\n1 recipients could not be added.")));
}

// A file that failed its check takes no row, even where the pages an import touches still read.
TEST_F(ImportEngine, NothingIsImportedIntoADamagedFile) {
    addGroup(QStringLiteral("Clients"));
    addGroup(QStringLiteral("Others"));
    ASSERT_EQ(3000,
              db.ExecuteWrite(QStringLiteral(
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                  "INSERT INTO [Emails] ([G-ID], [G-Email]) SELECT 2, 'r' || i || '@example.com' FROM n")));
    db.Close();
    // Copied to a data folder of its own, so that it is checked afresh, then a page of the other
    // group's rows in the middle of the file is lost.
    const QString filled = UserDatabasePath();
    testenv::FreshDataPath();
    QFile::remove(UserDatabasePath());
    ASSERT_TRUE(QFile::copy(filled, UserDatabasePath()));
    const qint64 pages = QFileInfo(UserDatabasePath()).size() / 1024;
    testenv::OverwriteBytes(UserDatabasePath(), pages / 2 * 1024, QByteArray(1024, '\0'));
    const QByteArray before = readFile(UserDatabasePath());

    const ImportResult r =
        importEmails(writeFile(QStringLiteral("l.txt"), "a@example.com b@example.com c@example.com"));
    EXPECT_EQ(0, r.added);
    EXPECT_EQ(3, r.failed);
    EXPECT_TRUE(before == readFile(UserDatabasePath())) << "the file was written";
}

TEST_F(ImportEngine, CancelStopsAfterOneMoreRecordAndStillReports) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += "r" + QByteArray::number(i) + "@example.com\r\n";
    bool cancel = false;
    int yields = 0;
    ImportRunHooks hooks;
    hooks.cancelRequested = [&] { return cancel; };
    hooks.yield = [&] { cancel = ++yields == 1500; };
    std::array<int, 18> m{};
    m[0] = 1;
    const ImportResult r =
        importFields(writeFile(QStringLiteral("many.txt"), bytes), QLatin1Char(';'), m, false, hooks);
    EXPECT_EQ(ImportResult::Status::Cancelled, r.status);
    EXPECT_EQ(1501, r.added);
    EXPECT_EQ(1501, emailsOf(id).size()) << "the batch in progress is committed";
    EXPECT_TRUE(reportText().endsWith(QStringLiteral("Added : 1501\r\nIgnored : 0\r\nDuplicates : 0\r\n\r\n"
                                                     "----------------\r\nImport Completed")));
}

TEST_F(ImportEngine, ReportLinesReachTheFileWhileTheBatchIsOpen) {
    // One insert opens a batch that the duplicates after it never fill: their lines must not wait for it.
    addGroup(QStringLiteral("Clients"));
    QByteArray bytes = "first@example.com\r\n";
    bytes += QByteArray("first@example.com\r\n").repeated(20000);
    qint64 reportBytesMidway = -1;
    int yields = 0;
    ImportRunHooks hooks;
    hooks.yield = [&] {
        if (++yields == 15000)
            reportBytesMidway = QFileInfo(ImportReportPath()).size();
    };
    std::array<int, 18> m{};
    m[0] = 1;
    const ImportResult r =
        importFields(writeFile(QStringLiteral("dups.txt"), bytes), QLatin1Char(';'), m, false, hooks);
    EXPECT_EQ(1, r.added);
    EXPECT_EQ(20000, r.duplicates);
    // 15,000 lines of 38 bytes came before that moment; a write buffer may still hold a few of them.
    EXPECT_GT(reportBytesMidway, 14000 * 38);
    const QString report = reportText();
    EXPECT_EQ(20000, report.count(QStringLiteral("\r\nEmail Duplicated : first@example.com\r\n")));
    EXPECT_TRUE(report.contains(QStringLiteral("--------------\r\n\r\nEmail Added : first@example.com\r\n"
                                               "Email Duplicated : first@example.com\r\n")));
}

TEST_F(ImportEngine, ABatchTheDatabaseLosesIsReportedAsNotAdded) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    ASSERT_EQ(1, db.ExecuteWrite(
                     QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email]) VALUES (%1, 'old@example.com')")
                         .arg(id)));
    // A reader that stays in the middle of its rows keeps the commit from ever getting the database.
    Statement reader = db.Prepare(QStringLiteral("SELECT [ID] FROM [Emails]"));
    ASSERT_TRUE(reader.Step());
    const QString path = writeFile(QStringLiteral("l.txt"), "a@example.com a@example.com old@example.com "
                                                            "b@example.com");
    const ImportResult r = importEmails(path);
    reader = Statement();
    EXPECT_EQ(0, r.added);
    EXPECT_EQ(2, r.failed);
    EXPECT_EQ(2, r.duplicates);
    EXPECT_EQ(QStringList({"old@example.com"}), emailsOf(id));
    EXPECT_TRUE(reportText().contains(QStringLiteral("--------------\r\n\r\n"
                                                     "Email Not Added : a@example.com\r\n"
                                                     "Email Duplicated : a@example.com\r\n"
                                                     "Email Duplicated : old@example.com\r\n"
                                                     "Email Not Added : b@example.com\r\n\r\n"
                                                     "Processed : ")))
        << reportText().toStdString();
    EXPECT_TRUE(reportText().contains(QStringLiteral("Added : 0\r\nDuplicates : 2\r\nNot Added : 2\r\n")));
}

} // namespace

TEST_F(ImportEngine, ProgressRunsOverTheFileBytesToItsEnd) {
    // The bar is sized from the file's bytes before anything is read and rises with every record to its
    // end, however many lines a quoted record spans or bytes a character takes.
    addGroup(QStringLiteral("Clients"));
    QByteArray quoted, plain;
    for (int i = 0; i < 3000; ++i) {
        quoted += "q" + QByteArray::number(i) + "@example.com,\"Zo\xC3\xAB\r\nSecond line\",x\r\n";
        plain += "p" + QByteArray::number(i) + "@example.com \xC5\x81\xC3\xB3\x64\xC5\xBA ";
    }
    const struct {
        QByteArray bytes;
        bool fields;
    } cases[] = {{quoted, true}, {plain, false}, {quoted.first(40), true}};
    for (const auto& c : cases) {
        std::vector<std::pair<qint32, qint32>> steps;
        ImportRunHooks hooks;
        hooks.progress = [&](qint32 value, qint32 maximum) { steps.emplace_back(value, maximum); };
        const QString path = writeFile(QStringLiteral("progress.txt"), c.bytes);
        const ImportResult r = c.fields ? importFields(path, QLatin1Char(','), emailFirstLast(), true, hooks)
                                        : importEmails(path, QStringLiteral("Clients"), hooks);
        const auto size = qint32(c.bytes.size());
        ASSERT_EQ(size_t(r.added + r.duplicates + r.ignored) + 1, steps.size()) << size;
        EXPECT_EQ(std::make_pair(0, size), steps.front());
        EXPECT_EQ(std::make_pair(size, size), steps.back());
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end())) << size;
    }
}
