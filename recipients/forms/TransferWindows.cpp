#include "recipients/forms/TransferWindows.h"

std::function<bool(QWidget*)>& OpenRecipientImportWindow() {
    static std::function<bool(QWidget*)> hook;
    return hook;
}

std::function<void(QWidget*)>& OpenRecipientExportWindow() {
    static std::function<void(QWidget*)> hook;
    return hook;
}
