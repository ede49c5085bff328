#pragma once
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// The recipient database Group.mdb: an encrypted SQLite file with the tables [Groups] and [Emails].
// Every handler opens its own Connection, reads its recordsets forward to the end and closes them.
// A file that cannot be opened (missing, not a database, another password) behaves like an empty
// database: every read ends at once and every write reports failure; the reason goes to the debug log.

inline constexpr const char* DatabasePassword = "qtrnbvxclwk7316";

// A forward-only row set. Fields are read by column name; NULL reads as empty text.
class Recordset {
public:
    Recordset() = default;
    Recordset(Recordset&& other) noexcept;
    Recordset& operator=(Recordset&& other) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;
    ~Recordset();

    bool Eof() const { return !m_hasRow; }
    QString Field(const QString& column) const;
    // The field at a position of the statement's column list as the database holds it (UTF-8), for bulk
    // reads; valid until the next MoveNext. Empty for NULL or a position the statement does not have.
    QByteArrayView FieldUtf8(int column) const;
    // The field as a 32-bit id or count; false when the row is missing or the text is no such number.
    bool FieldInt(const QString& column, qint32* value) const;
    void MoveNext();
    void Close();
    // True when the statement itself failed (it then reads as empty).
    bool Failed() const { return m_failed; }

private:
    friend class Connection;
    Recordset(sqlite3_stmt* stmt, std::shared_ptr<sqlite3> db);
    void step();
    int columnIndex(const QString& column) const;

    sqlite3_stmt* m_stmt = nullptr;
    std::shared_ptr<sqlite3> m_db;         // keeps the connection alive while rows are read
    mutable QHash<QString, int> m_columns; // column name -> index, built on the first read
    bool m_hasRow = false;
    bool m_failed = false;
};

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the given file (the user's copy in DataPath by default) with the database password.
    bool Open(const QString& file = QString());
    bool IsOpen() const { return m_db != nullptr; }
    // Runs a statement and returns its rows (none for INSERT, UPDATE and DELETE).
    Recordset Execute(const QString& sql);
    // Runs an INSERT, UPDATE or DELETE: the number of rows it touched, or -1 when it failed.
    qint32 ExecuteWrite(const QString& sql);
    // Several writes that must stand or fall together (a group with its recipients; import batches).
    bool BeginTransaction();
    bool Commit();
    void Rollback();
    void Close();
    QString LastError() const { return m_lastError; }

private:
    std::shared_ptr<sqlite3> m_db;
    QString m_lastError;
};

// Doubles every single quote, for values that go into statement text.
QString SqlQuote(const QString& value);

// The read of a whole group's recipients: ordered by the group's SortSQL when it has one, otherwise in
// the order they were added.
QString GroupRecipientsSql(qint32 groupId, const QString& sortSql);

// Every group name, in the table's order (the order the groups were made).
QStringList ReadGroupNames();

// The group id for a name (letter case and trailing blanks ignored), 0 when no group has it.
qint32 GroupByName(Connection& connection, const QString& name);

// Makes a new empty recipient database with both tables (used by the build to make the shipped file).
bool CreateRecipientDatabase(const QString& file, QString* error = nullptr);
