#pragma once
// Whether the recipient database may be written. A file that still opens may be damaged (pages zeroed or
// changed on disk); a write to it spreads the damage and can lose what is still readable. So each file is
// checked once (SQLite's quick check, which reads every page: seconds for a million recipients), off the
// window's thread while the program starts; a write waits for the answer and is refused unless the file
// passed. Reads are never held back: they go on wherever the file still reads.
#include <QObject>
#include <QString>

enum class DatabaseHealth {
    Sound,
    Damaged,    // it opens, but the check found damage
    Unopenable, // it does not open: missing, not a database, another password, cut short
    Unchecked,  // the check could not run to its end (the file busy, the program ending); asked again later
};

struct DatabaseCheckResult {
    DatabaseHealth health = DatabaseHealth::Unchecked;
    QString reason; // SQLite's own words for the problem
};

// Checks the file now, on the calling thread.
DatabaseCheckResult CheckDatabaseFile(const QString& file);

// Starts the check of the file on a thread of its own, unless it is under way or its answer is known.
// A problem (found now or known already) is announced by DatabaseCheckNotices.
void StartDatabaseCheck(const QString& file);

// The answer a write to the file needs: waits for the check under way, or checks here when none was
// started. A file replaced by another (a copy put back) is checked afresh.
DatabaseCheckResult DatabaseWriteCheck(const QString& file);

// Ends the checks under way and waits for their threads (before the program ends).
void StopDatabaseChecks();

// What the user is told about a file that failed its check: which file, why, and what to do.
QString DatabaseProblemText(const QString& file, const DatabaseCheckResult& result);

// Announces, on the thread the program started on, the problems the checks started by StartDatabaseCheck
// find.
class DatabaseCheckNotices : public QObject {
    Q_OBJECT
public:
    static DatabaseCheckNotices& instance();

signals:
    void problemFound(const QString& file, const QString& text);

private:
    DatabaseCheckNotices() = default;
};
