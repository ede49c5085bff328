#pragma once
#include "core/Database.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

// What the recipient windows do in Group.mdb, apart from the windows: each call opens its own
// connection and closes it before it returns. A write counts as done only when the store reports the
// row written; a refused or failed write is reported as such and never shown as done.

// The 18 recipient field texts in the order of RecipientFields (e-mail first).
using RecipientValues = std::array<QString, 18>;

// One row of a recipient grid: the three columns it shows.
struct GridRecipient {
    QString firstName;
    QString lastName;
    QString email;
};

enum class StoreResult {
    Done,
    Duplicate, // the name or address is already taken
    NotFound,  // the group or recipient does not exist (any more); nothing written
    Failed,    // the database could not be read or written; nothing written
};

// ---- Groups

// Group names hold the letters A to Z and a to z, digits, blanks and "-" only.
bool IsGroupNameCharacter(QChar c);
// The name with every other character removed, as typing it would have left it.
QString FilterGroupName(const QString& name);
// True when one of the names equals name, letter case ignored.
bool GroupNameTaken(const QString& name, const QStringList& names);

StoreResult CreateGroup(const QString& name);
StoreResult RenameGroup(const QString& oldName, const QString& newName);
// Removes the group and all of its recipients together, or nothing.
StoreResult DeleteGroup(const QString& name);

// ---- Recipients

StoreResult AddRecipient(const QString& groupName, const RecipientValues& values);

// A recipient as found for the modify dialog: its group and row ids and its stored fields.
struct StoredRecipient {
    qint32 groupId = 0;
    qint32 recordId = 0; // 0 when no row was found
    RecipientValues values;
};
StoredRecipient ReadRecipient(const QString& groupName, const QString& email);
// Writes the fields to the row recordId of group groupId; refuses an address another row of the group has.
StoreResult ModifyRecipient(qint32 groupId, qint32 recordId, const RecipientValues& values);
StoreResult DeleteRecipient(const QString& groupName, const QString& email);

// ---- Search

// The search window's field list ("Email", "Title", ...) and comparisons ("Equals", ...).
QStringList SearchFieldLabels();
QStringList SearchCompareLabels();
// The condition for one field, comparison and term; empty for a field or comparison not in the lists.
// Quotes in the term are doubled; in the three Like comparisons "%" stands for any run of characters,
// "_" for any one character and "[...]" for one character of a list ("[a-c]", "[!a-c]" for one not in
// it; a list that is not closed finds nothing), everything else matches itself. Letter case is ignored,
// also for letters outside ASCII.
QString SearchCondition(const QString& fieldLabel, const QString& compareLabel, const QString& term);
// Takes the three texts of one grid row as UTF-8 (valid only during the call).
using RecipientRowSink =
    std::function<void(QByteArrayView firstName, QByteArrayView lastName, QByteArrayView email)>;

// Hands every hit to take, in the store's order, straight from the database (a search may find a whole
// large group); nothing when nothing matches or the search cannot run. Returns "" when the rows were
// read to their end, else the engine's words for the read that broke off (the hits are then not all).
QString SearchRecipients(const QString& groupName, const QString& fieldLabel, const QString& compareLabel,
                         const QString& term, const RecipientRowSink& take);

// What a list of recipients says when its read broke off after `shown` rows.
QString IncompleteListText(qint32 shown, const QString& readError);

// ---- Loading a group

// Reads a group's recipients a batch at a time, so a window can stay responsive between batches.
class GroupLoader {
public:
    // Looks the group up, counts its recipients and starts the read, in the group's own order (SortSQL)
    // or the order of adding.
    bool Start(const QString& groupName);
    // The number of recipients counted at the start.
    qint32 Expected() const { return m_expected; }
    // Hands up to maxRows rows to take (first name, last name, e-mail as UTF-8, valid only during the
    // call); false once every row has been read.
    using RowSink = RecipientRowSink;
    bool Read(int maxRows, const RowSink& take);
    // After the last Read: "" when every row was read, else the engine's words for the read that broke
    // off (the rows handed are then not the whole group).
    QString ReadError() const { return m_readError.isEmpty() ? m_rows.Error() : m_readError; }
    void Finish();

private:
    Connection m_connection;
    Recordset m_rows;
    qint32 m_expected = 0;
    QString m_readError; // the group's own row could not be read
};
