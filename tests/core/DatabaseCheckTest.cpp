// The check that decides whether the recipient database may be written: its verdict on each kind of
// file, what the user is told, when a verdict is asked again, and stopping checks under way.
#include "core/DatabaseCheck.h"
#include "core/Database.h"
#include "core/Paths.h"
#include "tests/support/DamagedDatabase.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString kRestore = QStringLiteral("put back a copy of Group.mdb");

// Runs fn on a thread of its own without the power to pass over file permissions that root has: the
// checks of permissions then apply as to any user (capabilities belong to each thread).
void AsAnyUser(const std::function<void()>& fn) {
    std::thread([&fn] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2]{};
        if (::syscall(SYS_capget, &header, caps) == 0) {
            for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
                caps[cap / 32].effective &= ~(1u << (cap % 32));
            ::syscall(SYS_capset, &header, caps);
        }
        fn();
    }).join();
}

// A write through a connection of its own: the rows it touched, -1 when it was refused.
qint32 TryWrite(const QString& file) {
    Connection db;
    return db.Open(file) ? db.ExecuteWrite(QStringLiteral("UPDATE [Groups] SET [SortSQL] = ''")) : -1;
}

// Bytes this process has read from files so far (a check reads the whole file).
qint64 BytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return 0;
}

// Changes a file in place as fn does, then gives it back the modification time it had before.
void KeepingTime(const QString& file, const std::function<void()>& fn) {
    struct stat st {};
    ASSERT_EQ(0, ::stat(QFile::encodeName(file).constData(), &st));
    fn();
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0));
}

TEST(DatabaseCheck, EachKindOfFileGetsItsVerdictAndItsAdvice) {
    const struct {
        const char* what;
        DatabaseHealth health;
        const char* reason; // the engine's or the system's words; any when empty
    } cases[] = {
        {"sound", DatabaseHealth::Sound, ""},
        {"a zeroed page", DatabaseHealth::Damaged, ""},
        {"one flipped bit", DatabaseHealth::Damaged, ""},
        {"random bytes", DatabaseHealth::Unopenable, "file is encrypted or is not a database"},
        {"another password", DatabaseHealth::Unopenable, "file is encrypted or is not a database"},
        {"cut short", DatabaseHealth::Unopenable, ""},
        {"no permission", DatabaseHealth::NoAccess, "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const qint64 page = testenv::FillGroupDatabase(QStringLiteral("Intact"), 3000);
        const QString file = UserDatabasePath();
        const QString what = QString::fromLatin1(c.what);
        const qint64 pages = QFile(file).size() / page;
        // Pages of the recipients' rows, far from the groups' table at the start of the file.
        if (what == QLatin1String("a zeroed page")) {
            testenv::OverwriteBytes(file, (pages - 4) * page, QByteArray(int(page), '\0'));
        } else if (what == QLatin1String("one flipped bit")) {
            const qint64 at = (pages - 4) * page + page / 2;
            testenv::OverwriteBytes(file, at, QByteArray(1, char(testenv::ReadFile(file)[at] ^ 4)));
        } else if (what == QLatin1String("random bytes")) {
            QByteArray noise(8 * int(page), Qt::Uninitialized);
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            testenv::WriteFile(file, noise);
        } else if (what == QLatin1String("another password")) {
            Connection db;
            ASSERT_TRUE(db.Open());
            db.Execute(QStringLiteral("PRAGMA rekey = 'not the program''s password'"));
        } else if (what == QLatin1String("cut short")) {
            ASSERT_TRUE(QFile::resize(file, page / 2));
        }
        const QByteArray before = testenv::ReadFile(file);
        if (what == QLatin1String("no permission")) {
            ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::Permissions()));
        }
        DatabaseCheckResult answer;
        qint32 written = 0;
        AsAnyUser([&] {
            answer = DatabaseWriteCheck(file);
            written = TryWrite(file);
        });
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(answer.health, c.health);
        if (*c.reason) {
            EXPECT_EQ(answer.reason, QString::fromLatin1(c.reason));
        }
        if (c.health == DatabaseHealth::Sound) {
            EXPECT_EQ(written, 1);
            continue;
        }
        EXPECT_FALSE(answer.reason.isEmpty());
        EXPECT_EQ(written, -1);
        EXPECT_TRUE(before == testenv::ReadFile(file)) << "the file was written";
        const QString text = DatabaseProblemText(file, answer);
        EXPECT_TRUE(text.contains(file) && text.contains(answer.reason)) << text.toStdString();
        // Only a file whose contents failed gets the advice that throws away what it holds.
        EXPECT_EQ(text.contains(kRestore), c.health != DatabaseHealth::NoAccess) << text.toStdString();
        if (c.health == DatabaseHealth::NoAccess) {
            EXPECT_EQ(TryWrite(file), 1) << "a verdict was kept while the file could not be opened";
        }
    }
}

