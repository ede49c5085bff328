#include "mail/MimeBody.h"

#include "mail/MailCharsets.h"
#include "mail/MimeComposer.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>

#include <atomic>

namespace mail {

namespace {

std::atomic<qint64> g_encodings{0};

// ---------------------------------------------------------------------------------------------
// Transfer encodings of our own: they are lossless for any bytes (a bare CR or LF never turns
// into a line break), and the composer needs them before GMime sees the content.

const char kHex[] = "0123456789ABCDEF";

// Quoted-printable, appended to out. In text mode "\n" is a line break; in binary mode only CR LF is,
// and every other CR or LF byte is encoded. Lines end with eol.
void AppendQuotedPrintable(QByteArray& out, const QByteArray& in, bool textMode, const char* eol) {
    const qsizetype eolLength = qstrlen(eol);
    int lineLength = 0;
    auto put = [&](const char* token, int length) {
        if (lineLength + length > 75) {
            out.append('=');
            out.append(eol, eolLength);
            lineLength = 0;
        }
        out.append(token, length);
        lineLength += length;
    };
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(in.at(i));
        const bool lineEnd = textMode ? c == '\n' : (c == '\r' && i + 1 < n && in.at(i + 1) == '\n');
        if (lineEnd) {
            out.append(eol, eolLength);
            lineLength = 0;
            if (!textMode)
                ++i;
            continue;
        }
        const bool nextIsLineEnd =
            i + 1 >= n ||
            (textMode ? in.at(i + 1) == '\n' : (in.at(i + 1) == '\r' && i + 2 < n && in.at(i + 2) == '\n'));
        const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !nextIsLineEnd);
        // A dot that would start a line, after a line break or a soft one, is encoded: the message never
        // depends on the transport's dot-stuffing, and a line of one dot never ends it.
        const bool startsLine = lineLength == 0 || lineLength + 1 > 75;
        if (literal && !(c == '.' && startsLine)) {
            const char ch = static_cast<char>(c);
            put(&ch, 1);
        } else {
            const char token[3] = {'=', kHex[c >> 4], kHex[c & 15]};
            put(token, 3);
        }
    }
}

QByteArray EncodeQuotedPrintable(const QByteArray& in, bool textMode) {
    QByteArray out;
    out.reserve(in.size() + in.size() / 8 + 16);
    AppendQuotedPrintable(out, in, textMode, "\n");
    return out;
}

// Base64 in lines of 76 characters, each ended with eol; encoded a block at a time, so a large file
// costs no second copy of its encoded form.
void AppendBase64Lines(QByteArray& out, const QByteArray& in, const char* eol) {
    const qsizetype eolLength = qstrlen(eol);
    constexpr qsizetype kLineBytes = 57; // 76 characters of base64
    constexpr qsizetype kBlock = kLineBytes * 1024;
    for (qsizetype at = 0; at < in.size(); at += kBlock) {
        const QByteArray b64 =
            QByteArray::fromRawData(in.constData() + at, qMin(kBlock, in.size() - at)).toBase64();
        for (qsizetype i = 0; i < b64.size(); i += 76) {
            out.append(b64.constData() + i, qMin<qsizetype>(76, b64.size() - i));
            out.append(eol, eolLength);
        }
    }
}

QByteArray EncodeBase64Lines(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size() / 3 * 4 + in.size() / 57 + 8);
    AppendBase64Lines(out, in, "\n");
    return out;
}

// The line breaks bytes that go unencoded may hold: "\n" (text), CR LF (a file's bytes), or either (an
// attached message, whose lines end CR LF on the wire anyway).
enum class LineEnds { Lf, CrLf, Either };

