#pragma once
// Whether the recipient database may be written. A file that still opens may be damaged (pages zeroed or
// changed on disk); a write to it spreads the damage and can lose what is still readable. So each file is
// checked (SQLite's quick check, which reads every page: seconds for a million recipients), off the
// window's thread while the program starts; a write waits for the answer and is refused unless the file
// passed. The answer holds while the file stays the one it was given for: another file put in its place,
// or a change of its size or modification time that was not a write of ours, has it checked again, and
// damage that any statement meets fails the check at once. A file that is busy (another program holds it
// locked) or that the user may not open gets no lasting answer: the next write asks again. Reads are
// never held back: they go on wherever the file still reads.
#include <QObject>
#include <QString>

enum class DatabaseHealth {
    Sound,
    Damaged,    // it opens, but the check found damage
    Unopenable, // it does not open: missing, not a database, another password, cut short
    NoAccess,   // the user may not read or change it (its permissions); asked again at the next write
    Unchecked,  // the check could not run to its end (the file busy, the program ending); asked again at the
                // next write
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
// started or the file changed since (a copy put back, bytes written over it). heldByUs: the caller's
// transaction has written to the file already, so it holds the file's lock and the changes to its size
// and time are its own: the answer known is given without looking at them.
DatabaseCheckResult DatabaseWriteCheck(const QString& file, bool heldByUs = false);

// A statement on the file met damage (SQLite's words): the file counts as failed from now on, and the
// user is told once.
void DatabaseDamageFound(const QString& file, const QString& reason);

// Grows whenever a verdict turns against a file (found by a check or met by a statement): a write that
// passed its check need not ask again while this stays as it was then.
int DatabaseFailuresSoFar();

// A write of ours to a file that passed has ended (outside a transaction): the change it made to the
// file's size and time is no reason to check again.
void DatabaseWritten(const QString& file);

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
