// Imports N generated recipients (18 fields, 2% duplicates; default 100,000, "-n N" for others) into an
// empty group through the real import engine, exports the group again, and prints records per second
// and the peak memory (VmHWM) of each, beside references: a bare bulk insert for the import; for the
// export one buffered write of its bytes, and a bare read of its rows plus that write. About 150 bytes a
// line: -n 1400000 makes a 200 MB file.
// "--long-line MB" imports instead a file whose middle line is MB megabytes long, and a file whose middle
// line is a run of MB megabytes of quotes (with the quotation box checked), each between two good lines.
#include "core/Database.h"
#include "core/Paths.h"
#include "transfer/RecipientExporter.h"
#include "transfer/RecipientImporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace {

const char* const kValues[] = {"Mr.",       "Zoë",        "O'Brien",  "Poland",     "Mazovia",    "Łódź",
                               "1 High St", "Flat 2",     "90-001",   "+48 42 000", "+48 42 001", "Acme Ltd",
                               "Engineer",  "example.pl", "10.0.0.1", "2026-01-01", "note"};

// Writes the input file in pieces, so the benchmark's own memory stays out of the import's peak.
bool generate(const QString& path, int records, int* unique) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QByteArray block;
    *unique = 0;
    for (int i = 0; i < records; ++i) {
        // Every 50th record repeats an earlier address (in another letter case): 2% duplicates.
        const bool duplicate = i % 50 == 49;
        const int n = duplicate ? i - 25 : i;
        if (!duplicate)
            ++*unique;
        block += (duplicate ? "User" : "user") + QByteArray::number(n) + "@example" +
                 QByteArray::number(n % 97) + ".com";
        for (const char* v : kValues)
            block += '\t' + QByteArray(v);
        block += "\r\n";
        if (block.size() > (1 << 20)) {
            if (out.write(block) != block.size())
                return false;
            block.clear();
        }
    }
    return out.write(block) == block.size();
}

qint64 statusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Each timed phase starts with the disk caught up: the previous phase's written pages (the generated
// file, the import's rows) are not written back while this one runs, which would slow whichever phase
// happens to meet them.
void settle() {
    ::sync();
}

// The peak of one phase: the high-water mark is reset (Linux 4.0 and later) before it starts.
void resetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}
double peakMb() {
    return statusKb("VmHWM:") / 1024.0;
}

// The reference for the import: as many rows as the file has lines, each with the same 17 values after
// its address (without reading a file, without the duplicate test), inserted into another group of the
// same encrypted file with one prepared statement, in transactions of the import's batch size. Returns
// the seconds it took, connection opening included as in the import.
double referenceInsert(int records) {
    // The addresses are made beforehand; the other 17 texts are the same for every row.
    std::vector<QString> emails;
    emails.reserve(static_cast<size_t>(records));
    for (int i = 0; i < records; ++i)
        emails.push_back(QStringLiteral("ref%1@example%2.com").arg(i).arg(i % 97));
    std::array<QString, 17> values;
    for (size_t j = 0; j < values.size(); ++j)
        values[j] = QString::fromUtf8(kValues[j]);
    QElapsedTimer timer;
    timer.start();
    Connection db;
    db.Open();
    db.ExecuteWrite(QStringLiteral("PRAGMA cache_size = -16384"));
    db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Reference')"));
    const qint32 group = GroupByName(db, QStringLiteral("Reference")).id;
    Statement insert = db.Prepare(QStringLiteral(
        "INSERT INTO [Emails] ([G-ID] , [G-Email] , [G-Title], [G-FirstName], [G-LastName], [G-Country], "
        "[G-State], [G-City], [G-Address1], [G-Address2], [G-ZIPCode], [G-Phone], [G-Fax], [G-Company], "
        "[G-JobTitle], [G-WebSite], [G-IP], [G-Date], [G-Add] ) "
        "VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? )"));
    insert.BindInt(1, group);
    for (int i = 0; i < records; ++i) {
        if (i % RecipientImporter::BatchSize == 0)
            db.BeginTransaction();
        insert.BindText(2, emails[size_t(i)]);
        for (size_t j = 0; j < values.size(); ++j)
            insert.BindText(int(j) + 3, values[j]);
        insert.Execute();
        if (i % RecipientImporter::BatchSize == RecipientImporter::BatchSize - 1 || i == records - 1)
            db.Commit();
    }
    return timer.nsecsElapsed() / 1e9;
}