// A file that another connection holds locked is busy, not damaged: no verdict is kept, the advice to
// throw it away is not given, and the next write checks again and goes through once the lock is gone.
TEST(DatabaseCheck, ABusyFileIsCheckedAgainAtTheNextWrite) {
    testenv::FillGroupDatabase(QStringLiteral("Intact"), 10);
    const QString file = UserDatabasePath();
    // A lock held through another name of the same file, which has a check of its own, as another
    // program's lock would be held.
    const QString otherName = file + QStringLiteral(".link");
    ASSERT_EQ(0, ::link(QFile::encodeName(file).constData(), QFile::encodeName(otherName).constData()));
    Connection holder;
    ASSERT_TRUE(holder.Open(otherName));
    ASSERT_GE(holder.ExecuteWrite(QStringLiteral("BEGIN EXCLUSIVE")), 0);
    const DatabaseCheckResult busy = DatabaseWriteCheck(file);
    EXPECT_EQ(busy.health, DatabaseHealth::Unchecked);
    EXPECT_EQ(busy.reason, QStringLiteral("database is locked"));
    EXPECT_FALSE(DatabaseProblemText(file, busy).contains(kRestore));
    holder.Rollback();
    holder.Close();
    EXPECT_EQ(TryWrite(file), 1);
}

// A verdict holds for the file it was made on, as long as nobody else changed it: a file put in its
// place, or changed in size or time, is checked afresh, and damage a statement meets counts at once.
// Writes of the program's own never make it read the whole file again.
TEST(DatabaseCheck, AVerdictIsMadeAgainWhenTheFileChanged) {
    const qint64 page = testenv::FillGroupDatabase(QStringLiteral("Intact"), 3000);
    const QString file = UserDatabasePath();
    const QByteArray sound = testenv::ReadFile(file);
    QByteArray damaged = sound;
    damaged.replace(sound.size() - 4 * page, page, QByteArray(int(page), '\0'));
    const auto replaceWith = [&file](const QByteArray& bytes) {
        const QString other = testenv::WriteFile(file + QStringLiteral(".new"), bytes);
        ASSERT_EQ(0, ::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()));
    };
    int notices = 0;
    QObject::connect(&DatabaseCheckNotices::instance(), &DatabaseCheckNotices::problemFound,
                     QCoreApplication::instance(), [&notices] { ++notices; });
    const struct {
        const char* change;
        std::function<void()> make;
        DatabaseHealth health;
    } steps[] = {
        {"none yet", [] {}, DatabaseHealth::Sound},
        {"written in place", [&] { testenv::OverwriteBytes(file, 0, damaged); }, DatabaseHealth::Damaged},
        {"replaced by a sound copy", [&] { replaceWith(sound); }, DatabaseHealth::Sound},
        {"another size, the same time",
         [&] { KeepingTime(file, [&] { testenv::WriteFile(file, damaged + QByteArray(int(page), '\0')); }); },
         DatabaseHealth::Damaged},
        {"replaced by a sound copy", [&] { replaceWith(sound); }, DatabaseHealth::Sound},
        {"damage a read meets, the same size and time",
         [&] {
             Connection db;
             ASSERT_TRUE(db.Open(file));
             // A write prepared (and so checked) before, run again once the read met the damage.
             Statement later = db.Prepare(QStringLiteral("UPDATE [Groups] SET [SortSQL] = ''"));
             KeepingTime(file, [&] { testenv::OverwriteBytes(file, 0, damaged); });
             Recordset rs = db.Execute(GroupRecipientsSql(1, QString()));
             while (!rs.Eof())
                 rs.MoveNext();
             EXPECT_EQ(rs.Error(), QStringLiteral("database disk image is malformed"));
             EXPECT_EQ(later.Execute(), -1);
         },
         DatabaseHealth::Damaged},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.change);
        step.make();
        EXPECT_EQ(DatabaseWriteCheck(file).health, step.health);
        EXPECT_EQ(TryWrite(file), step.health == DatabaseHealth::Sound ? 1 : -1);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(notices, 1) << "the damage a read met is told, once";

    replaceWith(sound);
    EXPECT_EQ(TryWrite(file), 1);
    const qint64 before = BytesRead();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(TryWrite(file), 1);
    EXPECT_LT(BytesRead() - before, sound.size()) << "a write of ours had the file checked again";
}

// Stopping the checks at any moment (as they open the file, as they read it, as they close it) leaves
// no verdict that the check did not reach and tells the user nothing; the next write checks properly.
TEST(DatabaseCheck, StoppingAChecksLeavesNoFalseVerdict) {
    testenv::FillGroupDatabase(QStringLiteral("Large"), 200000);
    const QString file = UserDatabasePath();
    const qint64 size = QFile(file).size();
    int notices = 0;
    QObject::connect(&DatabaseCheckNotices::instance(), &DatabaseCheckNotices::problemFound,
                     QCoreApplication::instance(), [&notices] { ++notices; });
    for (int i = 0; i < 20; ++i) {
        StartDatabaseCheck(file);
        StopDatabaseChecks();
    }
    // A file no check has answered for yet, stopped while its pages are read.
    const QString copy = file + QStringLiteral(".copy");
    ASSERT_TRUE(QFile::copy(file, copy));
    const qint64 before = BytesRead();
    StartDatabaseCheck(copy);
    EXPECT_TRUE(QTest::qWaitFor([&] { return BytesRead() - before > size / 4; }, 30000));
    StopDatabaseChecks();
    QCoreApplication::processEvents();
    EXPECT_EQ(notices, 0);
    for (const QString& checked : {file, copy}) {
        EXPECT_EQ(DatabaseWriteCheck(checked).health, DatabaseHealth::Sound);
        EXPECT_EQ(TryWrite(checked), 1);
    }
}

} // namespace
