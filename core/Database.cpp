#include "core/Database.h"

#include "core/DatabaseCheck.h"
#include "core/Paths.h"
#include "core/RecipientFields.h"

#include <QFile>
#include <QLoggingCategory>
#include <QStringEncoder>
#include <sqlite3.h>

Q_LOGGING_CATEGORY(lcDatabase, "velanto.database")

namespace {

int compareText(void*, int n1, const void* p1, int n2, const void* p2) {
    return CompareRecipientText(QByteArrayView(static_cast<const char*>(p1), n1),
                                QByteArrayView(static_cast<const char*>(p2), n2));
}

QByteArrayView withoutTrailingBlanks(QByteArrayView text) {
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == ' ')
        --n;
    return text.first(n);
}

int unicodeCompare(QByteArrayView a, QByteArrayView b) {
    const int r = QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

constexpr const char* kCollation = "JETTEXT";

QString errorOf(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

std::shared_ptr<sqlite3> openHandle(const QString& file, int flags, int* rc) {
    sqlite3* raw = nullptr;
    *rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, flags, nullptr);
    return std::shared_ptr<sqlite3>(raw, [](sqlite3* d) { sqlite3_close_v2(d); });
}

// Our settings, the collation and the key on an open handle, then the first read: the key is only
// checked there, so a wrong password or a file that is no database fails here. SQLite's result code.
int useHandle(sqlite3* raw) {
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_create_collation(raw, kCollation, SQLITE_UTF8, nullptr, compareText);
    const QByteArray key = QByteArray("PRAGMA key = '") + DatabasePassword + "';";
    sqlite3_exec(raw, key.constData(), nullptr, nullptr, nullptr);
    return sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
}

std::shared_ptr<sqlite3> openFile(const QString& file, int flags, QString* error) {
    int rc = SQLITE_OK;
    std::shared_ptr<sqlite3> db = openHandle(file, flags, &rc);
    if (rc == SQLITE_OK)
        rc = useHandle(db.get());
    if (rc != SQLITE_OK) {
        *error = db ? errorOf(db.get()) : QStringLiteral("cannot open");
        return nullptr;
    }
    return db;
}

// A statement that met damage (a page that does not decrypt or parse) fails the file's check at once,
// whatever the last check found: nothing more is written to it.
void noteDamage(sqlite3* db, const QString& path) {
    const int primary = sqlite3_errcode(db) & 0xff;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        DatabaseDamageFound(path, errorOf(db));
}

} // namespace

// ---- The comparison rule

// Most recipient texts are ASCII, and an index lookup compares them a dozen times: bytes are compared
// directly (ASCII letters folded) and only where the texts differ in a non-ASCII character is the rest
// decoded and folded by Qt. That gives exactly what folding both whole texts would: the equal prefix
// folds equal either way, and Qt folds one UTF-16 unit to one, so a longer text with an equal prefix is
// the greater.
int CompareRecipientText(QByteArrayView a, QByteArrayView b) {
    a = withoutTrailingBlanks(a);
    b = withoutTrailingBlanks(b);
    const qsizetype n = std::min(a.size(), b.size());
    const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    for (qsizetype i = 0; i < n; ++i) {
        unsigned char c1 = pa[i];
        unsigned char c2 = pb[i];
        if (c1 == c2)
            continue;
        if (c1 >= 0x80 || c2 >= 0x80) {
            // Back to the start of the character both texts are in (their bytes so far are the same).
            while (i > 0 && ((pa[i] & 0xC0) == 0x80 || (pb[i] & 0xC0) == 0x80))
                --i;
            return unicodeCompare(a.sliced(i), b.sliced(i));
        }
        if (c1 >= 'A' && c1 <= 'Z')
            c1 += 32;
        if (c2 >= 'A' && c2 <= 'Z')
            c2 += 32;
        if (c1 != c2)
            return c1 < c2 ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareRecipientTextUnicode(QByteArrayView a, QByteArrayView b) {
    return unicodeCompare(withoutTrailingBlanks(a), withoutTrailingBlanks(b));
}

// ---- Statement

Statement::Statement(Statement&& other) noexcept {
    *this = std::move(other);
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        close();
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_db = std::move(other.m_db);
        m_path = std::move(other.m_path);
        m_failuresSeen = other.m_failuresSeen;
        m_failed = std::exchange(other.m_failed, false);
        m_error = std::move(other.m_error);
        m_bound = std::move(other.m_bound);
    }
    return *this;
}

Statement::~Statement() {
    close();
}

void Statement::close() {
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_db.reset();
}

void Statement::BindInt(int index, qint64 value) {
    if (m_stmt)
        sqlite3_bind_int64(m_stmt, index, value);
}

void Statement::BindText(int index, const QString& value) {
    if (!m_stmt || index < 1)
        return;
    if (value.isEmpty()) {
        sqlite3_bind_text(m_stmt, index, "", 0, SQLITE_STATIC); // empty text, never NULL
        return;
    }
    // Each placeholder keeps its own buffer, reused from row to row: a bulk insert binds 18 values a row,
    // and neither we nor the engine need to allocate for them.
    if (size_t(index) > m_bound.size())
        m_bound.resize(size_t(index));
    QByteArray& utf8 = m_bound[size_t(index) - 1];
    const qsizetype room = value.size() * 3;
    if (utf8.size() < room)
        utf8.resize(room);
    QStringEncoder encoder(QStringConverter::Utf8);
    char* begin = utf8.data();
    char* end = encoder.appendToBuffer(begin, value);
    sqlite3_bind_text(m_stmt, index, begin, int(end - begin), SQLITE_STATIC);
}

bool Statement::Step() {
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        m_error = errorOf(m_db.get());
        qCWarning(lcDatabase) << "statement failed:" << m_error;
        m_failed = true;
        noteDamage(m_db.get(), m_path);
    }
    return false;
}