// The reference for the export: the bytes it wrote, written again with one buffered write.
double referenceWrite(const QString& exported, const QString& copy) {
    QFile in(exported);
    if (!in.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = in.readAll();
    QElapsedTimer timer;
    timer.start();
    QFile out(copy);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return 0;
    out.close();
    return timer.nsecsElapsed() / 1e9;
}

// The reference for the export's reading: the group's rows in its order, the same columns read as the
// stored bytes through one prepared statement, connection opening included as in the export. The bytes
// are only summed, so nothing but the read is measured.
double referenceRead(const QString& groupName, const QStringList& columns, qint64* bytes) {
    QElapsedTimer timer;
    timer.start();
    Connection db;
    db.Open();
    Recordset group = db.Execute(QStringLiteral("SELECT * FROM [Groups] WHERE ([GroupName] = '") +
                                 SqlQuote(groupName) + QStringLiteral(" ')"));
    qint32 groupId = 0;
    group.FieldInt(QStringLiteral("ID"), &groupId);
    const QString sortSql = group.Field(QStringLiteral("SortSQL"));
    group.Close();
    Statement rows = db.Prepare(GroupRecipientsSql(groupId, sortSql));
    std::vector<int> indexes;
    for (const QString& column : columns)
        indexes.push_back(rows.ColumnIndex(column));
    *bytes = 0;
    while (rows.Step())
        for (const int i : indexes)
            *bytes += rows.ColumnUtf8(i).size();
    return timer.nsecsElapsed() / 1e9;
}

int countArgument(int argc, char** argv, int fallback) {
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "-n" && i + 1 < argc)
            return QByteArray(argv[i + 1]).toInt();
        if (QByteArray(argv[i]).toInt() > 0)
            return QByteArray(argv[i]).toInt();
    }
    return fallback;
}

int longLineArgument(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--long-line")
            return QByteArray(argv[i + 1]).toInt();
    return 0;
}

