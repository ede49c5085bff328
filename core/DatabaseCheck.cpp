#include "core/DatabaseCheck.h"

#include "core/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

Q_LOGGING_CATEGORY(lcDatabaseCheck, "velanto.database.check")

namespace {

// A write waits this long for a check under way. The check reads the whole file once: a million
// recipients take a few seconds, so the bound is reached only by a file far larger or a disk that hangs;
// the write is then refused as unchecked rather than made blind.
constexpr auto kWriteWait = std::chrono::minutes(2);

struct Entry {
    DatabaseCheckResult result;
    bool known = false;
    bool running = false;
    ino_t inode = 0;                  // the file the answer belongs to
    Connection* connection = nullptr; // the running check's, so that it can be interrupted
};

struct Checks {
    std::mutex mutex;
    std::condition_variable finished;
    QHash<QString, Entry> entries;
    std::vector<std::thread> threads;
    bool stopping = false;

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
        std::lock_guard lock(mutex);
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

ino_t inodeOf(const QString& file) {
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
}

void announce(const QString& file, const DatabaseCheckResult& result) {
    if (result.health != DatabaseHealth::Damaged && result.health != DatabaseHealth::Unopenable)
        return;
    qCWarning(lcDatabaseCheck) << "check of" << file << "failed:" << result.reason;
    DatabaseCheckNotices* notices = &DatabaseCheckNotices::instance();
    const QString text = DatabaseProblemText(file, result);
    QMetaObject::invokeMethod(
        notices, [notices, file, text] { emit notices->problemFound(file, text); }, Qt::QueuedConnection);
}

DatabaseCheckResult checkOn(Connection& connection, const QString& file) {
    DatabaseCheckResult result;
    if (!connection.Open(file)) {
        result.health = DatabaseHealth::Unopenable;
        result.reason = connection.LastError();
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
void runCheck(QString key, QString file) {
    Checks& all = checks();
    Connection connection;
    bool stopping = false;
    {
        std::lock_guard lock(all.mutex);
        all.entries[key].connection = &connection;
        stopping = all.stopping;
    }
    // The program ending before the check began: no answer (a later write would check again).
    const DatabaseCheckResult result = stopping ? DatabaseCheckResult{} : checkOn(connection, file);
    connection.Close();
    {
        std::lock_guard lock(all.mutex);
        Entry& entry = all.entries[key];
        entry.connection = nullptr;
        entry.running = false;
        entry.result = result;
        entry.known = result.health != DatabaseHealth::Unchecked;
    }
    all.finished.notify_all();
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
    return checkOn(connection, file);
}

void StartDatabaseCheck(const QString& file) {
    DatabaseCheckNotices::instance();
    Checks& all = checks();
    const QString key = keyOf(file);
    std::lock_guard lock(all.mutex);
    Entry& entry = all.entries[key];
    const ino_t inode = inodeOf(file);
    if (entry.known && entry.inode == inode) {
        announce(file, entry.result);
        return;
    }
    if (entry.running)
        return;
    entry.known = false;
    entry.running = true;
    entry.inode = inode;
    all.threads.emplace_back(runCheck, key, file);
}

DatabaseCheckResult DatabaseWriteCheck(const QString& file) {
    Checks& all = checks();
    const QString key = keyOf(file);
    const ino_t inode = inodeOf(file);
    std::unique_lock lock(all.mutex);
    Entry& entry = all.entries[key];
    if (entry.running &&
        !all.finished.wait_for(lock, kWriteWait, [&] { return !all.entries[key].running; })) {
        return {DatabaseHealth::Unchecked, QStringLiteral("the check of the file has not finished")};
    }
    Entry& current = all.entries[key];
    if (current.known && current.inode == inode)
        return current.result;
    // Not checked yet (no start-up check in this process, or the file was replaced): checked here, once.
    lock.unlock();
    const DatabaseCheckResult result = CheckDatabaseFile(file);
    lock.lock();
    Entry& checked = all.entries[key];
    checked.result = result;
    checked.known = result.health != DatabaseHealth::Unchecked;
    checked.inode = inode;
    return result;
}

void StopDatabaseChecks() {
    checks().stop();
}

QString DatabaseProblemText(const QString& file, const DatabaseCheckResult& result) {
    const QString name = QDir::toNativeSeparators(file);
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
