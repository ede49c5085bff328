#include "transfer/RecipientImporter.h"

#include "core/Database.h"
#include "core/Paths.h"
#include "recipients/CheckEmail.h"
#include "transfer/AddressScanner.h"
#include "transfer/ImportFileReader.h"
#include "transfer/ImportText.h"

#include <QFile>
#include <QLocale>
#include <QSet>
#include <QTemporaryFile>

QStringList ExtractAddresses(const QString& text, QStringList* ignored) {
    QStringList found;
    AddressScanner scanner([&](const QString& token, bool accepted) {
        if (accepted)
            found.append(token);
        else if (ignored)
            ignored->append(token);
    });
    scanner.Feed(text);
    scanner.Finish();
    return found;
}

namespace {

enum class Outcome { Added, Duplicated, Ignored, NotAdded };

// The report and the rows of one run. Rows go in through transactions of BatchSize; every report line
// goes to the report as it comes, whatever the transaction. Should a batch's commit fail, its "Added"
// lines, written meanwhile, are turned into "Not Added" ones: a lost row is never reported as added.
class ImportRun {
public:
    // The statements mean what the per-row texts "SELECT * FROM [Emails] WHERE (([G-ID] = 'id ') AND
    // ([G-Email] = 'a'))" and the two INSERTs mean: the group id compares as the number it is, the
    // address through the column's comparison rule; only the values are bound instead of spliced in.
    ImportRun(Connection& db, qint32 groupId, QFile& report, ImportResult& result)
        : m_db(db), m_groupId(groupId), m_report(report), m_result(result) {
        m_find = m_db.Prepare(
            QStringLiteral("SELECT [ID] FROM [Emails] WHERE (([G-ID] = ?) AND ([G-Email] = ?)) LIMIT 1"));
        m_find.BindInt(1, groupId);
        seedKnown();
    }

    void writeLine(const QString& line, bool lineEnd = true) { writeLine(QLatin1String(), line, lineEnd); }

    // The line is made in one buffer kept for the whole run; plain ASCII text is copied as it is.
    void writeLine(QLatin1String prefix, QStringView text, bool lineEnd = true) {
        m_line.resize(0);
        m_line.append(prefix.data(), prefix.size());
        const qsizetype start = m_line.size();
        m_line.resize(start + text.size());
        char* out = m_line.data() + start;
        bool ascii = true;
        for (const QChar c : text) {
            if (c.unicode() >= 0x80) {
                ascii = false;
                break;
            }
            *out++ = char(c.unicode());
        }
        if (!ascii) {
            m_line.resize(start);
            m_line.append(text.toUtf8());
        }
        if (lineEnd)
            m_line.append("\r\n", 2);
        if (m_report.isOpen() && m_report.write(m_line) != m_line.size())
            m_reportFailed = true;
    }

    bool isDuplicate(const QString& address) {
        // An address whose key no row of the group has is new; only a match is asked of the database,
        // which has the final word (keys of different addresses may collide).
        m_lastKey = KeyOf(address);
        if (m_keysKnown && !m_keys.contains(m_lastKey))
            return false;
        m_find.BindText(2, address);
        const bool found = m_find.Step();
        // A look-up that failed is no answer: the address is then not added, as its twin may stand
        // where the read broke off.
        m_lookupFailed = !m_find.IsValid() || m_find.Failed();
        m_find.Reset();
        return found;
    }

    // Mode 1: only the group and the address; every other column takes its default.
    void insertAddress(const QString& address) {
        if (!m_insertAddress.IsValid()) {
            m_insertAddress =
                m_db.Prepare(QStringLiteral("INSERT INTO [Emails] ([G-ID] , [G-Email]) VALUES ( ? , ? )"));
            m_insertAddress.BindInt(1, m_groupId);
        }
        m_insertAddress.BindText(2, address);
        insert(m_insertAddress, address);
    }

