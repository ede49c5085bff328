// The send run where it used to fail silently or leak: a body that could not be written, a failed login,
// a silent server, history files others could read, a picture that named the sender's file.
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/WriteSendStatus.h"
#include "sending/HistoryStore.h"
#include "sending/SendCheckRules.h"
#include "sending/SendRun.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/DamagedDatabase.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sendingtest;

// A body that could not be written stops the run before it connects: nothing is sent, nothing counted,
// and the log says why.
TEST(SendRunRepairs, BodyThatCannotBeWrittenSendsNothing) {
    MakeGroup(3);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRunInput in = HtmlInput();
    in.writeHtmlBody = [] { return QString(); };
    SendRun run;
    EXPECT_EQ(run.run(in, PartialRange{}), SendRun::End::Stopped);
    EXPECT_EQ(peer.messageCount(), 0);
    EXPECT_TRUE(peer.quits().isEmpty()) << "no connection was opened";
    EXPECT_EQ(run.sentCount() + run.failedCount(), 0);
    EXPECT_EQ(run.stopReason(), BodyNotWrittenText());
    const QString log = run.log();
    EXPECT_TRUE(log.contains(BodyNotWrittenText() + QStringLiteral("\r\n\r\n"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Connecting")));
    EXPECT_TRUE(log.endsWith(QStringLiteral("Personal Sending process has been completed.\r\n")));
    EXPECT_EQ(ReadAll(run.historyBase() + QStringLiteral(".txt")), (log + QStringLiteral("\r\n")).toUtf8());
    EXPECT_FALSE(QFile::exists(run.historyBase() + QStringLiteral(".eml")));
}

// A wrong password: one login attempt for the whole run, every message failed with the login's code.
TEST(SendRunRepairs, WrongPasswordLogsInOnceForTheWholeRun) {
    MakeGroup(6);
    SmtpPeer peer({}, QStringLiteral("joe"), QStringLiteral("right"));
    StoreAccount(peer.port());
    SaveSetting(Sections::Account, Keys::Auth, QStringLiteral("1"));
    SaveSetting(Sections::Account, Keys::Username, QStringLiteral("joe"));
    SaveSetting(Sections::Account, Keys::Password, QStringLiteral("wrong"));
    SaveSetting(Sections::Account, Keys::AuthMode, QStringLiteral("AUTH LOGIN"));
    SendRun run;
    EXPECT_EQ(run.run(TextInput(), PartialRange{}), SendRun::End::Normal);
    EXPECT_EQ(peer.authAttempts(), 1);
    EXPECT_EQ(peer.messageCount(), 0);
    EXPECT_EQ(run.failedCount(), 6);
    EXPECT_EQ(run.log().count(SmtpResultText(24)), 7) << run.log().toStdString();

    // The right password still works through the same path.
    SaveSetting(Sections::Account, Keys::Password, QStringLiteral("right"));
    EXPECT_EQ(run.run(TextInput(), PartialRange{}), SendRun::End::Normal);
    EXPECT_EQ(peer.authAttempts(), 2);
    EXPECT_EQ(peer.messageCount(), 6);
}

// A server that accepts and never speaks: the run of 50 connects once and ends within one time-out,
// not fifty.
TEST(SendRunRepairs, SilentServerCostsOneTimeOutPerRun) {
    MakeGroup(50);
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    int connections = 0;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (silent.nextPendingConnection())
            ++connections;
    });
    StoreAccount(silent.serverPort());
    SendRun run;
    run.setSmtpTimeouts(2000, 2000, 1000);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(run.run(TextInput(), PartialRange{}), SendRun::End::Normal);
    // One time-out is 1 s, one per recipient 50 s: 10 s leaves a loaded machine nine to spare.
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(connections, 1);
    EXPECT_EQ(run.failedCount(), 50);
    EXPECT_EQ(run.log().count(SmtpResultText(27)), 51);
}

// The history files hold recipients' data: created for the owner alone, never opened up and closed
// again afterwards (a later chmod leaves a moment in which others may read them), even under a
// permissive umask. A watcher sees every file of the history folder and every change of permissions.
TEST(SendRunRepairs, HistoryFilesAreNeverReadableByOthers) {
    MakeGroup(2);
    SmtpPeer peer;
    StoreAccount(peer.port());
    const QString folder = HistoryFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder).constData(),
                                  IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_MODIFY),
              0);
    std::atomic<bool> done = false;
    QStringList open;     // names seen with permissions for group or others
    QStringList reopened; // names whose permissions changed after they were made
    std::thread watcher([&] {
        alignas(inotify_event) char buf[8192];
        for (;;) {
            pollfd p{watch, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                if (done)
                    break;
                continue;
            }
            const ssize_t n = ::read(watch, buf, sizeof buf);
            for (ssize_t i = 0; i < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buf + i);
                i += ssize_t(sizeof(inotify_event) + ev->len);
                if (ev->len == 0)
                    continue;
                const QString name = QString::fromLocal8Bit(ev->name);
                if (ev->mask & IN_ATTRIB)
                    reopened << name;
                const QByteArray path = QFile::encodeName(folder) + ev->name;
                struct stat st {};
                if (::lstat(path.constData(), &st) == 0 && (st.st_mode & 077) != 0)
                    open << name;
            }
        }
    });
    const mode_t old = ::umask(0);
    SendRun run;
    run.run(TextInput(), PartialRange{});
    ::umask(old);
    done = true;
    watcher.join();
    ::close(watch);
    EXPECT_EQ(run.sentCount(), 2);
    EXPECT_TRUE(open.isEmpty()) << open.join(u' ').toStdString();
    const QString base = QFileInfo(run.historyBase()).fileName();
    for (const QString& ext : {QStringLiteral(".eml"), QStringLiteral(".txt")}) {
        EXPECT_FALSE(reopened.contains(base + ext)) << ext.toStdString();
        EXPECT_EQ(QFile::permissions(run.historyBase() + ext) & 0x0077, 0) << ext.toStdString();
    }
}

