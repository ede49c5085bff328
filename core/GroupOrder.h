#pragma once
// The order in which a group's recipients are read: its stored SortSQL, run only when it is a plain
// sort clause of the recipients' columns.
#include <QString>

// A group's stored order (its SortSQL) as a clause that may follow ORDER BY: column names of [Emails],
// bracketed or bare, each optionally followed by ASC or DESC, separated by commas, in any letter case.
// The clause returned is rebuilt from those names, never the stored text. Empty when there is no order,
// and when the text is anything else: *refusal then says why (the reason also goes to the log), and the
// group is read in its plain order.
QString SortClause(const QString& sortSql, QString* refusal = nullptr);

// The read of a whole group's recipients: ordered by the group's SortSQL when it is a sort clause as
// above, otherwise in the order they were added (*refusal says why an order was ignored).
QString GroupRecipientsSql(qint32 groupId, const QString& sortSql, QString* refusal = nullptr);
