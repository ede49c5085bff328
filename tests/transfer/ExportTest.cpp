#include "tests/transfer/TransferFixture.h"
#include "transfer/ImportText.h"
#include "transfer/RecipientExporter.h"
#include "transfer/RecipientImporter.h"

namespace {

class Export : public TransferFixture {
protected:
    void SetUp() override {
        TransferFixture::SetUp();
        id = addGroup(QStringLiteral("Clients"));
        add("zoe@example.com", "Zoë", "Łódź", "Bristol");
        add("obrien@example.com", "O'Brien", "", "");
        // A row whose columns hold no value at all (not even empty text).
        db.ExecuteWrite(QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName], [G-City]) "
                                       "VALUES (%1, 'null@example.com', NULL, NULL)")
                            .arg(id));
    }
    void add(const char* email, const char* first, const char* last, const char* city) {
        db.ExecuteWrite(
            QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName], [G-LastName], "
                           "[G-City]) VALUES (%1, '%2', '%3', '%4', '%5')")
                .arg(id)
                .arg(SqlQuote(QString::fromUtf8(email)), SqlQuote(QString::fromUtf8(first)),
                     SqlQuote(QString::fromUtf8(last)), SqlQuote(QString::fromUtf8(city))));
    }
    ExportResult run(ExportMode mode, QStringList columns, QChar delimiter, const QString& path,
                     const ExportRunHooks& hooks = {}) {
        ExportOptions o;
        o.groupName = QStringLiteral("clients");
        o.outputPath = path;
        o.mode = mode;
        o.delimiter = delimiter;
        o.columns = std::move(columns);
        return RecipientExporter(o).Run(hooks);
    }
    qint32 id = 0;
};

