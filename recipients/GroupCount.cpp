#include "recipients/GroupCount.h"

#include "core/Database.h"

qint32 CountGroupRecipients(const QString& groupName, QString* readError) {
    Connection connection;
    if (!connection.Open())
        return 0;
    const qint32 count = CountGroupRecipients(connection, groupName, readError);
    connection.Close();
    return count;
}

qint32 CountGroupRecipients(Connection& connection, const QString& groupName, QString* readError) {
    if (readError)
        readError->clear();
    if (!connection.IsOpen())
        return 0;
    const GroupRecord group = GroupByName(connection, groupName);
    if (!group.error.isEmpty()) {
        if (readError)
            *readError = group.error;
        return -1;
    }
    return CountGroupRecipients(connection, group.id, readError);
}

qint32 CountGroupRecipients(Connection& connection, qint32 id, QString* readError) {
    if (readError)
        readError->clear();
    if (id == 0 || !connection.IsOpen())
        return 0;
    Recordset rs = connection.Execute(QStringLiteral("SELECT [G-Email] FROM [Emails] WHERE ([G-ID] = '") +
                                      QString::number(id) + QStringLiteral(" ')"));
    qint32 count = 0;
    while (!rs.Eof()) {
        ++count;
        rs.MoveNext();
    }
    // The rows counted before a damaged page are not the group's size.
    if (rs.Failed()) {
        if (readError)
            *readError = rs.Error();
        return -1;
    }
    return count;
}