    // Mode 2: all 18 columns, unmapped ones as empty texts.
    void insertRow(const std::array<QString, 18>& row) {
        if (!m_insertRow.IsValid()) {
            m_insertRow = m_db.Prepare(QStringLiteral(
                "INSERT INTO [Emails] ([G-ID] , [G-Email] , [G-Title], [G-FirstName], [G-LastName], "
                "[G-Country], [G-State], [G-City], [G-Address1], [G-Address2], [G-ZIPCode], [G-Phone], "
                "[G-Fax], [G-Company], [G-JobTitle], [G-WebSite], [G-IP], [G-Date], [G-Add] ) "
                "VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? )"));
            m_insertRow.BindInt(1, m_groupId);
        }
        for (size_t j = 0; j < row.size(); ++j)
            m_insertRow.BindText(int(j) + 2, row[j]);
        insert(m_insertRow, row[0]);
    }

    void insert(Statement& statement, const QString& address) {
        if (std::exchange(m_lookupFailed, false)) {
            record(Outcome::NotAdded, address);
            ++m_result.failed;
            return;
        }
        if (!m_inTransaction) {
            m_inTransaction = m_db.BeginTransaction();
            m_batchStart = m_report.pos();
            m_addedInBatch = 0;
        }
        if (statement.Execute() == 1) {
            if (m_keysKnown)
                m_keys.insert(m_lastKey);
            record(Outcome::Added, address);
            ++m_result.added;
            ++m_addedInBatch;
        } else {
            record(Outcome::NotAdded, address);
            ++m_result.failed;
        }
        if (++m_rowsInBatch >= RecipientImporter::BatchSize)
            commit();
    }

    void record(Outcome outcome, const QString& address) {
        if (outcome == Outcome::Duplicated)
            ++m_result.duplicates;
        else if (outcome == Outcome::Ignored)
            ++m_result.ignored;
        writeLine(LinePrefix(outcome), address);
    }

    void commit() {
        if (m_inTransaction && !m_db.Commit()) {
            m_db.Rollback();
            m_result.added -= m_addedInBatch;
            m_result.failed += m_addedInBatch;
            if (m_addedInBatch > 0 && !relabelAddedSince(m_batchStart))
                m_reportFailed = true;
        }
        m_inTransaction = false;
        m_rowsInBatch = 0;
    }

    bool reportFailed() const { return m_reportFailed; }

private:
    static QLatin1String LinePrefix(Outcome outcome) {
        switch (outcome) {
        case Outcome::Added:
            return QLatin1String("Email Added : ");
        case Outcome::Duplicated:
            return QLatin1String("Email Duplicated : ");
        case Outcome::Ignored:
            return QLatin1String("Email Ignored : ");
        case Outcome::NotAdded:
            break;
        }
        return QLatin1String("Email Not Added : ");
    }

    // The key of an address as the column's comparison rule sees it: letter case and trailing blanks
    // ignored. Equal addresses have equal keys.
    // ASCII is folded by hand into a buffer kept for the run; other text by the full Unicode rule.
    size_t KeyOf(QStringView address) {
        qsizetype n = address.size();
        while (n > 0 && address[n - 1] == u' ')
            --n;
        m_keyText.resize(n);
        QChar* out = m_keyText.data();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = address[i].unicode();
            if (c >= 0x80)
                return qHash(address.first(n).toString().toCaseFolded());
            out[i] = QChar(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
        }
        return qHash(m_keyText);
    }

    // The keys of the group's stored addresses, read once. A read that fails leaves every address to
    // the database's look-up.
    void seedKnown() {
        Statement stored = m_db.Prepare(QStringLiteral("SELECT [G-Email] FROM [Emails] WHERE ([G-ID] = ?)"));
        if (!stored.IsValid())
            return;
        stored.BindInt(1, m_groupId);
        while (stored.Step())
            m_keys.insert(KeyOf(QString::fromUtf8(stored.ColumnUtf8(0))));
        m_keysKnown = !stored.Failed();
        if (!m_keysKnown)
            m_keys.clear();
    }

