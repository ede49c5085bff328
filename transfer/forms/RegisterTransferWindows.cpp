#include "transfer/forms/RegisterTransferWindows.h"

#include "recipients/forms/TransferWindows.h"
#include "transfer/forms/RecipientExportForm.h"
#include "transfer/forms/RecipientImportForm.h"
#include "ui/ModalDialog.h"

bool ShowRecipientImportForm(QWidget* parent) {
    RecipientImportForm form(parent);
    form.exec();
    return form.importRan();
}

void ShowRecipientExportForm(QWidget* parent) {
    ShowModalDialog<RecipientExportForm>(parent);
}

void RegisterTransferWindows() {
    OpenRecipientImportWindow() = ShowRecipientImportForm;
    OpenRecipientExportWindow() = ShowRecipientExportForm;
}
