// The print window deleted while its print runs (the program closing under it): the progress window
// that belonged to it was freed twice.
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/MessageFileFixture.h"
#include "tools/forms/MessageFileForms.h"
#include "ui/PrintDialog.h"

#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using HostilePrintWindow = toolstest::MessageFileFixture;

TEST_F(HostilePrintWindow, DeletedDuringAPrintStopsItAndFreesItsProgressOnce) {
    const QString pdf = path(QStringLiteral("out.pdf"));
    QPointer<ExtraForm1> form = new ExtraForm1;
    SetPrintDialogHook([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        QTimer::singleShot(0, [&form] { delete form; }); // as soon as the print lets events run
        return true;
    });
    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers files;
    files.answer(testenv::WriteFile(path(QStringLiteral("m.eml")), "Subject: x\r\n\r\nbody\r\n"));
    form->findChild<QPushButton*>(QStringLiteral("ChooseFolderButton"))->click();
    for (const char* box : {"LeftMarginTextBox", "TopMarginTextBox", "RightMarginTextBox"})
        form->findChild<QLineEdit*>(QLatin1String(box))->setText(QStringLiteral("15"));
    form->findChild<QPushButton*>(QStringLiteral("PrintButton"))->click();
    SetPrintDialogHook({});
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(boxes.seen().empty())
        << "a message over a window that is gone: " << boxes.last().toStdString();
    EXPECT_FALSE(QFile::exists(pdf)) << "the print went on without its window";
}