    // Rewrites the report from the offset on with its "Email Added" lines made "Email Not Added" ones.
    // The lines pass through a scratch file a block at a time: a batch may be followed by any number
    // of lines, and none of them is held in memory.
    bool relabelAddedSince(qint64 offset) {
        if (!m_report.isOpen() || !m_report.flush() || !m_report.seek(offset))
            return false;
        QTemporaryFile scratch(TempFolder() + QStringLiteral("ReportXXXXXX.tmp"));
        if (!scratch.open())
            return false;
        const QByteArray added = LinePrefix(Outcome::Added).latin1();
        const QByteArray notAdded = QByteArray(LinePrefix(Outcome::NotAdded).latin1());
        bool lineStart = true;
        while (!m_report.atEnd()) {
            QByteArray piece = m_report.readLine(64 * 1024);
            if (piece.isEmpty())
                return false;
            if (lineStart && piece.startsWith(added))
                piece.replace(0, added.size(), notAdded);
            lineStart = piece.endsWith('\n');
            if (scratch.write(piece) != piece.size())
                return false;
        }
        if (!scratch.flush() || !scratch.seek(0) || !m_report.resize(offset) || !m_report.seek(offset))
            return false;
        while (!scratch.atEnd()) {
            const QByteArray block = scratch.read(64 * 1024);
            if (block.isEmpty() || m_report.write(block) != block.size())
                return false;
        }
        return true;
    }

    Connection& m_db;
    qint32 m_groupId;
    Statement m_find;
    Statement m_insertAddress;
    Statement m_insertRow;
    QFile& m_report;
    ImportResult& m_result;
    bool m_inTransaction = false;
    int m_rowsInBatch = 0;
    qint32 m_addedInBatch = 0;
    qint64 m_batchStart = 0; // where the open batch's report lines begin
    QByteArray m_line;       // the report line being written
    QString m_keyText;       // KeyOf's buffer
    QSet<size_t> m_keys;     // KeyOf every address of the group
    size_t m_lastKey = 0;    // KeyOf the address isDuplicate looked at last: the one insert adds
    bool m_keysKnown = false;
    bool m_reportFailed = false;
    bool m_lookupFailed = false; // the last duplicate look-up could not be read
};

// Tells the window after each record: progress, then the cancel test, then one yield. The bar runs over
// the file's bytes (in steps that fit its range), so it is sized before anything is read.
class RunProgress {
public:
    RunProgress(const ImportRunHooks& hooks, ImportResult& result) : m_hooks(hooks), m_result(result) {}

    void start(qint64 bytes) {
        m_step = bytes / std::numeric_limits<qint32>::max() + 1;
        m_maximum = std::max(qint32(bytes / m_step), 1);
        if (m_hooks.progress)
            m_hooks.progress(0, m_maximum);
    }

    // False when the run is to stop.
    bool afterRecord(qint64 position) {
        if (m_hooks.progress)
            m_hooks.progress(std::min(qint32(position / m_step), m_maximum), m_maximum);
        if (m_hooks.cancelRequested && m_hooks.cancelRequested()) {
            m_result.status = ImportResult::Status::Cancelled;
            return false;
        }
        if (m_hooks.yield)
            m_hooks.yield();
        return true;
    }

private:
    const ImportRunHooks& m_hooks;
    ImportResult& m_result;
    qint64 m_step = 1;
    qint32 m_maximum = 1;
};

void RemoveOldReport(const QString& path) {
    if (QFile::exists(path)) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(path);
    }
}

void WriteReportHead(ImportRun& run) {
    run.writeLine(QStringLiteral("Import Started"));
    run.writeLine(QStringLiteral("--------------"));
    run.writeLine(QString());
}

