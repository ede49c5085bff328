#pragma once
#include "core/GroupOrder.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The recipient database Group.mdb: an encrypted SQLite file with the tables [Groups] and [Emails].
// Every handler opens its own Connection, reads its recordsets forward to the end and closes them.
// A file that cannot be opened (missing, not a database, another password) behaves like an empty
// database: every read ends at once and every write reports failure; the reason goes to the debug log.
// A statement that would change the file runs only once the file has passed its check (DatabaseCheck.h);
// a statement that meets damage fails that check at once.

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
    // True when the statement failed or a row could not be read: the rows then end there, and are not
    // all there were. Every walk over rows looks at this after its last row.
    bool Failed() const { return m_failed; }
    // The engine's words for that failure ("" when there was none).
    QString Error() const { return m_error; }

private:
    friend class Connection;
    Recordset(sqlite3_stmt* stmt, std::shared_ptr<sqlite3> db, QString path);
    void step();
    int columnIndex(const QString& column) const;

    sqlite3_stmt* m_stmt = nullptr;
    std::shared_ptr<sqlite3> m_db;         // keeps the connection alive while rows are read
    QString m_path;                        // the file, for a read that meets damage
    mutable QHash<QString, int> m_columns; // column name -> index, built on the first read
    bool m_hasRow = false;
    bool m_failed = false;
    QString m_error;
};

// A statement prepared once and run many times with bound values: the bulk paths (import, export) use it
// where statement text built per row would cost more than the work itself. Rows are read by column index.
class Statement {
public:
    Statement() = default;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    bool IsValid() const { return m_stmt != nullptr; }
    // Values for the "?" placeholders, numbered from 1; they stay bound until replaced.
    void BindInt(int index, qint64 value);
    void BindText(int index, const QString& value);
    // The next row: true when there is one. A failed step ends the rows too and sets Failed(): a walk
    // tells the two apart after its last row.
    bool Step();
    // Runs a write to its end: the number of rows it touched, or -1 when it failed.
    qint32 Execute();
    // Ready to run again (bound values kept); a failure of the last run is forgotten.
    void Reset();
    bool Failed() const { return m_failed; }
    // The engine's words for the failure ("" when there was none).
    QString Error() const { return m_error; }

    int ColumnCount() const;
    // The index of a column by its name (letter case ignored), -1 when the statement has none.
    int ColumnIndex(const QString& column) const;
    // A column of the current row as the stored UTF-8 bytes (empty for NULL); valid until the next step.
    QByteArrayView ColumnUtf8(int index) const;

private:
    friend class Connection;
    Statement(sqlite3_stmt* stmt, std::shared_ptr<sqlite3> db, QString path, int failuresSeen)
        : m_stmt(stmt), m_db(std::move(db)), m_path(std::move(path)), m_failuresSeen(failuresSeen) {}
    void close();

    sqlite3_stmt* m_stmt = nullptr;
    std::shared_ptr<sqlite3> m_db;
    QString m_path;
    int m_failuresSeen = 0; // DatabaseFailuresSoFar() when the file last passed for this statement
    bool m_failed = false;
    QString m_error;
    std::vector<QByteArray> m_bound; // the bytes of each bound text, alive while they are bound
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
    // A statement to run with bound values; invalid (and LastError set) when the text does not compile.
    Statement Prepare(const QString& sql);
    // Several writes that must stand or fall together (a group with its recipients; import batches).
    bool BeginTransaction();
    bool Commit();
    void Rollback();
    void Close();
    QString LastError() const { return m_lastError; }
    // SQLite's primary result code for the failure of Open (SQLITE_BUSY for a file another program
    // holds locked, SQLITE_NOTADB, ...); 0 after an Open that worked.
    int LastErrorCode() const { return m_lastCode; }

    // SQLite's quick check of the whole file and of the two tables the program needs. False when the
    // check could not run to its end for another reason than damage (the file busy, interrupted), with
    // the reason in *problem; otherwise *problem is empty for a sound file, else what was found.
    bool QuickCheck(QString* problem);
    // Stops the statement running on this connection, also while Open derives the key or reads the
    // first page; may be called from another thread at any time, also while Open or Close run.
    void Interrupt();

private:
    // A statement that would write: allowed when the file passed its check, else refused with the reason.
    bool writeAllowed(sqlite3_stmt* stmt);
    // After a statement that ended outside a transaction: the file's check learns of writes of ours.
    void noteWritten();

    std::shared_ptr<sqlite3> m_db; // set and cleared only under m_handleMutex (Interrupt reads it)
    std::mutex m_handleMutex;
    QString m_path;
    QString m_lastError;
    int m_lastCode = 0;
    bool m_writeRefusalLogged = false;
    bool m_wroteSinceNote = false; // a write was let through since the check last heard of ours
};

// The comparison rule of the recipient texts (the collation of [GroupName] and the recipient columns):
// letter case and trailing blanks are ignored; <0, 0 or >0 like strcmp. Both sides are UTF-8.
int CompareRecipientText(QByteArrayView a, QByteArrayView b);
// The same rule computed on Unicode text throughout: the reference the fast comparison must agree with.
int CompareRecipientTextUnicode(QByteArrayView a, QByteArrayView b);

// Doubles every single quote, for values that go into statement text.
QString SqlQuote(const QString& value);

// Every group name, in the table's order (the order the groups were made).
QStringList ReadGroupNames();

// A group as its row in [Groups] holds it.
struct GroupRecord {
    qint32 id = 0;   // 0 when no group has the name
    QString sortSql; // the stored SortSQL, as stored (see GroupOrder.h for how it is run)
    QString error;   // the engine's words when the row could not be read (a damaged page)
};

// The group of a name (letter case and trailing blanks ignored): the one place that finds a group by
// its name.
GroupRecord GroupByName(Connection& connection, const QString& name);

// Makes a new empty recipient database with both tables (used by the build to make the shipped file).
bool CreateRecipientDatabase(const QString& file, QString* error = nullptr);
