#include "core/GroupOrder.h"

#include "core/RecipientFields.h"

#include <QLoggingCategory>
#include <QStringList>

Q_LOGGING_CATEGORY(lcGroupOrder, "velanto.database.order")

namespace {

// The columns a sort clause may name, as the schema spells them.
QString emailsColumn(QStringView name) {
    for (const char* column : {"ID", "G-ID"})
        if (name.compare(QLatin1String(column), Qt::CaseInsensitive) == 0)
            return QLatin1String(column);
    for (const RecipientField& f : RecipientFields)
        if (name.compare(QLatin1String(f.column), Qt::CaseInsensitive) == 0)
            return QLatin1String(f.column);
    return QString();
}

// One term of a sort clause: "[G-Email]", "G-Email DESC", "[G-LastName]  asc"; empty when it is not one.
QString sortTerm(QStringView term) {
    term = term.trimmed();
    QStringView name;
    QStringView rest;
    if (term.startsWith(QLatin1Char('['))) {
        const qsizetype close = term.indexOf(QLatin1Char(']'));
        if (close < 0)
            return QString();
        name = term.sliced(1, close - 1);
        rest = term.sliced(close + 1).trimmed();
    } else {
        qsizetype end = 0;
        while (end < term.size() && !term[end].isSpace())
            ++end;
        name = term.first(end);
        rest = term.sliced(end).trimmed();
    }
    const QString column = emailsColumn(name);
    if (column.isEmpty())
        return QString();
    if (rest.isEmpty())
        return QLatin1Char('[') + column + QLatin1Char(']');
    for (const char* direction : {"ASC", "DESC"})
        if (rest.compare(QLatin1String(direction), Qt::CaseInsensitive) == 0)
            return QLatin1Char('[') + column + QStringLiteral("] ") + QLatin1String(direction);
    return QString();
}

} // namespace

QString SortClause(const QString& sortSql, QString* refusal) {
    if (refusal)
        refusal->clear();
    if (sortSql.trimmed().isEmpty())
        return QString();
    QStringList terms;
    for (QStringView term : QStringView(sortSql).split(QLatin1Char(','))) {
        const QString checked = sortTerm(term);
        if (checked.isEmpty()) {
            // The stored text may be anything a foreign file holds: the log gets a bounded piece of it.
            const QString why = QStringLiteral("\"%1\" is not a column of the recipients, optionally "
                                               "followed by ASC or DESC")
                                    .arg(term.trimmed().left(80).toString());
            qCWarning(lcGroupOrder) << "group order ignored:" << why;
            if (refusal)
                *refusal = why;
            return QString();
        }
        terms << checked;
    }
    return terms.join(QStringLiteral(", "));
}

QString GroupRecipientsSql(qint32 groupId, const QString& sortSql, QString* refusal) {
    const QString order = SortClause(sortSql, refusal);
    if (order.isEmpty()) {
        // Without an order of the group's own the store would return rows in index order (by address);
        // the order they were added is the table's own order. The "+" keeps the planner from taking the
        // (group, address) index, which would need a sort of every row in memory to restore that order:
        // the rows are then read straight from the table, in order, in flat memory.
        return QStringLiteral("SELECT * FROM [Emails] WHERE (+[G-ID] = ") + QString::number(groupId) +
               QStringLiteral(") ORDER BY [ID]");
    }
    return QStringLiteral("SELECT * FROM [Emails] WHERE ([G-ID] = '") + QString::number(groupId) +
           QStringLiteral(" ') ORDER BY ") + order;
}
