#include "mail/Message.h"

#include "mail/GMimeInclude.h"
#include "mail/MailCharsets.h"
#include "mail/MessageBodyFolder.h"
#include "mail/MessageHeaders.h"
#include "mail/MimeSupport.h"
#include "mail/TransferDecoding.h"
#include "mail/UniqueNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QPair>
#include <QSaveFile>
#include <QSet>
#include <QStringView>
#include <QUrl>

#include <new>
#include <optional>
#include <unistd.h>

namespace mail {

struct ParsedMessage : PrintableMessage {
    bool bodiesWhole = true;
    QList<MessageRecipient> recipients;
    QList<ReceivedHeader> received;
    QList<BodyPart> parts;
    bool recipientsCut = false;
    bool receivedCut = false;
};

namespace {

constexpr qint64 kMaxFileSize = 256LL * 1024 * 1024;
constexpr int kMaxDepth = 100;   // multipart nesting followed; deeper parts are left out
constexpr int kMaxParts = 20000; // leaf parts kept
constexpr qsizetype kMaxHeaderChars = 64 * 1024;

// Handles of loaded messages for the printer.
QMutex registryLock;
QHash<qint32, std::weak_ptr<ParsedMessage>> registry;
qint32 nextHandle = 1;

qint32 Register(const std::shared_ptr<ParsedMessage>& m) {
    QMutexLocker l(&registryLock);
    qint32 h = nextHandle++;
    if (nextHandle <= 0)
        nextHandle = 1;
    registry.insert(h, m);
    return h;
}

void Unregister(qint32 handle) {
    QMutexLocker l(&registryLock);
    registry.remove(handle);
}

QByteArray Unfold(const char* raw) {
    QByteArray v(raw ? raw : "");
    if (v.size() > kMaxHeaderChars)
        v.truncate(kMaxHeaderChars);
    v.replace("\r", "");
    v.replace("\n", "");
    return v.trimmed();
}

QByteArray MimeTypeOf(GMimeObject* obj) {
    GMimeContentType* ct = g_mime_object_get_content_type(obj);
    if (!ct)
        return QByteArrayLiteral("text/plain");
    char* t = g_mime_content_type_get_mime_type(ct);
    QByteArray type = QByteArray(t ? t : "text/plain").toLower();
    g_free(t);
    return type;
}

QByteArray ObjectBytes(GMimeObject* obj) {
    GMimeStream* out = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(obj, nullptr, out);
    GByteArray* b = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
    QByteArray data(reinterpret_cast<const char*>(b->data), static_cast<qsizetype>(b->len));
    g_object_unref(out);
    return data;
}

// A part's content with its transfer encoding undone, read piece by piece from the message file. Base64
// and uuencode are undone here, so that content cut off before its end is told from whole content.
class PartContent : public ByteSource {
public:
    explicit PartContent(GMimePart* part) {
        GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
        GMimeStream* raw = wrapper ? g_mime_data_wrapper_get_stream(wrapper) : nullptr;
        if (!raw)
            return;
        const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(wrapper);
        const gint64 length = g_mime_stream_length(raw);
        estimate_ = length <= 0 ? 0 : encoding == GMIME_CONTENT_ENCODING_BASE64 ? length / 4 * 3 + 3 : length;
        stream_ = g_mime_stream_filter_new(raw);
        if (encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE) {
            GMimeFilter* decode = g_mime_filter_basic_new(encoding, FALSE);
            g_mime_stream_filter_add(GMIME_STREAM_FILTER(stream_), decode);
            g_object_unref(decode);
        } else if (encoding == GMIME_CONTENT_ENCODING_BASE64) {
            decoder_.emplace(TransferDecoder::Base64);
        } else if (encoding == GMIME_CONTENT_ENCODING_UUENCODE) {
            decoder_.emplace(TransferDecoder::Uuencode);
        }
    }
    ~PartContent() override {
        if (stream_)
            g_object_unref(stream_);
    }
    PartContent(const PartContent&) = delete;
    PartContent& operator=(const PartContent&) = delete;

