#include "tools/SupportRequest.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/Version.h"
#include "mail/Smtp.h"
#include "sending/MessageSetup.h"
#include "tools/MakerSite.h"
#include "tools/SystemFacts.h"

namespace {
const QString CrLf = QStringLiteral("\r\n");

QString VersionText() {
    return QString::number(VersionMajor) + u'.' + QString::number(VersionMinor);
}

QString WithCrLf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text.replace(QStringLiteral("\n"), CrLf);
}

struct SettingLine {
    const char* section;
    const char* key;
    bool sectionOnly; // the label is the section name alone ("SMTP-Thread: ")
};

// The listed settings, in the order of the report. The password is deliberately not among them.
const SettingLine kSettingLines[] = {
    {Sections::Account, Keys::Name, false},
    {Sections::Account, Keys::Email, false},
    {Sections::Account, Keys::Server, false},
    {Sections::Account, Keys::Port, false},
    {Sections::Account, Keys::Auth, false},
    {Sections::Account, Keys::Username, false},
    {Sections::Account, Keys::AuthMode, false},
    {Sections::Account, Keys::Method, false},
    {Sections::Account, Keys::ToField, false},
    {Sections::Account, Keys::BCCField, false},
    {Sections::Account, Keys::ThirdField, false},
    {Sections::Account, Keys::ThirdPath, false},
    {Sections::Account, Keys::HeaderEncoding, false},
    {Sections::Account, Keys::Encoding, false},
    {Sections::Account, Keys::AttachmentEncoding, false},
    {Sections::Account, Keys::CharSet, false},
    {Sections::Account, Keys::TextPart, false},
    {Sections::Account, Keys::Extended, false},
    {Sections::Account, Keys::DSNNotify, false},
    {Sections::Account, Keys::DSNReturn, false},
    {Sections::Advanced, "Reconnect", false},
    {Sections::Advanced, "Messages", false},
    {Sections::Advanced, "Pause", false},
    {Sections::Advanced, "Time", false},
    {Sections::Advanced, "CustomHeader", false},
    {Sections::Advanced, "CustomValue", false},
    {Sections::Advanced, "ReplyTo", false},
    {Sections::Advanced, "ReturnReceiptTo", false},
    {Sections::Advanced, "Domain", false},
    {Sections::Advanced, "DomainName", false},
    {Sections::Advanced, "LocalIP", false},
    {Sections::Options, Keys::Tips, false},
    {Sections::MailForwarder, "Authentication", false},
    {Sections::MailForwarder, "Port", false},
    {Sections::MailForwarder, "Server", false},
    {Sections::MailResponder, "Authentication", false},
    {Sections::MailResponder, "Port", false},
    {Sections::MailResponder, "Server", false},
    {Sections::MailSpam, "Authentication", false},
    {Sections::MailSpam, "Port", false},
    {Sections::MailSpam, "Server", false},
    {Sections::MailSubscribe, "Authentication", false},
    {Sections::MailSubscribe, "Port", false},
    {Sections::MailSubscribe, "Server", false},
    {Sections::MailUnsubscribe, "Authentication", false},
    {Sections::MailUnsubscribe, "Port", false},
    {Sections::MailUnsubscribe, "Server", false},
    {Sections::SmtpThread, Keys::Mode, true},
    {Sections::Pop3Thread, Keys::Mode, true},
    {Sections::Imap4Thread, Keys::Mode, true},
};
static_assert(std::size(kSettingLines) == 50);

} // namespace

QString SystemInformationBlock(const SystemFacts& facts) {
    QString block = QStringLiteral("---System Information---") + CrLf;
    block += QStringLiteral("Operating System: ") + facts.systemName + CrLf;
    block +=
        QStringLiteral("Registered to: ") + facts.owner + QStringLiteral(" - ") + facts.organisation + CrLf;
    block += QStringLiteral("Home Folder: ") + facts.homeFolder + CrLf;
    block += QStringLiteral("Screen Resolution: ") + QString::number(facts.screen.width()) + u'x' +
             QString::number(facts.screen.height()) + CrLf;
    block += QStringLiteral("Mounted File Systems:") + CrLf;
    for (const QString& mount : facts.mounts)
        block += mount + CrLf;
    return block;
}

QString SettingsBlock(const QString& programFolder) {
    QString folder = programFolder;
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    QString block = QStringLiteral("---Velanto Settings---") + CrLf;
    block += QStringLiteral("Install Path: ") + folder + CrLf;
    block += QStringLiteral("Version: ") + VersionText() + CrLf;
    for (const SettingLine& line : kSettingLines) {
        const QString section = QString::fromLatin1(line.section);
        const QString key = QString::fromLatin1(line.key);
        const QString label = line.sectionOnly ? section : section + u'-' + key;
        block += label + QStringLiteral(": ") + GetSetting(section, key) + CrLf;
    }
    return block;
}

QString BaseSupportBody(const QString& localIp, const QString& description) {
    return QStringLiteral("Sender's IP Address: ") + localIp + CrLf + CrLf +
           QStringLiteral("---Problem Description---") + CrLf + WithCrLf(description) + CrLf;
}

QString SupportSubject(const QString& topic) {
    return topic + QStringLiteral(" - Torvale Velanto Ostrel Edition ") + VersionText();
}

qint32 SendSupportRequest(mail::Smtp& smtp, const SupportRequest& request, const SystemFacts& facts,
                          const QString& programFolder) {
    // Both blocks are made on every request, whatever goes into the mail.
    const QString systemBlock = SystemInformationBlock(facts);
    const QString settingsBlock = SettingsBlock(programFolder);
    SetUpSmtp(smtp, request.priority, request.readReceipt, MessageContent::SupportPlainText);
    smtp.AttachFileSimple(request.attachment, 0); // an unreadable file makes Send refuse
    smtp.AddRecipient(SupportMailbox(), SupportMailbox(), mail::RecipientKind::To);
    smtp.SetSubject(SupportSubject(request.topic));
    smtp.SetBodyFormat(0);
    smtp.SetBodyText(BaseSupportBody(facts.localIp, request.description));
    if (request.includeSystem)
        smtp.SetBodyText(smtp.GetBodyText() + CrLf + systemBlock);
    if (request.includeSettings)
        smtp.SetBodyText(smtp.GetBodyText() + CrLf + settingsBlock);
    if (request.sendCopy)
        smtp.AddRecipient(GetSetting(Setting::AccountName), GetSetting(Setting::AccountEmail),
                          mail::RecipientKind::Cc);
    return smtp.Send();
}
