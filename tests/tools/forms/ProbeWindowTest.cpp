// The SMTP server probe's window against aiosmtpd and a silent server on 127.0.0.1: its checks, the
// saved and printed report, and cancelling a probe that hangs.
#include "tests/mail/SmtpPeers.h"
#include "tests/support/DialogAnswers.h"
#include "tools/SmtpProbe.h"
#include "tools/forms/ExtraForm5.h"
#include "tools/forms/TextPrinting.h"
#include "ui/PrintDialog.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The window, with message boxes, file and print dialogs answered by the test.
class ProbeWindow : public ::testing::Test {
protected:
    QLineEdit* box(const char* name) { return form.findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) { return form.findChild<QPushButton*>(QString::fromLatin1(name)); }
    QString report() { return form.findChild<QPlainTextEdit*>(QStringLiteral("Report"))->toPlainText(); }
    void TearDown() override { SetPrintDialogHook({}); }

    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers files;
    ExtraForm5 form;
};

TEST_F(ProbeWindow, RefusesAnEmptyServerOrPort) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("SMTP Server Information"));
    EXPECT_EQ(box("PortTextBox")->text(), QStringLiteral("25"));
    box("ServerTextBox")->setText(QStringLiteral("   "));
    button("ProcessButton")->click();
    EXPECT_EQ(box("ServerTextBox")->text(), QString());
    EXPECT_EQ(boxes.last(), QStringLiteral("Please enter your mail server."));
    box("ServerTextBox")->setText(QStringLiteral("127.0.0.1"));
    box("PortTextBox")->clear();
    button("ProcessButton")->click();
    EXPECT_EQ(boxes.last(), QStringLiteral("Please enter your port."));
    EXPECT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.seen().front().icon, QMessageBox::Warning);
}

// Return presses the button that has the focus; from a box it runs the probe.
TEST_F(ProbeWindow, ReturnPressesTheFocusedButtonElseProcess) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    button("SaveButton")->setFocus();
    QTest::keyClick(button("SaveButton"), Qt::Key_Return);
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("There is no data to save.")});
    box("ServerTextBox")->setFocus();
    QTest::keyClick(box("ServerTextBox"), Qt::Key_Return);
    EXPECT_EQ(boxes.last(), QStringLiteral("Please enter your mail server."));
    button("CancelButton")->setFocus();
    QTest::keyClick(button("CancelButton"), Qt::Key_Return);
    EXPECT_EQ(boxes.seen().size(), 2u);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ProbeWindow, ProbesTheTrimmedServerThenSavesAndPrintsTheReport) {
    smtptest::PythonPeer peer({});
    ASSERT_TRUE(peer.ok());
    box("ServerTextBox")->setText(QStringLiteral("  127.0.0.1 "));
    box("PortTextBox")->setText(QString::number(peer.port()));
    button("ProcessButton")->click();
    EXPECT_EQ(box("ServerTextBox")->text(), QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(report().startsWith(QStringLiteral("220 "))) << report().toStdString();
    EXPECT_TRUE(button("ProcessButton")->isEnabled());
    EXPECT_TRUE(boxes.seen().empty());

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("probe.txt"));
    files.answer(log);
    button("SaveButton")->click();
    QFile saved(log);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_EQ(bytes, ProbeLogFileBytes(report()));
    EXPECT_TRUE(bytes.endsWith("\r\n") && !bytes.endsWith("\r\n\r\n"));
    ASSERT_EQ(files.seen().size(), 1u);
    EXPECT_EQ(files.seen().front().kind, FileDialogKind::Save);

    // No to the paper question prints nothing; a cancelled print dialog neither; Yes prints.
    const QString pdf = dir.filePath(QStringLiteral("probe.pdf"));
    int dialogs = 0;
    bool cancelDialog = true;
    SetPrintDialogHook([&](QPrinter& printer) {
        ++dialogs;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return !cancelDialog;
    });
    boxes.answer(QMessageBox::No);
    button("PrintButton")->click();
    EXPECT_EQ(dialogs, 0);
    boxes.answer(QMessageBox::Yes);
    button("PrintButton")->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    cancelDialog = false;
    boxes.answer(QMessageBox::Yes);
    button("PrintButton")->click();
    EXPECT_GT(QFileInfo(pdf).size(), 500);
    EXPECT_TRUE(boxes.last().startsWith(QStringLiteral("Please consider your environmental responsibility")));
}

TEST_F(ProbeWindow, NothingToSaveOrPrintBeforeAProbe) {
    button("SaveButton")->click();
    EXPECT_EQ(boxes.last(), QStringLiteral("There is no data to save."));
    button("PrintButton")->click();
    EXPECT_EQ(boxes.last(), QStringLiteral("There is no data to print."));
    EXPECT_TRUE(files.seen().empty());
}

TEST_F(ProbeWindow, CancelStopsAHangingProbeAndIdleCancelCloses) {
    smtptest::FakeServer silent;
    silent.greeting = smtptest::FakeServer::Silence;
    box("ServerTextBox")->setText(QStringLiteral("127.0.0.1"));
    box("PortTextBox")->setText(QString::number(silent.port()));
    form.show();
    boxes.answer(QMessageBox::No);  // first question: keep probing
    boxes.answer(QMessageBox::Yes); // second: cancel
    QTimer::singleShot(100, &form, [&] {
        EXPECT_TRUE(form.IsProbing());
        EXPECT_FALSE(box("ServerTextBox")->isEnabled());
        EXPECT_TRUE(button("CancelButton")->isEnabled());
        button("CancelButton")->click();
        EXPECT_TRUE(form.IsProbing());
        button("CancelButton")->click();
    });
    button("ProcessButton")->click();
    EXPECT_EQ(report(), QStringLiteral("Error 20: The operation cancelled."));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.last(), QStringLiteral("Are you sure you want to cancel the process?"));

    button("CancelButton")->click(); // nothing runs: closes without a question
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(boxes.seen().size(), 2u);
}

TEST_F(ProbeWindow, TheCloseBoxDuringAProbeCancelsItAndClosesAfterwards) {
    smtptest::FakeServer silent;
    silent.greeting = smtptest::FakeServer::Silence;
    box("ServerTextBox")->setText(QStringLiteral("127.0.0.1"));
    box("PortTextBox")->setText(QString::number(silent.port()));
    form.show();
    boxes.answer(QMessageBox::Yes);
    QTimer::singleShot(100, &form, [&] {
        EXPECT_FALSE(form.close()); // refused while the probe runs ...
        EXPECT_TRUE(form.isVisible());
    });
    button("ProcessButton")->click();
    EXPECT_FALSE(form.isVisible()); // ... and done once it has ended
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Are you sure you want to cancel the process?")});
}

} // namespace
