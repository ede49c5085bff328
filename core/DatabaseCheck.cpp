#include "core/DatabaseCheck.h"

#include "core/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcDatabaseCheck, "velanto.database.check")

namespace {

// A write waits this long for a check under way. The check reads the whole file once: a million
// recipients take a few seconds, so the bound is reached only by a file far larger or a disk that hangs;
// the write is then refused as unchecked rather than made blind.
constexpr auto kWriteWait = std::chrono::minutes(2);

// Which file a path names and how it last looked: an answer belongs to that and nothing else.
struct FileStamp {
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};

    bool operator==(const FileStamp& other) const {
        return inode == other.inode && size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

FileStamp stampOf(const QString& file) {
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0)
        return {};
    return {st.st_ino, st.st_size, st.st_mtim};
}

struct Entry {
    DatabaseCheckResult result;
    bool known = false;
    bool running = false;
    FileStamp stamp;                  // the file the answer belongs to, as it was when checked
    Connection* connection = nullptr; // the running check's, so that it can be interrupted
};

// Only an answer about the file's contents lasts; a busy file, one the user may not open yet and a
// check that was stopped are asked again.
bool lasts(const DatabaseCheckResult& result) {
    return result.health == DatabaseHealth::Sound || result.health == DatabaseHealth::Damaged ||
           result.health == DatabaseHealth::Unopenable;
}

std::atomic<int> failuresSoFar = 0;

// Keeps a check's answer, unless a statement met damage in the file while it ran; false then.
bool keep(Entry& entry, const DatabaseCheckResult& result, const FileStamp& stamp) {
    if (entry.known && entry.result.health == DatabaseHealth::Damaged && entry.stamp == stamp)
        return false;
    if (result.health != DatabaseHealth::Sound)
        ++failuresSoFar;
    entry.result = result;
    entry.known = lasts(result);
    entry.stamp = stamp;
    return true;
}

struct Checks {
    std::mutex mutex;
    std::condition_variable finished;
    QHash<QString, Entry> entries;
    std::vector<std::thread> threads;
    std::atomic<bool> stopping = false;

    ~Checks() { stop(); }

    void stop() {
        std::vector<std::thread> running;
        {
            std::lock_guard lock(mutex);
            stopping = true;
            for (Entry& entry : entries)
                if (entry.connection)
                    entry.connection->Interrupt();
            running.swap(threads);
        }
        for (std::thread& thread : running)
            thread.join();
        stopping = false;
    }
};

Checks& checks() {
    static Checks instance;
    return instance;
}

QString keyOf(const QString& file) {
    return QDir::cleanPath(QDir(file).absolutePath());
}

void announce(const QString& file, const DatabaseCheckResult& result) {
    if (result.health == DatabaseHealth::Sound || result.health == DatabaseHealth::Unchecked)
        return;
    qCWarning(lcDatabaseCheck) << "check of" << file << "failed:" << result.reason;
    DatabaseCheckNotices* notices = &DatabaseCheckNotices::instance();
    const QString text = DatabaseProblemText(file, result);
    QMetaObject::invokeMethod(
        notices, [notices, file, text] { emit notices->problemFound(file, text); }, Qt::QueuedConnection);
}

// The user's permissions first: SQLite would only say that it cannot open the file.
bool mayOpen(const QString& file, DatabaseCheckResult* result) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != EACCES && errno != EPERM && errno != EROFS)
        return true; // missing and the like: the engine's words below
    *result = {DatabaseHealth::NoAccess, QString::fromLocal8Bit(std::strerror(errno))};
    return false;
}

DatabaseCheckResult checkOn(Connection& connection, const QString& file, const std::atomic<bool>* stop) {
    DatabaseCheckResult result;
    if (!mayOpen(file, &result))
        return result;
    if (!connection.Open(file)) {
        // Busy (another program holds it locked) or stopped while opening says nothing about the file.
        const int code = connection.LastErrorCode();
        const bool transient =
            code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_INTERRUPT || code == SQLITE_NOMEM;
        result.health = transient ? DatabaseHealth::Unchecked : DatabaseHealth::Unopenable;
        result.reason = connection.LastError();
        return result;
    }
    if (stop && *stop) {
        result.reason = QStringLiteral("the check was stopped");
        return result;
    }
    QString problem;
    if (!connection.QuickCheck(&problem)) {
        result.reason = problem;
        return result;
    }
    result.health = problem.isEmpty() ? DatabaseHealth::Sound : DatabaseHealth::Damaged;
    result.reason = problem;
    return result;
}

