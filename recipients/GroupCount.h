#pragma once
#include <QString>

// The number of recipients of the named group (letter case and trailing blanks of the name ignored);
// 0 for an unknown or empty name and when the database cannot be opened; -1 when the group's rows
// could not be read to their end (a damaged page), with the engine's words in *readError.
qint32 CountGroupRecipients(const QString& groupName, QString* readError = nullptr);

class Connection;
// The same count over a connection the caller has open (opening one costs the key derivation).
qint32 CountGroupRecipients(Connection& connection, const QString& groupName, QString* readError = nullptr);
// The same count for a group already found (GroupByName).
qint32 CountGroupRecipients(Connection& connection, qint32 groupId, QString* readError = nullptr);