// True when bytes can go unencoded (7bit or 8bit): no NUL, no line break but those allowed, lines of at
// most 998.
bool SafeUnencoded(const QByteArray& in, LineEnds ends, bool* eightBit) {
    *eightBit = false;
    int lineLength = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in.at(i));
        if (c == 0)
            return false;
        if (c == '\n') {
            if (ends == LineEnds::CrLf)
                return false;
            lineLength = 0;
            continue;
        }
        if (c == '\r') {
            if (ends == LineEnds::Lf || i + 1 >= in.size() || in.at(i + 1) != '\n')
                return false;
            ++i;
            lineLength = 0;
            continue;
        }
        if (c >= 0x80)
            *eightBit = true;
        if (++lineLength > 998)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Files for attachments and related parts. A send run attaches the same files to every message, so
// their encoded form is kept while the file stays unchanged.

struct FileData {
    qint32 error = 0;
    QByteArray bytes;
    QByteArray mimeType;
};

FileData ReadFile(const QString& path) {
    FileData d;
    d.error = ReadRegularFile(path, &d.bytes);
    if (d.error != 0)
        return d;
    static QMutex dbLock;
    QMutexLocker lock(&dbLock);
    static QMimeDatabase db;
    d.mimeType = db.mimeTypeForFileNameAndData(path, d.bytes.left(4096)).name().toLatin1();
    if (d.mimeType.isEmpty() || !d.mimeType.contains('/'))
        d.mimeType = "application/octet-stream";
    return d;
}

struct CacheKey {
    QString path;
    qint64 size;
    qint64 mtime;
    bool operator==(const CacheKey& o) const { return path == o.path && size == o.size && mtime == o.mtime; }
};
size_t qHash(const CacheKey& k, size_t seed = 0) {
    return ::qHash(k.path, seed) ^ ::qHash(k.mtime, seed);
}

FileData CachedFile(const QString& path) {
    static QMutex lock;
    static QHash<CacheKey, FileData> cache;
    static qint64 cachedBytes = 0;
    const QFileInfo info(path);
    const CacheKey key{info.absoluteFilePath(), info.size(), info.lastModified().toMSecsSinceEpoch()};
    {
        QMutexLocker l(&lock);
        auto it = cache.constFind(key);
        if (it != cache.constEnd())
            return it.value();
    }
    FileData d = ReadFile(path);
    if (d.error == 0 && d.bytes.size() < 16 * 1024 * 1024) {
        QMutexLocker l(&lock);
        if (cachedBytes + d.bytes.size() > 64 * 1024 * 1024) {
            cache.clear();
            cachedBytes = 0;
        }
        cache.insert(key, d);
        cachedBytes += d.bytes.size();
    }
    return d;
}

// ---------------------------------------------------------------------------------------------
// GMime parts

GMimeContentEncoding ToGMime(int kind) {
    switch (kind) {
    case 1:
        return GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
    case 2:
        return GMIME_CONTENT_ENCODING_BASE64;
    case 7:
        return GMIME_CONTENT_ENCODING_7BIT;
    default:
        return GMIME_CONTENT_ENCODING_8BIT;
    }
}

GMimePart* NewPart(const QByteArray& type, const QByteArray& subtype, const QByteArray& encoded, int kind) {
    GMimePart* part = g_mime_part_new_with_type(type.constData(), subtype.constData());
    GMimeStream* stream =
        g_mime_stream_mem_new_with_buffer(encoded.constData(), static_cast<size_t>(encoded.size()));
    GMimeDataWrapper* wrapper = g_mime_data_wrapper_new_with_stream(stream, ToGMime(kind));
    g_mime_part_set_content(part, wrapper);
    g_mime_part_set_content_encoding(part, ToGMime(kind));
    g_object_unref(wrapper);
    g_object_unref(stream);
    return part;
}

// Encodes text bytes ("\n" line ends) with the chosen body encoding; returns the encoding kind used
// (1 QP, 2 Base64, 7 7bit, 8 8bit).
int EncodeTextBody(const QByteArray& bytes, qint32 encoding, bool sevenBit, QByteArray* out) {
    if (encoding == EncodingBase64) {
        QByteArray crlf = bytes;
        crlf.replace("\n", "\r\n"); // base64 carries the canonical form
        *out = EncodeBase64Lines(crlf);
        return 2;
    }
    if (encoding == EncodingNone) {
        bool eightBit = false;
        if (SafeUnencoded(bytes, LineEnds::Lf, &eightBit) && !(eightBit && sevenBit)) {
            *out = bytes; // GMime ends every part with a line break of its own
            return eightBit ? 8 : 7;
        }
        // lines too long for SMTP, or 8-bit text for a 7-bit server: quoted-printable keeps them intact
    }
    *out = EncodeQuotedPrintable(bytes, true);
    return 1;
}