    QByteArray Next() override {
        if (!stream_ || ended_)
            return {};
        QByteArray piece(64 * 1024, Qt::Uninitialized);
        for (;;) {
            const ssize_t n = g_mime_stream_read(stream_, piece.data(), size_t(piece.size()));
            if (n > 0 && !decoder_) {
                piece.truncate(n);
                return piece;
            }
            QByteArray decoded;
            if (n > 0) {
                decoder_->Feed(QByteArrayView(piece.constData(), n), &decoded);
            } else if (n < 0 || g_mime_stream_eos(stream_)) {
                ended_ = true;
                readFailed_ = n < 0;
                if (decoder_)
                    decoder_->Finish(&decoded);
            }
            if (!decoded.isEmpty() || ended_)
                return decoded;
        }
    }
    void Rewind() override {
        if (stream_)
            g_mime_stream_reset(stream_);
        if (decoder_)
            decoder_->Reset();
        ended_ = readFailed_ = false;
    }
    // All of the content at once, in a buffer of about its size.
    QByteArray All() {
        QByteArray all;
        all.reserve(qsizetype(qMin<gint64>(estimate_, kMaxFileSize)));
        Rewind();
        for (QByteArray piece = Next(); !piece.isEmpty(); piece = Next())
            all += piece;
        return all;
    }
    // Once read to the end: true when the content ended where its transfer encoding says it does.
    bool Whole() const { return !stream_ || (ended_ && !readFailed_ && (!decoder_ || decoder_->Whole())); }

private:
    GMimeStream* stream_ = nullptr;
    std::optional<TransferDecoder> decoder_;
    gint64 estimate_ = 0;
    bool ended_ = false;
    bool readFailed_ = false;
};

// Text appended to a string.
class TextInto : public TextSink {
public:
    explicit TextInto(QString* out) : out_(out) {}
    void Restart() override { out_->clear(); }
    void Append(QStringView text) override { out_->append(text); }

private:
    QString* out_;
};

// Text appended as UTF-8 with every line end made CR LF (a lone CR or LF as well).
class CrLfUtf8Into : public TextSink {
public:
    explicit CrLfUtf8Into(QByteArray* out) : out_(out) {}
    void Restart() override {
        out_->clear();
        afterCr_ = false;
    }
    void Append(QStringView text) override {
        const QByteArray bytes = text.toUtf8();
        qsizetype from = 0;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const char c = bytes.at(i);
            if (c != '\r' && c != '\n')
                continue;
            out_->append(bytes.constData() + from, i - from);
            if (afterCr_ && from == i && c == '\n') { // the LF of a CR LF already written
                afterCr_ = false;
            } else {
                out_->append("\r\n", 2);
                afterCr_ = c == '\r';
            }
            from = i + 1;
        }
        if (from < bytes.size()) {
            out_->append(bytes.constData() + from, bytes.size() - from);
            afterCr_ = false;
        }
    }

private:
    QByteArray* out_;
    bool afterCr_ = false;
};

// A part of GMime's kept until the walk is over.
using GMimePartRef = std::shared_ptr<GMimePart>;

GMimePartRef Keep(GMimePart* part) {
    g_object_ref(part);
    return GMimePartRef(part, [](GMimePart* p) { g_object_unref(p); });
}

struct Leaf {
    QByteArray type;
    QByteArray charset;
    QString fileName;
    QString contentId;
    bool attachment = false;
    bool inRelated = false;
    bool whole = true; // false: the content ends before its transfer encoding says it does
    std::shared_ptr<const QByteArray> data;
    GMimePartRef body; // instead of data for the bodies: their text is read from the file once, as text
};

class Walker {
public:
    qint32 error = 0;
    QList<Leaf> leaves;
    int htmlIndex = -1; // the bodies: the first text/html and text/plain parts that are no attachments
    int textIndex = -1;

