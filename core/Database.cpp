#include "core/Database.h"

#include "core/Paths.h"
#include "core/RecipientFields.h"

#include <QFile>
#include <QLoggingCategory>
#include <sqlite3.h>

Q_LOGGING_CATEGORY(lcDatabase, "velanto.database")

namespace {

// The comparison rule of the recipient database: letter case and trailing blanks are ignored.
// ASCII is compared byte by byte (the import's duplicate test runs it hundreds of thousands of times);
// anything else is folded by Qt so that "Zoë" and "ZOË" match too.
int compareText(void*, int n1, const void* p1, int n2, const void* p2) {
    const auto* a = static_cast<const unsigned char*>(p1);
    const auto* b = static_cast<const unsigned char*>(p2);
    while (n1 > 0 && a[n1 - 1] == ' ')
        --n1;
    while (n2 > 0 && b[n2 - 1] == ' ')
        --n2;
    const int n = std::min(n1, n2);
    for (int i = 0; i < n; ++i) {
        unsigned char c1 = a[i];
        unsigned char c2 = b[i];
        if (c1 >= 0x80 || c2 >= 0x80) {
            const QString s1 = QString::fromUtf8(reinterpret_cast<const char*>(a + i), n1 - i);
            const QString s2 = QString::fromUtf8(reinterpret_cast<const char*>(b + i), n2 - i);
            const int r = s1.compare(s2, Qt::CaseInsensitive);
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
        if (c1 >= 'A' && c1 <= 'Z')
            c1 += 32;
        if (c2 >= 'A' && c2 <= 'Z')
            c2 += 32;
        if (c1 != c2)
            return c1 < c2 ? -1 : 1;
    }
    return n1 == n2 ? 0 : (n1 < n2 ? -1 : 1);
}

constexpr const char* kCollation = "JETTEXT";

QString errorOf(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

std::shared_ptr<sqlite3> openFile(const QString& file, int flags, QString* error) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, flags, nullptr);
    std::shared_ptr<sqlite3> db(raw, [](sqlite3* d) { sqlite3_close_v2(d); });
    if (rc != SQLITE_OK) {
        *error = raw ? errorOf(raw) : QStringLiteral("cannot open");
        return nullptr;
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_create_collation(raw, kCollation, SQLITE_UTF8, nullptr, compareText);
    const QByteArray key = QByteArray("PRAGMA key = '") + DatabasePassword + "';";
    sqlite3_exec(raw, key.constData(), nullptr, nullptr, nullptr);
    // The key is only checked on first read: a wrong password or a file that is no database fails here.
    if (sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = errorOf(raw);
        return nullptr;
    }
    return db;
}

} // namespace

// ---- Recordset

Recordset::Recordset(sqlite3_stmt* stmt, std::shared_ptr<sqlite3> db) : m_stmt(stmt), m_db(std::move(db)) {
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
        m_columns = std::move(other.m_columns);
        m_hasRow = std::exchange(other.m_hasRow, false);
        m_failed = std::exchange(other.m_failed, false);
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
        qCWarning(lcDatabase) << "read failed:" << errorOf(m_db.get());
        m_failed = true;
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
    if (!QFile::exists(path)) {
        // Never let the engine create an empty file in place of the user's database.
        m_lastError = QStringLiteral("no database file");
        qCWarning(lcDatabase) << "open failed:" << path << m_lastError;
        return false;
    }
    m_db = openFile(path, SQLITE_OPEN_READWRITE, &m_lastError);
    if (!m_db)
        qCWarning(lcDatabase) << "open failed:" << path << m_lastError;
    return IsOpen();
}

Recordset Connection::Execute(const QString& sql) {
    if (!m_db)
        return Recordset();
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db.get(), text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        m_lastError = errorOf(m_db.get());
        qCWarning(lcDatabase) << "statement failed:" << m_lastError << sql;
        Recordset failed;
        failed.m_failed = true;
        return failed;
    }
    Recordset rows(stmt, m_db);
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
    return qint32(sqlite3_changes(m_db.get()));
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
    m_db.reset();
}

// ---- Shared statement helpers

QString SqlQuote(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return quoted;
}

QString GroupRecipientsSql(qint32 groupId, const QString& sortSql) {
    QString sql = QStringLiteral("SELECT * FROM [Emails] WHERE ([G-ID] = '") + QString::number(groupId) +
                  QStringLiteral(" ')");
    // Without an order of the group's own the store would return rows in index order (by address).
    sql += QStringLiteral(" ORDER BY ") + (sortSql.trimmed().isEmpty() ? QStringLiteral("[ID]") : sortSql);
    return sql;
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

qint32 GroupByName(Connection& connection, const QString& name) {
    // The blank before the closing quote is harmless: the comparison ignores trailing blanks.
    Recordset rs = connection.Execute(QStringLiteral("SELECT * FROM [Groups] WHERE ([GroupName] = '") +
                                      SqlQuote(name) + QStringLiteral(" ')"));
    qint32 id = 0;
    rs.FieldInt(QStringLiteral("ID"), &id);
    rs.Close();
    return id;
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
