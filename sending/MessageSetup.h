#pragma once
// Preparing the SMTP object from the account settings: the connection set-up done once per object and
// the content rules applied to each message. Settings are read at each call, so a change in the
// account dialog takes effect at the next set-up.
#include "core/MessageChoices.h"
#include "mail/MimeComposer.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace mail {
class Smtp;
}

// The authentication mode of the account dialog's text ("AUTH LOGIN", "CRAM MD5", "NTLM"); any other
// text sets none.
void SetAuthModeByText(mail::Smtp& smtp, const QString& text);

// Whether the stored "Auth" switches authentication on. It is compared as a number: "1", "1.0" and " 1 "
// all do; text that is no number does not. The account dialog reads it the same way, so it never shows
// off (and then stores off, dropping the credentials) an account that runs log in with.
bool AuthenticationOn();

// "Torvale Velanto Ostrel " + major + "." + minor: the X-Mailer of every message.
QString MailerName();

// Where a message's transfer encoding and charset come from.
enum class MessageContent {
    // The account's "Encoding" for the body and its parts, and the charset of its "CharSet".
    FromAccount,
    // A quoted-printable body in Windows-1252, whatever the account holds: the support request, whose
    // plain text must reach the maker's support readable however the user's own mail is set up.
    SupportPlainText,
};

// The one set-up of an SMTP object from the account, shared by every path that sends or saves a
// message (send run, message export, support request, and in part the preview).

// Thread mode and option flags (the first two steps of the set-up).
void SetUpThreadAndOptions(mail::Smtp& smtp);

// Sender, server and port, authentication with the delivery-status requests (only when the stored
// "Auth" has the numeric value 1), then the message headers below.
void SetUpSenderAndServer(mail::Smtp& smtp, MessagePriority priority, bool readReceipt,
                          MessageContent content = MessageContent::FromAccount);

// Content encoding, charset, X-Mailer, boundary prefix, priority (the main window's priority text) and
// read receipt.
void SetUpMessageHeaders(mail::Smtp& smtp, MessagePriority priority, bool readReceipt,
                         MessageContent content = MessageContent::FromAccount);

// Both parts of the set-up, in order.
void SetUpSmtp(mail::Smtp& smtp, MessagePriority priority, bool readReceipt,
               MessageContent content = MessageContent::FromAccount);

// The content rules of the settings, read at one time. A send run reads them once at its start: the
// modal sending window keeps the account dialog closed while it runs, so they cannot change meanwhile,
// and reading the settings file for every recipient costs more than the message itself.
struct MessageRules {
    QString attachmentEncoding; // "AttachmentEncoding"
    QString textPart;           // "TextPart"
    QString headerEncoding;     // "HeaderEncoding"
    QString charset;            // GetCharset()
    static MessageRules FromSettings();
};

// Attaches each file with the stored attachment encoding (read again per file); results are ignored.
void ApplyAttachments(mail::Smtp& smtp, const QStringList& paths);
void ApplyAttachments(mail::Smtp& smtp, const QStringList& paths, const MessageRules& rules);

// Plain-text body.
void ApplyTextBody(mail::Smtp& smtp, const QString& text);

// HTML body imported from a file by the "TextPart" rule. Returns the import's result, or nothing when
// the stored value imports nothing.
std::optional<mail::ImportBodyResult> ApplyHtmlBody(mail::Smtp& smtp, const QString& htmlFile);
std::optional<mail::ImportBodyResult> ApplyHtmlBody(mail::Smtp& smtp, const QString& htmlFile,
                                                    const MessageRules& rules);

// Sets the subject by the "HeaderEncoding" rule. False when the text could not be header-encoded (the
// raw text is then set); true otherwise, including when the rule sets no subject.
bool ApplySubject(mail::Smtp& smtp, const QString& subject);
bool ApplySubject(mail::Smtp& smtp, const QString& subject, const MessageRules& rules);
