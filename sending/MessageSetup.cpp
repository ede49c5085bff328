#include "sending/MessageSetup.h"

#include "core/CharacterSettings.h"
#include "core/GetBoundaryMarkPrefix.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/Version.h"
#include "mail/MimeComposer.h"
#include "mail/Smtp.h"
#include "sending/Account.h"
#include "sending/ThreadModes.h"

#include <span>
#include <utility>

namespace {
// The component's option bits for sending, without the extended international character set.
constexpr qint32 SendingOptions = 256;

// A stored display text and the value it stands for.
using TextValue = std::pair<const char*, qint32>;

// The value of the text (exact, case-sensitive), -1 for a text the table does not name.
qint32 ValueOf(const QString& text, std::span<const TextValue> table) {
    for (const auto& [name, value] : table) {
        if (text == QLatin1String(name))
            return value;
    }
    return -1;
}

const TextValue EncodingValues[] = {{"None", mail::EncodingNone},
                                    {"Quoted Printable", mail::EncodingQuotedPrintable},
                                    {"Base 64", mail::EncodingBase64}};

using S = mail::Smtp;
const TextValue NotifyValues[] = {
    {"Do whatever the server default is", S::DsnNotifyDefault},
    {"Notify me in all conditions", S::DsnFailure | S::DsnSuccess | S::DsnDelay},
    {"Notify me if message fails", S::DsnFailure},
    {"Notify me if message is sent", S::DsnSuccess},
    {"Notify me if message is delayed", S::DsnDelay}};
const TextValue ReturnValues[] = {{"Return whatever the server default is", S::DsnReturnDefault},
                                  {"Return only the header of the message", S::DsnReturnHeaders},
                                  {"Return the full message", S::DsnReturnFull}};

// The delivery-status requests; "Do not send command to server" (and any other text) sets nothing.
void SetDeliveryStatus(mail::Smtp& smtp) {
    const qint32 notify = ValueOf(GetSetting(Setting::AccountDSNNotify), NotifyValues);
    if (notify >= 0)
        smtp.SetDsnNotify(notify);
    const qint32 ret = ValueOf(GetSetting(Setting::AccountDSNReturn), ReturnValues);
    if (ret >= 0)
        smtp.SetDsnReturn(ret);
}
} // namespace

bool AuthenticationOn() {
    bool number = false;
    const double value = GetSetting(Setting::AccountAuth).trimmed().toDouble(&number);
    return number && value == 1.0;
}

void SetAuthModeByText(mail::Smtp& smtp, const QString& text) {
    if (text == QLatin1String("AUTH LOGIN"))
        smtp.SetAuthMode(mail::Smtp::AuthLogin);
    else if (text == QLatin1String("CRAM MD5"))
        smtp.SetAuthMode(mail::Smtp::AuthCramMd5);
    else if (text == QLatin1String("NTLM"))
        smtp.SetAuthMode(mail::Smtp::AuthNtlm);
}

QString MailerName() {
    return QStringLiteral("Torvale Velanto Ostrel %1.%2").arg(VersionMajor).arg(VersionMinor);
}

void SetUpThreadAndOptions(mail::Smtp& smtp) {
    const int mode = SmtpThreadModeValue();
    if (mode >= 0)
        smtp.SetThreadMode(mode);
    smtp.SetOptionFlags(GetSetting(Setting::AccountExtended) == QLatin1String("0")
                            ? SendingOptions
                            : SendingOptions + mail::Smtp::OptionExtendedCharset);
}

void SetUpSenderAndServer(mail::Smtp& smtp, MessagePriority priority, bool readReceipt,
                          MessageContent content) {
    smtp.SetFromName(GetSetting(Setting::AccountName));
    smtp.SetFromAddress(GetSetting(Setting::AccountEmail));
    if (ApplyServerLogin(smtp, ServerLogin::Load()))
        SetDeliveryStatus(smtp);
    SetUpMessageHeaders(smtp, priority, readReceipt, content);
}

void SetUpMessageHeaders(mail::Smtp& smtp, MessagePriority priority, bool readReceipt,
                         MessageContent content) {
    if (content == MessageContent::SupportPlainText) {
        smtp.SetBodyEncoding(mail::EncodingQuotedPrintable);
        smtp.SetCharset(QStringLiteral("Windows-1252"));
    } else {
        const qint32 encoding = ValueOf(GetSetting(Setting::AccountEncoding), EncodingValues);
        if (encoding >= 0) {
            smtp.SetBodyEncoding(encoding);
            smtp.SetPartEncoding(encoding);
        }
        smtp.SetCharset(GetCharset());
    }
    smtp.AddHeader(QStringLiteral("X-Mailer"), MailerName());
    smtp.SetBoundaryPrefix(MakeBoundaryPrefix());
    switch (priority) {
    case MessagePriority::Low:
        smtp.SetPriority(QStringLiteral("5"));
        break;
    case MessagePriority::Normal:
        smtp.SetPriority(QStringLiteral("3"));
        break;
    case MessagePriority::High:
        smtp.SetPriority(QStringLiteral("1"));
        break;
    }
    if (readReceipt)
        smtp.AddHeader(QStringLiteral("Disposition-Notification-To"), GetSetting(Setting::AccountEmail));
}

void SetUpSmtp(mail::Smtp& smtp, MessagePriority priority, bool readReceipt, MessageContent content) {
    SetUpThreadAndOptions(smtp);
    SetUpSenderAndServer(smtp, priority, readReceipt, content);
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
            smtp.AttachFile(path, QString(), mail::AttachBase64);
        else if (rules.attachmentEncoding == QLatin1String("Quoted Printable"))
            smtp.AttachFile(path, QString(), mail::AttachQuotedPrintable);
        else if (rules.attachmentEncoding == QLatin1String("None"))
            smtp.AttachFile(path, QString(), mail::AttachNone);
    }
}

void ApplyTextBody(mail::Smtp& smtp, const QString& text) {
    smtp.SetBodyFormat(0);
    smtp.SetBodyText(text);
}

std::optional<mail::ImportBodyResult> ApplyHtmlBody(mail::Smtp& smtp, const QString& htmlFile) {
    return ApplyHtmlBody(smtp, htmlFile, MessageRules::FromSettings());
}

std::optional<mail::ImportBodyResult> ApplyHtmlBody(mail::Smtp& smtp, const QString& htmlFile,
                                                    const MessageRules& rules) {
    if (rules.textPart == QLatin1String("0"))
        return smtp.ImportBodyFile(htmlFile, mail::ImportHtmlOnly);
    if (rules.textPart == QLatin1String("1"))
        return smtp.ImportBodyFile(htmlFile, mail::ImportHtmlWithText);
    return std::nullopt;
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
        mode = mail::HeaderQuotedPrintable;
    else if (rules.headerEncoding == QLatin1String("Base 64"))
        mode = mail::HeaderBase64;
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
