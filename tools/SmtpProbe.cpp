#include "tools/SmtpProbe.h"

#include "core/GetComputerName.h"
#include "core/Version.h"
#include "core/WriteSendStatus.h"
#include "mail/Smtp.h"
#include "sending/ThreadModes.h"

QString RunSmtpProbe(mail::Smtp& smtp, const QString& server, const QString& portText) {
    const int mode = SmtpThreadModeValue();
    if (mode >= 0)
        smtp.SetThreadMode(mode);
    smtp.SetMailServer(server);
    bool ok = false;
    const qint32 port = portText.toInt(&ok);
    if (ok)
        smtp.SetPort(port);
    smtp.SetAuthMode(mail::Smtp::AuthNone);
    smtp.EnableEsmtp(1);
    smtp.SetClientHostName(GetLocalComputerName());
    const qint32 rc = smtp.Connect(0);
    const QString report = rc == 0 ? smtp.GetServerReply() : ProbeResultText(rc);
    smtp.Disconnect(0);
    return report;
}

QString ProbeResultText(qint32 code) {
    return SmtpResultText(code, false);
}

QByteArray ProbeLogFileBytes(const QString& report) {
    QString text = report;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return (text + QStringLiteral("\r\n")).toUtf8();
}

QStringList ProbePrintLines(const QString& report) {
    return {QStringLiteral("Torvale Velanto Ostrel %1.%2").arg(VersionMajor).arg(VersionMinor),
            QString(36, u'-'), report};
}
