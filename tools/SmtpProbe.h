#pragma once
// What the SMTP server probe does apart from its window: one connection without authentication, the
// report it leaves, the saved log and the lines of the printed log.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace mail {
class Smtp;
}

// Sets the object up from the server and port texts and the stored thread mode, connects, takes the
// report, disconnects. The report is the server's greeting and answer unchanged, or the text of the
// code when the connection failed.
QString RunSmtpProbe(mail::Smtp& smtp, const QString& server, const QString& portText);

// The probe's own copy of the send-status texts: the shared table without the row of code 6.
QString ProbeResultText(qint32 code);

// The bytes of a saved log: the report with CR LF line ends and one CR LF added at its end.
QByteArray ProbeLogFileBytes(const QString& report);

// What Print Log prints: the title line with the version, 36 hyphens, the report.
QStringList ProbePrintLines(const QString& report);