QString NormalizedLines(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

GMimePart* TextPart(const QByteArray& subtype, const QString& text, const QString& charset, qint32 encoding,
                    bool sevenBit) {
    QByteArray bytes;
    QString label = charset;
    if (!EncodeCharset(text, charset, &bytes)) {
        label = QStringLiteral("utf-8"); // never lose characters the chosen charset lacks
        bytes = text.toUtf8();
    }
    QByteArray encoded;
    const int kind = EncodeTextBody(bytes, encoding, sevenBit, &encoded);
    GMimePart* part = NewPart("text", subtype, encoded, kind);
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", label.toLatin1().constData());
    return part;
}

// The charset a text file's bytes are in: a BOM decides, then UTF-8 when the bytes are valid UTF-8,
// else Windows-1252 (the rule the program reads text files by).
QByteArray TextFileCharset(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return "utf-16";
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? "windows-1252" : "utf-8";
}

// A message may travel only as it is (RFC 2046): 7bit or 8bit, never base64 or quoted-printable.
bool IsEncapsulatedMessage(const QByteArray& type) {
    return type == "message/rfc822" || type == "message/news" || type == "message/global";
}

// The part of a file. Encoded content (quoted-printable, base64) is not put into the tree: the part
// holds a marker line that InsertFileContents replaces. *unencoded tells whether the bytes went as
// they are.
GMimePart* FilePart(const QString& path, const FileData& d, qint32 encoding, bool inlinePart, bool sevenBit,
                    QList<EncodedFile>* files, bool* unencoded) {
    QByteArray mimeType = d.mimeType;
    int kind = 2;
    if (IsEncapsulatedMessage(mimeType)) {
        bool eightBit = false;
        const bool eightBitAllowed = mimeType != "message/news" && !sevenBit;
        if (SafeUnencoded(d.bytes, LineEnds::Either, &eightBit) && (!eightBit || eightBitAllowed))
            kind = eightBit ? 8 : 7;
        else
            mimeType = "application/octet-stream"; // then the chosen encoding keeps its bytes intact
    } else if (mimeType.startsWith("multipart/")) {
        // its boundary is named in the file's own header, which a part's header does not carry
        mimeType = "application/octet-stream";
    }
    if (kind == 2) {
        if (encoding == AttachQuotedPrintable) {
            kind = 1;
        } else if (encoding == AttachNone) {
            bool eightBit = false;
            if (SafeUnencoded(d.bytes, LineEnds::CrLf, &eightBit))
                kind = eightBit && sevenBit ? 1 : (eightBit ? 8 : 7);
        }
    }
    *unencoded = kind == 7 || kind == 8;
    QByteArray content;
    if (*unencoded) {
        content = d.bytes;
    } else {
        // also base64 for "None" when the bytes would not survive unencoded
        EncodedFile file;
        file.marker = "VelantoFileContent." + QByteArray::number(files->size() + 1) + '.' +
                      QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        file.bytes = d.bytes;
        file.kind = kind;
        content = file.marker + '\n';
        files->append(file);
    }
    const qsizetype slash = mimeType.indexOf('/');
    GMimePart* part = NewPart(mimeType.left(slash), mimeType.mid(slash + 1), content, kind);
    const QByteArray name = QFileInfo(path).fileName().toUtf8();
    g_mime_part_set_filename(part, name.constData());
    if (mimeType.startsWith("text/"))
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset",
                                                 TextFileCharset(d.bytes).constData());
    if (inlinePart)
        g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_INLINE);
    return part;
}

