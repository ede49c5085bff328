// The send run and the preview where they used to fail silently: a body that could not be written, a
// failed login, a silent server, unreadable attachments.
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/WriteSendStatus.h"
#include "sending/HistoryStore.h"
#include "sending/forms/MessagePreview.h"
#include "sending/forms/SendMailForm1.h"
#include "sending/SendRun.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sendingtest;

namespace {

SendRunInput Input(const QString& format, std::function<QString()> writeHtml = {}) {
    SendRunInput in;
    in.subject = QStringLiteral("Hello $*MergeFirstName*$");
    in.groupName = QStringLiteral("Friends");
    in.format = format;
    in.priority = QStringLiteral("Normal");
    in.writeHtmlBody = std::move(writeHtml);
    in.plainBody = [] { return QStringLiteral("Dear $*MergeFirstName*$"); };
    return in;
}

QString WrittenBody() {
    const QString path = TempFolder() + QStringLiteral("RepairBody.htm");
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("<html><body><p>Dear $*MergeFirstName*$</p></body></html>");
    return path;
}

} // namespace

// A body that could not be written stops the run before its first message, says why, and the window
// shows it; the preview says that there is no preview, and opens nothing.
TEST(SendRunRepairs, BodyThatCannotBeWrittenSendsNothing) {
    MakeGroup(3);
    SmtpPeer peer;
    StoreAccount(peer.port());
    testenv::MessageBoxRecorder boxes;
    SendMailForm1 form;
    form.setInputSource([] { return Input(QStringLiteral("HTML"), [] { return QString(); }); });
    form.findChild<QPushButton*>(QStringLiteral("SendButton"))->click();
    EXPECT_EQ(peer.messageCount(), 0);
    EXPECT_EQ(form.run().sentCount() + form.run().failedCount(), 0);
    EXPECT_TRUE(form.run().log().contains(BodyNotWrittenText()));
    EXPECT_EQ(boxes.texts(), QStringList{BodyNotWrittenText()});
    EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("SendButton"))->isEnabled());

    QString error;
    EXPECT_TRUE(SavePreview(Input(QStringLiteral("HTML"), [] { return QString(); }), &error).isEmpty());
    EXPECT_TRUE(error.contains(QLatin1String("preview"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1String("sent"))) << "a preview sends nothing: " << error.toStdString();
    EXPECT_FALSE(QFile::exists(TempFolder() + QStringLiteral("Preview.eml")));
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
    EXPECT_EQ(run.run(Input(QStringLiteral("Text")), PartialRange{}), SendRun::End::Normal);
    EXPECT_EQ(peer.authAttempts(), 1);
    EXPECT_EQ(peer.messageCount(), 0);
    EXPECT_EQ(run.failedCount(), 6);
    EXPECT_EQ(run.log().count(SmtpResultText(24)), 7) << run.log().toStdString();

    // The right password still works through the same path.
    SaveSetting(Sections::Account, Keys::Password, QStringLiteral("right"));
    EXPECT_EQ(run.run(Input(QStringLiteral("Text")), PartialRange{}), SendRun::End::Normal);
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
    EXPECT_EQ(run.run(Input(QStringLiteral("Text")), PartialRange{}), SendRun::End::Normal);
    // One time-out is 1 s, one per recipient 50 s: 10 s leaves a loaded machine nine to spare.
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(connections, 1);
    EXPECT_EQ(run.failedCount(), 50);
    EXPECT_EQ(run.log().count(SmtpResultText(27)), 51);
}

// The preview leaves out an attachment it cannot read and still saves the message.
TEST(SendRunRepairs, PreviewSkipsAnUnreadableAttachment) {
    testenv::ClearSettings();
    SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.test"));
    const QString good = TempFolder() + QStringLiteral("notes.txt");
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("Gr\xc3\xbc\xc3\x9f"
                "e\n");
    }
    SendRunInput in = Input(QStringLiteral("HTML"), &WrittenBody);
    const QString fifo = TempFolder() + QStringLiteral("pipe.pdf");
    QFile::remove(fifo);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    in.attachments = {TempFolder() + QStringLiteral("missing.pdf"), good, TempFolder(), fifo};
    QString error;
    const QString path = SavePreview(in, &error);
    ASSERT_FALSE(path.isEmpty()) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray eml = f.readAll();
    EXPECT_TRUE(eml.contains("notes.txt"));
    EXPECT_FALSE(eml.contains("missing.pdf"));
    EXPECT_FALSE(eml.contains("pipe.pdf"));
    QFile::remove(fifo);
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
    run.run(Input(QStringLiteral("Text")), PartialRange{});
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
