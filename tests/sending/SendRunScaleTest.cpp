// The send run's log at scale: written to the history as the run goes, so a killed run leaves a record
// of every message the server got.
#include "core/Paths.h"
#include "sending/HistoryStore.h"
#include "sending/SendRun.h"
#include "tests/sending/SendingFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace sendingtest;

// Runs only as the child process of the test below: a send run to the group of the data folder it is
// given, until the parent kills it.
TEST(SendRunScale, ChildRun) {
    const QString data = qEnvironmentVariable("VELANTO_CHILD_DATA");
    if (data.isEmpty())
        GTEST_SKIP() << "only as a child process";
    SetDataPath(data);
    StoreAccount(quint16(qEnvironmentVariableIntValue("VELANTO_CHILD_PORT")));
    SendRun run;
    run.run(TextInput(), PartialRange{});
}

TEST(SendRunScale, KilledRunLeavesAHistoryOfEveryMessageTheServerGot) {
    MakeGroup(3000);
    const QString data = DataPath();
    SmtpPeer peer;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELANTO_CHILD_DATA"), data);
    env.insert(QStringLiteral("VELANTO_CHILD_PORT"), QString::number(peer.port()));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=SendRunScale.ChildRun")});
    ASSERT_TRUE(child.waitForStarted(5000));
    QElapsedTimer timer;
    timer.start();
    while (peer.messageCount() < 40 && child.state() == QProcess::Running && timer.elapsed() < 30000)
        QThread::msleep(5);
    child.kill();
    child.waitForFinished(5000);
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the run ended before it was killed";

    const QStringList logs = QDir(data + QStringLiteral("History")).entryList({QStringLiteral("*.txt")});
    ASSERT_EQ(logs.size(), 1);
    const QString txt = data + QStringLiteral("History/") + logs.first();
    EXPECT_EQ(QFile::permissions(txt) & 0x0077, 0);
    const QByteArray history = ReadAll(txt);
    const int received = peer.messageCount();
    ASSERT_GE(received, 40);
    ASSERT_LT(received, 3000);
    for (int i = 0; i < received; ++i) {
        // The server stores a message and then its envelope: the last one may still be on its way.
        QString to;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                to = peer.envelope(i).value(QStringLiteral("to")).toArray().at(0).toString();
                return !to.isEmpty();
            },
            10000))
            << i;
        EXPECT_TRUE(history.contains(("RCPT TO:<" + to + ">\r\n").toUtf8())) << to.toStdString();
    }
}
