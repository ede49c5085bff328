// The sending window over a real run to an SMTP peer on 127.0.0.1: its buttons, questions and report
// box, the partial range it asks for.
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "sending/HistoryStore.h"
#include "sending/SendRun.h"
#include "sending/forms/SendMailForm1.h"
#include "sending/forms/ShutDownForm.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/DamagedDatabase.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace sendingtest;

namespace {

class FakePowerOff : public PowerOffService {
public:
    bool requestPowerOff() override {
        ++calls;
        return false;
    }
    int calls = 0;
};

// The message whose body cannot be written to its file.
SendRunInput Unwritable(SendRunInput in) {
    in.writeHtmlBody = [] { return QString(); };
    return in;
}

} // namespace

TEST(SendMailForm1Window, CancelAnsweredYesDuringTheThirdMessageEndsTheRunWithoutShutdown) {
    MakeGroup(5);
    SmtpPeer peer;
    StoreAccount(peer.port());
    FakePowerOff powerOff;
    SetPowerOffService(&powerOff);
    testenv::MessageBoxRecorder boxes;
    boxes.answer(QMessageBox::No); // the first cancel question is declined: the run goes on
    boxes.answer(QMessageBox::Yes);

    SendMailForm1 form;
    form.setInputSource([] { return HtmlInput(); });
    form.findChild<QCheckBox*>(QStringLiteral("ShutDownCheckBox"))->setChecked(true);
    auto* cancel = form.findChild<QPushButton*>(QStringLiteral("CancelButton"));
    QObject::connect(&form.run(), &SendRun::recipientStarted, &form, [&](qint32 position) {
        if (position == 3)
            QTimer::singleShot(0, &form, [&] {
                EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
                form.close(); // the close box asks too, and the window stays open
                cancel->click();
            });
    });
    form.findChild<QPushButton*>(QStringLiteral("SendButton"))->click();

    EXPECT_EQ(boxes.texts(),
              QStringList(2, QStringLiteral("Are you sure you want to cancel the sending process?")));
    EXPECT_GE(peer.messageCount(), 2);
    EXPECT_LE(peer.messageCount(), 3);
    const QString log = form.run().log();
    EXPECT_TRUE(
        log.contains(QStringLiteral("Personal Sending process has been completed.\r\n2 messages sent")));
    EXPECT_EQ(powerOff.calls, 0);
    EXPECT_EQ(cancel->text(), QStringLiteral("Close"));
    EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("SendButton"))->isEnabled());
    EXPECT_EQ(ReadAll(form.run().historyBase() + QStringLiteral(".txt")),
              (log + QStringLiteral("\r\n")).toUtf8());
    SetPowerOffService(nullptr);
}

TEST(SendMailForm1Window, PartialSendingAsksForAValidRangeThenSendsIt) {
    MakeGroup(5);
    SmtpPeer peer;
    StoreAccount(peer.port());
    testenv::MessageBoxRecorder boxes;
    SendMailForm1 form;
    form.setInputSource([] { return HtmlInput(); });
    int attempts = 0;
    std::function<void()> fill = [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QLatin1String("PartialSendingForm")) {
            QTimer::singleShot(10, fill);
            return;
        }
        auto* from = dialog->findChild<QLineEdit*>(QStringLiteral("FromTextBox"));
        auto* to = dialog->findChild<QLineEdit*>(QStringLiteral("ToTextBox"));
        const bool first = attempts++ == 0;
        from->setText(first ? QStringLiteral("4") : QStringLiteral("2"));
        to->setText(first ? QStringLiteral("6") : QStringLiteral("3")); // 6 is beyond the group
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        if (first)
            QTimer::singleShot(0, fill);
    };
    QTimer::singleShot(0, fill);
    form.PartialButton_Click();
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(peer.messageCount(), 2);
    EXPECT_TRUE(form.partialRange().enabled);
    EXPECT_EQ(form.partialRange().from, 2);
    EXPECT_EQ(form.partialRange().to, 3);
    EXPECT_TRUE(form.findChild<QPlainTextEdit*>(QStringLiteral("Report"))
                    ->toPlainText()
                    .contains(QStringLiteral("Partial Sending to 2 recipients (from #2 to #3).\n")));
    form.close();
    EXPECT_FALSE(form.partialRange().enabled);
}

