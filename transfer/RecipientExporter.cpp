#include "transfer/RecipientExporter.h"

#include "core/Database.h"
#include "core/RecipientFields.h"
#include "transfer/FieldQuotes.h"

#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <vector>

QString ExportRowLabel(int field) {
    return QStringLiteral("    ") + QLatin1String(RecipientFields[size_t(field)].label);
}

QString ColumnForExportRowLabel(const QString& label) {
    for (size_t i = 0; i < RecipientFields.size(); ++i)
        if (label == ExportRowLabel(int(i)))
            return QLatin1String(RecipientFields[i].column);
    return QString();
}

namespace {

// The progress bar's maximum: the group's rows plus one, counted before anything is written. It counts
// the rows the data pass reads (the order does not change their number).
qint32 ProgressMaximum(Connection& db, qint32 groupId) {
    Statement count = db.Prepare(QStringLiteral("SELECT count(*) FROM [Emails] WHERE ([G-ID] = ?)"));
    count.BindInt(1, groupId);
    if (!count.Step())
        return 1;
    const qint64 n = count.ColumnUtf8(0).toByteArray().toLongLong();
    return qint32(std::min<qint64>(n + 1, std::numeric_limits<qint32>::max()));
}

// The output file, replaced only when the whole run has been written: a failure keeps the old file. The
// stored texts are UTF-8 already: their bytes are copied into one block, which goes to the file whenever
// it is full.
class ExportOutput {
public:
    explicit ExportOutput(const QString& path) : m_file(path), m_buffer(kBlock, Qt::Uninitialized) {
        const bool existed = QFileInfo::exists(path);
        m_ok = m_file.open(QIODevice::WriteOnly);
        // A new file of names and addresses is the user's alone; a file that existed keeps its mode.
        if (m_ok && !existed)
            m_ok = m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void append(QByteArrayView bytes) {
        if (bytes.size() > kBlock - m_used) {
            flush();
            if (bytes.size() > kBlock) {
                m_ok = m_ok && m_file.write(bytes.data(), bytes.size()) == bytes.size();
                return;
            }
        }
        std::memcpy(m_buffer.data() + m_used, bytes.data(), size_t(bytes.size()));
        m_used += bytes.size();
    }
    // False when anything failed to be written; the old file is then kept.
    bool commit() {
        flush();
        if (m_ok && m_file.commit())
            return true;
        cancel();
        return false;
    }
    void cancel() { m_file.cancelWriting(); }

private:
    static constexpr qsizetype kBlock = qsizetype(1) << 20;
    void flush() {
        m_ok = m_ok && m_file.write(m_buffer.constData(), m_used) == m_used;
        m_used = 0;
    }

    QSaveFile m_file;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    bool m_ok = false;
};

// Every row of the statement as a line of the chosen columns, until the rows end or the run is cancelled.
void WriteRows(const ExportOptions& options, Statement& rows, ExportOutput& output,
               const ExportRunHooks& hooks, qint32 maximum, ExportResult* result) {
    const QStringList columns =
        options.mode == ExportMode::EmailOnly ? QStringList{QStringLiteral("G-Email")} : options.columns;
    std::vector<int> indexes;
    for (const QString& column : columns)
        indexes.push_back(rows.ColumnIndex(column));
    const QByteArray delimiter = QString(options.delimiter).toUtf8(); // one of the five, all ASCII
    // A field the import's quote option would not read back as it is goes in quotes (FieldQuoter); every
    // other field is written as it is stored. In "Only Email Address" mode no delimiter is written, so
    // none needs protecting.
    const FieldQuoter quoter(options.mode == ExportMode::Fields ? options.delimiter : QChar());
    bool more = rows.Step();
    while (more) {
        for (size_t i = 0; i < indexes.size(); ++i) {
            if (i > 0)
                output.append(delimiter);
            const QByteArrayView value = rows.ColumnUtf8(indexes[i]);
            if (quoter.NeedsQuotes(value))
                output.append(FieldQuoter::Quoted(value));
            else
                output.append(value);
        }
        output.append("\r\n");
        ++result->count;
        if (hooks.progress)
            hooks.progress(std::min(result->count + 1, maximum), maximum);
        more = rows.Step();
        if (hooks.cancelRequested && hooks.cancelRequested()) {
            result->status = ExportResult::Status::Cancelled;
            break;
        }
        if (hooks.yield)
            hooks.yield();
    }
}

} // namespace

ExportResult RecipientExporter::Run(const ExportRunHooks& hooks) {
    ExportResult result;
    Connection db;
    db.Open();
    const GroupRecord group = GroupByName(db, m_options.groupName);
    if (group.id <= 0) {
        result.status = ExportResult::Status::GroupNotFound;
        return result;
    }
    const qint32 maximum = ProgressMaximum(db, group.id);
    Statement rows = db.Prepare(GroupRecipientsSql(group.id, group.sortSql));
    ExportOutput output(m_options.outputPath);
    if (hooks.progress)
        hooks.progress(1, maximum);
    WriteRows(m_options, rows, output, hooks, maximum, &result);
    // A read that broke off (a damaged file, a table another program changed) must not pass for a
    // complete export, nor replace an earlier file with a partial one.
    const bool readFailed = rows.Failed() || !rows.IsValid();
    rows = Statement();
    db.Close();
    if (readFailed) {
        output.cancel();
        result.status = ExportResult::Status::ReadFailed;
    } else if (!output.commit()) {
        result.status = ExportResult::Status::WriteFailed;
    }
    return result;
}
