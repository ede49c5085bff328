#include "tools/forms/TextPrinting.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

namespace {
PrintDialogHook& printHook() {
    static PrintDialogHook hook;
    return hook;
}
} // namespace

bool ChoosePrinter(QWidget* parent, QPrinter& printer) {
    if (printHook())
        return printHook()(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Print"));
    return dialog.exec() == QDialog::Accepted;
}

void SetPrintDialogHookForTesting(PrintDialogHook hook) {
    printHook() = std::move(hook);
}

bool PrintTextLines(QPrinter& printer, const QStringList& lines) {
    if (!printer.isValid())
        return false;
    QTextDocument document;
    QString text = lines.join(u'\n');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    document.setPlainText(text);
    document.print(&printer);
    return printer.printerState() != QPrinter::Error && printer.printerState() != QPrinter::Aborted;
}
