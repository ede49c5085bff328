#include "transfer/RegisterTransferWindows.h"

#include "recipients/TransferWindows.h"
#include "transfer/RecipientExportForm.h"
#include "transfer/RecipientImportForm.h"
#include "ui/ModalDialog.h"

void ShowRecipientImportForm(QWidget* parent) {
    ShowModalDialog<RecipientImportForm>(parent);
}

void ShowRecipientExportForm(QWidget* parent) {
    ShowModalDialog<RecipientExportForm>(parent);
}

void RegisterTransferWindows() {
    OpenRecipientImportWindow() = ShowRecipientImportForm;
    OpenRecipientExportWindow() = ShowRecipientExportForm;
}