// A group whose count breaks off on a damaged page: Send ends as a stop that the window tells, with no
// shutdown countdown even with its box ticked, and Partial Sending offers no range for a size the group
// does not have.
TEST(SendMailForm1Window, AGroupThatCannotBeReadStopsWithoutTheCountdown) {
    testenv::ZeroPages(UserDatabasePath(), testenv::FillGroupDatabase(QStringLiteral("Friends"), 3000), 0.4,
                       1);
    testenv::ClearSettings();
    SmtpPeer peer;
    StoreAccount(peer.port());
    FakePowerOff powerOff;
    SetPowerOffService(&powerOff);
    testenv::MessageBoxRecorder boxes;
    SendMailForm1 form;
    form.setInputSource([] { return TextInput(); });
    form.findChild<QCheckBox*>(QStringLiteral("ShutDownCheckBox"))->setChecked(true);
    QStringList opened; // windows that came up modally, closed at once
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&opened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened << modal->objectName();
            modal->close();
        }
    });
    watch.start(20);
    form.findChild<QPushButton*>(QStringLiteral("SendButton"))->click();
    form.PartialButton_Click();
    const QString malformed = QStringLiteral("database disk image is malformed");
    EXPECT_EQ(boxes.texts(),
              (QStringList{StoppedRunLine(0, 1, malformed),
                           QStringLiteral("The recipient database could not be read to the end: ") +
                               malformed + QLatin1Char('.')}));
    EXPECT_TRUE(opened.isEmpty()) << opened.join(u' ').toStdString();
    EXPECT_EQ(peer.messageCount(), 0);
    EXPECT_EQ(powerOff.calls, 0);
    SetPowerOffService(nullptr);
}

// The keyboard alone runs the window: it opens with the focus on Send, Return presses the focused
// button (Send starts the run, Close closes), and the focus is back on Send when the run ends.
TEST(SendMailForm1Window, ReturnPressesTheFocusedButton) {
    MakeGroup(2);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendMailForm1 form;
    form.setInputSource([] { return HtmlInput(); });
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    auto* send = form.findChild<QPushButton*>(QStringLiteral("SendButton"));
    EXPECT_EQ(QApplication::focusWidget(), send);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(peer.messageCount(), 2);
    EXPECT_EQ(QApplication::focusWidget(), send);
    auto* close = form.findChild<QPushButton*>(QStringLiteral("CancelButton"));
    close->setFocus();
    QTest::keyClick(close, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(peer.messageCount(), 2);
}

// A body that could not be written: the window says why the run stopped and is ready for another try;
// the preview says that there is no preview, and opens nothing.
TEST(SendMailForm1Window, BodyThatCannotBeWrittenIsShownAndPreviewsNothing) {
    MakeGroup(3);
    SmtpPeer peer;
    StoreAccount(peer.port());
    testenv::MessageBoxRecorder boxes;
    SendMailForm1 form;
    form.setInputSource([] { return Unwritable(HtmlInput()); });
    form.findChild<QPushButton*>(QStringLiteral("SendButton"))->click();
    EXPECT_EQ(peer.messageCount(), 0);
    EXPECT_TRUE(form.findChild<QPlainTextEdit*>(QStringLiteral("Report"))
                    ->toPlainText()
                    .contains(BodyNotWrittenText()));
    EXPECT_EQ(boxes.texts(), QStringList{BodyNotWrittenText()});
    EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("SendButton"))->isEnabled());
}

// The history file holds exactly what the window was given, plus one CR LF, for a run whose log is
// longer than the report box keeps; the box shows the notice and the newest lines.
TEST(SendMailForm1Window, HistoryIsTheWholeLogAndTheReportBoxItsTail) {
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

// The preview leaves out an attachment it cannot read and still saves the message.

// However the log arrives in batches (each step is given at once, the box catches up in between), the box
// ends as notice and newest lines exactly when the log is longer than it keeps.
TEST(SendMailForm1Window, ReportBoxTailIsTheSameForEveryBatching) {
    const std::vector<std::vector<int>> cases = {{200}, {4000, 1500}, {11000}, {3000, 11000, 10}, {5000}};
    for (const std::vector<int>& steps : cases) {
        SendMailForm1 form;
        auto* report = form.findChild<QPlainTextEdit*>(QStringLiteral("Report"));
        QString all;
        for (size_t s = 0; s < steps.size(); ++s) {
            QString last;
            for (int i = 0; i < steps[s]; ++i) {
                last = QStringLiteral("line %1 of step %2\r\n").arg(i).arg(s);
                all += last;
                emit form.run().logAppended(last);
            }
            last.chop(2);
            ASSERT_TRUE(QTest::qWaitFor([&] { return report->toPlainText().endsWith(last + '\n'); }, 10000));
        }
        all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QStringList blocks = all.split(QLatin1Char('\n'));
        if (blocks.size() > ReportLineLimit) {
            blocks = blocks.mid(blocks.size() - ReportLineLimit);
            blocks.prepend(ReportTailNotice());
        }
        EXPECT_EQ(report->toPlainText(), blocks.join(QLatin1Char('\n'))) << steps.size() << " " << steps[0];
    }
}