// The thread of one background check.
void runCheck(QString key, QString file, FileStamp stamp) {
    Checks& all = checks();
    Connection connection;
    {
        std::lock_guard lock(all.mutex);
        all.entries[key].connection = &connection;
    }
    // The program ending before the check began: no answer (a later write checks again).
    const DatabaseCheckResult result =
        all.stopping ? DatabaseCheckResult{} : checkOn(connection, file, &all.stopping);
    connection.Close();
    bool kept = false;
    {
        std::lock_guard lock(all.mutex);
        Entry& entry = all.entries[key];
        entry.connection = nullptr;
        entry.running = false;
        kept = keep(entry, result, stamp);
    }
    all.finished.notify_all();
    if (kept)
        announce(file, result);
}

} // namespace

DatabaseCheckNotices& DatabaseCheckNotices::instance() {
    // Made on the program's first thread, before any check starts (StartDatabaseCheck runs there).
    static auto* notices = [] {
        auto* n = new DatabaseCheckNotices;
        if (QCoreApplication::instance())
            n->moveToThread(QCoreApplication::instance()->thread());
        return n;
    }();
    return *notices;
}

DatabaseCheckResult CheckDatabaseFile(const QString& file) {
    Connection connection;
    return checkOn(connection, file, nullptr);
}

void StartDatabaseCheck(const QString& file) {
    DatabaseCheckNotices::instance();
    Checks& all = checks();
    const QString key = keyOf(file);
    const FileStamp stamp = stampOf(file);
    std::lock_guard lock(all.mutex);
    Entry& entry = all.entries[key];
    if (entry.known && entry.stamp == stamp) {
        announce(file, entry.result);
        return;
    }
    if (entry.running)
        return;
    entry.running = true;
    all.threads.emplace_back(runCheck, key, file, stamp);
}

DatabaseCheckResult DatabaseWriteCheck(const QString& file, bool heldByUs) {
    Checks& all = checks();
    const QString key = keyOf(file);
    std::unique_lock lock(all.mutex);
    if (all.entries[key].running &&
        !all.finished.wait_for(lock, kWriteWait, [&] { return !all.entries[key].running; })) {
        return {DatabaseHealth::Unchecked, QStringLiteral("the check of the file has not finished")};
    }
    // How the file looks now, taken before any check: a change made while one runs is seen next time.
    const FileStamp stamp = stampOf(file);
    const Entry& current = all.entries[key];
    if (current.known && (heldByUs || current.stamp == stamp))
        return current.result;
    // Not checked yet (no start-up check in this process), or changed since: checked here.
    lock.unlock();
    const DatabaseCheckResult result = CheckDatabaseFile(file);
    lock.lock();
    Entry& checked = all.entries[key];
    keep(checked, result, stamp);
    return checked.result;
}

void DatabaseDamageFound(const QString& file, const QString& reason) {
    Checks& all = checks();
    const DatabaseCheckResult damaged{DatabaseHealth::Damaged, reason};
    {
        std::lock_guard lock(all.mutex);
        Entry& entry = all.entries[keyOf(file)];
        const FileStamp stamp = stampOf(file);
        if (entry.known && entry.result.health == DatabaseHealth::Damaged && entry.stamp == stamp)
            return; // told already
        entry.result = damaged;
        entry.known = true;
        entry.stamp = stamp;
        ++failuresSoFar;
    }
    announce(file, damaged);
}

int DatabaseFailuresSoFar() {
    return failuresSoFar;
}

void DatabaseWritten(const QString& file) {
    Checks& all = checks();
    std::lock_guard lock(all.mutex);
    Entry& entry = all.entries[keyOf(file)];
    if (entry.known && entry.result.health == DatabaseHealth::Sound)
        entry.stamp = stampOf(file);
}

void StopDatabaseChecks() {
    checks().stop();
}

QString DatabaseProblemText(const QString& file, const DatabaseCheckResult& result) {
    const QString name = QDir::toNativeSeparators(file);
    // Only a file whose contents failed is to be replaced by a saved copy: that would lose every
    // recipient added since, so a busy file or one of the wrong permissions never gets that advice.
    if (result.health == DatabaseHealth::NoAccess)
        return QStringLiteral("The recipient database %1 cannot be opened for reading and writing: %2.\n\n"
                              "Velanto will not change this file. Make sure that your user account may read "
                              "and write it and the folder it is in.")
            .arg(name, result.reason);
    if (result.health == DatabaseHealth::Unchecked)
        return QStringLiteral("The recipient database %1 could not be checked: %2.\n\nAnother program may "
                              "be using it. Velanto tries again at the next change.")
            .arg(name, result.reason);
    if (result.health == DatabaseHealth::Unopenable)
        return QStringLiteral("The recipient database %1 could not be opened: %2.\n\nVelanto will not "
                              "change this file. Close Velanto and put back a copy of Group.mdb that you "
                              "saved earlier.")
            .arg(name, result.reason);
    return QStringLiteral("The recipient database %1 is damaged: %2.\n\nVelanto will not change this file, "
                          "so that no more of it is lost; recipients that can still be read are shown. Close "
                          "Velanto and put back a copy of Group.mdb that you saved earlier.")
        .arg(name, result.reason);
}