qint32 Statement::Execute() {
    if (!m_stmt)
        return -1;
    sqlite3_reset(m_stmt);
    // Checked when prepared; a verdict against a file since (a statement met damage in it) is asked
    // for before the next write. Asking on every run would cost a bulk insert a quarter of its time.
    const bool writes = !sqlite3_stmt_readonly(m_stmt);
    if (writes && DatabaseFailuresSoFar() != m_failuresSeen) {
        const DatabaseCheckResult check = DatabaseWriteCheck(m_path, !sqlite3_get_autocommit(m_db.get()));
        if (check.health != DatabaseHealth::Sound) {
            m_failed = true;
            m_error = check.reason;
            return -1;
        }
        m_failuresSeen = DatabaseFailuresSoFar();
    }
    const bool failedBefore = m_failed;
    m_failed = false;
    while (Step()) {
    }
    const bool failed = m_failed;
    m_failed = m_failed || failedBefore;
    sqlite3_reset(m_stmt);
    // A write of ours outside a transaction changed the file; in one, the commit tells.
    if (!failed && writes && sqlite3_get_autocommit(m_db.get()))
        DatabaseWritten(m_path);
    return failed ? -1 : qint32(sqlite3_changes(m_db.get()));
}

void Statement::Reset() {
    if (m_stmt)
        sqlite3_reset(m_stmt);
    m_failed = false;
    m_error.clear();
}

int Statement::ColumnCount() const {
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

int Statement::ColumnIndex(const QString& column) const {
    for (int i = 0; i < ColumnCount(); ++i)
        if (QString::fromUtf8(sqlite3_column_name(m_stmt, i)).compare(column, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QByteArrayView Statement::ColumnUtf8(int index) const {
    if (!m_stmt || index < 0)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt, index)) : QByteArrayView();
}

// ---- Recordset

Recordset::Recordset(sqlite3_stmt* stmt, std::shared_ptr<sqlite3> db, QString path)
    : m_stmt(stmt), m_db(std::move(db)), m_path(std::move(path)) {
    step();
}

int Recordset::columnIndex(const QString& column) const {
    if (m_columns.isEmpty()) {
        // Built on the first read only: a statement run to test whether a row exists never needs it. Each
        // column is found by its name as the statement spells it and in lower case, so the usual lookup
        // (the name as written) needs no case conversion.
        const int n = sqlite3_column_count(m_stmt);
        for (int i = 0; i < n; ++i) {
            const QString name = QString::fromUtf8(sqlite3_column_name(m_stmt, i));
            m_columns.insert(name.toLower(), i);
            m_columns.insert(name, i);
        }
    }
    auto it = m_columns.constFind(column);
    if (it == m_columns.constEnd())
        it = m_columns.constFind(column.toLower());
    return it == m_columns.constEnd() ? -1 : *it;
}

Recordset::Recordset(Recordset&& other) noexcept {
    *this = std::move(other);
}

Recordset& Recordset::operator=(Recordset&& other) noexcept {
    if (this != &other) {
        Close();
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_db = std::move(other.m_db);
        m_path = std::move(other.m_path);
        m_columns = std::move(other.m_columns);
        m_hasRow = std::exchange(other.m_hasRow, false);
        m_failed = std::exchange(other.m_failed, false);
        m_error = std::move(other.m_error);
    }
    return *this;
}

Recordset::~Recordset() {
    Close();
}

void Recordset::step() {
    if (!m_stmt) {
        m_hasRow = false;
        return;
    }
    const int rc = sqlite3_step(m_stmt);
    m_hasRow = rc == SQLITE_ROW;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        m_error = errorOf(m_db.get());
        qCWarning(lcDatabase) << "read failed:" << m_error;
        m_failed = true;
        noteDamage(m_db.get(), m_path);
    }
}

QString Recordset::Field(const QString& column) const {
    if (!m_hasRow)
        return QString();
    const int i = columnIndex(column);
    if (i < 0)
        return QString();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, i)) : QString();
}

