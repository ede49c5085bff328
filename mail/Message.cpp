#include "mail/Message.h"

#include "mail/GMimeInclude.h"
#include "mail/MailCharsets.h"
#include "mail/MessageHeaders.h"
#include "mail/MimeSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QPair>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

#include <new>
#include <unistd.h>

namespace mail {

struct ParsedMessage : PrintableMessage {
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

QString CrLfLines(QString t) {
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return t;
}

QString Unique(const QString& name, QSet<QString>* used) {
    QString candidate = name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2; used->contains(candidate.toLower()); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n) + ext;
        candidate = CutToUtf8Bytes(stem, kMaxPartNameBytes - suffix.toUtf8().size()) + suffix;
    }
    used->insert(candidate.toLower());
    return candidate;
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

QByteArray DecodedContent(GMimePart* part) {
    GMimeDataWrapper* w = g_mime_part_get_content(part);
    if (!w)
        return {};
    GMimeStream* out = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(w, out);
    GByteArray* b = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
    QByteArray data(reinterpret_cast<const char*>(b->data), static_cast<qsizetype>(b->len));
    g_object_unref(out);
    return data;
}

struct Leaf {
    QByteArray type;
    QByteArray charset;
    QString fileName;
    QString contentId;
    bool attachment = false;
    bool inRelated = false;
    std::shared_ptr<const QByteArray> data;
};

class Walker {
public:
    qint32 error = 0;
    QList<Leaf> leaves;

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
        leaf.data = std::make_shared<const QByteArray>(DecodedContent(part));
        leaves << leaf;
    }
};

QString DecodeLeafText(const Leaf& leaf) {
    QString text;
    DecodeCharset(*leaf.data,
                  leaf.charset.isEmpty() ? QStringLiteral("us-ascii") : QString::fromLatin1(leaf.charset),
                  &text);
    return text;
}

// The first <meta ... charset=...> made to say utf-8 (the file is written as UTF-8). One pass: each
// tag is looked at once, up to its ">".
QString AsUtf8Declared(QString out) {
    qsizetype i = 0;
    for (;;) {
        const qsizetype start = out.indexOf(QLatin1String("<meta"), i, Qt::CaseInsensitive);
        if (start < 0)
            return out;
        const qsizetype end = out.indexOf(QLatin1Char('>'), start);
        if (end < 0)
            return out;
        const QStringView tag = QStringView(out).mid(start, end - start);
        const qsizetype cs = tag.indexOf(QLatin1String("charset"), 0, Qt::CaseInsensitive);
        if (cs >= 0) {
            qsizetype k = cs + 7;
            while (k < tag.size() && tag.at(k).isSpace())
                ++k;
            if (k < tag.size() && tag.at(k) == QLatin1Char('=')) {
                ++k;
                while (k < tag.size() && tag.at(k).isSpace())
                    ++k;
                if (k < tag.size() && (tag.at(k) == QLatin1Char('"') || tag.at(k) == QLatin1Char('\'')))
                    ++k;
                qsizetype e = k;
                while (e < tag.size() &&
                       (tag.at(e).isLetterOrNumber() || QStringLiteral("_.:-").contains(tag.at(e))))
                    ++e;
                if (e > k) {
                    out.replace(start + k, e - k, QStringLiteral("utf-8"));
                    return out;
                }
            }
        }
        i = end + 1;
    }
}

// Every "cid:" reference of the HTML that names a part saved beside it, rewritten to that file in one
// pass over the text. Content ids are compared without letter case.
QString RewriteCidReferences(const QString& html, const QHash<QString, QString>& urlOfCid) {
    if (urlOfCid.isEmpty())
        return html;
    QString out;
    out.reserve(html.size());
    qsizetype i = 0;
    for (;;) {
        const qsizetype at = html.indexOf(QLatin1String("cid:"), i, Qt::CaseInsensitive);
        if (at < 0) {
            out += QStringView(html).mid(i);
            return out;
        }
        qsizetype end = at + 4;
        while (end < html.size()) {
            const QChar c = html.at(end);
            if (c.isSpace() || c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char(')') ||
                c == QLatin1Char('>') || c == QLatin1Char('<'))
                break;
            ++end;
        }
        out += QStringView(html).mid(i, at - i);
        const QString id = html.mid(at + 4, end - at - 4).toLower();
        auto it = urlOfCid.constFind(id);
        if (it == urlOfCid.constEnd())
            it = urlOfCid.constFind(QUrl::fromPercentEncoding(id.toUtf8()).toLower());
        if (it != urlOfCid.constEnd())
            out += it.value();
        else
            out += QStringView(html).mid(at, end - at);
        i = end;
    }
}

// A file of the fresh body folder: created new (never through something already there), without the
// flush to disk a replaced file needs, so ten thousand pictures take no longer than their bytes.
bool WriteNewFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool ok = f.write(bytes) == bytes.size();
    f.close();
    return ok && f.error() == QFileDevice::NoError;
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