TEST_F(Export, WritesUtf8LinesWithCrLfAndEmptyTextForMissingValues) {
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    ExportResult r = run(ExportMode::EmailOnly, {}, QLatin1Char('\t'), path);
    EXPECT_EQ(ExportResult::Status::Completed, r.status);
    EXPECT_EQ(3, r.count);
    EXPECT_EQ(QByteArray("zoe@example.com\r\nobrien@example.com\r\nnull@example.com\r\n"), readFile(path));
    // Names and addresses: readable by the user only, whatever the umask.
    EXPECT_EQ(QFile::permissions(path),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    r = run(ExportMode::Fields, {"G-FirstName", "G-LastName", "G-City"}, QLatin1Char(','), path);
    EXPECT_EQ(3, r.count);
    EXPECT_EQ(QStringLiteral("Zoë,Łódź,Bristol\r\nO'Brien,,\r\n,,\r\n").toUtf8(), readFile(path))
        << "no BOM, no \"Null\"";

    // The group's own order.
    db.ExecuteWrite(QStringLiteral("UPDATE [Groups] SET [SortSQL] = '[G-Email]'"));
    run(ExportMode::EmailOnly, {}, QLatin1Char('\t'), path);
    EXPECT_EQ(QByteArray("null@example.com\r\nobrien@example.com\r\nzoe@example.com\r\n"), readFile(path));

    // An empty group gives an empty file; a missing group writes nothing.
    addGroup(QStringLiteral("Empty"));
    ExportOptions o;
    o.groupName = QStringLiteral("Empty");
    o.outputPath = path;
    EXPECT_EQ(0, RecipientExporter(o).Run().count);
    EXPECT_EQ(QByteArray(), readFile(path));
    EXPECT_TRUE(QFile::exists(path));
    o.groupName = QStringLiteral("Gone");
    o.outputPath = dir.filePath(QStringLiteral("never.txt"));
    EXPECT_EQ(ExportResult::Status::GroupNotFound, RecipientExporter(o).Run().status);
    EXPECT_FALSE(QFile::exists(o.outputPath));
}

TEST_F(Export, AFileThatCannotBeWrittenIsReportedAndTheOldOneKept) {
    EXPECT_EQ(ExportResult::Status::WriteFailed, run(ExportMode::EmailOnly, {}, QLatin1Char('\t'),
                                                     dir.filePath(QStringLiteral("no/such/dir.txt")))
                                                     .status);
    const QString path = writeFile(QStringLiteral("old.txt"), "old content");
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool folderLocked = !QFileInfo(dir.path()).isWritable(); // root writes anywhere
    const ExportResult r = run(ExportMode::EmailOnly, {}, QLatin1Char('\t'), path);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (folderLocked) {
        EXPECT_EQ(ExportResult::Status::WriteFailed, r.status);
        EXPECT_EQ(QByteArray("old content"), readFile(path));
    }
}

TEST_F(Export, AReadThatFailsIsReportedAndTheOldFileKept) {
    const QString path = writeFile(QStringLiteral("kept.txt"), "old content");
    // The recipients' table gone, as from a file another program changed.
    db.ExecuteWrite(QStringLiteral("ALTER TABLE [Emails] RENAME TO [Elsewhere]"));
    EXPECT_EQ(ExportResult::Status::ReadFailed,
              run(ExportMode::EmailOnly, {}, QLatin1Char('\t'), path).status);
    EXPECT_EQ(QByteArray("old content"), readFile(path));
}

TEST_F(Export, CancelKeepsTheLinesWrittenSoFar) {
    const QString path = dir.filePath(QStringLiteral("part.txt"));
    bool cancel = false;
    ExportRunHooks hooks;
    hooks.cancelRequested = [&] { return cancel; };
    hooks.yield = [&] { cancel = true; };
    const ExportResult r = run(ExportMode::EmailOnly, {}, QLatin1Char('\t'), path, hooks);
    EXPECT_EQ(ExportResult::Status::Cancelled, r.status);
    EXPECT_EQ(2, r.count) << "one more record after the cancel was confirmed";
    EXPECT_EQ(QByteArray("zoe@example.com\r\nobrien@example.com\r\n"), readFile(path));
}

TEST_F(Export, AnExportedGroupImportsBackToTheSameRows) {
    db.ExecuteWrite(QStringLiteral("UPDATE [Emails] SET [G-Title] = 'Dr. ''Q''', [G-Add] = 'x;y' "
                                   "WHERE [G-Email] = 'zoe@example.com'"));
    QStringList columns;
    std::array<int, 18> mapping{};
    for (size_t j = 0; j < RecipientFields.size(); ++j) {
        columns << QLatin1String(RecipientFields[j].column);
        mapping[j] = int(j) + 1;
    }
    for (const QChar delimiter : {QChar(QLatin1Char('\t')), QChar(QLatin1Char(','))}) {
        const QString path = dir.filePath(QStringLiteral("all.txt"));
        ASSERT_EQ(3, run(ExportMode::Fields, columns, delimiter, path).count);
        const qint32 copy = addGroup(QStringLiteral("Copy%1").arg(delimiter.unicode()));
        ImportOptions o;
        o.filePath = path;
        o.groupName = QStringLiteral("Copy%1").arg(delimiter.unicode());
        o.mode = ImportMode::Fields;
        o.delimiter = delimiter;
        o.mapping = mapping;
        const ImportResult r = RecipientImporter(o).Run();
        EXPECT_EQ(3, r.added);
        EXPECT_EQ(rowsOf(id), rowsOf(copy)) << "delimiter " << int(delimiter.unicode());
    }
}

TEST_F(Export, FieldsWithDelimitersQuotesOrLineEndsAreQuotedAndReadBackExactly) {
    // Values that hold each delimiter, quotes and line ends, or start or end with blanks or tabs, beside
    // plain ones.
    db.ExecuteWrite(QStringLiteral("DELETE FROM [Emails]"));
    const QStringList tricky = {QStringLiteral("Smith, Jr."),
                                QStringLiteral("Dr. \"Q\""),
                                QStringLiteral("first line\r\nsecond line"),
                                QStringLiteral("a\nb\rc"),
                                QStringLiteral("New York"),
                                QStringLiteral("12:30; late\tnight"),
                                QStringLiteral("\""),
                                QStringLiteral("\"quoted\", then, more"),
                                QStringLiteral("O'Brien"),
                                QStringLiteral(" lead"),
                                QStringLiteral("trail "),
                                QStringLiteral("\ttab"),
                                QStringLiteral("tab\t"),
                                QStringLiteral("  ")};
    for (qsizetype i = 0; i < tricky.size(); ++i) {
        Statement insert = db.Prepare(QStringLiteral(
            "INSERT INTO [Emails] ([G-ID], [G-Email], [G-Title], [G-LastName], [G-City], [G-Add]) "
            "VALUES (?, ?, ?, ?, ?, ?)"));
        insert.BindInt(1, id);
        insert.BindText(2, QStringLiteral("r%1@example.com").arg(i));
        insert.BindText(3, tricky[(i + 1) % tricky.size()]);
        insert.BindText(4, tricky[i]);
        insert.BindText(5, QStringLiteral("Plain"));
        insert.BindText(6, tricky[(i + 2) % tricky.size()]);
        ASSERT_EQ(1, insert.Execute());
    }
    QStringList columns;
    std::array<int, 18> mapping{};
    for (size_t j = 0; j < RecipientFields.size(); ++j) {
        columns << QLatin1String(RecipientFields[j].column);
        mapping[j] = int(j) + 1;
    }
    for (const QString& name : DelimiterNames()) {
        SCOPED_TRACE(name.toStdString());
        const QChar delimiter = DelimiterForName(name);
        const QString path = dir.filePath(QStringLiteral("round.txt"));
        ASSERT_EQ(tricky.size(), run(ExportMode::Fields, columns, delimiter, path).count);
        const qint32 copy = addGroup(QStringLiteral("Copy ") + name);
        ImportOptions o;
        o.filePath = path;
        o.groupName = QStringLiteral("Copy ") + name;
        o.mode = ImportMode::Fields;
        o.delimiter = delimiter;
        o.stripQuotes = true;
        o.mapping = mapping;
        const ImportResult r = RecipientImporter(o).Run();
        EXPECT_EQ(tricky.size(), r.added);
        EXPECT_EQ(0, r.ignored);
        EXPECT_EQ(rowsOf(id), rowsOf(copy));
    }

    // Only a field that needs it is quoted; every other field, and every line without such a field, is
    // written as it always was.
    const QString path = dir.filePath(QStringLiteral("comma.txt"));
    run(ExportMode::Fields, {"G-Email", "G-LastName", "G-City"}, QLatin1Char(','), path);
    const QByteArray bytes = readFile(path);
    EXPECT_TRUE(bytes.startsWith("r0@example.com,\"Smith, Jr.\",Plain\r\n"
                                 "r1@example.com,\"Dr. \"\"Q\"\"\",Plain\r\n"
                                 "r2@example.com,\"first line\r\nsecond line\",Plain\r\n"
                                 "r3@example.com,\"a\nb\rc\",Plain\r\n"
                                 "r4@example.com,New York,Plain\r\n"
                                 "r5@example.com,12:30; late\tnight,Plain\r\n"
                                 "r6@example.com,\"\"\"\",Plain\r\n"))
        << bytes.toStdString();
    // Blanks and tabs at either end are kept inside quotes.
    EXPECT_TRUE(bytes.endsWith("\r\nr8@example.com,O'Brien,Plain\r\nr9@example.com,\" lead\",Plain\r\n"
                               "r10@example.com,\"trail \",Plain\r\nr11@example.com,\"\ttab\",Plain\r\n"
                               "r12@example.com,\"tab\t\",Plain\r\nr13@example.com,\"  \",Plain\r\n"))
        << bytes.toStdString();
    run(ExportMode::Fields, {"G-Email", "G-LastName"}, QLatin1Char(' '), path);
    EXPECT_TRUE(readFile(path).startsWith("r0@example.com \"Smith, Jr.\"\r\n"));
}

} // namespace
