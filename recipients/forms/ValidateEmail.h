#pragma once
// The e-mail rule as the dialogs apply it: a refused address is reported to the user.
#include "recipients/CheckEmail.h"

class QWidget;

// The rule of ValidateEmailSilent; a refused address is reported with "Invalid email address." before
// returning.
bool ValidateEmail(const QString& email, QWidget* parent = nullptr);
