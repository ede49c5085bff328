#include "transfer/RegisterTransferWindows.h"

#include "recipients/TransferWindows.h"
#include "transfer/RecipientExportForm.h"
#include "transfer/RecipientImportForm.h"

void ShowRecipientImportForm(QWidget* parent) {
    RecipientImportForm form(parent);
    form.exec();
}

void ShowRecipientExportForm(QWidget* parent) {
    RecipientExportForm form(parent);
    form.exec();
}

void RegisterTransferWindows() {
    OpenRecipientImportWindow() = ShowRecipientImportForm;
    OpenRecipientExportWindow() = ShowRecipientExportForm;
}