QByteArray SafeBoundaryPrefix(const QString& prefix) {
    QByteArray out;
    for (QChar c : prefix) {
        const char16_t u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
            u == '_' || u == '.')
            out.append(static_cast<char>(u));
        if (out.size() >= 50)
            break;
    }
    return out.isEmpty() ? QByteArrayLiteral("Velanto") : out;
}

void SetBoundary(GMimeMultipart* mp, const QByteArray& prefix, const char* tag, const QByteArray& content) {
    // "=_" never occurs in quoted-printable or base64 text; unencoded parts are checked.
    QByteArray boundary = prefix + "_=_" + tag;
    while (content.contains("--" + boundary))
        boundary += 'x';
    g_mime_multipart_set_boundary(mp, boundary.constData());
}

QString WithCharsetDeclaration(const QString& html, const QString& label) {
    static const QRegularExpression meta(
        QStringLiteral("(<meta\\b[^>]*?charset\\s*=\\s*[\"']?)([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = meta.match(html);
    if (!m.hasMatch() || m.captured(2).compare(label, Qt::CaseInsensitive) == 0)
        return html;
    QString out = html;
    out.replace(m.capturedStart(2), m.capturedLength(2), label);
    return out;
}

// ---------------------------------------------------------------------------------------------
// The body tree

// Builds the body tree of one message. Each step takes over the tree built so far and returns the
// larger one; when a file cannot be read it frees what it holds, keeps the error and returns nullptr.
class BodyComposer {
public:
    BodyComposer(const MessageSpec& spec, const QString& charset, bool sevenBit, QList<EncodedFile>* files)
        : m_spec(spec), m_charset(charset), m_prefix(SafeBoundaryPrefix(spec.boundaryPrefix)),
          m_sevenBit(sevenBit), m_files(files) {}

    GMimeObject* compose(qint32* rc) {
        GMimeObject* body = m_spec.bodyFormat == 1 && !m_spec.htmlBody.isEmpty() ? htmlBody() : plainBody();
        if (body && !m_spec.attachments.isEmpty())
            body = withAttachments(body);
        *rc = m_rc;
        return body;
    }

private:
    GMimeObject* plainBody() {
        if (m_spec.bodyEncoding == EncodingNone)
            m_unencoded = m_spec.bodyText.toUtf8();
        return GMIME_OBJECT(
            TextPart("plain", NormalizedLines(m_spec.bodyText), m_charset, m_spec.bodyEncoding, m_sevenBit));
    }

    GMimeObject* htmlBody() {
        // the HTML may declare its own charset: make it say the one it is sent in
        QByteArray probe;
        const QString htmlText = NormalizedLines(m_spec.htmlBody);
        const QString label =
            EncodeCharset(htmlText, m_charset, &probe) ? m_charset : QStringLiteral("utf-8");
        GMimeObject* body = GMIME_OBJECT(TextPart("html", WithCharsetDeclaration(htmlText, label), m_charset,
                                                  m_spec.bodyEncoding, m_sevenBit));
        // An unencoded body travels as it is: its pictures' boundary must not appear in it.
        if (m_spec.bodyEncoding == EncodingNone)
            m_unencoded = m_spec.htmlBody.toUtf8();
        if (!m_spec.related.isEmpty())
            body = withPictures(body);
        if (body && m_spec.textAlternative)
            body = withTextAlternative(body);
        return body;
    }

    // The HTML and the pictures it shows (cid:), as multipart/related.
    GMimeObject* withPictures(GMimeObject* html) {
        GMimeMultipart* related = g_mime_multipart_new_with_subtype("related");
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(related), "type", "text/html");
        add(related, html);
        for (const RelatedPart& r : m_spec.related) {
            FileData d = CachedFile(r.path);
            if (d.error)
                return failed(related, d.error);
            if (!r.mimeType.isEmpty())
                d.mimeType = r.mimeType.toLatin1();
            bool unencoded = false;
            GMimePart* picture = FilePart(r.path, d, AttachBase64, true, m_sevenBit, m_files, &unencoded);
            g_mime_part_set_content_id(picture, r.contentId.toLatin1().constData());
            add(related, GMIME_OBJECT(picture));
        }
        SetBoundary(related, m_prefix, "R", m_unencoded);
        return GMIME_OBJECT(related);
    }

    // The plain text first, then the HTML, as multipart/alternative.
    GMimeObject* withTextAlternative(GMimeObject* html) {
        GMimeMultipart* alt = g_mime_multipart_new_with_subtype("alternative");
        add(alt, GMIME_OBJECT(TextPart("plain", NormalizedLines(m_spec.bodyText), m_charset,
                                       m_spec.partEncoding, m_sevenBit)));
        add(alt, html);
        if (m_spec.bodyEncoding == EncodingNone || m_spec.partEncoding == EncodingNone)
            m_unencoded = m_spec.bodyText.toUtf8() + m_spec.htmlBody.toUtf8();
        SetBoundary(alt, m_prefix, "A", m_unencoded);
        return GMIME_OBJECT(alt);
    }

    // The body first, then every attachment, as multipart/mixed.
    GMimeObject* withAttachments(GMimeObject* body) {
        GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
        add(mixed, body);
        for (const Attachment& a : m_spec.attachments) {
            const FileData d = CachedFile(a.path);
            if (d.error)
                return failed(mixed, d.error);
            bool unencoded = false;
            GMimePart* part = FilePart(a.path, d, a.encoding, false, m_sevenBit, m_files, &unencoded);
            if (unencoded)
                m_unencoded += d.bytes;
            add(mixed, GMIME_OBJECT(part));
        }
        SetBoundary(mixed, m_prefix, "M", m_unencoded);
        return GMIME_OBJECT(mixed);
    }

    // The multipart takes the part over.
    static void add(GMimeMultipart* to, GMimeObject* part) {
        g_mime_multipart_add(to, part);
        g_object_unref(part);
    }

    GMimeObject* failed(GMimeMultipart* tree, qint32 error) {
        m_rc = error;
        g_object_unref(tree);
        return nullptr;
    }

    const MessageSpec& m_spec;
    const QString m_charset;
    const QByteArray m_prefix;
    const bool m_sevenBit;
    QList<EncodedFile>* m_files;
    QByteArray m_unencoded; // what a boundary must not collide with
    qint32 m_rc = ComposeOk;
};

} // namespace

