#pragma once
// The message class of the mail component family: loads and parses a stored .eml file and gives its
// subject, bodies, recipients, Received headers and body parts, and a handle for MessagePrinter.
// Names of parts are reduced to a safe last component and made unique; nothing is written outside the
// work folder (or outside the path a caller hands to SavePartToFile).
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>

namespace mail {

// Result codes of ImportMessageFile.
enum MessageFileResult : qint32 {
    MessageOk = 0,
    MessageOutOfMemory = 14,
    MessageException = 206,
    MessageBinhexError = 257,
    MessageFileIoError = 258,
    MessageNoBoundary = 259,
    MessageUnknownEncoding = 275,
    MessageBinhexCrcError = 1002,
};

// A message lists at most this many recipients (To, Cc and Bcc together) and Received headers; the
// rest are left out and RecipientsCut / ReceivedCut say so.
inline constexpr qsizetype kMaxRecipients = 10000;
inline constexpr qsizetype kMaxReceivedHeaders = 1000;

// ImportMessageFile body part: the form in which the message is printed.
enum MessageBodyPart : qint32 { BodyPartText = 0, BodyPartHtml = 1, BodyPartRtf = 2, BodyPartXml = 3 };

struct MessageRecipient {
    QString RecipientName;
    QString RecipientAddress;
    qint32 RecipientType = 1; // 1 To, 2 Cc, 3 Bcc
};

// One "Received" header, split into its clauses "from / by / via / with / id / for ; date".
struct ReceivedHeader {
    QString ReceivedFrom;
    QString ReceivedBy;
    QString ReceivedVia;
    QString ReceivedProtocol;
    QString ReceivedID;
    QString ReceivedFor;
    QDateTime ReceivedDateTime;      // in the header's own zone; invalid when the date is unreadable
    qint32 ReceivedTimeZoneBias = 0; // minutes to add to the local time to get UTC (+0100 gives -60)
};

// Parses one Received header value (unfolded). Bounded: long values are cut before parsing.
ReceivedHeader ParseReceivedHeader(const QString& value);

enum PartKindValue : qint32 { PartAttachment = 2, PartBodyPartAttachment = 256 };

class BodyPart {
public:
    BodyPart() = default;
    BodyPart(qint32 kind, const QString& fileName, const QByteArray& contentType,
             std::shared_ptr<const QByteArray> data, bool whole = true)
        : kind_(kind), fileName_(fileName), contentType_(contentType), data_(std::move(data)), whole_(whole) {
    }
    qint32 PartKind() const { return kind_; }
    QString PartFileName() const { return fileName_; }
    QByteArray PartContentType() const { return contentType_; }
    QByteArray PartData() const { return data_ ? *data_ : QByteArray(); }
    // False when the part's data ends before its transfer encoding says it does (uuencode without its
    // "end" line, base64 cut off): PartData is then what there was of it.
    bool IsWhole() const { return whole_; }
    // Writes the decoded part to path (creating its folder); 0 or 258.
    qint32 SavePartToFile(const QString& path, qint32 flags = 1) const;
    // Writes the decoded part into a new file at path, which must not exist yet (nor be a link); nothing
    // is replaced, so nothing is flushed to disk file by file. On failure nothing is left there.
    bool SaveToNewFile(const QString& path) const;

private:
    qint32 kind_ = PartAttachment;
    QString fileName_;
    QByteArray contentType_;
    std::shared_ptr<const QByteArray> data_;
    bool whole_ = true;
};

struct ParsedMessage;

class Message {
public:
    Message();
    ~Message();
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    void SetWorkFolder(const QString& folder);
    // With a work folder set, the decoded HTML body and its related parts are written into a fresh
    // folder inside it. flags (2: a work folder is set, 8: extended international charsets, which are
    // always supported here) and reserved are accepted as the callers pass them.
    MessageFileResult ImportMessageFile(const QString& path, qint32 bodyPart, qint32 flags,
                                        qint32 reserved = 0);

    QString GetSubject() const;
    QString GetTextBody() const; // CR LF line ends
    // The same as UTF-8, as the message keeps it: a large body need not be converted to be written out.
    QByteArray GetTextBodyUtf8() const;
    QList<MessageRecipient> GetRecipients() const;
    QList<ReceivedHeader> GetReceivedHeaders() const;
    QList<BodyPart> GetBodyParts() const;
    // True when the message held more recipients (Received headers) than the lists keep.
    bool RecipientsCut() const;
    bool ReceivedCut() const;
    // False when the text or HTML body ends before its transfer encoding says it does.
    bool BodiesWhole() const;
    // A folder directly inside the work folder holding the decoded HTML body as "index.htm", or ""
    // when the message has no HTML body (or no work folder was set).
    QString GetHtmlBodyPath() const;
    // Non-zero while a message is loaded; MessagePrinter accepts it.
    qint32 GetMessageHandle() const;

private:
    QString workFolder_;
    std::shared_ptr<ParsedMessage> parsed_;
    qint32 handle_ = 0;
};

// What the printer needs of a loaded message.
struct PrintableMessage {
    QString from, to, cc, subject, date;
    QByteArray textBodyUtf8; // UTF-8, CR LF line ends
    QString htmlBody;        // empty when the message has none
    QString htmlFolder;
    qint32 bodyPart = BodyPartText;
    // The decoded parts that carry a Content-ID, by that id in lower case (what "cid:" names).
    QHash<QString, std::shared_ptr<const QByteArray>> partsByContentId;
};

// The message behind a handle of GetMessageHandle, or nothing when the handle is not (or no longer) valid.
std::shared_ptr<const PrintableMessage> PrintableForHandle(qint32 handle);

} // namespace mail
