// The history of send runs: the log file a run writes as it goes, the names of its files, the listing
// the History Manager shows and its deletion.
#include "core/Paths.h"
#include "sending/HistoryLog.h"
#include "sending/HistoryStore.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace sendingtest;

namespace {

void Touch(const QString& path) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("x");
}

} // namespace

TEST(HistoryStore, NamesRunsByStartTimeAndCleanedSubject) {
    testenv::FreshDataPath();
    const QDateTime start(QDate(2026, 12, 8), QTime(1, 31, 5));
    EXPECT_EQ(HistoryBase(start, QStringLiteral("Spring offer: 20% off!")),
              HistoryFolder() + QStringLiteral("12-08-2026_01-31-05_Spring offer 20 off"));
    EXPECT_EQ(SubjectToFileName(QString()), QStringLiteral("No Subject"));
    EXPECT_EQ(SubjectToFileName(QStringLiteral("_é!?")), QStringLiteral("No Subject"));
    EXPECT_EQ(SubjectToFileName(QStringLiteral("a_b-c d\u00e9")), QStringLiteral("ab-c d"));
    EXPECT_EQ(HistoryBase(start, QString(100, QLatin1Char('k'))).section(QLatin1Char('_'), 2).size(), 64);
    EXPECT_EQ(HistoryDetails(QStringLiteral("12-08-2026_01-31-05_Spring offer 20 off.txt")),
              QStringLiteral("Date = 12-08-2026  -  Time = 01-31-05 - Subject = Spring offer 20 off"));
    EXPECT_EQ(HistoryDetails(QStringLiteral("notes.txt")), QString());
}

// What the run logs before the file is open is kept for it; what is flushed is on the disk before the
// log is closed (a killed run leaves it); the end adds one CR LF. The file is the owner's alone, even
// where it replaces an older one others could read, under a permissive umask.
TEST(HistoryLog, WritesTheLogAsItGoesIntoAPrivateFile) {
    testenv::FreshDataPath();
    const QString path = HistoryFolder() + QStringLiteral("run.txt");
    QDir().mkpath(HistoryFolder());
    Touch(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const mode_t old = ::umask(0);
    HistoryLog log;
    log.reset();
    log.append(QStringLiteral("started\r\n"));
    const bool opened = log.open(path);
    ::umask(old);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(QFile::permissions(path) & 0x0077, 0);
    // A character outside the basic plane may arrive in two halves.
    const QString smile = QString::fromUcs4(U"\U0001F600");
    log.append(QStringLiteral("Gr\u00fc\u00dfe ") + smile.left(1));
    log.append(smile.mid(1) + QStringLiteral("\r\n"));
    log.flush();
    EXPECT_EQ(ReadAll(path), QByteArray("started\r\nGr\xc3\xbc\xc3\x9f"
                                        "e \xf0\x9f\x98\x80\r\n"));
    log.append(QStringLiteral("done\r\n"));
    log.close();
    EXPECT_FALSE(log.isOpen());
    EXPECT_TRUE(ReadAll(path).endsWith("\r\ndone\r\n\r\n"));
    EXPECT_EQ(QFile::permissions(path) & 0x0077, 0);

    // The next run's log starts empty and leaves the first file as it was.
    const QByteArray first = ReadAll(path);
    log.reset();
    log.append(QStringLiteral("second\r\n"));
    ASSERT_TRUE(log.open(HistoryFolder() + QStringLiteral("next.txt")));
    log.close();
    EXPECT_EQ(ReadAll(HistoryFolder() + QStringLiteral("next.txt")), QByteArray("second\r\n\r\n"));
    EXPECT_EQ(ReadAll(path), first);
}

// A log whose file cannot be made keeps nothing and writes nowhere; the next one works again.
TEST(HistoryLog, AFileThatCannotBeMadeKeepsNothing) {
    testenv::FreshDataPath();
    const QString blocker = DataPath() + QStringLiteral("not-a-folder");
    Touch(blocker);
    HistoryLog log;
    log.reset();
    log.append(QStringLiteral("started\r\n"));
    EXPECT_FALSE(log.open(blocker + QStringLiteral("/run.txt")));
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(log.path(), blocker + QStringLiteral("/run.txt"));
    log.append(QStringLiteral("lost\r\n"));
    log.flush();
    log.close();
    EXPECT_EQ(ReadAll(blocker), QByteArray("x"));

    log.reset();
    log.append(QStringLiteral("again\r\n"));
    ASSERT_TRUE(log.open(DataPath() + QStringLiteral("run.txt")));
    log.close();
    EXPECT_EQ(ReadAll(DataPath() + QStringLiteral("run.txt")), QByteArray("again\r\n\r\n"));
}

// The History Manager lists the ordinary log files in name order, without hidden files, folders or
// messages; deleting the history removes every file, hidden ones too, and keeps the folder.
TEST(HistoryStore, ListsLogFilesInNameOrderAndDeletesEveryFile) {
    testenv::FreshDataPath();
    EXPECT_TRUE(ListHistoryLogs().isEmpty()) << "no folder yet";
    EXPECT_TRUE(DeleteHistory());
    const QString folder = HistoryFolder();
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("folder.txt")));
    for (const char* name : {"12-09-2026_08-00-00_b.txt", "12-08-2026_09-00-00_a.txt", ".hidden.txt",
                             "12-08-2026_09-00-00_a.eml", "notes.TXT.bak"})
        Touch(folder + QString::fromLatin1(name));
    EXPECT_EQ(ListHistoryLogs(), (QStringList{QStringLiteral("12-08-2026_09-00-00_a.txt"),
                                              QStringLiteral("12-09-2026_08-00-00_b.txt")}));
    EXPECT_TRUE(DeleteHistory());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty());
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_TRUE(ListHistoryLogs().isEmpty());
}

