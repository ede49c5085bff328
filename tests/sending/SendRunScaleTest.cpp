// The send run's log at scale: written to the history as the run goes (a killed run leaves a record of
// every message the server got), identical to what the window was shown, and a report box that keeps
// only a bounded tail.
#include "core/Paths.h"
#include "sending/HistoryStore.h"
#include "sending/forms/SendMailForm1.h"
#include "sending/SendRun.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <gtest/gtest.h>

using namespace sendingtest;

namespace {

SendRunInput TextInput() {
    SendRunInput in;
    in.subject = QStringLiteral("Note for $*MergeFirstName*$");
    in.groupName = QStringLiteral("Friends");
    in.format = QStringLiteral("Text");
    in.priority = QStringLiteral("Normal");
    in.plainBody = [] { return QStringLiteral("Dear $*MergeFirstName*$,\nthe note."); };
    return in;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

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

// The history file holds exactly what the window was given, plus one CR LF, for a run whose log is
// longer than the report box keeps; the box shows the notice and the newest lines.
TEST(SendRunScale, HistoryIsTheWholeLogAndTheReportBoxItsTail) {
    MakeGroup(700);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendMailForm1 form;
    form.setInputSource([] { return TextInput(); });
    QString shown;
    QObject::connect(&form.run(), &SendRun::logAppended, &form, [&](const QString& text) { shown += text; });
    auto* send = form.findChild<QPushButton*>(QStringLiteral("SendButton"));
    auto* report = form.findChild<QPlainTextEdit*>(QStringLiteral("Report"));
    // The report box takes the log in batches: the run's last line ends the last of them.
    const auto shows = [report](int sent) {
        return report->toPlainText().endsWith(QStringLiteral("%1 messages sent during process.\n").arg(sent));
    };
    send->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows(700); }, 60000));

    EXPECT_EQ(peer.messageCount(), 700);
    EXPECT_EQ(ReadAll(form.run().historyBase() + QStringLiteral(".txt")),
              (shown + QStringLiteral("\r\n")).toUtf8());
    EXPECT_EQ(form.run().log(), shown);

    const QTextDocument* doc = report->document();
    ASSERT_GT(shown.count(QLatin1Char('\n')), ReportLineLimit);
    EXPECT_LE(doc->blockCount(), ReportLineLimit + 1);
    EXPECT_EQ(doc->firstBlock().text(), ReportTailNotice());
    EXPECT_FALSE(
        report->toPlainText().contains(QStringLiteral("Personal Sending process has been started.")));

    // A second run starts the box afresh.
    MakeGroup(1);
    StoreAccount(peer.port());
    send->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows(1); }, 60000));
    EXPECT_NE(report->document()->firstBlock().text(), ReportTailNotice());
}
