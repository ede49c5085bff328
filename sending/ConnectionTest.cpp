#include "sending/ConnectionTest.h"

#include "core/GetComputerName.h"
#include "core/WriteSendStatus.h"
#include "mail/Smtp.h"
#include "sending/ThreadModes.h"

qint32 RunConnectionTest(mail::Smtp& smtp, const ServerLogin& login) {
    const int mode = SmtpThreadModeValue();
    if (mode >= 0)
        smtp.SetThreadMode(mode);
    ApplyServerLogin(smtp, login);
    smtp.SetClientHostName(GetLocalComputerName());
    const qint32 rc = smtp.Connect(0);
    smtp.Disconnect(0);
    return rc;
}

QString ConnectionTestResultText(qint32 rc) {
    return rc == 0 ? QStringLiteral("Your SMTP settings appear to be functioning correctly.")
                   : SmtpResultText(rc, false);
}
