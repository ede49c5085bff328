#pragma once
// The mail account as the "Account" section holds it: what the Email Manager shows, the checks its OK
// and its connection test make, and what OK stores. The dialog only moves these values to and from its
// controls, so the rules are tested without a screen.
#include "core/MessageChoices.h"

#include <QString>

#include <optional>

namespace mail {
class Smtp;
}

// The fields a failed check names, so the dialog can bring the right control to the front.
enum class AccountField { Name, Email, Server, Port, Username, Password, Bcc, ThirdPath };

struct AccountProblem {
    AccountField field;
    QString text;
};

// What the connection test and the send run need to reach the server.
struct ServerLogin {
    QString server;
    QString port;
    bool auth = false;
    QString username;
    QString password;
    QString authMode;
    // The stored values ("Auth" read as a number, see AuthenticationOn).
    static ServerLogin Load();
};

struct Account {
    QString name;
    QString email;
    ServerLogin login;
    SendingMethod method = SendingMethod::Personal;
    QString toField;
    QString bcc;
    QString thirdField;
    QString thirdPath;
    QString headerEncoding;
    QString encoding;
    QString attachmentEncoding;
    QString charSet;
    bool textPart = false;
    bool extended = false;
    QString dsnNotify;
    QString dsnReturn;

    // The stored values, with the defaults of the settings table.
    static Account Load();
    // Stores every value as it is.
    void Save() const;
    // Removes the whole stored account (the dialog's Reset).
    static void Erase();
    // The first value OK refuses, with its message; nothing when the account may be stored. The dialog
    // has dropped the blanks at either end of the names, addresses and server before.
    std::optional<AccountProblem> Check() const;
    // The first value the connection test refuses (server and credentials only).
    std::optional<AccountProblem> CheckForConnectionTest() const;
};

// Server, port and log-in on the SMTP object: the one set-up that the send run and the connection
// test share. Returns whether authentication was switched on.
bool ApplyServerLogin(mail::Smtp& smtp, const ServerLogin& login);

// True when the text is a port number the dialog accepts (digits, 1 to 65535).
bool IsValidPortText(const QString& port);