QByteArrayView Recordset::FieldUtf8(int column) const {
    if (!m_hasRow || column < 0 || column >= sqlite3_column_count(m_stmt))
        return QByteArrayView();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
}

bool Recordset::FieldInt(const QString& column, qint32* value) const {
    if (!m_hasRow)
        return false;
    bool ok = false;
    const qint32 v = Field(column).trimmed().toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

void Recordset::MoveNext() {
    if (m_hasRow)
        step();
}

void Recordset::Close() {
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_db.reset();
    m_hasRow = false;
}

// ---- Connection

Connection::~Connection() {
    Close();
}

bool Connection::Open(const QString& file) {
    Close();
    const QString path = file.isEmpty() ? UserDatabasePath() : file;
    m_lastCode = 0;
    if (!QFile::exists(path)) {
        // Never let the engine create an empty file in place of the user's database.
        m_lastError = QStringLiteral("no database file");
        m_lastCode = SQLITE_CANTOPEN;
        qCWarning(lcDatabase) << "open failed:" << path << m_lastError;
        return false;
    }
    // A connection belongs to the handler that opened it, on one thread: no locking inside the engine.
    m_path = path;
    int rc = SQLITE_OK;
    std::shared_ptr<sqlite3> db = openHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, &rc);
    {
        // Known to Interrupt before the key is derived and the first page read, the slow part.
        std::lock_guard lock(m_handleMutex);
        m_db = db;
    }
    if (rc == SQLITE_OK)
        rc = useHandle(db.get());
    if (rc != SQLITE_OK) {
        m_lastError = db ? errorOf(db.get()) : QStringLiteral("cannot open");
        m_lastCode = (db ? sqlite3_errcode(db.get()) : rc) & 0xff;
        qCWarning(lcDatabase) << "open failed:" << path << m_lastError;
        db.reset();
        Close();
        return false;
    }
    return true;
}

Recordset Connection::Execute(const QString& sql) {
    if (!m_db)
        return Recordset();
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db.get(), text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        m_lastError = errorOf(m_db.get());
        qCWarning(lcDatabase) << "statement failed:" << m_lastError << sql;
        noteDamage(m_db.get(), m_path);
        Recordset failed;
        failed.m_failed = true;
        failed.m_error = m_lastError;
        return failed;
    }
    if (!writeAllowed(stmt)) {
        Recordset failed;
        failed.m_failed = true;
        failed.m_error = m_lastError;
        return failed;
    }
    Recordset rows(stmt, m_db, m_path);
    if (rows.m_failed)
        m_lastError = errorOf(m_db.get());
    return rows;
}

qint32 Connection::ExecuteWrite(const QString& sql) {
    if (!m_db)
        return -1;
    Recordset rows = Execute(sql);
    if (rows.Failed() || !rows.m_stmt)
        return -1;
    rows.Close();
    const qint32 touched = qint32(sqlite3_changes(m_db.get()));
    noteWritten();
    return touched;
}

Statement Connection::Prepare(const QString& sql) {
    if (!m_db)
        return Statement();
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db.get(), text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        m_lastError = errorOf(m_db.get());
        qCWarning(lcDatabase) << "statement failed:" << m_lastError << sql;
        noteDamage(m_db.get(), m_path);
        return Statement();
    }
    const int failuresSeen = DatabaseFailuresSoFar();
    if (!writeAllowed(stmt))
        return Statement();
    return Statement(stmt, m_db, m_path, failuresSeen);
}

bool Connection::BeginTransaction() {
    return m_db && ExecuteWrite(QStringLiteral("BEGIN")) >= 0;
}
bool Connection::Commit() {
    return m_db && ExecuteWrite(QStringLiteral("COMMIT")) >= 0;
}
void Connection::Rollback() {
    if (m_db && !sqlite3_get_autocommit(m_db.get()))
        ExecuteWrite(QStringLiteral("ROLLBACK"));
}

void Connection::Close() {
    std::lock_guard lock(m_handleMutex);
    m_db.reset();
}

void Connection::noteWritten() {
    // Inside a transaction nothing is final yet; its COMMIT (or ROLLBACK) ends here too.
    if (m_wroteSinceNote && sqlite3_get_autocommit(m_db.get())) {
        m_wroteSinceNote = false;
        DatabaseWritten(m_path);
    }
}

