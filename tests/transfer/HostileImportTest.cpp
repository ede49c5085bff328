// Import files made to hurt: huge lines, runs of delimiters, endless address characters. Each must end
// within seconds of processor time and in memory bounded by a small multiple of the file.
#include "recipients/CheckEmail.h"
#include "tests/support/BlockedOpens.h"
#include "tests/support/ProcessMeasures.h"
#include "tests/transfer/TransferFixture.h"
#include "transfer/ImportText.h"
#include "transfer/RecipientExporter.h"
#include "transfer/RecipientImporter.h"

#include <sys/stat.h>

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer freed memory waits in a quarantine and would count as resident: keep it small,
// so that the memory checks below still measure what the code holds.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=1:new_delete_type_mismatch=0";
}
#endif

namespace {

using testenv::kSanitized;

// Processor time allowed for one run over a hostile line or file of some megabytes: a second or two at
// the most here, some times that under the sanitizers. A pass that goes back over the line for each
// field or character takes hours at these sizes.
constexpr qint64 kCpuMsAllowed = kSanitized ? 30000 : 10000;

// Bytes this process has read through the system so far (rchar of /proc/self/io): what a reader asked
// the files for, whatever the disk or the cache had to do for it.
qint64 bytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

// Peak resident memory of this process in bytes since the last reset, and the present resident size.
qint64 peakMemory() {
    return testenv::StatusKb("VmHWM:") * 1024;
}
qint64 residentMemory() {
    return testenv::StatusKb("VmRSS:") * 1024;
}

class HostileImport : public TransferFixture {
protected:
    struct Measured {
        ImportResult result;
        qint64 cpuMs = 0;       // processor time, the kernel's share included
        qint64 extraMemory = 0; // peak above what was resident before the run
    };
    Measured import(const QString& path, ImportMode mode, QChar delimiter = QLatin1Char('\t'),
                    bool quotes = false) {
        ImportOptions o;
        o.filePath = path;
        o.groupName = QStringLiteral("Clients");
        o.mode = mode;
        o.delimiter = delimiter;
        o.stripQuotes = quotes;
        o.mapping[0] = 1;
        o.mapping[2] = 2;
        o.mapping[17] = 18;
        testenv::ResetPeakMemory();
        const qint64 before = residentMemory();
        const qint64 cpu = testenv::ProcessorMilliseconds(true);
        Measured m;
        m.result = RecipientImporter(o).Run();
        m.cpuMs = testenv::ProcessorMilliseconds(true) - cpu;
        m.extraMemory = peakMemory() - before;
        return m;
    }
    static int reportLinesStartingWith(const QByteArray& start) {
        QFile report(ImportReportPath());
        if (!report.open(QIODevice::ReadOnly))
            return -1;
        int n = 0;
        while (!report.atEnd())
            n += report.readLine().startsWith(start) ? 1 : 0;
        return n;
    }
};

// The pattern itself would take both as addresses, in a few milliseconds.
TEST(HostileText, LongTextsAreRefusedBeforeThePattern) {
    const QString megabyte = QString(1 << 20, QLatin1Char('a')) + QStringLiteral("@example.com");
    const QString longDomain =
        QStringLiteral("ab@") + QString(1 << 20, QLatin1Char('b')) + QStringLiteral(".com");
    EXPECT_FALSE(ValidateEmailSilent(megabyte));
    EXPECT_FALSE(ValidateEmailSilent(longDomain));
}

TEST(HostileText, ADelimiterLineIsCutOnlyAsFarAsItIsUsed) {
    const QString tabs(8 << 20, QLatin1Char('\t'));
    testenv::ResetPeakMemory();
    const qint64 before = residentMemory();
    const QStringList fields = SplitImportLine(tabs, QLatin1Char('\t'), true, UsedImportFields);
    const qint64 extra = peakMemory() - before;
    EXPECT_EQ(18, fields.size());
    EXPECT_TRUE(fields.join(QString()).isEmpty());
    // Every empty field of the line cut would be a list of 8 million strings, some 200 MB.
    EXPECT_LT(extra, 16 << 20) << "peak " << extra / 1e6 << " MB";
}

TEST(HostileText, QuotesNeverMakeALineSlow) {
    // Quotes that pair up, quotes that never close, doubled quotes by the million: each part of the line
    // is looked at a bounded number of times.
    const QString lines[] = {
        QStringLiteral("\",").repeated(4 << 20),
        QStringLiteral("\"") + QStringLiteral("\"\"").repeated(4 << 20) + QStringLiteral(",x"),
        QStringLiteral(",\"a").repeated(4 << 20),
        QStringLiteral("\"a\"b,").repeated(2 << 20),
    };
    for (const QString& line : lines) {
        const qint64 cpu = testenv::ProcessorMilliseconds();
        const QStringList all = SplitImportLine(line, QLatin1Char(','), true);
        const QStringList used = SplitImportLine(line, QLatin1Char(','), true, UsedImportFields);
        EXPECT_LE(used.size(), UsedImportFields);
        EXPECT_FALSE(all.isEmpty());
        EXPECT_LT(testenv::ProcessorMilliseconds() - cpu, kCpuMsAllowed) << line.left(12).toStdString();
    }
}

TEST_F(HostileImport, AMegabyteLineImportsInAMoment) {
    addGroup(QStringLiteral("Clients"));
    QByteArray bytes = "ok@example.com\tAnn\r\n";
    bytes += QByteArray(1 << 20, 'x') + "@example.com\tBob\r\n";
    bytes += QByteArray(1 << 20, 'y') + "\r\n";
    bytes += "end@example.com\tEve";
    const Measured m = import(writeFile(QStringLiteral("long.txt"), bytes), ImportMode::Fields);
    EXPECT_EQ(2, m.result.added);
    EXPECT_EQ(2, m.result.ignored);
    EXPECT_LT(m.cpuMs, kCpuMsAllowed);
}

TEST_F(HostileImport, ALineLongerThanAnyRecordIsSkippedWithoutBeingHeld) {
    // One line of 64 MB, and a 32 MB run of quotes with the quotation box checked: each is reported as
    // ignored while it streams past, so memory stays at a few blocks, not several times the line.
    const qint32 id = addGroup(QStringLiteral("Clients"));
    const qint64 size = 64 << 20;
    QByteArray bytes = "first@example.com\tAnn\r\n" + QByteArray(size, 'x') + "@example.com\tBob\r\n" +
                       "last@example.com\tEve";
    const QString longLine = writeFile(QStringLiteral("longline.txt"), bytes);
    bytes = "\"" + QByteArray(size / 2, '"') + "\r\nquotes@example.com\tQ";
    const QString quotes = writeFile(QStringLiteral("quotes.txt"), bytes);
    // Quotes that open now and then and never close: each time the reader looks as far as a record can
    // reach, then takes the lines after it one by one, so nothing is looked at more than a few times.
    bytes = QByteArray("\"open\r\n" + QByteArray("plain words, no address\r\n").repeated(3000)).repeated(200);
    const QString open = writeFile(QStringLiteral("open.txt"), bytes);
    bytes.clear();
    bytes.squeeze();

    const Measured line = import(longLine, ImportMode::Fields);
    EXPECT_EQ(2, line.result.added);
    EXPECT_EQ(1, line.result.ignored);
    EXPECT_EQ(1, reportLinesStartingWith("Email Ignored : " + QByteArray(MaxEmailLength, 'x') + "...\r\n"));
    EXPECT_LT(line.extraMemory, 32 << 20) << "peak " << line.extraMemory / 1e6 << " MB";
    EXPECT_LT(line.cpuMs, kCpuMsAllowed);

    const Measured quoted = import(quotes, ImportMode::Fields, QLatin1Char('\t'), true);
    EXPECT_EQ(1, quoted.result.added);
    EXPECT_EQ(1, quoted.result.ignored);
    EXPECT_LT(quoted.extraMemory, 32 << 20) << "peak " << quoted.extraMemory / 1e6 << " MB";
    EXPECT_LT(quoted.cpuMs, kCpuMsAllowed);
    EXPECT_EQ(QStringList({"first@example.com", "last@example.com", "quotes@example.com"}), emailsOf(id));

    const Measured unclosed = import(open, ImportMode::Fields, QLatin1Char(','), true);
    EXPECT_EQ(200 * 3001, unclosed.result.ignored) << "every line is a record of its own";
    EXPECT_LT(unclosed.cpuMs, kCpuMsAllowed);
}

TEST_F(HostileImport, ALineOfOnlyDelimitersStaysSmall) {
    addGroup(QStringLiteral("Clients"));
    const qint64 size = 32 << 20;
    const QString path = writeFile(QStringLiteral("tabs.txt"), QByteArray(size, '\t') + "\r\na@example.com");
    const Measured m = import(path, ImportMode::Fields);
    EXPECT_EQ(1, m.result.added);
    EXPECT_EQ(1, m.result.ignored);
    EXPECT_LT(m.extraMemory, 10 * size) << "peak " << m.extraMemory / 1e6 << " MB";
    EXPECT_LT(m.cpuMs, kCpuMsAllowed);
}

TEST_F(HostileImport, EndlessAddressCharactersKeepNoMoreThanAnAddress) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    // 48 MB without a single break, with an "@" now and then: nothing in it is an address of a sane
    // length, and the one real address after it must still be found.
    const qint64 size = 48 << 20;
    QByteArray bytes(size, 'a');
    for (qint64 at = 1000; at < size; at += 4 << 20)
        bytes[at] = '@';
    bytes += " real@example.com";
    const Measured m = import(writeFile(QStringLiteral("run.txt"), bytes), ImportMode::EmailOnly);
    bytes.clear();
    EXPECT_EQ(1, m.result.added);
    EXPECT_EQ(QStringList({QStringLiteral("real@example.com")}), emailsOf(id));
    // Blocks of text, never the whole file.
    EXPECT_LT(m.extraMemory, 64 << 20) << "peak " << m.extraMemory / 1e6 << " MB";
    EXPECT_LT(m.cpuMs, kCpuMsAllowed);
}