void WriteReportTail(ImportRun& run, const ImportResult& result, ImportMode mode) {
    run.writeLine(QString());
    run.writeLine(QStringLiteral("Processed : ") + FormatByteCount(result.processedBytes) +
                  QStringLiteral(" Bytes"));
    run.writeLine(QString());
    run.writeLine(QStringLiteral("Added : ") + QString::number(result.added));
    // "Only Email Address" reports the count only for a file with tokens the rule refused, so a clean
    // file reports as it always did.
    if (mode == ImportMode::Fields || result.ignored > 0)
        run.writeLine(QStringLiteral("Ignored : ") + QString::number(result.ignored));
    run.writeLine(QStringLiteral("Duplicates : ") + QString::number(result.duplicates));
    if (result.failed > 0)
        run.writeLine(QStringLiteral("Not Added : ") + QString::number(result.failed));
    run.writeLine(QString());
    run.writeLine(QStringLiteral("----------------"));
    run.writeLine(QStringLiteral("Import Completed"), false);
}

// "Only Email Address": every token with an "@" anywhere in the file. One the e-mail rule accepts whole
// is added; any other is reported as ignored. The text goes to the scanner in slices, so that the
// progress moves within a block.
void ImportAddresses(ImportFileReader& reader, ImportRun& run, RunProgress& progress) {
    progress.start(reader.Size());
    bool stopped = false;
    qint64 position = 0;
    AddressScanner scanner([&](const QString& token, bool accepted) {
        if (stopped)
            return;
        if (!accepted)
            run.record(Outcome::Ignored, token);
        else if (run.isDuplicate(token))
            run.record(Outcome::Duplicated, token);
        else
            run.insertAddress(token);
        stopped = !progress.afterRecord(position);
    });
    constexpr qsizetype kSlice = 4096;
    QString piece;
    qint64 before = 0;
    while (!stopped && reader.ReadText(&piece)) {
        const qint64 after = reader.Position();
        for (qsizetype at = 0; !stopped && at < piece.size(); at += kSlice) {
            const qsizetype end = std::min(at + kSlice, piece.size());
            position = before + (after - before) * end / piece.size();
            scanner.Feed(QStringView(piece).sliced(at, end - at));
        }
        before = after;
    }
    if (!stopped)
        scanner.Finish();
}

// The report line of a refused record that spans lines: its address on one line, then its lines, so
// that every line of the file is found in the report.
QString SpanningRecordText(QString address, qint64 first, qint64 last) {
    address.replace(QLatin1String("\r\n"), QLatin1String(" "));
    address.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return address + QStringLiteral(" (lines %1 to %2)").arg(first).arg(last);
}

// "Select Fields": one recipient per record (a line, or with quotes the lines a quoted field spans), its
// fields mapped onto the recipient columns. A line longer than any record can be is reported as ignored
// and skipped, without ever being held whole.
void ImportLines(ImportFileReader& reader, const ImportOptions& options, ImportRun& run,
                 RunProgress& progress) {
    progress.start(reader.Size());
    std::array<QString, 18> row;
    QString line;
    QList<QStringView> views;
    QStringList fields;
    const ImportFileReader::RecordRule rule{options.delimiter, options.stripQuotes, MaxImportRecordLength,
                                            MaxImportRecordLines};
    for (;;) {
        const ImportFileReader::Record read = reader.ReadRecord(&line, rule);
        if (read == ImportFileReader::Record::End)
            break;
        // One field more than can be used, to tell a record that holds more than the mapping offers.
        // Plain lines are cut into views and copied into the row's strings, which keep their room.
        const bool plain = !options.stripQuotes &&
                           SplitPlainImportLine(line, options.delimiter, UsedImportFields + 1, &views);
        if (!plain)
            fields = SplitImportLine(line, options.delimiter, options.stripQuotes, UsedImportFields + 1);
        const qsizetype fieldCount = plain ? views.size() : fields.size();
        for (size_t j = 0; j < row.size(); ++j) {
            const int k = options.mapping[j];
            if (k < 1 || k > 18 || k > fieldCount)
                continue; // stays empty
            if (plain)
                row[j].append(views[k - 1]);
            else
                row[j] = fields[k - 1];
        }
        QString& address = row[0];
        const bool tooLong = read == ImportFileReader::Record::TooLong;
        const bool valid = !tooLong && ValidateEmailSilent(address);
        const bool spans = reader.LastLine() > reader.FirstLine();
        if (tooLong) {
            // The report names the line by the start of its address field.
            if (address.size() > MaxEmailLength)
                address = address.first(MaxEmailLength) + QStringLiteral("...");
            run.record(Outcome::Ignored, address);
        } else if (spans && (!valid || (options.offeredFields > 0 && fieldCount > options.offeredFields))) {
            run.record(Outcome::Ignored, SpanningRecordText(address, reader.FirstLine(), reader.LastLine()));
        } else if (!valid) {
            run.record(Outcome::Ignored, address);
        } else if (run.isDuplicate(address)) {
            run.record(Outcome::Duplicated, address);
        } else {
            run.insertRow(row);
        }
        for (QString& entry : row)
            entry.resize(0); // keeps its room for the next record
        if (!progress.afterRecord(reader.Position()))
            break;
    }
}

} // namespace

