#pragma once
#include <QString>

class QWidget;

// The one rule by which the program accepts an e-mail address. The whole text must match: nothing is
// trimmed, and a blank or a line break anywhere makes the address invalid.
bool ValidateEmailSilent(const QString& email);

// The same rule; a refused address is reported with "Invalid email address." before returning.
bool ValidateEmail(const QString& email, QWidget* parent = nullptr);
