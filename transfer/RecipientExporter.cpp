#include "transfer/RecipientExporter.h"

#include "core/Database.h"
#include "core/RecipientFields.h"

#include <QSaveFile>

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

    // Counting pass: sizes the progress bar before anything is written.
    const QString orderClause =
        sortSql.trimmed().isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + sortSql;
    qint32 maximum = 1;
    for (Recordset rs = db.Execute(QStringLiteral("SELECT [G-Email] FROM [Emails] WHERE ([G-ID] = '") +
                                   QString::number(groupId) + QStringLiteral(" ')") + orderClause);
         !rs.Eof(); rs.MoveNext())
        if (maximum < std::numeric_limits<qint32>::max())
            ++maximum;

    Recordset rows = db.Execute(GroupRecipientsSql(groupId, sortSql));
    // The file is replaced only when the whole run has been written: a failure keeps the old file.
    QSaveFile file(m_options.outputPath);
    bool writeOk = file.open(QIODevice::WriteOnly);
    if (hooks.progress)
        hooks.progress(1, maximum);

    const QStringList columns =
        m_options.mode == ExportMode::EmailOnly ? QStringList{QStringLiteral("G-Email")} : m_options.columns;
    QString line;
    QByteArray buffer;
    while (!rows.Eof()) {
        line.clear();
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (i > 0)
                line += m_options.delimiter;
            line += rows.Field(columns[i]);
        }
        line += QLatin1String("\r\n");
        buffer += line.toUtf8();
        if (buffer.size() >= 1 << 16) {
            writeOk = writeOk && file.write(buffer) == buffer.size();
            buffer.clear();
        }
        ++result.count;
        if (hooks.progress)
            hooks.progress(result.count + 1, maximum);
        rows.MoveNext();
        if (hooks.cancelRequested && hooks.cancelRequested()) {
            result.status = ExportResult::Status::Cancelled;
            break;
        }
        if (hooks.yield)
            hooks.yield();
    }
    // A read that broke off (a sort order naming no column, a damaged file) must not pass for a
    // complete export, nor replace an earlier file with a partial one.
    const bool readFailed = rows.Failed();
    rows.Close();
    db.Close();
    if (readFailed) {
        file.cancelWriting();
        result.status = ExportResult::Status::ReadFailed;
        return result;
    }
    writeOk = writeOk && file.write(buffer) == buffer.size();
    if (!writeOk || !file.commit()) {
        file.cancelWriting();
        result.status = ExportResult::Status::WriteFailed;
    }
    return result;
}