// The History Manager's mark comes from the line a cancelled or stopped run writes before its end lines;
// the same words anywhere else in a log (a server's reply, a longer log's middle) mark nothing.
TEST(HistoryStore, MarksARunThatEndedEarlyWithWhereToResume) {
    testenv::FreshDataPath();
    QDir().mkpath(HistoryFolder());
    const QString end = QStringLiteral("Personal Sending process has been completed.\r\n");
    const QString counts =
        QStringLiteral("21 messages sent during process.\r\n1 messages failed during process.\r\n");
    const struct {
        QString endLine;
        QString tail;
        const char* mark;
    } cases[] = {
        {CancelledRunLine(21, 22), end + counts,
         "Cancelled after recipient #21; #22 and later were not sent"},
        {CancelledRunLine(3, 0), end, "Cancelled after recipient #3"},
        {CancelledRunLine(0, 1), end, "Cancelled before recipient #1"},
        {StoppedRunLine(386, 387, QStringLiteral("database disk image is malformed")), end + counts,
         "Stopped after recipient #386; #387 and later were not sent"},
        {StoppedRunLine(0, 1, QString(300, QLatin1Char('x'))), end, "Stopped before recipient #1"},
        {CancelledRunLine(2, 3), end + QStringLiteral("250 OK\r\n"), ""},
        {QString(), end + counts, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mark);
        const QString path = HistoryFolder() + QStringLiteral("run.txt");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(2000, 'x') + "\r\n" +
                (c.endLine + QStringLiteral("\r\n") + c.tail + "\r\n").toUtf8());
        f.close();
        EXPECT_EQ(HistoryCancelNote(path), QLatin1String(c.mark));
    }
    EXPECT_EQ(CancelledRunLine(21, 22),
              QStringLiteral(
                  "The sending process was cancelled after recipient #21; #22 and later were not sent."));
    EXPECT_TRUE(
        StoppedRunLine(386, 387, QStringLiteral("disk I/O error"))
            .endsWith(QStringLiteral("#387 and later were not sent. The recipient database could not be "
                                     "read: disk I/O error.")));
}
