#include "sending/MessageSetup.h"

#include "core/CharacterSettings.h"
#include "core/GetBoundaryMarkPrefix.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/Version.h"
#include "mail/Smtp.h"
#include "sending/ThreadForm.h"

namespace {
// Content and part encoding value for a stored text, -1 for none of the three.
int EncodingValue(const QString& text) {
    if (text == QLatin1String("None"))
        return 0;
    if (text == QLatin1String("Quoted Printable"))
        return 1;
    if (text == QLatin1String("Base 64"))
        return 2;
    return -1;
}
} // namespace

QString MailerName() {
    return QStringLiteral("Torvale Velanto Ostrel %1.%2").arg(VersionMajor).arg(VersionMinor);
}

void SetUpThreadAndOptions(mail::Smtp& smtp) {
    const int mode = SmtpThreadModeValue();
    if (mode >= 0)
        smtp.SetThreadMode(mode);
    smtp.SetOptionFlags(GetSetting(Setting::AccountExtended) == QLatin1String("0")
                            ? 256
                            : 256 + mail::Smtp::OptionExtendedCharset);
}

void SetUpSenderAndServer(mail::Smtp& smtp, const QString& priorityText, bool readReceipt) {
    smtp.SetFromName(GetSetting(Setting::AccountName));
    smtp.SetFromAddress(GetSetting(Setting::AccountEmail));
    smtp.SetMailServer(GetSetting(Setting::AccountServer));
    bool portOk = false;
    const qint32 port = GetSetting(Setting::AccountPort).toInt(&portOk);
    if (portOk)
        smtp.SetPort(port);

    if (GetSetting(Setting::AccountAuth).trimmed().toInt() == 1) {
        smtp.SetUserName(GetSetting(Setting::AccountUsername));
        smtp.SetPassword(GetSetting(Setting::AccountPassword));
        const QString authMode = GetSetting(Setting::AccountAuthMode);
        if (authMode == QLatin1String("AUTH LOGIN"))
            smtp.SetAuthMode(mail::Smtp::AuthLogin);
        else if (authMode == QLatin1String("CRAM MD5"))
            smtp.SetAuthMode(mail::Smtp::AuthCramMd5);
        else if (authMode == QLatin1String("NTLM"))
            smtp.SetAuthMode(mail::Smtp::AuthNtlm);
        smtp.EnableEsmtp(1);

        const QString notify = GetSetting(Setting::AccountDSNNotify);
        static const std::pair<const char*, int> notifyValues[] = {{"Do whatever the server default is", 0},
                                                                   {"Notify me in all conditions", 7},
                                                                   {"Notify me if message fails", 1},
                                                                   {"Notify me if message is sent", 2},
                                                                   {"Notify me if message is delayed", 4}};
        for (const auto& [text, value] : notifyValues) {
            if (notify == QLatin1String(text))
                smtp.SetDsnNotify(value);
        }
        const QString ret = GetSetting(Setting::AccountDSNReturn);
        static const std::pair<const char*, int> returnValues[] = {
            {"Return whatever the server default is", 0},
            {"Return only the header of the message", 1},
            {"Return the full message", 2}};
        for (const auto& [text, value] : returnValues) {
            if (ret == QLatin1String(text))
                smtp.SetDsnReturn(value);
        }
    }

    const int encoding = EncodingValue(GetSetting(Setting::AccountEncoding));
    if (encoding >= 0) {
        smtp.SetBodyEncoding(encoding);
        smtp.SetPartEncoding(encoding);
    }
    smtp.SetCharset(GetCharset());
    smtp.AddHeader(QStringLiteral("X-Mailer"), MailerName());
    smtp.SetBoundaryPrefix(MakeBoundaryPrefix());
    if (priorityText == QLatin1String("Low"))
        smtp.SetPriority(QStringLiteral("5"));
    else if (priorityText == QLatin1String("Normal"))
        smtp.SetPriority(QStringLiteral("3"));
    else if (priorityText == QLatin1String("High"))
        smtp.SetPriority(QStringLiteral("1"));
    if (readReceipt)
        smtp.AddHeader(QStringLiteral("Disposition-Notification-To"), GetSetting(Setting::AccountEmail));
}

void SetUpSmtp(mail::Smtp& smtp, const QString& priorityText, bool readReceipt) {
    SetUpThreadAndOptions(smtp);
    SetUpSenderAndServer(smtp, priorityText, readReceipt);
}

MessageRules MessageRules::FromSettings() {
    MessageRules r;
    r.attachmentEncoding = GetSetting(Setting::AccountAttachmentEncoding);
    r.textPart = GetSetting(Setting::AccountTextPart);
    r.headerEncoding = GetSetting(Setting::AccountHeaderEncoding);
    r.charset = GetCharset();
    return r;
}

void ApplyAttachments(mail::Smtp& smtp, const QStringList& paths) {
    for (const QString& path : paths)
        ApplyAttachments(smtp, {path}, MessageRules::FromSettings());
}

void ApplyAttachments(mail::Smtp& smtp, const QStringList& paths, const MessageRules& rules) {
    for (const QString& path : paths) {
        if (rules.attachmentEncoding == QLatin1String("Base 64"))
            smtp.AttachFile(path, QString(), 0);
        else if (rules.attachmentEncoding == QLatin1String("Quoted Printable"))
            smtp.AttachFile(path, QString(), 64);
        else if (rules.attachmentEncoding == QLatin1String("None"))
            smtp.AttachFile(path, QString(), 512);
    }
}

void ApplyTextBody(mail::Smtp& smtp, const QString& text) {
    smtp.SetBodyFormat(0);
    smtp.SetBodyText(text);
}

qint32 ApplyHtmlBody(mail::Smtp& smtp, const QString& htmlFile) {
    return ApplyHtmlBody(smtp, htmlFile, MessageRules::FromSettings());
}

qint32 ApplyHtmlBody(mail::Smtp& smtp, const QString& htmlFile, const MessageRules& rules) {
    if (rules.textPart == QLatin1String("0"))
        return smtp.ImportBodyFile(htmlFile, 2);
    if (rules.textPart == QLatin1String("1"))
        return smtp.ImportBodyFile(htmlFile, 6);
    return -1;
}

bool ApplySubject(mail::Smtp& smtp, const QString& subject) {
    return ApplySubject(smtp, subject, MessageRules::FromSettings());
}

bool ApplySubject(mail::Smtp& smtp, const QString& subject, const MessageRules& rules) {
    if (rules.headerEncoding == QLatin1String("None")) {
        smtp.SetSubject(subject);
        return true;
    }
    int mode = 0;
    if (rules.headerEncoding == QLatin1String("Quoted Printable"))
        mode = 1;
    else if (rules.headerEncoding == QLatin1String("Base 64"))
        mode = 2;
    if (mode == 0 || subject.isEmpty())
        return true;
    const QString encoded = smtp.EncodeHeaderText(subject, rules.charset, mode, 0);
    if (encoded.isEmpty() || encoded.startsWith(QLatin1String("ERR:"))) {
        smtp.SetSubject(subject);
        return false;
    }
    smtp.SetSubject(encoded);
    return true;
}
