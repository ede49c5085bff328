#pragma once
// The account dialog's connection test of what is typed, and the port rule of its Port box.
#include <QString>

namespace mail {
class Smtp;
}

// What the connection test uses of the dialog.
struct AccountTestInput {
    QString server;
    QString port;
    bool auth = false;
    QString username;
    QString password;
    QString authMode;
};

// Sets up the SMTP object from the input and the stored thread mode, connects, reports, disconnects.
// Returns Connect's result (0 = the connection was opened).
qint32 RunAccountTest(mail::Smtp& smtp, const AccountTestInput& input);

// The text the test shows for a Connect result.
QString AccountTestResultText(qint32 rc);

// True when the text is a port number the dialog accepts (digits, 1 to 65535).
bool IsValidPortText(const QString& port);
