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

ExportResult RecipientExporter::Run(const ExportRunHooks& hooks) {
    ExportResult result;
    Connection db;
    db.Open();
    Recordset group = db.Execute(QStringLiteral("SELECT * FROM [Groups] WHERE ([GroupName] = '") +
                                 SqlQuote(m_options.groupName) + QStringLiteral(" ')"));
    qint32 groupId = 0;
    group.FieldInt(QStringLiteral("ID"), &groupId);
    const QString sortSql = group.Field(QStringLiteral("SortSQL"));
    group.Close();
    if (groupId <= 0) {
        result.status = ExportResult::Status::GroupNotFound;
        return result;
    }

    // Counting pass: sizes the progress bar before anything is written. It counts the rows the data
    // pass reads (the group's rows; the order does not change their number).
    qint32 maximum = 1;
    {
        Statement count = db.Prepare(QStringLiteral("SELECT count(*) FROM [Emails] WHERE ([G-ID] = ?)"));
        count.BindInt(1, groupId);
        if (count.Step()) {
            const qint64 n = count.ColumnUtf8(0).toByteArray().toLongLong();
            maximum = qint32(std::min<qint64>(n + 1, std::numeric_limits<qint32>::max()));
        }
    }

    Statement rows = db.Prepare(GroupRecipientsSql(groupId, sortSql));
    // The file is replaced only when the whole run has been written: a failure keeps the old file.
    QSaveFile file(m_options.outputPath);
    const bool existed = QFileInfo::exists(m_options.outputPath);
    bool writeOk = file.open(QIODevice::WriteOnly);
    // A new file of names and addresses is the user's alone; a file that existed keeps its mode.
    if (writeOk && !existed)
        writeOk = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (hooks.progress)
        hooks.progress(1, maximum);

    const QStringList columns =
        m_options.mode == ExportMode::EmailOnly ? QStringList{QStringLiteral("G-Email")} : m_options.columns;
    std::vector<int> indexes;
    for (const QString& column : columns)
        indexes.push_back(rows.ColumnIndex(column));
    const QByteArray delimiter = QString(m_options.delimiter).toUtf8(); // one of the five, all ASCII
    // The stored texts are UTF-8 already: their bytes are copied into one block of the output, which
    // goes to the file whenever it is full.
    constexpr qsizetype kBlock = qsizetype(1) << 20;
    QByteArray buffer(kBlock, Qt::Uninitialized);
    qsizetype used = 0;
    auto flush = [&] {
        writeOk = writeOk && file.write(buffer.constData(), used) == used;
        used = 0;
    };
    auto append = [&](QByteArrayView bytes) {
        if (bytes.isEmpty())
            return;
        if (bytes.size() > kBlock - used) {
            flush();
            if (bytes.size() > kBlock) {
                writeOk = writeOk && file.write(bytes.data(), bytes.size()) == bytes.size();
                return;
            }
        }
        std::memcpy(buffer.data() + used, bytes.data(), size_t(bytes.size()));
        used += bytes.size();
    };
    // A field the import's quote option would not read back as it is goes in quotes (FieldQuoter); every
    // other field is written as it is stored. In "Only Email Address" mode no delimiter is written, so
    // none needs protecting.
    const FieldQuoter quoter(m_options.mode == ExportMode::Fields ? m_options.delimiter : QChar());
    auto appendField = [&](QByteArrayView value) {
        if (quoter.NeedsQuotes(value))
            append(FieldQuoter::Quoted(value));
        else
            append(value);
    };
    bool more = rows.Step();
    while (more) {
        for (size_t i = 0; i < indexes.size(); ++i) {
            if (i > 0)
                append(delimiter);
            appendField(rows.ColumnUtf8(indexes[i]));
        }
        append("\r\n");
        ++result.count;
        if (hooks.progress)
            hooks.progress(std::min(result.count + 1, maximum), maximum);
        more = rows.Step();
        if (hooks.cancelRequested && hooks.cancelRequested()) {
            result.status = ExportResult::Status::Cancelled;
            break;
        }
        if (hooks.yield)
            hooks.yield();
    }
    // A read that broke off (a damaged file, a table another program changed) must not pass for a
    // complete export, nor replace an earlier file with a partial one.
    const bool readFailed = rows.Failed() || !rows.IsValid();
    rows = Statement();
    db.Close();
    if (readFailed) {
        file.cancelWriting();
        result.status = ExportResult::Status::ReadFailed;
        return result;
    }
    flush();
    if (!writeOk || !file.commit()) {
        file.cancelWriting();
        result.status = ExportResult::Status::WriteFailed;
    }
    return result;
}
