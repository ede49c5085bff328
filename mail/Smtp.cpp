#include "mail/Smtp.h"

#include "core/GetComputerName.h"
#include "mail/FileContent.h"
#include "mail/MimeComposer.h"
#include "mail/SmtpConversation.h"

#include <QFile>
#include <QFileInfo>

// The message-building side of the SMTP object and its connection settings; the conversation itself
// is in SmtpSession.cpp.
//
// What every failure returns (the send-status codes the caller turns into text):
//
//   code  failure
//   ----  -------------------------------------------------------------------------------------------
//     1   an operation called while another operation of the same object runs (re-entrant call)
//     4   the message cannot be composed; DATA refused, or the message refused after its final "."
//     5   greeting other than 220; EHLO and HELO both refused
//     6   QUIT not answered with 221 (refused, time-out, connection lost)
//     7   empty or malformed sender address; MAIL FROM refused
//     8   no recipient; malformed recipient address; any RCPT TO refused
//     9   connection refused or failed; port outside 1..65535; TLS refused or failed (STARTTLS answer
//         other than 220, hand-shake error, certificate not trusted)
//    10   an attachment or related image cannot be opened (missing, a folder, no permission)
//    11   an attachment or related image cannot be read
//    15   no mail server given (empty server list)
//    16   connection lost or socket error during the conversation (e.g. server closes mid-DATA)
//    17   host name cannot be resolved
//    18   a reply that is not SMTP (garbage, no reply code, longer than 64 KiB or 1000 lines); more than
//         64 KiB pushed by the server while the connection was idle (the next operation fails)
//    20   Cancel() or ResetSession() while the operation ran
//    21   host look-up timed out
//    22   TCP connect or TLS hand-shake timed out
//    24   authentication refused by the server (535, 534, 530, 454, ...)
//    25   the chosen mechanism is not offered (or the server has no ESMTP, or the mode is unknown)
//    26   authentication protocol error (bad challenge, SASL failure, 500/501/502 during AUTH)
//    27   no reply within the reply time-out (no progress for that long while sending the message)
//
// After a refused MAIL or RCPT the transaction is reset with RSET so the next message can go. After
// 16, 18, 20 and 27 the connection is in an unknown state and is dropped; the next Send opens a new one
// (once: when that fails too, or when Connect itself failed, each Send returns that code at once).

namespace mail {

namespace {

// Header texts never carry a raw line break: any CR / LF run becomes one space.
QString OneLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool inBreak = false;
    for (QChar c : text) {
        if (c == u'\r' || c == u'\n') {
            if (!inBreak)
                out += u' ';
            inBreak = true;
            continue;
        }
        inBreak = false;
        out += c;
    }
    return out;
}

} // namespace

Smtp::Smtp(QObject* parent)
    : QObject(parent), m_clientHostName(GetLocalComputerName()),
      m_files(std::make_unique<FileContentCache>()) {}

Smtp::~Smtp() = default;

// --- Message -------------------------------------------------------------------------------------------

void Smtp::SetSubject(const QString& subject) {
    m_spec.subject = OneLine(subject);
}
QString Smtp::GetBodyText() const {
    return m_spec.bodyText;
}
void Smtp::SetBodyText(const QString& text) {
    m_spec.bodyText = text;
}
void Smtp::SetFromName(const QString& name) {
    m_spec.fromName = OneLine(name);
}
void Smtp::SetFromAddress(const QString& address) {
    m_spec.fromAddress = OneLine(address).trimmed();
}
void Smtp::SetBodyFormat(qint32 format) {
    m_spec.bodyFormat = format == 1 ? 1 : 0;
}

void Smtp::AddRecipient(const QString& name, const QString& address, RecipientKind kind) {
    Recipient r;
    r.name = OneLine(name);
    r.address = OneLine(address).trimmed();
    r.kind = kind;
    m_spec.recipients.append(r);
}

void Smtp::SetPriority(const QString& priority) {
    m_spec.priority = (priority == u"1" || priority == u"3" || priority == u"5") ? priority : QString();
}

void Smtp::AddHeader(const QString& name, const QString& value) {
    // A header name is printable ASCII without ":" or blanks; anything else would break the header block.
    if (name.isEmpty())
        return;
    for (QChar c : name) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || c == u':')
            return;
    }
    m_spec.headers.append({name, OneLine(value)});
}

void Smtp::SetCharset(const QString& charset) {
    m_spec.charset = charset;
}

void Smtp::SetBodyEncoding(qint32 encoding) {
    if (encoding >= EncodingNone && encoding <= EncodingBase64)
        m_spec.bodyEncoding = encoding;
}

void Smtp::SetPartEncoding(qint32 encoding) {
    if (encoding >= EncodingNone && encoding <= EncodingBase64)
        m_spec.partEncoding = encoding;
}

