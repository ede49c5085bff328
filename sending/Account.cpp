#include "sending/Account.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/Smtp.h"
#include "recipients/CheckEmail.h"
#include "sending/MessageSetup.h"

#include <QDir>

namespace {
QString Flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

bool IsValidPortText(const QString& port) {
    if (port.isEmpty())
        return false;
    for (const QChar c : port) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const int value = port.toInt();
    return value >= 1 && value <= 65535;
}

ServerLogin ServerLogin::Load() {
    return ServerLogin{GetSetting(Setting::AccountServer),
                       GetSetting(Setting::AccountPort),
                       AuthenticationOn(),
                       GetSetting(Setting::AccountUsername),
                       GetSetting(Setting::AccountPassword),
                       GetSetting(Setting::AccountAuthMode)};
}

Account Account::Load() {
    Account a;
    a.name = GetSetting(Setting::AccountName);
    a.email = GetSetting(Setting::AccountEmail);
    a.login = ServerLogin::Load();
    a.method = SendingMethodFromKey(GetSetting(Setting::AccountMethod));
    a.toField = GetSetting(Setting::AccountToField);
    a.bcc = GetSetting(Setting::AccountBCCField);
    a.thirdField = GetSetting(Setting::AccountThirdField);
    a.thirdPath = GetSetting(Setting::AccountThirdPath);
    // The dialog proposes its own default for a missing header encoding (see the settings table).
    a.headerEncoding = GetSetting(Setting::AccountHeaderEncodingShown);
    a.encoding = GetSetting(Setting::AccountEncoding);
    a.attachmentEncoding = GetSetting(Setting::AccountAttachmentEncoding);
    a.charSet = GetSetting(Setting::AccountCharSet);
    a.textPart = GetSetting(Setting::AccountTextPart) == QLatin1String("1");
    a.extended = GetSetting(Setting::AccountExtended) == QLatin1String("1");
    a.dsnNotify = GetSetting(Setting::AccountDSNNotify);
    a.dsnReturn = GetSetting(Setting::AccountDSNReturn);
    return a;
}

void Account::Save() const {
    SaveSetting(Setting::AccountName, name);
    SaveSetting(Setting::AccountEmail, email);
    SaveSetting(Setting::AccountServer, login.server);
    SaveSetting(Setting::AccountPort, login.port);
    SaveSetting(Setting::AccountAuth, Flag(login.auth));
    SaveSetting(Setting::AccountUsername, login.username);
    SaveSetting(Setting::AccountPassword, login.password);
    SaveSetting(Setting::AccountAuthMode, login.authMode);
    SaveSetting(Setting::AccountMethod, SendingMethodKey(method));
    SaveSetting(Setting::AccountToField, toField);
    SaveSetting(Setting::AccountBCCField, bcc);
    SaveSetting(Setting::AccountThirdField, thirdField);
    SaveSetting(Setting::AccountThirdPath, thirdPath);
    SaveSetting(Setting::AccountHeaderEncoding, headerEncoding);
    SaveSetting(Setting::AccountEncoding, encoding);
    SaveSetting(Setting::AccountAttachmentEncoding, attachmentEncoding);
    SaveSetting(Setting::AccountCharSet, charSet);
    SaveSetting(Setting::AccountTextPart, Flag(textPart));
    SaveSetting(Setting::AccountExtended, Flag(extended));
    SaveSetting(Setting::AccountDSNNotify, dsnNotify);
    SaveSetting(Setting::AccountDSNReturn, dsnReturn);
}

void Account::Erase() {
    DeleteSetting(QString::fromLatin1(Sections::Account));
}

std::optional<AccountProblem> Account::CheckForConnectionTest() const {
    if (login.server.isEmpty())
        return AccountProblem{AccountField::Server, QStringLiteral("Please enter your mail server.")};
    if (login.auth) {
        if (login.username.isEmpty())
            return AccountProblem{AccountField::Username, QStringLiteral("Please enter your username.")};
        if (login.password.isEmpty())
            return AccountProblem{AccountField::Password, QStringLiteral("Please enter your password.")};
    }
    return std::nullopt;
}

std::optional<AccountProblem> Account::Check() const {
    if (name.isEmpty())
        return AccountProblem{AccountField::Name, QStringLiteral("Please enter your name.")};
    if (!ValidateEmailSilent(email))
        return AccountProblem{AccountField::Email, QStringLiteral("Invalid email address.")};
    if (login.server.isEmpty())
        return AccountProblem{AccountField::Server, QStringLiteral("Please enter your mail server.")};
    if (login.port.isEmpty())
        return AccountProblem{AccountField::Port, QStringLiteral("Please enter your port.")};
    if (!IsValidPortText(login.port))
        return AccountProblem{AccountField::Port, QStringLiteral("Please enter a valid port.")};
    // The server is known to be there: what is left are the credentials.
    if (std::optional<AccountProblem> problem = CheckForConnectionTest())
        return problem;
    if (method == SendingMethod::Bulk && bcc.isEmpty())
        return AccountProblem{AccountField::Bcc, QStringLiteral("Please enter the BCC Field.")};
    if (method == SendingMethod::Third) {
        if (thirdPath.isEmpty())
            return AccountProblem{AccountField::ThirdPath,
                                  QStringLiteral("Please enter the queue directory.")};
        if (QDir(thirdPath).isRoot())
            return AccountProblem{AccountField::ThirdPath,
                                  QStringLiteral("You cannot select root directory.")};
    }
    return std::nullopt;
}

bool ApplyServerLogin(mail::Smtp& smtp, const ServerLogin& login) {
    smtp.SetMailServer(login.server);
    bool portOk = false;
    const qint32 port = login.port.toInt(&portOk);
    if (portOk)
        smtp.SetPort(port);
    if (!login.auth)
        return false;
    smtp.SetUserName(login.username);
    smtp.SetPassword(login.password);
    SetAuthModeByText(smtp, login.authMode);
    smtp.EnableEsmtp(1);
    return true;
}