    void Walk(GMimeObject* obj, int depth, bool inRelated) {
        if (error || !obj || depth > kMaxDepth || leaves.size() >= kMaxParts)
            return;
        if (GMIME_IS_MULTIPART(obj)) {
            GMimeMultipart* mp = GMIME_MULTIPART(obj);
            const char* boundary = g_mime_object_get_content_type_parameter(obj, "boundary");
            const int count = g_mime_multipart_get_count(mp);
            if (!boundary || !*boundary || count <= 0) {
                error = MessageNoBoundary;
                return;
            }
            const bool related = MimeTypeOf(obj) == "multipart/related";
            // Each part is let go as soon as its content is taken: a message of many small parts then
            // never holds the parser's objects for all of them at once.
            for (int i = 0; i < count && !error; ++i) {
                Walk(g_mime_multipart_get_part(mp, 0), depth + 1, related || inRelated);
                g_mime_multipart_remove_at(mp, 0);
            }
            return;
        }
        Leaf leaf;
        leaf.type = MimeTypeOf(obj);
        leaf.inRelated = inRelated;
        const char* disposition = g_mime_object_get_disposition(obj);
        leaf.attachment = disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
        if (GMIME_IS_MESSAGE_PART(obj)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj));
            leaf.data =
                std::make_shared<const QByteArray>(inner ? ObjectBytes(GMIME_OBJECT(inner)) : QByteArray());
            const char* fn = g_mime_object_get_content_disposition_parameter(obj, "filename");
            if (!fn || !*fn) // older mailers name an attached message in its type only
                fn = g_mime_object_get_content_type_parameter(obj, "name");
            leaf.fileName = fn ? DecodeHeaderWords(fn) : QString();
            leaf.attachment = true;
            leaves << leaf;
            return;
        }
        if (!GMIME_IS_PART(obj))
            return;
        GMimePart* part = GMIME_PART(obj);
        const char* cte = g_mime_object_get_header(obj, "Content-Transfer-Encoding");
        if (cte) {
            const QByteArray e = QByteArray(cte).trimmed().toLower();
            // "7-bit" and "8-bit" are what some old mailers write for the identity encodings
            static const QSet<QByteArray> known = {"7bit",   "8bit",       "binary",   "quoted-printable",
                                                   "base64", "x-uuencode", "uuencode", "x-uue",
                                                   "7-bit",  "8-bit",      ""};
            if (!known.contains(e)) {
                error = MessageUnknownEncoding;
                return;
            }
        }
        const char* charset = g_mime_object_get_content_type_parameter(obj, "charset");
        leaf.charset = charset ? QByteArray(charset) : QByteArray();
        const char* fn = g_mime_part_get_filename(part);
        leaf.fileName = fn ? QString::fromUtf8(fn) : QString();
        const char* cid = g_mime_part_get_content_id(part);
        leaf.contentId = cid ? QString::fromUtf8(cid) : QString();
        int* bodyIndex = leaf.attachment             ? nullptr
                         : leaf.type == "text/html"  ? &htmlIndex
                         : leaf.type == "text/plain" ? &textIndex
                                                     : nullptr;
        if (bodyIndex && *bodyIndex < 0) {
            *bodyIndex = int(leaves.size());
            leaf.body = Keep(part);
        } else {
            PartContent content(part);
            leaf.data = std::make_shared<const QByteArray>(content.All());
            leaf.whole = content.Whole();
        }
        leaves << leaf;
    }
};

// A body's text, read from the message file into out; false when the content was cut off.
bool DecodeBody(const Leaf& leaf, TextSink& out) {
    PartContent content(leaf.body.get());
    DecodeCharset(content, QString::fromLatin1(leaf.charset), out); // no label: UTF-8 when it is UTF-8
    return content.Whole();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size() && f.commit();
}

// A message kept in a mailbox file starts with the separator line "From sender date", which mail
// readers skip. The length of that line, or 0 when the file starts otherwise.
qint64 MboxSeparatorLength(QFile& f) {
    if (f.peek(5) != "From ")
        return 0;
    qint64 length = 0;
    while (!f.atEnd()) {
        const QByteArray piece = f.readLine(64 * 1024);
        if (piece.isEmpty())
            break;
        length += piece.size();
        if (piece.endsWith('\n'))
            break;
    }
    return length;
}