void Smtp::SetBoundaryPrefix(const QString& prefix) {
    m_spec.boundaryPrefix = prefix;
}
void Smtp::SetOptionFlags(qint32 flags) {
    m_spec.optionFlags = flags;
}

qint32 Smtp::AttachFile(const QString& path, const QString& name, qint32 encoding) {
    Q_UNUSED(name) // the part is named after the file
    if (path.trimmed().isEmpty())
        return 0;
    Attachment a;
    a.path = path;
    a.encoding = (encoding == AttachQuotedPrintable || encoding == AttachNone) ? encoding : AttachBase64;
    m_spec.attachments.append(a);
    // The attachment stays in the message even when it cannot be read now: Send then fails with the same
    // code instead of sending the message without it.
    // Only a regular file that opens is one: a named pipe would block here and a device never end.
    const qint32 rc = ReadRegularFile(path, nullptr);
    if (rc != 0 && m_attachError == 0)
        m_attachError = rc;
    return rc;
}

qint32 Smtp::AttachFileSimple(const QString& path, qint32 flags) {
    Q_UNUSED(flags)
    return AttachFile(path, QString(), AttachBase64);
}

ImportBodyResult Smtp::ImportBodyFile(const QString& path, qint32 mode) {
    return static_cast<ImportBodyResult>(mail::ImportBodyFile(m_spec, path, mode));
}

MessageBody Smtp::TakeBody() const {
    return {m_spec.bodyFormat,      m_spec.bodyText, m_spec.htmlBody,
            m_spec.textAlternative, m_spec.related,  m_spec.leftOutPictures};
}

void Smtp::PutBody(const MessageBody& body) {
    m_spec.bodyFormat = body.bodyFormat;
    m_spec.bodyText = body.bodyText;
    m_spec.htmlBody = body.htmlBody;
    m_spec.textAlternative = body.textAlternative;
    m_spec.related = body.related;
    m_spec.leftOutPictures = body.leftOutPictures;
}

qint32 Smtp::ReplaceMergeField(const QString& macro, const QString& value, qint32 flags) {
    Q_UNUSED(flags)
    return mail::ReplaceMergeField(m_spec, macro, value);
}

QString Smtp::EncodeHeaderText(const QString& text, const QString& charset, qint32 mode, qint32 flags) {
    Q_UNUSED(flags)
    return mail::EncodeHeaderText(text, charset, mode);
}

qint32 Smtp::SaveMessageFile(const QString& path) {
    if (path.isEmpty())
        return 10;
    return mail::SaveMessageFile(m_spec, path, m_files.get());
}

void Smtp::ClearMessage(qint32 what) {
    if (what & 1)
        m_spec.recipients.clear();
    if (what & 2) {
        m_spec.attachments.clear();
        m_spec.related.clear();
        m_spec.leftOutPictures.clear();
        m_spec.bodyText.clear();
        m_spec.htmlBody.clear();
        m_spec.textAlternative = false;
        m_spec.subject.clear();
        m_attachError = 0;
        // files no message since the last clear carried are let go
        m_files->KeepOnlyUsed();
    }
}

// --- Connection settings -------------------------------------------------------------------------------

void Smtp::SetClientHostName(const QString& name) {
    QString clean;
    for (QChar c : name) {
        if (c.unicode() > 0x20 && c.unicode() < 0x7f)
            clean += c;
    }
    m_clientHostName = clean;
}

void Smtp::SetMailServer(const QString& servers) {
    m_servers = servers;
}
void Smtp::SetPort(qint32 port) {
    m_port = port;
}
void Smtp::SetUserName(const QString& userName) {
    m_userName = userName;
}
void Smtp::SetPassword(const QString& password) {
    m_password = password;
}
void Smtp::SetAuthMode(qint32 mode) {
    m_authMode = mode;
}
void Smtp::EnableEsmtp(qint32 enable) {
    m_esmtp = enable != 0;
}
void Smtp::SetDsnNotify(qint32 notify) {
    m_dsnNotify = notify;
}
void Smtp::SetDsnReturn(qint32 ret) {
    m_dsnReturn = ret;
}
void Smtp::SetThreadMode(qint32 mode) {
    m_threadMode = mode;
}

void Smtp::SetTimeouts(int resolveMs, int connectMs, int replyMs) {
    m_resolveTimeout = resolveMs;
    m_connectTimeout = connectMs;
    m_replyTimeout = replyMs;
}

void Smtp::AddCaCertificates(const QList<QSslCertificate>& certificates) {
    m_extraCas += certificates;
}

bool Smtp::IsConnected() const {
    return m_conv && m_conv->Alive();
}

QString Smtp::GetServerReply() const {
    return m_conv ? m_conv->serverReply : QString();
}

} // namespace mail
