#include "app/PrintDialog.h"

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

bool AskPrinter(QWidget* parent, QPrinter& printer) {
    if (hook())
        return hook()(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Print"));
    return dialog.exec() == QDialog::Accepted;
}
