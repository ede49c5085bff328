#include "sending/AccountTest.h"

#include "core/GetComputerName.h"
#include "core/WriteSendStatus.h"
#include "mail/Smtp.h"
#include "sending/MessageSetup.h"
#include "sending/ThreadModes.h"

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

qint32 RunAccountTest(mail::Smtp& smtp, const AccountTestInput& input) {
    const int mode = SmtpThreadModeValue();
    if (mode >= 0)
        smtp.SetThreadMode(mode);
    smtp.SetMailServer(input.server);
    bool ok = false;
    const qint32 port = input.port.toInt(&ok);
    if (ok)
        smtp.SetPort(port);
    if (input.auth) {
        smtp.SetUserName(input.username);
        smtp.SetPassword(input.password);
        SetAuthModeByText(smtp, input.authMode);
        smtp.EnableEsmtp(1);
    }
    smtp.SetClientHostName(GetLocalComputerName());
    const qint32 rc = smtp.Connect(0);
    smtp.Disconnect(0);
    return rc;
}

QString AccountTestResultText(qint32 rc) {
    return rc == 0 ? QStringLiteral("Your SMTP settings appear to be functioning correctly.")
                   : SmtpResultText(rc, false);
}
