#include "recipients/forms/ValidateEmail.h"

#include "ui/MessageBoxes.h"

bool ValidateEmail(const QString& email, QWidget* parent) {
    if (ValidateEmailSilent(email))
        return true;
    ShowMessage(parent, QStringLiteral("Invalid email address."), QMessageBox::Warning);
    return false;
}