TEST_F(HostileImport, BigFilesStreamInFlatMemory) {
    const qint32 id = addGroup(QStringLiteral("Clients"));
    // 64 MB of lines that hold no address: the database stays small, so the peak is what reading the
    // file costs.
    const QByteArray line =
        QByteArray("words and more words, but no address here at all ").repeated(4) + "\r\n";
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    const int blocks = int((64 << 20) / (line.size() * 5000));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray block = line.repeated(5000);
        for (int i = 0; i < blocks; ++i)
            f.write(block);
        f.write("last@example.com");
    }
    const Measured fields = import(path, ImportMode::Fields);
    EXPECT_EQ(1, fields.result.added);
    EXPECT_EQ(blocks * 5000, fields.result.ignored);
    EXPECT_LT(fields.extraMemory, 32 << 20) << "peak " << fields.extraMemory / 1e6 << " MB";
    const Measured emails = import(path, ImportMode::EmailOnly);
    EXPECT_EQ(1, emails.result.duplicates);
    EXPECT_LT(emails.extraMemory, 32 << 20) << "peak " << emails.extraMemory / 1e6 << " MB";
    EXPECT_EQ(1, emailsOf(id).size());
}

TEST_F(HostileImport, ReportLinesAfterOneInsertNeverPileUp) {
    // One address goes in first and opens a batch of inserts; everything after it inserts nothing, so
    // the batch stays open to the end. Neither kind of run may keep the lines that come meanwhile.
    const qint32 id = addGroup(QStringLiteral("Clients"));
    const int flood = 400000;
    const QString invalid = dir.filePath(QStringLiteral("invalid.txt"));
    const QString duplicates = dir.filePath(QStringLiteral("duplicates.txt"));
    {
        QFile f(invalid), g(duplicates);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && g.open(QIODevice::WriteOnly));
        f.write("first@example.com\tAnn\r\n");
        g.write("second@example.com\r\n");
        const QByteArray invalidBlock = QByteArray("no address here\tx\r\n").repeated(10000);
        const QByteArray duplicateBlock = QByteArray("first@example.com\r\n").repeated(10000);
        for (int i = 0; i < flood / 10000; ++i) {
            f.write(invalidBlock);
            g.write(duplicateBlock);
        }
    }
    const Measured fields = import(invalid, ImportMode::Fields);
    EXPECT_EQ(1, fields.result.added);
    EXPECT_EQ(flood, fields.result.ignored);
    EXPECT_LT(fields.extraMemory, 32 << 20) << "peak " << fields.extraMemory / 1e6 << " MB";
    EXPECT_EQ(flood, reportLinesStartingWith("Email Ignored : no address here"));

    const Measured emails = import(duplicates, ImportMode::EmailOnly);
    EXPECT_EQ(1, emails.result.added);
    EXPECT_EQ(flood, emails.result.duplicates);
    EXPECT_LT(emails.extraMemory, 32 << 20) << "peak " << emails.extraMemory / 1e6 << " MB";
    EXPECT_EQ(flood, reportLinesStartingWith("Email Duplicated : first@example.com"));
    EXPECT_EQ(2, emailsOf(id).size());
}

