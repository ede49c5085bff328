// The real program as a screen reader sees it: Velanto on its own X server with Qt's accessibility
// bridge on, inspected over the AT-SPI bus by tests/app/accessible_names.py.
#include "core/Database.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "tests/app/XkbLocks.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

// An X server of the test's own on the first free display; stopped with the object.
class PrivateXServer {
public:
    ~PrivateXServer() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    // The display (":N"), or empty when the server did not start.
    QString Start() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return QString();
        // -displayfd 1: the server takes the first free display number and writes it to our pipe.
        m_process.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                               QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                               QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                               // The keyboard state the test sets must outlive its own connection.
                               QStringLiteral("-noreset")});
        QByteArray number;
        while (!number.contains('\n') && m_process.waitForReadyRead(10000))
            number += m_process.readAllStandardOutput();
        number = number.trimmed();
        return number.isEmpty() ? QString() : QStringLiteral(":") + QString::fromLatin1(number);
    }

private:
    QProcess m_process;
};

} // namespace

TEST(Accessibility, EveryInputOfEveryWindowOfTheMenusHasAName) {
    const QString program = qEnvironmentVariable("VELANTO_BIN_DIR") + QStringLiteral("/Velanto");
    const QString script =
        qEnvironmentVariable("VELANTO_SOURCE_DIR") + QStringLiteral("/tests/app/accessible_names.py");
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    const QString session = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
    if (session.isEmpty())
        GTEST_SKIP() << "no D-Bus session can be started: dbus-run-session is missing (package dbus-daemon)";

    // An account and a group with a recipient, so the commands and buttons that need them open their
    // windows instead of a message.
    testenv::ClearSettings();
    const QString data =
        ResolveDataPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), QString());
    ASSERT_FALSE(data.isEmpty());
    SetDataPath(data);
    QFile::remove(UserDatabasePath());
    ASSERT_TRUE(QFile::copy(testenv::ShippedDatabase(), UserDatabasePath()));
    QFile::setPermissions(UserDatabasePath(), QFile::ReadOwner | QFile::WriteOwner);
    SaveSetting(Setting::AccountName, QStringLiteral("Ann Example"));
    SaveSetting(Setting::AccountEmail, QStringLiteral("ann@example.com"));
    SaveSetting(Setting::AccountServer, QStringLiteral("127.0.0.1"));
    SaveSetting(Setting::AccountPort, QStringLiteral("25"));
    {
        Connection db;
        ASSERT_TRUE(db.Open());
        ASSERT_EQ(db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Friends')")),
                  1);
        ASSERT_EQ(db.ExecuteWrite(
                      QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName]) SELECT [ID], "
                                     "'bob@example.com', 'Bob' FROM [Groups] WHERE [GroupName] = 'Friends'")),
                  1);
    }

    PrivateXServer x;
    const QString display = x.Start();
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";
    // Caps Lock is on before the program starts: its CAPS pane must say so from the start.
    ASSERT_TRUE(SetCapsLock(display.toLocal8Bit(), true));

    QProcess check;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("NO_AT_BRIDGE"));
    check.setProcessEnvironment(env);
    check.setProcessChannelMode(QProcess::MergedChannels);
    // A group of its own, so that a stuck check is ended with everything it started.
    check.setChildProcessModifier([] { ::setpgid(0, 0); });
    check.start(session, {QStringLiteral("--"), QStringLiteral("/usr/bin/python3"), QStringLiteral("-u"),
                          script, program});
    ASSERT_TRUE(check.waitForStarted(5000));
    // The walk is bounded by its progress, not its length, which grows with the machine's load: the check
    // prints a line for each step, and a window has 30 s to answer a step. A check that prints nothing
    // for twice that is stuck.
    constexpr qint64 kStuckMs = 60000;
    QByteArray bytes;
    QElapsedTimer quiet;
    quiet.start();
    while (check.state() != QProcess::NotRunning && quiet.elapsed() < kStuckMs) {
        if (check.waitForReadyRead(1000)) {
            bytes += check.readAll();
            quiet.restart();
        }
    }
    const bool finished = check.state() == QProcess::NotRunning || check.waitForFinished(1000);
    if (!finished) {
        ::kill(-pid_t(check.processId()), SIGKILL);
        check.waitForFinished(3000);
    }
    const QString output = QString::fromUtf8(bytes + check.readAll());
    ASSERT_TRUE(finished) << "the check printed nothing for " << kStuckMs / 1000 << " s:\n"
                          << output.toStdString();
    if (check.exitCode() == 77)
        GTEST_SKIP() << output.trimmed().toStdString();
    EXPECT_EQ(check.exitCode(), 0) << output.toStdString();
    // Both windows were really inspected.
    EXPECT_TRUE(output.contains(QStringLiteral("main window: "))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("Email Manager: "))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("authentication toggled twice"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("lock panes: CAPS on, NUM off"))) << output.toStdString();
    // Every window of the menus was opened, the import and export windows and the support request too.
    for (const char* window : {"Network Tools (Network Tools)", "Import Recipients (Import Recipients)",
                               "Export Recipients (Export Recipients)",
                               "Technical Support (Technical Support)", "Print (Print)", "Body (Body)"})
        EXPECT_TRUE(output.contains(QLatin1String(window))) << window << "\n" << output.toStdString();
    // The windows reached only through a button of another window were opened and checked too.
    for (const char* window :
         {"> New Group (New Group)", "> Rename Group (Rename Group)", "> Add Recipient (Add Recipient)",
          "> Modify Recipient (Modify Recipient)", "> Search Recipient (Search Recipient)",
          "main window > Send (Send Mail)", "> Partial Sending (Partial Sending)",
          "> System Info (System Information)", "> Browse for the queue directory ("})
        EXPECT_TRUE(output.contains(QLatin1String(window))) << window << "\n" << output.toStdString();
}