int MappedFieldNumber(const QString& boxText) {
    const QString head = boxText.left(8);
    for (int k = 1; k <= 18; ++k) {
        const QString wanted =
            k < 10 ? QStringLiteral("Field %1 ").arg(k) : QStringLiteral("Field %1").arg(k);
        if (head == wanted)
            return k;
    }
    return 0;
}

QString ImportReportPath() {
    return TempFolder() + QStringLiteral("ReportButton.txt");
}

QString FormatByteCount(qint64 bytes) {
    const QString digits = QString::number(bytes);
    const QString separator = QLocale().groupSeparator();
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

QString ImportSummaryText(const ImportResult& result) {
    QString text = QString::number(result.ignored) + QStringLiteral(" invalid recipients ignored.\n") +
                   QString::number(result.duplicates) + QStringLiteral(" duplicate recipients ignored.\n") +
                   QString::number(result.added) + QStringLiteral(" recipients imported successfully.");
    if (result.failed > 0)
        text += QLatin1Char('\n') + QString::number(result.failed) +
                QStringLiteral(" recipients could not be added.");
    if (!result.fileRead)
        text += QStringLiteral("\nThe file to import could not be read.");
    return text;
}

ImportResult RecipientImporter::Run(const ImportRunHooks& hooks) {
    ImportResult result;
    const QString reportPath = ImportReportPath();
    RemoveOldReport(reportPath);

    Connection db;
    db.Open();
    // Each new address is looked up in and added to the (group, address) index: with the whole index in
    // the page cache few pages are read and decrypted twice. The cache is bounded (16 MB), so memory
    // stays flat however large the group grows.
    db.ExecuteWrite(QStringLiteral("PRAGMA cache_size = -16384"));
    const qint32 groupId = GroupByName(db, m_options.groupName).id;
    if (groupId <= 0) {
        // Rows of group 0 would belong to no group and could never be seen again.
        result.status = ImportResult::Status::GroupNotFound;
        return result;
    }

    QFile report(reportPath);
    // Read back only when a lost batch's lines must be mended.
    report.open(QIODevice::ReadWrite | QIODevice::Truncate, QFile::ReadOwner | QFile::WriteOwner);
    ImportRun run(db, groupId, report, result);
    WriteReportHead(run);

    // The file is read in blocks, never whole, and once: its first block decides the encoding.
    ImportFileReader reader;
    result.fileRead = reader.Open(m_options.filePath);
    result.processedBytes = reader.Size();
    RunProgress progress(hooks, result);
    if (!result.fileRead) {
        // Nothing to read: the report still gets its head and tail.
    } else if (m_options.mode == ImportMode::EmailOnly) {
        ImportAddresses(reader, run, progress);
    } else {
        ImportLines(reader, m_options, run, progress);
    }
    if (reader.Failed())
        result.fileRead = false;
    run.commit();

    WriteReportTail(run, result, m_options.mode);
    result.reportWritten = report.isOpen() && !run.reportFailed() && report.flush();
    report.close();
    db.Close();
    return result;
}
