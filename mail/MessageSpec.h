#pragma once
// One message as the SMTP class builds it, handed to the MIME composer. The SMTP class keeps one of
// these, fills it through its Set... operations and asks the composer for the bytes to send or save.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace mail {

// Transfer encodings as SetBodyEncoding / SetPartEncoding pass them.
enum BodyEncoding : qint32 { EncodingNone = 0, EncodingQuotedPrintable = 1, EncodingBase64 = 2 };

// Attachment encodings as AttachFile passes them.
enum AttachmentEncoding : qint32 { AttachBase64 = 0, AttachQuotedPrintable = 64, AttachNone = 512 };

// Which header lists a recipient.
enum class RecipientKind { To = 1, Cc = 2 };

struct Recipient {
    QString name;
    QString address;
    RecipientKind kind = RecipientKind::To;
};

struct Attachment {
    QString path;
    qint32 encoding = AttachBase64;
};

// A local file that an imported HTML body refers to, sent as a related part and referenced by cid:.
struct RelatedPart {
    QString path;
    QString contentId;
    QString mimeType;
};

struct MessageSpec {
    QString fromName;
    QString fromAddress;
    QList<Recipient> recipients;
    QString subject;              // raw text, or already header-encoded ("=?charset?Q?...?=")
    qint32 bodyFormat = 0;        // 1 HTML, 0 plain text
    QString bodyText;             // the plain-text body, or the text alternative of an HTML body
    QString htmlBody;             // the imported HTML body (cid: references for related parts)
    bool textAlternative = false; // send bodyText as the alternative of htmlBody
    QList<RelatedPart> related;
    QStringList leftOutPictures; // local pictures the HTML names that could not be embedded, left out
    QList<Attachment> attachments;
    QString charset = QStringLiteral("utf-8");
    qint32 bodyEncoding = EncodingQuotedPrintable;
    qint32 partEncoding = EncodingQuotedPrintable;
    QString priority;                       // "1" high, "3" normal, "5" low; empty sets no priority headers
    QList<QPair<QString, QString>> headers; // extra header lines, in the order added
    QString boundaryPrefix;
    qint32 optionFlags = 0;
};

// The bodies of a message as an import made them, kept to be put back for the next recipient.
struct MessageBody {
    qint32 bodyFormat = 0;
    QString bodyText;
    QString htmlBody;
    bool textAlternative = false;
    QList<RelatedPart> related;
    QStringList leftOutPictures;
};

} // namespace mail