TEST_F(HostileImport, ThePreviewReadsOnlyTheStart) {
    // A sparse file of 8 GB, of which the preview needs one line.
    const QString path = writeFile(QStringLiteral("sparse.txt"), "first@example.com;Ann;Lee\r\nnext");
    {
        QFile f(path);
        ASSERT_TRUE(f.resize(qint64(8) << 30));
    }
    const qint64 before = bytesRead();
    EXPECT_EQ(QStringLiteral("first@example.com;Ann;Lee"), FirstImportLine(path));
    // Some megabytes at the most, not 8 GB.
    EXPECT_LT(bytesRead() - before, 64 << 20) << "bytes read";
    // One line longer than any preview needs is cut at the limit.
    const QString longLine = writeFile(QStringLiteral("longline.txt"), QByteArray(3 << 20, 'q'));
    EXPECT_EQ(FirstLineLimit, FirstImportLine(longLine).size());
}

TEST_F(HostileImport, DevicesAndPipesAreRefusedInsteadOfReadForever) {
    // A name typed into the Open dialog may be a device without end or a pipe no one writes to: the
    // preview and both kinds of run must come back at once, as for a file that cannot be read.
    addGroup(QStringLiteral("Clients"));
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(pipe).constData(), 0600));
    const testenv::BlockedOpens blocked(pipe);
    for (const QString& path : {QStringLiteral("/dev/zero"), pipe}) {
        const qint64 before = bytesRead();
        EXPECT_EQ(QString(), FirstImportLine(path)) << path.toStdString();
        for (ImportMode mode : {ImportMode::EmailOnly, ImportMode::Fields}) {
            const Measured m = import(path, mode);
            EXPECT_FALSE(m.result.fileRead) << path.toStdString();
            EXPECT_EQ(0, m.result.added);
        }
        // Nothing of the device is read: what the runs read is the database.
        EXPECT_LT(bytesRead() - before, FirstLineLimit) << path.toStdString() << ": bytes read";
        EXPECT_EQ(blocked.count(), 0) << path.toStdString();
    }
}