// One line that is no record at all between two good ones: how long its import takes, and its peak.
bool importLongLine(const QString& folder, int megabytes, bool quotes) {
    const QString path = folder + (quotes ? QStringLiteral("/quotes.txt") : QStringLiteral("/long.txt"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        out.write("first@example.com\tAnn\r\n");
        if (quotes)
            out.write("\"");
        const QByteArray block(1 << 20, quotes ? '"' : 'x');
        for (int i = 0; i < megabytes; ++i)
            out.write(block);
        out.write(quotes ? "\r\n" : "@example.com\tBob\r\n");
        out.write("last@example.com\tEve\r\n");
    }
    ImportOptions in;
    in.filePath = path;
    in.groupName = QStringLiteral("Bench");
    in.mode = ImportMode::Fields;
    in.stripQuotes = quotes;
    in.mapping[0] = 1;
    in.mapping[2] = 2;
    resetPeak();
    const double baseMb = statusKb("VmRSS:") / 1024.0;
    QElapsedTimer timer;
    timer.start();
    const ImportResult r = RecipientImporter(in).Run();
    std::printf(
        "%s of %d MB: %.2f s, peak memory %.1f MB (%.1f MB before); %d added, %d duplicates, %d ignored\n",
        quotes ? "a run of quotes" : "one line", megabytes, timer.nsecsElapsed() / 1e9, peakMb(), baseMb,
        r.added, r.duplicates, r.ignored);
    QFile::remove(path);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = countArgument(argc, argv, 100000);
    const int longLine = longLineArgument(argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    SetDataPath(work.path() + QLatin1Char('/'));
    if (!CreateRecipientDatabase(UserDatabasePath()))
        return 1;
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Bench')"));
    }

    {
        QElapsedTimer t;
        t.start();
        Connection c;
        c.Open();
        GroupByName(c, QStringLiteral("Bench")).id;
        std::printf("opening the database (its key derivation is part of every run): %.3f s\n",
                    t.nsecsElapsed() / 1e9);
    }
    if (longLine > 0)
        return importLongLine(work.path(), longLine, false) && importLongLine(work.path(), longLine, true)
                   ? 0
                   : 1;

    int unique = 0;
    const QString input = work.filePath(QStringLiteral("recipients.txt"));
    if (!generate(input, records, &unique))
        return 1;
    const double fileMb = QFileInfo(input).size() / 1048576.0;

    ImportOptions in;
    in.filePath = input;
    in.groupName = QStringLiteral("Bench");
    in.mode = ImportMode::Fields;
    in.delimiter = QLatin1Char('\t');
    for (int j = 0; j < 18; ++j)
        in.mapping[size_t(j)] = j + 1;
    settle();
    resetPeak();
    const double importBaseMb = statusKb("VmRSS:") / 1024.0;
    QElapsedTimer timer;
    timer.start();
    const ImportResult imported = RecipientImporter(in).Run();
    const double importSeconds = timer.nsecsElapsed() / 1e9;
    const double importPeakMb = peakMb();

    ExportOptions out;
    out.groupName = QStringLiteral("Bench");
    out.outputPath = work.filePath(QStringLiteral("export.txt"));
    out.mode = ExportMode::Fields;
    out.delimiter = QLatin1Char('\t');
    const char* const columns[] = {"G-Email", "G-Title", "G-FirstName", "G-LastName", "G-Country",
                                   "G-State", "G-City",  "G-Address1",  "G-Address2", "G-ZIPCode",
                                   "G-Phone", "G-Fax",   "G-Company",   "G-JobTitle", "G-WebSite",
                                   "G-IP",    "G-Date",  "G-Add"};
    for (const char* c : columns)
        out.columns << QLatin1String(c);
    settle();
    resetPeak();
    const double exportBaseMb = statusKb("VmRSS:") / 1024.0;
    timer.restart();
    const ExportResult exported = RecipientExporter(out).Run();
    const double exportSeconds = timer.nsecsElapsed() / 1e9;
    const double exportPeakMb = peakMb();

    // The references run after both measured phases, so their memory stays out of the peaks.
    settle();
    const double insertSeconds = referenceInsert(records);
    settle();
    const double writeSeconds =
        referenceWrite(out.outputPath, work.filePath(QStringLiteral("reference.txt")));
    settle();
    qint64 readBytes = 0;
    const double readSeconds = referenceRead(out.groupName, out.columns, &readBytes);

    std::printf("import: %d records (%d added, %d duplicates, %d ignored) from %.1f MB in %.2f s = %.0f "
                "records/s; peak memory %.1f MB (%.1f MB before)\n",
                records, imported.added, imported.duplicates, imported.ignored, fileMb, importSeconds,
                records / importSeconds, importPeakMb, importBaseMb);
    std::printf(
        "  reference, prepared-statement bulk insert of %d rows: %.2f s = %.0f records/s; import at %.0f%%\n",
        records, insertSeconds, records / insertSeconds, 100.0 * insertSeconds / importSeconds);
    std::printf("export: %d records in %.2f s = %.0f records/s; peak memory %.1f MB (%.1f MB before)\n",
                exported.count, exportSeconds, exported.count / exportSeconds, exportPeakMb, exportBaseMb);
    std::printf(
        "  reference, one buffered write of the same bytes: %.3f s = %.0f records/s; export at %.0f%%\n",
        writeSeconds, exported.count / writeSeconds, 100.0 * writeSeconds / exportSeconds);
    const double workSeconds = readSeconds + writeSeconds;
    std::printf("  reference, prepared-statement read of the same rows and columns (%.1f MB) plus that "
                "write: %.3f s = %.0f records/s; export at %.0f%%\n",
                readBytes / 1048576.0, workSeconds, exported.count / workSeconds,
                100.0 * workSeconds / exportSeconds);
    const bool ok =
        imported.added == unique && imported.duplicates == records - unique && exported.count == unique;
    if (!ok)
        std::printf("unexpected counts (expected %d added)\n", unique);
    return ok ? 0 : 1;
}
