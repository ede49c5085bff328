#include "recipients/forms/TransferWindows.h"

std::function<void(QWidget*)>& OpenRecipientImportWindow() {
    static std::function<void(QWidget*)> hook;
    return hook;
}

std::function<void(QWidget*)>& OpenRecipientExportWindow() {
    static std::function<void(QWidget*)> hook;
    return hook;
}
