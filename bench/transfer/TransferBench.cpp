// Imports 100,000 generated recipients (18 fields, 2% duplicates) into an empty group through the
// real import engine, exports the group again, and prints records per second for both.
#include "core/Database.h"
#include "core/Paths.h"
#include "transfer/RecipientExporter.h"
#include "transfer/RecipientImporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QByteArray generate(int records, int* unique) {
    QByteArray out;
    out.reserve(records * 200);
    *unique = 0;
    for (int i = 0; i < records; ++i) {
        // Every 50th record repeats an earlier address (in another letter case): 2% duplicates.
        const bool duplicate = i % 50 == 49;
        const int n = duplicate ? i - 25 : i;
        if (!duplicate)
            ++*unique;
        QByteArray line = (duplicate ? "User" : "user") + QByteArray::number(n) + "@example" +
                          QByteArray::number(n % 97) + ".com";
        const char* const values[] = {"Mr.",        "Zoë",       "O'Brien",  "Poland",     "Mazovia",
                                      "Łódź",       "1 High St", "Flat 2",   "90-001",     "+48 42 000",
                                      "+48 42 001", "Acme Ltd",  "Engineer", "example.pl", "10.0.0.1",
                                      "2026-01-01", "note"};
        for (const char* v : values)
            line += '\t' + QByteArray(v);
        out += line + "\r\n";
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
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

    int unique = 0;
    const QString input = work.filePath(QStringLiteral("recipients.txt"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(generate(records, &unique)) < 0)
        return 1;
    file.close();

    ImportOptions in;
    in.filePath = input;
    in.groupName = QStringLiteral("Bench");
    in.mode = ImportMode::Fields;
    in.delimiter = QLatin1Char('\t');
    for (int j = 0; j < 18; ++j)
        in.mapping[size_t(j)] = j + 1;
    QElapsedTimer timer;
    timer.start();
    const ImportResult imported = RecipientImporter(in).Run();
    const double importSeconds = timer.nsecsElapsed() / 1e9;

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
    timer.restart();
    const ExportResult exported = RecipientExporter(out).Run();
    const double exportSeconds = timer.nsecsElapsed() / 1e9;

    std::printf("import: %d records (%d added, %d duplicates, %d ignored) in %.2f s = %.0f records/s\n",
                records, imported.added, imported.duplicates, imported.ignored, importSeconds,
                records / importSeconds);
    std::printf("export: %d records in %.2f s = %.0f records/s\n", exported.count, exportSeconds,
                exported.count / exportSeconds);
    const bool ok =
        imported.added == unique && imported.duplicates == records - unique && exported.count == unique;
    if (!ok)
        std::printf("unexpected counts (expected %d added)\n", unique);
    return ok ? 0 : 1;
}