qint32 Parse(const QString& path, const QString& workFolder, qint32 bodyPart, ParsedMessage* m) {
    QFile f(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return MessageFileIoError;
    if (f.size() > kMaxFileSize)
        return MessageOutOfMemory;
    if (f.size() == 0)
        return MessageException;
    const int fd = ::dup(f.handle());
    if (fd < 0)
        return MessageFileIoError;

    // The parser reads the file itself and keeps the parts' content as ranges of it, so the message
    // is never held twice in memory; the decoded parts are taken before the file is closed.
    InitGMime();
    GMimeStream* stream = g_mime_stream_fs_new(fd);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    // Read as a MIME entity rather than as a message: the headers stay text (our own parser reads the
    // addresses, with a cap), where a message would turn every address of every To header into an
    // object first (5,000,000 addresses in 20 MB of headers).
    GMimeObject* message = g_mime_parser_construct_part(parser, nullptr);
    g_object_unref(parser);
    if (!message)
        return MessageException;

    // Headers
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

    Walker walker;
    walker.Walk(message, 0, false);
    g_object_unref(message);
    if (walker.error)
        return walker.error;

    // Bodies and parts
    int htmlIndex = -1, textIndex = -1;
    for (int i = 0; i < walker.leaves.size(); ++i) {
        const Leaf& l = walker.leaves.at(i);
        if (l.attachment)
            continue;
        if (l.type == "text/html" && htmlIndex < 0)
            htmlIndex = i;
        else if (l.type == "text/plain" && textIndex < 0)
            textIndex = i;
    }
    if (htmlIndex >= 0)
        m->htmlBody = DecodeLeafText(walker.leaves.at(htmlIndex));
    m->textBody =
        CrLfLines(textIndex >= 0 ? DecodeLeafText(walker.leaves.at(textIndex)) : HtmlToText(m->htmlBody));
    // The bodies live on as text; their undecoded bytes are not needed any more.
    for (int index : {htmlIndex, textIndex})
        if (index >= 0)
            walker.leaves[index].data.reset();
    m->bodyPart = bodyPart;

    QSet<QString> usedNames;
    QList<QPair<qsizetype, QString>> cidParts; // index into m->parts, content id
    for (int i = 0; i < walker.leaves.size(); ++i) {
        if (i == htmlIndex || i == textIndex)
            continue;
        const Leaf& l = walker.leaves.at(i);
        const qint32 kind =
            l.attachment || (!l.fileName.isEmpty() && !l.inRelated && !l.type.startsWith("text/"))
                ? PartAttachment
                : PartBodyPartAttachment;
        const QString name = Unique(
            SafePartName(l.fileName, QStringLiteral("part%1%2").arg(i + 1).arg(ExtensionForType(l.type))),
            &usedNames);
        if (!l.contentId.isEmpty())
            cidParts.append({m->parts.size(), l.contentId});
        m->parts << BodyPart(kind, name, l.type, l.data);
        if (!l.contentId.isEmpty() && l.data)
            m->partsByContentId.insert(l.contentId.toLower(), l.data);
    }

    if (htmlIndex >= 0 && !workFolder.isEmpty()) {
        // A fresh folder directly inside the work folder: index.htm plus the parts it refers to by cid:
        QDir work(workFolder);
        if (!work.mkpath(QStringLiteral(".")))
            return MessageFileIoError;
        QString folderName;
        for (int n = 1; n < 10000; ++n) {
            const QString candidate = QStringLiteral("Body%1").arg(n);
            if (!work.exists(candidate) && work.mkdir(candidate)) {
                folderName = candidate;
                break;
            }
        }
        if (folderName.isEmpty())
            return MessageFileIoError;
        const QString folder = work.absoluteFilePath(folderName);
        // The body is "index.htm"; a part of that name (or one the file system refuses) gets another
        // name beside it, so neither is lost.
        QSet<QString> folderNames = {QStringLiteral("index.htm")};
        QHash<QString, QString> urlOfCid;
        for (const auto& [index, cid] : std::as_const(cidParts)) {
            const BodyPart& p = m->parts.at(index);
            QString fileName = Unique(p.PartFileName(), &folderNames);
            if (!WriteNewFile(folder + QLatin1Char('/') + fileName, p.PartData())) {
                fileName = Unique(
                    QStringLiteral("part%1%2").arg(index + 1).arg(ExtensionForType(p.PartContentType())),
                    &folderNames);
                if (!WriteNewFile(folder + QLatin1Char('/') + fileName, p.PartData()))
                    continue; // the picture stays missing from the body; the part itself is kept
            }
            urlOfCid.insert(cid.toLower(), QString::fromUtf8(QUrl::toPercentEncoding(fileName, " ()")));
        }
        QString html = RewriteCidReferences(m->htmlBody, urlOfCid);
        if (!WriteNewFile(folder + QStringLiteral("/index.htm"), AsUtf8Declared(std::move(html)).toUtf8()))
            return MessageFileIoError;
        m->htmlFolder = folder;
    }
    return MessageOk;
}

} // namespace

qint32 BodyPart::SavePartToFile(const QString& path, qint32) const {
    if (path.isEmpty() || !data_)
        return MessageFileIoError;
    return WriteFile(path, *data_) ? MessageOk : MessageFileIoError;
}

Message::Message() = default;

Message::~Message() {
    if (handle_)
        Unregister(handle_);
}

void Message::SetWorkFolder(const QString& folder) {
    workFolder_ = folder;
}

qint32 Message::ImportMessageFile(const QString& path, qint32 bodyPart, qint32, qint32) {
    if (handle_)
        Unregister(handle_);
    handle_ = 0;
    parsed_.reset();
    try {
        auto parsed = std::make_shared<ParsedMessage>();
        const qint32 rc = Parse(path, workFolder_, bodyPart, parsed.get());
        ReleaseCachedConverters(); // the labels of one message are seldom those of the next
        if (rc != MessageOk)
            return rc;
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
    return parsed_ ? parsed_->textBody : QString();
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