TEST_F(HostileImport, AHugeGroupExportsInFlatMemory) {
    // 60,000 recipients of 1 KB each, beside a smaller group: 60 MB of output that must pass through
    // in blocks, never all at once (nor sorted in memory to restore the order they were added in).
    const qint32 small = addGroup(QStringLiteral("Small"));
    const qint32 id = addGroup(QStringLiteral("Clients"));
    const QString fill = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO [Emails] ([G-ID], [G-Email], [G-Add]) SELECT %2, 'u' || (%1 - i) || '@example.com', "
        "hex(zeroblob(500)) FROM n");
    ASSERT_EQ(60000, db.ExecuteWrite(fill.arg(60000).arg(id)));
    ASSERT_EQ(100, db.ExecuteWrite(fill.arg(100).arg(small)));
    ExportOptions o;
    o.groupName = QStringLiteral("Clients");
    o.outputPath = dir.filePath(QStringLiteral("out.txt"));
    o.mode = ExportMode::Fields;
    o.delimiter = QLatin1Char(';');
    o.columns = QStringList{QStringLiteral("G-Email"), QStringLiteral("G-Add")};
    testenv::ResetPeakMemory();
    const qint64 before = residentMemory();
    const ExportResult r = RecipientExporter(o).Run();
    const qint64 extra = peakMemory() - before;
    EXPECT_EQ(ExportResult::Status::Completed, r.status);
    EXPECT_EQ(60000, r.count);
    EXPECT_LT(extra, 24 << 20) << "peak " << extra / 1e6 << " MB";
    QFile out(o.outputPath);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_GT(out.size(), 60000 * 1000);
    EXPECT_TRUE(out.readLine().startsWith("u59999@example.com;0000")) << "the order they were added in";
    out.seek(out.size() - 1002 - 15);
    EXPECT_EQ("u0@example.com;" + QByteArray(1000, '0') + "\r\n", out.readAll());
}

} // namespace
