#include "app/Startup.h"
#include "core/Paths.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/FileEvents.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "ui/MessageBoxes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        QDir().mkpath(programFolder());
        QDir().mkpath(appData());
        QDir().mkpath(instances());
        ASSERT_TRUE(QFile::copy(testenv::ShippedDatabase(), shipped()));
    }

    QString programFolder() const { return root.path() + QStringLiteral("/program/"); }
    QString appData() const { return root.path() + QStringLiteral("/appdata"); }
    QString instances() const { return root.path() + QStringLiteral("/run"); }
    QString shipped() const { return programFolder() + QStringLiteral("Group.mdb"); }
    QString userFolder() const { return appData() + QStringLiteral("/Torvale/Velanto Ostrel/"); }
    QString settingsFolder() const { return root.path() + QStringLiteral("/config/Torvale"); }

    StartupEnvironment environment() const {
        return {QStringLiteral("Debian GNU/Linux 12 (bookworm)"),
                QSize(1024, 768),
                programFolder(),
                appData(),
                instances(),
                settingsFolder()};
    }

    // A start-up that records whether it went on to its windows instead of showing them.
    std::unique_ptr<Startup> makeStartup(const StartupEnvironment& env) {
        auto startup = std::make_unique<Startup>(env);
        startup->showWindows = [this](const StartupEnvironment&, QPointer<QWidget>&) { ++windowsShown; };
        return startup;
    }

    QTemporaryDir root;
    testenv::MessageBoxRecorder boxes;
    int windowsShown = 0;
};