void ReadHeaders(GMimeObject* message, ParsedMessage* m) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(message);
    const int headerCount = g_mime_header_list_get_count(headers);
    for (int i = 0; i < headerCount; ++i) {
        GMimeHeader* h = g_mime_header_list_get_header_at(headers, i);
        const QByteArray name = QByteArray(g_mime_header_get_name(h)).toLower();
        const QByteArray value = Unfold(g_mime_header_get_raw_value(h));
        if (name == "subject" && m->subject.isEmpty())
            m->subject = DecodeHeaderWords(value);
        else if (name == "from" && m->from.isEmpty())
            m->from = DecodeHeaderWords(value);
        else if (name == "date" && m->date.isEmpty())
            m->date = DecodeHeaderWords(value);
        else if (name == "to" || name == "cc" || name == "bcc") {
            if (m->recipientsCut || m->recipients.size() >= kMaxRecipients) {
                m->recipientsCut = true;
                continue;
            }
            m->recipients += ParseAddresses(value, name == "to" ? 1 : (name == "cc" ? 2 : 3),
                                            kMaxRecipients - m->recipients.size(), &m->recipientsCut);
            QString& shown = name == "to" ? m->to : m->cc;
            if (name != "bcc" && shown.size() < kMaxHeaderChars)
                shown += (shown.isEmpty() ? QString() : QStringLiteral(", ")) + DecodeHeaderWords(value);
        } else if (name == "received") {
            if (m->received.size() < kMaxReceivedHeaders)
                m->received << ParseReceivedHeader(QString::fromLatin1(value));
            else
                m->receivedCut = true;
        }
    }
}

// The bodies as text (the text body as UTF-8 with CR LF line ends) and the other leaves as parts under
// names of their own. Returns the parts that have a content id (index into m->parts, content id).
QList<QPair<qsizetype, QString>> TakeBodiesAndParts(Walker& walker, ParsedMessage* m) {
    const int htmlIndex = walker.htmlIndex, textIndex = walker.textIndex;
    if (htmlIndex >= 0) {
        TextInto html(&m->htmlBody);
        m->bodiesWhole = DecodeBody(walker.leaves.at(htmlIndex), html);
    }
    CrLfUtf8Into text(&m->textBodyUtf8);
    if (textIndex >= 0)
        m->bodiesWhole = DecodeBody(walker.leaves.at(textIndex), text) && m->bodiesWhole;
    else
        text.Append(HtmlToText(m->htmlBody));
    for (int index : {htmlIndex, textIndex})
        if (index >= 0)
            walker.leaves[index].body.reset();

    UniqueNames usedNames;
    QList<QPair<qsizetype, QString>> cidParts;
    for (int i = 0; i < walker.leaves.size(); ++i) {
        if (i == htmlIndex || i == textIndex)
            continue;
        const Leaf& l = walker.leaves.at(i);
        const qint32 kind =
            l.attachment || (!l.fileName.isEmpty() && !l.inRelated && !l.type.startsWith("text/"))
                ? PartAttachment
                : PartBodyPartAttachment;
        const QString name = usedNames.Claim(
            SafePartName(l.fileName, QStringLiteral("part%1%2").arg(i + 1).arg(ExtensionForType(l.type))));
        if (!l.contentId.isEmpty())
            cidParts.append({m->parts.size(), l.contentId});
        m->parts << BodyPart(kind, name, l.type, l.data, l.whole);
        if (!l.contentId.isEmpty() && l.data)
            m->partsByContentId.insert(l.contentId.toLower(), l.data);
    }
    return cidParts;
}

