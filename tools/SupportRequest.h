#pragma once
// The technical-support request apart from its window: the texts of the mail and its sending through
// the user's own account. The mail is plain text in Windows-1252, quoted-printable.
#include "core/MessageChoices.h"

#include <QString>
#include <QStringList>

struct SystemFacts;

namespace mail {
class Smtp;
}

inline const QStringList SupportTopics{
    QStringLiteral("Bug Report"), QStringLiteral("Sales Query"), QStringLiteral("Support Request"),
    QStringLiteral("Criticism or Complaint"), QStringLiteral("Product Idea and Suggestion")};

// What the user chose in the window (texts already trimmed) and the main window's current choices.
struct SupportRequest {
    QString topic;
    QString description;
    QString attachment; // a file path or empty
    bool includeSystem = true;
    bool includeSettings = true;
    bool sendCopy = false;
    MessagePriority priority = MessagePriority::Normal; // the main window's
    bool readReceipt = false;
};

// "---System Information---" and its lines, each ending CR LF.
QString SystemInformationBlock(const SystemFacts& facts);

// "---Velanto Settings---", the program folder, the version and fifty stored settings, each line ending
// CR LF. The account password is never among them.
QString SettingsBlock(const QString& programFolder);

// The IP line, an empty line, "---Problem Description---" and the description.
QString BaseSupportBody(const QString& localIp, const QString& description);

// topic + " - Torvale Velanto Ostrel Edition " + version.
QString SupportSubject(const QString& topic);

// Builds the request on the object and sends it in one conversation; returns Send's result. A file to
// attach that cannot be read makes Send refuse (10 or 11) before anything goes out.
qint32 SendSupportRequest(mail::Smtp& smtp, const SupportRequest& request, const SystemFacts& facts,
                          const QString& programFolder);