GMimeObject* ComposeBody(const MessageSpec& spec, const QString& charset, bool sevenBit, qint32* rc,
                         QList<EncodedFile>* files) {
    return BodyComposer(spec, charset, sevenBit, files).compose(rc);
}

qint64 AttachmentEncodings() {
    return g_encodings.load();
}

QByteArray InsertFileContents(const QByteArray& written, QList<EncodedFile>& files) {
    qsizetype size = written.size();
    for (const EncodedFile& f : files)
        size += f.kind == 2 ? (f.bytes.size() + 2) / 3 * 4 + (f.bytes.size() / 57 + 1) * 2
                            : f.bytes.size() + f.bytes.size() / 8 + 8;
    QByteArray message;
    message.reserve(size);
    qsizetype from = 0;
    for (EncodedFile& f : files) {
        // The markers stand in the written tree in the order their parts were made.
        const QByteArray line = f.marker + "\r\n";
        const qsizetype at = written.indexOf(line, from);
        if (at < 0)
            return {};
        message.append(written.constData() + from, at - from);
        const qsizetype start = message.size();
        ++g_encodings;
        if (f.kind == 1) {
            AppendQuotedPrintable(message, f.bytes, false, "\r\n");
            // the line break before the next boundary belongs to the boundary: a soft one ends the content
            if (message.size() == start || !message.endsWith("\r\n"))
                message.append("=\r\n");
        } else {
            AppendBase64Lines(message, f.bytes, "\r\n");
        }
        f.bytes = QByteArray();
        from = at + line.size();
    }
    message.append(written.constData() + from, written.size() - from);
    return message;
}

} // namespace mail