TEST_F(StartupTest, RefusalsShowTheirMessageAndCreateNothing) {
    struct Case {
        const char* what;
        StartupOutcome outcome;
        const char* message;
    };
    const Case cases[] = {
        {"unknown system", StartupOutcome::UnsupportedSystem,
         "Velanto is not compatible with the current operating system."},
        {"799 wide", StartupOutcome::ScreenTooSmall,
         "The screen resolution is not adequate for running Velanto."},
        {"599 high", StartupOutcome::ScreenTooSmall,
         "The screen resolution is not adequate for running Velanto."},
        {"no Group.mdb", StartupOutcome::DatabaseMissing,
         "Velanto has failed to start because Group.mdb was not found."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartupEnvironment env = environment();
        const QString what = QString::fromLatin1(c.what);
        if (what == QLatin1String("unknown system"))
            env.systemName = QStringLiteral("Unknown Windows");
        else if (what == QLatin1String("799 wide"))
            env.screenSize = QSize(799, 600);
        else if (what == QLatin1String("599 high"))
            env.screenSize = QSize(800, 599);
        else
            env.programFolder = root.path() + QStringLiteral("/empty-program/");
        const size_t before = boxes.seen().size();
        EXPECT_EQ(makeStartup(env)->run(), c.outcome);
        ASSERT_EQ(boxes.seen().size(), before + 1);
        EXPECT_EQ(boxes.last(), QString::fromLatin1(c.message));
        EXPECT_EQ(boxes.seen().back().icon, QMessageBox::Critical);
        EXPECT_TRUE(QDir(appData()).isEmpty());
        EXPECT_FALSE(QFileInfo::exists(env.programFolder + QStringLiteral("Application Data")));
    }
    EXPECT_EQ(windowsShown, 0);
}

TEST_F(StartupTest, ExactlyTheSmallestScreenStarts) {
    StartupEnvironment env = environment();
    env.screenSize = QSize(800, 600);
    EXPECT_EQ(makeStartup(env)->run(), StartupOutcome::Started);
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(StartupTest, FirstStartCopiesTheDatabaseAndLaterStartsKeepTheUsersCopy) {
    QFile::setPermissions(shipped(), QFile::ReadOwner);
    {
        auto startup = makeStartup(environment());
        ASSERT_EQ(startup->run(), StartupOutcome::Started);
    }
    EXPECT_EQ(windowsShown, 1);
    EXPECT_TRUE(boxes.seen().empty());
    // The shipped file is made writable at every start.
    EXPECT_TRUE(QFile::permissions(shipped()) & QFile::WriteOwner);
    EXPECT_EQ(DataPath(), userFolder());
    const QString copy = userFolder() + QStringLiteral("Group.mdb");
    ASSERT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(testenv::ReadFile(copy), testenv::ReadFile(shipped()));
    EXPECT_EQ(QFile::permissions(copy) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_TRUE(QFileInfo(userFolder() + QStringLiteral("History")).isDir());

    // The user's database is theirs from now on, whatever the program ships next time.
    QFile user(copy);
    ASSERT_TRUE(user.open(QIODevice::Append));
    user.write("the user's own data");
    user.close();
    const QByteArray users = testenv::ReadFile(copy);
    ASSERT_EQ(makeStartup(environment())->run(), StartupOutcome::Started);
    EXPECT_EQ(testenv::ReadFile(copy), users);
}

TEST_F(StartupTest, WithoutAnApplicationDataFolderTheProgramFolderHoldsTheData) {
    StartupEnvironment env = environment();
    env.appDataFolder.clear();
    ASSERT_EQ(makeStartup(env)->run(), StartupOutcome::Started);
    const QString fallback = programFolder() + QStringLiteral("Application Data/");
    EXPECT_EQ(DataPath(), fallback);
    EXPECT_EQ(testenv::ReadFile(fallback + QStringLiteral("Group.mdb")), testenv::ReadFile(shipped()));
    EXPECT_TRUE(QFileInfo(fallback + QStringLiteral("History")).isDir());
}

// The copy holds the user's recipients: it is never readable by others, not even for the moment between
// the copy and a later change of its mode (a permissive umask and shipped file make that visible).
TEST_F(StartupTest, TheFirstRunCopyIsPrivateFromTheMomentItExists) {
    QFile::setPermissions(shipped(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    QDir().mkpath(userFolder());
    testenv::FolderEvents events(userFolder());
    const mode_t oldMask = ::umask(0);
    const StartupOutcome outcome = makeStartup(environment())->run();
    ::umask(oldMask);
    ASSERT_EQ(outcome, StartupOutcome::Started);
    const QString copy = userFolder() + QStringLiteral("Group.mdb");
    const QStringList seen = events.eventsFor(QStringLiteral("Group.mdb"));
    EXPECT_FALSE(seen.isEmpty());
    EXPECT_FALSE(seen.contains(QStringLiteral("attrib"))) << seen.join(' ').toStdString();
    struct stat st {};
    ASSERT_EQ(0, ::stat(QFile::encodeName(copy).constData(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);
    EXPECT_EQ(testenv::ReadFile(copy), testenv::ReadFile(shipped()));
}

TEST_F(StartupTest, AnApplicationDataFolderThatCannotHoldOursFallsBackToTheProgramFolder) {
    QFile wall(appData() + QStringLiteral("/Torvale"));
    ASSERT_TRUE(wall.open(QIODevice::WriteOnly));
    wall.close();
    ASSERT_EQ(makeStartup(environment())->run(), StartupOutcome::Started);
    const QString fallback = programFolder() + QStringLiteral("Application Data/");
    EXPECT_EQ(DataPath(), fallback);
    EXPECT_EQ(testenv::ReadFile(fallback + QStringLiteral("Group.mdb")), testenv::ReadFile(shipped()));
    EXPECT_TRUE(QFileInfo(fallback + QStringLiteral("History")).isDir());
}

// The data and settings folders (and their "Torvale" parents) are the user's alone from the moment they
// exist, whatever the umask.
TEST_F(StartupTest, TheProgramsFoldersArePrivateWhateverTheUmask) {
    StartupEnvironment env = environment();
    const mode_t oldMask = ::umask(0);
    const StartupOutcome outcome = makeStartup(env)->run();
    ::umask(oldMask);
    ASSERT_EQ(outcome, StartupOutcome::Started);
    for (const QString& folder : {appData() + QStringLiteral("/Torvale"), userFolder(), env.settingsFolder,
                                  userFolder() + QStringLiteral("History")}) {
        struct stat st {};
        ASSERT_EQ(0, ::lstat(QFile::encodeName(folder).constData(), &st)) << folder.toStdString();
        EXPECT_EQ(0700u, st.st_mode & 0777u) << folder.toStdString();
    }
}

// A folder someone else made, or a link pointing elsewhere, would give another user the recipients or the
// account password: start-up names it and stops, and nothing is written there.
TEST_F(StartupTest, APlantedDataOrSettingsFolderIsNeverUsed) {
    const QString elsewhere = root.path() + QStringLiteral("/elsewhere");
    const QString settings = settingsFolder();
    const QString fallback = programFolder() + QStringLiteral("Application Data");
    struct Case {
        const char* what;
        QString folder; // planted, and named by the message
        bool link;      // else a folder of another user
        bool noAppData = false;
    };
    const Case cases[] = {
        {"data Torvale is a link", appData() + QStringLiteral("/Torvale"), true},
        {"data folder is a link", userFolder().chopped(1), true},
        {"settings folder is a link", settings, true},
        {"fallback folder is a link", fallback, true, true},
        {"data Torvale of another user", appData() + QStringLiteral("/Torvale"), false},
        {"data folder of another user", userFolder().chopped(1), false},
        {"settings folder of another user", settings, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.link && ::geteuid() != 0)
            continue; // planting a folder of another user needs root
        QDir(appData()).removeRecursively();
        QDir(root.path() + QStringLiteral("/config")).removeRecursively();
        QDir(elsewhere).removeRecursively();
        QDir(fallback).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(elsewhere));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(c.folder).path()));
        if (c.link) {
            ASSERT_TRUE(QFile::link(elsewhere, c.folder));
        } else {
            ASSERT_TRUE(QDir().mkpath(c.folder));
            ASSERT_EQ(0, ::chown(QFile::encodeName(c.folder).constData(), 65534, 65534));
        }
        StartupEnvironment env = environment();
        if (c.noAppData)
            env.appDataFolder.clear();
        const size_t before = boxes.seen().size();
        EXPECT_EQ(makeStartup(env)->run(), StartupOutcome::UnsafeFolder);
        ASSERT_EQ(boxes.seen().size(), before + 1);
        EXPECT_EQ(boxes.last(),
                  QStringLiteral("Velanto has failed to start because the folder %1 is a symbolic "
                                 "link or belongs to another user.")
                      .arg(c.folder));
        EXPECT_EQ(boxes.seen().back().icon, QMessageBox::Critical);
        EXPECT_TRUE(QDir(elsewhere).isEmpty());
        if (!c.link) {
            EXPECT_TRUE(QDir(c.folder).isEmpty());
        }
    }
    EXPECT_EQ(windowsShown, 0);
}

// XDG_DATA_HOME is a file and the program folder cannot hold the fallback either: without a data
// folder there would be no database, so start-up stops and says where it looked.
TEST_F(StartupTest, WithoutAnyDataFolderStartUpStopsNamingTheFoldersTried) {
    StartupEnvironment env = environment();
    env.appDataFolder = testenv::WriteFile(root.path() + QStringLiteral("/data-home-file"), "x");
    testenv::WriteFile(programFolder() + QStringLiteral("Application Data"), "x");
    EXPECT_EQ(makeStartup(env)->run(), StartupOutcome::DataFolderUnusable);
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.last(),
              QStringLiteral("Velanto has failed to start because none of these folders could "
                             "be made to hold its data:\n%1/Torvale/Velanto Ostrel\n%2")
                  .arg(env.appDataFolder, programFolder() + QStringLiteral("Application Data")));
    EXPECT_EQ(boxes.seen().back().icon, QMessageBox::Critical);
    EXPECT_EQ(windowsShown, 0);
}

// The user's database is checked while the windows come up; a file that does not open or that is damaged
// is named, with the reason, once start-up is through.
TEST_F(StartupTest, ADatabaseThatDoesNotOpenOrIsDamagedIsNamedAtStartUp) {
    const struct {
        const char* what;
        const char* says;
    } cases[] = {{"not a database", "could not be opened: file is encrypted or is not a database."},
                 {"a zeroed page", "is damaged: "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Each case in a folder of its own: the answer is kept per file.
        StartupEnvironment env = environment();
        env.appDataFolder = root.path() + QStringLiteral("/") + QString::fromLatin1(c.what);
        const QString copy = env.appDataFolder + QStringLiteral("/Torvale/Velanto Ostrel/Group.mdb");
        QDir().mkpath(QFileInfo(copy).path());
        QFile::copy(testenv::ShippedDatabase(), copy);
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        const qint64 size = QFileInfo(copy).size();
        if (QByteArray(c.what).contains("zeroed"))
            testenv::OverwriteBytes(copy, 3 * 1024, QByteArray(1024, '\0')); // the recipients' first page
        else
            testenv::WriteFile(copy, QByteArray(int(size), 'x'));
        const QByteArray before = testenv::ReadFile(copy);
        const size_t seen = boxes.seen().size();
        auto startup = makeStartup(env);
        ASSERT_EQ(startup->run(), StartupOutcome::Started);
        ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.seen().size() > seen; }, 20000));
        EXPECT_EQ(boxes.seen().size(), seen + 1);
        EXPECT_TRUE(boxes.last().startsWith(QStringLiteral("The recipient database ") + copy))
            << boxes.last().toStdString();
        EXPECT_TRUE(boxes.last().contains(QString::fromLatin1(c.says))) << boxes.last().toStdString();
        EXPECT_EQ(boxes.seen().back().icon, QMessageBox::Critical);
        EXPECT_TRUE(testenv::ReadFile(copy) == before) << "the file was written";
    }
}

TEST_F(StartupTest, ASecondCopyEndsSilentlyAndAsksTheFirstForAttention) {
    auto first = makeStartup(environment());
    ASSERT_EQ(first->run(), StartupOutcome::Started);
    QSignalSpy attention(&first->instance(), &SingleInstance::attentionRequested);

    // The second copy stops before any check: not even a missing database is reported.
    StartupEnvironment env = environment();
    env.programFolder = root.path() + QStringLiteral("/elsewhere/");
    EXPECT_EQ(makeStartup(env)->run(), StartupOutcome::AlreadyRunning);
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(windowsShown, 1);
    EXPECT_TRUE(attention.wait(3000));

    // The first copy's window comes to the front, then is marked urgent for about a second.
    QWidget window;
    QStringList steps;
    QElapsedTimer sinceUrgent;
    first.reset();
    first = makeStartup(environment());
    first->showWindows = [&window](const StartupEnvironment&, QPointer<QWidget>& main) { main = &window; };
    first->attention.bringToFront = [&steps](QWidget* w) {
        steps << QStringLiteral("front ") + w->objectName();
    };
    first->attention.setUrgent = [&](QWidget*, bool urgent) {
        steps << (urgent ? QStringLiteral("urgent") : QStringLiteral("calm"));
        if (urgent)
            sinceUrgent.start();
        else
            steps << (sinceUrgent.elapsed() >= 900 ? QStringLiteral("after a second")
                                                   : QStringLiteral("early"));
    };
    window.setObjectName(QStringLiteral("MainForm"));
    ASSERT_EQ(first->run(), StartupOutcome::Started);
    EXPECT_EQ(makeStartup(env)->run(), StartupOutcome::AlreadyRunning);
    EXPECT_TRUE(QTest::qWaitFor([&] { return steps.size() >= 4; }, 10000));
    EXPECT_EQ(QStringList({"front MainForm", "urgent", "calm", "after a second"}), steps);

    // Once the first copy has ended, the program starts again.
    first.reset();
    EXPECT_EQ(makeStartup(environment())->run(), StartupOutcome::Started);
}

} // namespace