bool Connection::writeAllowed(sqlite3_stmt* stmt) {
    // BEGIN, COMMIT and reads count as read-only; everything else would change the file.
    if (sqlite3_stmt_readonly(stmt))
        return true;
    // Within a transaction that has written already the file is ours: only what is known counts.
    const bool heldByUs = m_wroteSinceNote && !sqlite3_get_autocommit(m_db.get());
    const DatabaseCheckResult check = DatabaseWriteCheck(m_path, heldByUs);
    if (check.health == DatabaseHealth::Sound) {
        m_wroteSinceNote = true;
        return true;
    }
    sqlite3_finalize(stmt);
    m_lastError = check.reason;
    // Once per connection: an import refused row by row would otherwise log every row.
    if (!std::exchange(m_writeRefusalLogged, true))
        qCWarning(lcDatabase) << "write refused:" << m_path << m_lastError;
    return false;
}

bool Connection::QuickCheck(QString* problem) {
    problem->clear();
    if (!m_db)
        return false;
    sqlite3* db = m_db.get();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(4)", -1, &stmt, nullptr);
    QStringList found;
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            if (line && qstrcmp(line, "ok") != 0)
                found << QString::fromUtf8(line).simplified();
        }
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        *problem = errorOf(db);
        // A busy file or a stop asked for says nothing about the pages; everything else does.
        const int primary = sqlite3_errcode(db) & 0xff;
        return primary != SQLITE_BUSY && primary != SQLITE_LOCKED && primary != SQLITE_INTERRUPT &&
               primary != SQLITE_NOMEM;
    }
    if (!found.isEmpty()) {
        *problem = found.join(QLatin1String("; "));
        return true;
    }
    // A file cut to nothing opens as an empty database; one without our tables is no recipient database.
    const char* tables = "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                         "lower(name) IN ('groups', 'emails')";
    int count = 0;
    if (sqlite3_prepare_v2(db, tables, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        count = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (count != 2)
        *problem = QStringLiteral("no such table: Groups or Emails");
    return true;
}

void Connection::Interrupt() {
    // The lock keeps the handle from being closed meanwhile; the engine's interrupt is made for calls
    // from other threads.
    std::lock_guard lock(m_handleMutex);
    if (m_db)
        sqlite3_interrupt(m_db.get());
}

// ---- Shared statement helpers

QString SqlQuote(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return quoted;
}

QStringList ReadGroupNames() {
    QStringList names;
    Connection connection;
    if (!connection.Open())
        return names;
    for (Recordset rs = connection.Execute(QStringLiteral("SELECT [GroupName] FROM [Groups]")); !rs.Eof();
         rs.MoveNext())
        names << rs.Field(QStringLiteral("GroupName"));
    return names;
}

GroupRecord GroupByName(Connection& connection, const QString& name) {
    // The blank before the closing quote is harmless: the comparison ignores trailing blanks.
    Recordset rs = connection.Execute(QStringLiteral("SELECT * FROM [Groups] WHERE ([GroupName] = '") +
                                      SqlQuote(name) + QStringLiteral(" ')"));
    GroupRecord group;
    if (rs.FieldInt(QStringLiteral("ID"), &group.id))
        group.sortSql = rs.Field(QStringLiteral("SortSQL"));
    else
        group.error = rs.Error();
    rs.Close();
    return group;
}

bool CreateRecipientDatabase(const QString& file, QString* error) {
    QString why;
    QFile::remove(file);
    auto db = openFile(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &why);
    if (!db) {
        if (error)
            *error = why;
        return false;
    }
    QString emails = QStringLiteral("CREATE TABLE [Emails] ([ID] INTEGER PRIMARY KEY AUTOINCREMENT, "
                                    "[G-ID] INTEGER DEFAULT 0");
    for (const auto& f : RecipientFields)
        emails += QStringLiteral(", [%1] TEXT DEFAULT '' COLLATE %2")
                      .arg(QLatin1String(f.column), QLatin1String(kCollation));
    emails += QLatin1Char(')');
    const QStringList statements{
        QStringLiteral("CREATE TABLE [Groups] ([ID] INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "[GroupName] TEXT DEFAULT '' COLLATE %1, [SortSQL] TEXT DEFAULT '')")
            .arg(QLatin1String(kCollation)),
        emails,
        QStringLiteral("CREATE INDEX [EmailsByGroup] ON [Emails] ([G-ID], [G-Email])"),
    };
    for (const QString& s : statements) {
        char* msg = nullptr;
        if (sqlite3_exec(db.get(), s.toUtf8().constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
            if (error)
                *error = QString::fromUtf8(msg);
            sqlite3_free(msg);
            return false;
        }
    }
    return true;
}