// A picture of the document that cannot be read is left out of every message, never sent as a reference
// to the sender's file, whether named by a file URL or relatively; the log says so once, not per message.
TEST(SendRun, PicturesThatCannotBeReadAreLeftOutAndLoggedOnce) {
    MakeGroup(3);
    SmtpPeer peer;
    StoreAccount(peer.port());
    const QString gone = TempFolder() + QStringLiteral("gone-logo.png");
    SendRunInput in = HtmlInput();
    in.writeHtmlBody = [gone] {
        const QString path = TempFolder() + QStringLiteral("Pictures.htm");
        QFile f(path);
        const QByteArray html = "<p>Dear $*MergeFirstName*$</p><img src=\"gone-logo.png\">"
                                "<img src=\"" +
                                QUrl::fromLocalFile(gone).toEncoded() + "\">";
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(html) > 0 ? path : QString();
    };
    SendRun run;
    EXPECT_EQ(run.run(in, PartialRange{}), SendRun::End::Normal);
    ASSERT_EQ(peer.messageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const QByteArray msg = peer.message(i);
        EXPECT_TRUE(msg.contains("Dear First" + QByteArray::number(i + 1))) << msg.constData();
        EXPECT_FALSE(msg.contains("gone-logo")) << msg.constData();
        EXPECT_FALSE(msg.contains("file:"));
    }
    const QString log = run.log();
    EXPECT_EQ(log.count(LeftOutPicturesLogText({gone}) + QStringLiteral("\r\n\r\n")), 1) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("gone-logo")), 1);
}

// A group whose rows cannot all be read stops the run at the first row it cannot read, or before the
// first message when even the count breaks off: a stop with the database's words and where to resume,
// in the log and the History Manager's mark, never a run that reached everyone.
TEST(SendRunRepairs, AGroupThatCannotBeReadToItsEndStopsTheRun) {
    const struct {
        const char* damage;
        double at;   // where in the file the zeroed page lies
        qint32 sent; // the rows before it, in the order of adding
    } cases[] = {{"a page of the rows", 0.1, 219}, {"a page of the index, which the count reads", 0.4, 0}};
    SmtpPeer peer;
    int delivered = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        testenv::ZeroPages(UserDatabasePath(), testenv::FillGroupDatabase(QStringLiteral("Friends"), 3000),
                           c.at, 1);
        testenv::ClearSettings();
        StoreAccount(peer.port());
        SendRun run;
        EXPECT_EQ(run.run(TextInput(), PartialRange{}), SendRun::End::Stopped);
        EXPECT_EQ(run.sentCount(), c.sent);
        EXPECT_EQ(run.failedCount(), 0);
        delivered += c.sent;
        EXPECT_EQ(peer.messageCount(), delivered);
        const QString line =
            StoppedRunLine(c.sent, c.sent + 1, QStringLiteral("database disk image is malformed"));
        EXPECT_EQ(run.stopReason(), line);
        const QString log = run.log();
        EXPECT_TRUE(log.contains(QStringLiteral("\r\n") + line +
                                 QStringLiteral("\r\nPersonal Sending process has been completed.\r\n")))
            << log.right(600).toStdString();
        EXPECT_EQ(log.contains(QStringLiteral("Sending to 3000 recipients.")), c.sent > 0);
        EXPECT_FALSE(log.contains(QStringLiteral("Sending to 0")));
        EXPECT_TRUE(HistoryCancelNote(run.historyBase() + QStringLiteral(".txt"))
                        .startsWith(QStringLiteral("Stopped ")));
    }
}