qint32 Parse(const QString& path, const QString& workFolder, qint32 bodyPart, ParsedMessage* m) {
    QFile f(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return MessageFileIoError;
    if (f.size() > kMaxFileSize)
        return MessageOutOfMemory;
    if (f.size() == 0)
        return MessageException;
    const qint64 start = MboxSeparatorLength(f);
    const int fd = ::dup(f.handle());
    if (fd < 0)
        return MessageFileIoError;
    ::lseek(fd, start, SEEK_SET); // the descriptors share their position, which the line moved

    // The parser reads the file itself and keeps the parts' content as ranges of it, so the message
    // is never held twice in memory; the decoded parts are taken before the file is closed.
    InitGMime();
    GMimeStream* stream = g_mime_stream_fs_new_with_bounds(fd, start, -1);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    // Read as a MIME entity rather than as a message: the headers stay text (our own parser reads the
    // addresses, with a cap), where a message would turn every address of every To header into an
    // object first (5,000,000 addresses in 20 MB of headers).
    GMimeObject* message = g_mime_parser_construct_part(parser, nullptr);
    g_object_unref(parser);
    if (!message)
        return MessageException;
    ReadHeaders(message, m);

    Walker walker;
    walker.Walk(message, 0, false);
    g_object_unref(message);
    if (walker.error)
        return walker.error;
    m->bodyPart = bodyPart;
    const QList<QPair<qsizetype, QString>> cidParts = TakeBodiesAndParts(walker, m);
    if (walker.htmlIndex < 0 || workFolder.isEmpty())
        return MessageOk;
    QList<CidPart> pictures;
    for (const auto& [index, cid] : cidParts)
        pictures.append({&m->parts.at(index), index, cid});
    return WriteBodyFolder(workFolder, m->htmlBody, pictures, &m->htmlFolder);
}

} // namespace

qint32 BodyPart::SavePartToFile(const QString& path, qint32) const {
    if (path.isEmpty() || !data_)
        return MessageFileIoError;
    return WriteFile(path, *data_) ? MessageOk : MessageFileIoError;
}

bool BodyPart::SaveToNewFile(const QString& path) const {
    return !path.isEmpty() && data_ && WriteNewFile(path, *data_);
}

Message::Message() = default;

Message::~Message() {
    if (handle_)
        Unregister(handle_);
}

void Message::SetWorkFolder(const QString& folder) {
    workFolder_ = folder;
}

MessageFileResult Message::ImportMessageFile(const QString& path, qint32 bodyPart, qint32, qint32) {
    if (handle_)
        Unregister(handle_);
    handle_ = 0;
    parsed_.reset();
    try {
        auto parsed = std::make_shared<ParsedMessage>();
        const qint32 rc = Parse(path, workFolder_, bodyPart, parsed.get());
        ReleaseCachedConverters(); // the labels of one message are seldom those of the next
        if (rc != MessageOk)
            return static_cast<MessageFileResult>(rc);
        parsed_ = parsed;
        handle_ = Register(parsed_);
        return MessageOk;
    } catch (const std::bad_alloc&) {
        return MessageOutOfMemory;
    } catch (...) {
        return MessageException;
    }
}

QString Message::GetSubject() const {
    return parsed_ ? parsed_->subject : QString();
}
QString Message::GetTextBody() const {
    return parsed_ ? QString::fromUtf8(parsed_->textBodyUtf8) : QString();
}
QByteArray Message::GetTextBodyUtf8() const {
    return parsed_ ? parsed_->textBodyUtf8 : QByteArray();
}
QList<MessageRecipient> Message::GetRecipients() const {
    return parsed_ ? parsed_->recipients : QList<MessageRecipient>();
}
QList<ReceivedHeader> Message::GetReceivedHeaders() const {
    return parsed_ ? parsed_->received : QList<ReceivedHeader>();
}
QList<BodyPart> Message::GetBodyParts() const {
    return parsed_ ? parsed_->parts : QList<BodyPart>();
}
bool Message::RecipientsCut() const {
    return parsed_ && parsed_->recipientsCut;
}
bool Message::ReceivedCut() const {
    return parsed_ && parsed_->receivedCut;
}
bool Message::BodiesWhole() const {
    return !parsed_ || parsed_->bodiesWhole;
}
QString Message::GetHtmlBodyPath() const {
    return parsed_ ? parsed_->htmlFolder : QString();
}
qint32 Message::GetMessageHandle() const {
    return handle_;
}

std::shared_ptr<const PrintableMessage> PrintableForHandle(qint32 handle) {
    QMutexLocker l(&registryLock);
    auto it = registry.constFind(handle);
    if (it == registry.constEnd())
        return {};
    return it.value().lock();
}

} // namespace mail
