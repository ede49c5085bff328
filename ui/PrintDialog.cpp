#include "ui/PrintDialog.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {
PrintDialogHook& hook() {
    static PrintDialogHook h;
    return h;
}
} // namespace

void SetPrintDialogHook(PrintDialogHook h) {
    hook() = std::move(h);
}

bool AskPrinter(QWidget* parent, QPrinter& printer, const QString& title) {
    if (hook())
        return hook()(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}
