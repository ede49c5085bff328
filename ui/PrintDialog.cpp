#include "ui/PrintDialog.h"

#include "ui/FieldLabels.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {
PrintDialogHook& hook() {
    static PrintDialogHook h;
    return h;
}
// Qt's own print dialog (where the desktop offers none) names the boxes of its print range by the frame
// around them only, so a screen reader reads "Print range" for each.
void NamePrintRange(QPrintDialog& dialog) {
    const struct {
        const char* object;
        const char* name;
    } boxes[] = {
        {"from", "Pages From"}, {"to", "Pages To"}, {"pagesLineEdit", "Pages"}, {"pageSetCombo", "Page Set"}};
    for (const auto& box : boxes)
        if (auto* w = dialog.findChild<QWidget*>(QLatin1String(box.object)))
            NameControl(w, QLatin1String(box.name));
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
    NamePrintRange(dialog);
    return dialog.exec() == QDialog::Accepted;
}
