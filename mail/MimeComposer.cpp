#include "mail/MimeComposer.h"

#include "core/RegularFile.h"
#include "mail/MailCharsets.h"
#include "mail/MimeSupport.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTimeZone>
#include <QUrl>

#include "mail/GMimeInclude.h"

#include <new>

#include <cerrno>
#include <unistd.h>

namespace mail {

namespace {

// ---------------------------------------------------------------------------------------------
// Transfer encodings of our own: they are lossless for any bytes (a bare CR or LF never turns
// into a line break), and the composer needs them before GMime sees the content.

const char kHex[] = "0123456789ABCDEF";

// Quoted-printable. In text mode "\n" is a line break; in binary mode only CR LF is, and every other
// CR or LF byte is encoded. Lines end with "\n" (the whole message is turned to CR LF at the end).
QByteArray EncodeQuotedPrintable(const QByteArray& in, bool textMode) {
    QByteArray out;
    out.reserve(in.size() + in.size() / 8 + 16);
    int lineLength = 0;
    auto put = [&](const char* token, int length) {
        if (lineLength + length > 75) {
            out.append("=\n");
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
            out.append('\n');
            lineLength = 0;
            if (!textMode)
                ++i;
            continue;
        }
        const bool nextIsLineEnd =
            i + 1 >= n ||
            (textMode ? in.at(i + 1) == '\n' : (in.at(i + 1) == '\r' && i + 2 < n && in.at(i + 2) == '\n'));
        const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !nextIsLineEnd);
        // a dot at the start of a line is encoded, so the message never depends on dot-stuffing
        if (literal && !(c == '.' && lineLength == 0)) {
            const char ch = static_cast<char>(c);
            put(&ch, 1);
        } else {
            const char token[3] = {'=', kHex[c >> 4], kHex[c & 15]};
            put(token, 3);
        }
    }
    return out;
}

QByteArray EncodeBase64Lines(const QByteArray& in) {
    const QByteArray b64 = in.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / 76 + 2);
    for (qsizetype i = 0; i < b64.size(); i += 76) {
        out.append(b64.constData() + i, qMin<qsizetype>(76, b64.size() - i));
        out.append('\n');
    }
    return out;
}

// True when bytes can go unencoded (7bit or 8bit): no NUL, no bare CR or LF, lines of at most 998.
bool SafeUnencoded(const QByteArray& in, bool textMode, bool* eightBit) {
    *eightBit = false;
    int lineLength = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in.at(i));
        if (c == 0)
            return false;
        if (textMode && c == '\n') {
            lineLength = 0;
            continue;
        }
        if (c == '\r' || c == '\n') {
            if (textMode || c == '\n' || i + 1 >= in.size() || in.at(i + 1) != '\n')
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
// Header helpers

bool IsAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// Encodes one run of text as encoded words of at most 75 characters each, separated by blanks.
QString EncodeWords(const QString& text, const QString& label, qint32 mode) {
    const QString prefix =
        QStringLiteral("=?") + label + (mode == HeaderBase64 ? QStringLiteral("?B?") : QStringLiteral("?Q?"));
    const int room = 75 - static_cast<int>(prefix.size()) - 2;
    auto encodeBytes = [mode](const QByteArray& bytes) {
        if (mode == HeaderBase64)
            return bytes.toBase64();
        QByteArray q;
        for (char b : bytes) {
            const auto c = static_cast<unsigned char>(b);
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
                q.append(b);
            else if (c == ' ')
                q.append('_');
            else {
                q.append('=');
                q.append(kHex[c >> 4]);
                q.append(kHex[c & 15]);
            }
        }
        return q;
    };
    QStringList words;
    qsizetype start = 0;
    QByteArray lastGood;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype next = i + 1;
        if (text.at(i).isHighSurrogate() && next < text.size())
            ++next;
        QByteArray bytes;
        EncodeCharset(text.mid(start, next - start), label, &bytes);
        const QByteArray encoded = encodeBytes(bytes);
        if (encoded.size() > room && i > start) {
            words << prefix + QString::fromLatin1(lastGood) + QStringLiteral("?=");
            start = i;
            lastGood.clear();
            continue; // retry this character in a fresh word
        }
        lastGood = encoded;
        i = next;
    }
    if (start < text.size())
        words << prefix + QString::fromLatin1(lastGood) + QStringLiteral("?=");
    return words.join(QLatin1Char(' '));
}

// A header value as one line: every run of CR and LF becomes one blank, other control characters go.
QString OneLine(const QString& value) {
    QString out;
    out.reserve(value.size());
    bool inBreak = false;
    for (QChar c : value) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (!inBreak)
                out += QLatin1Char(' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
            continue;
        if (c.unicode() == 0x7F)
            continue;
        out += c;
    }
    return out;
}

// Unstructured text for a header: ASCII stays, other text becomes encoded words in the charset (UTF-8
// when the charset cannot hold it).
QString HeaderText(const QString& value, const QString& charset) {
    const QString line = OneLine(value);
    if (IsAscii(line)) {
        // a word too long to fold would make a line longer than SMTP allows: encoded words split it
        int run = 0;
        for (QChar c : line) {
            run = c == QLatin1Char(' ') ? 0 : run + 1;
            if (run > 900)
                return EncodeWords(line, QStringLiteral("us-ascii"), HeaderQuotedPrintable);
        }
        return line;
    }
    QByteArray probe;
    const QString label = EncodeCharset(line, charset, &probe) ? charset : QStringLiteral("utf-8");
    qsizetype nonAscii = 0;
    for (QChar c : line)
        nonAscii += c.unicode() >= 0x80;
    return EncodeWords(line, label, nonAscii * 3 > line.size() ? HeaderBase64 : HeaderQuotedPrintable);
}

QByteArray Fold(const QByteArray& name, const QString& value) {
    QByteArray line = name + ':';
    int length = static_cast<int>(line.size());
    const QStringList tokens = value.split(QLatin1Char(' '));
    bool first = true;
    for (const QString& t : tokens) {
        const QByteArray token = t.toUtf8();
        if (!first && length + 1 + token.size() > 76) {
            line.append("\n ");
            length = 1;
        } else {
            line.append(' ');
            ++length;
        }
        line.append(token);
        length += static_cast<int>(token.size());
        first = false;
    }
    line.append('\n');
    return line;
}

QString Mailbox(const QString& name, const QString& address, const QString& charset) {
    QString addr;
    for (QChar c : OneLine(address))
        if (c != QLatin1Char('<') && c != QLatin1Char('>') && c != QLatin1Char(',') &&
            c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('"'))
            addr += c;
    const QString display = OneLine(name).trimmed();
    if (display.isEmpty())
        return addr.isEmpty() ? QString() : QLatin1Char('<') + addr + QLatin1Char('>');
    QString phrase;
    if (!IsAscii(display)) {
        phrase = HeaderText(display, charset);
    } else {
        static const QString atext = QStringLiteral("!#$%&'*+-/=?^_`{|}~ ");
        bool plain = true;
        for (QChar c : display)
            if (!c.isLetterOrNumber() && !atext.contains(c))
                plain = false;
        if (plain && !display.contains(QLatin1String("=?"))) {
            phrase = display;
        } else {
            QString q = display;
            q.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                .replace(QLatin1Char('"'), QLatin1String("\\\""));
            phrase = QLatin1Char('"') + q + QLatin1Char('"');
        }
    }
    return phrase + QStringLiteral(" <") + addr + QLatin1Char('>');
}

QByteArray RfcDate(const QDateTime& when) {
    const QLocale c = QLocale::c();
    const int offset = when.offsetFromUtc() / 60;
    const int absOffset = qAbs(offset);
    return (c.toString(when, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) +
            (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
            QStringLiteral("%1%2")
                .arg(absOffset / 60, 2, 10, QLatin1Char('0'))
                .arg(absOffset % 60, 2, 10, QLatin1Char('0')))
        .toLatin1();
}

QByteArray MessageId(const QString& fromAddress) {
    QString domain = fromAddress.section(QLatin1Char('@'), 1);
    static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9.-]{1,200}$"));
    if (!hostName.match(domain).hasMatch())
        domain = QStringLiteral("velanto.localdomain");
    const quint64 r = QRandomGenerator::global()->generate64();
    return '<' + QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36) + '.' +
           QByteArray::number(r, 36) + '@' + domain.toLatin1() + '>';
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
        if (SafeUnencoded(bytes, true, &eightBit) && !(eightBit && sevenBit)) {
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

GMimePart* FilePart(const QString& path, const FileData& d, qint32 encoding, bool inlinePart, bool sevenBit) {
    const qsizetype slash = d.mimeType.indexOf('/');
    QByteArray encoded;
    int kind = 2;
    if (encoding == AttachQuotedPrintable) {
        encoded = EncodeQuotedPrintable(d.bytes, false);
        kind = 1;
    } else if (encoding == AttachNone) {
        bool eightBit = false;
        if (SafeUnencoded(d.bytes, false, &eightBit)) {
            encoded = d.bytes;
            kind = eightBit ? 8 : 7;
            if (eightBit && sevenBit) {
                encoded = EncodeQuotedPrintable(d.bytes, false);
                kind = 1;
            }
        }
    }
    if (kind == 2)
        encoded = EncodeBase64Lines(d.bytes); // also for "None" when the bytes would not survive unencoded
    if (kind == 1 && !encoded.endsWith('\n'))
        encoded.append("=\n");
    GMimePart* part = NewPart(d.mimeType.left(slash), d.mimeType.mid(slash + 1), encoded, kind);
    const QByteArray name = QFileInfo(path).fileName().toUtf8();
    g_mime_part_set_filename(part, name.constData());
    if (d.mimeType.startsWith("text/"))
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

} // namespace

QByteArray ComposeMessage(const MessageSpec& spec, qint32* result, bool sevenBit) {
    qint32 dummy = 0;
    qint32& rc = result ? *result : dummy;
    rc = ComposeOk;
    try {
        InitGMime();
        const QString charset = spec.charset.trimmed().isEmpty() || !IsKnownCharset(spec.charset)
                                    ? QStringLiteral("utf-8")
                                    : spec.charset.trimmed();
        const QByteArray prefix = SafeBoundaryPrefix(spec.boundaryPrefix);

        // Body
        GMimeObject* body = nullptr;
        QByteArray unencodedContent; // what a boundary must not collide with
        const bool html = spec.bodyFormat == 1 && !spec.htmlBody.isEmpty();
        if (html) {
            // the HTML may declare its own charset: make it say the one it is sent in
            QByteArray probe;
            const QString htmlText = NormalizedLines(spec.htmlBody);
            const QString label =
                EncodeCharset(htmlText, charset, &probe) ? charset : QStringLiteral("utf-8");
            GMimePart* htmlPart = TextPart("html", WithCharsetDeclaration(htmlText, label), charset,
                                           spec.bodyEncoding, sevenBit);
            body = GMIME_OBJECT(htmlPart);
            if (!spec.related.isEmpty()) {
                GMimeMultipart* related = g_mime_multipart_new_with_subtype("related");
                g_mime_object_set_content_type_parameter(GMIME_OBJECT(related), "type", "text/html");
                g_mime_multipart_add(related, body);
                g_object_unref(body);
                body = GMIME_OBJECT(related);
                for (const RelatedPart& r : spec.related) {
                    const FileData d = CachedFile(r.path);
                    if (d.error) {
                        rc = d.error;
                        g_object_unref(body);
                        return {};
                    }
                    FileData typed = d;
                    if (!r.mimeType.isEmpty())
                        typed.mimeType = r.mimeType.toLatin1();
                    GMimePart* img = FilePart(r.path, typed, AttachBase64, true, sevenBit);
                    g_mime_part_set_content_id(img, r.contentId.toLatin1().constData());
                    g_mime_multipart_add(related, GMIME_OBJECT(img));
                    g_object_unref(img);
                }
                SetBoundary(related, prefix, "R", unencodedContent);
            }
            if (spec.textAlternative) {
                GMimeMultipart* alt = g_mime_multipart_new_with_subtype("alternative");
                GMimePart* text =
                    TextPart("plain", NormalizedLines(spec.bodyText), charset, spec.partEncoding, sevenBit);
                g_mime_multipart_add(alt, GMIME_OBJECT(text));
                g_object_unref(text);
                g_mime_multipart_add(alt, body);
                g_object_unref(body);
                body = GMIME_OBJECT(alt);
                if (spec.bodyEncoding == EncodingNone || spec.partEncoding == EncodingNone)
                    unencodedContent = spec.bodyText.toUtf8() + spec.htmlBody.toUtf8();
                SetBoundary(alt, prefix, "A", unencodedContent);
            }
        } else {
            body = GMIME_OBJECT(
                TextPart("plain", NormalizedLines(spec.bodyText), charset, spec.bodyEncoding, sevenBit));
            if (spec.bodyEncoding == EncodingNone)
                unencodedContent = spec.bodyText.toUtf8();
        }

        if (!spec.attachments.isEmpty()) {
            GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
            g_mime_multipart_add(mixed, body);
            g_object_unref(body);
            body = GMIME_OBJECT(mixed);
            for (const Attachment& a : spec.attachments) {
                const FileData d = CachedFile(a.path);
                if (d.error) {
                    rc = d.error;
                    g_object_unref(body);
                    return {};
                }
                GMimePart* part = FilePart(a.path, d, a.encoding, false, sevenBit);
                if (a.encoding == AttachNone)
                    unencodedContent += d.bytes;
                g_mime_multipart_add(mixed, GMIME_OBJECT(part));
                g_object_unref(part);
            }
            SetBoundary(mixed, prefix, "M", unencodedContent);
        }

        // Message headers
        QByteArray out;
        out.reserve(4096);
        out += Fold("From", Mailbox(spec.fromName, spec.fromAddress, charset));
        QStringList to, cc;
        for (const Recipient& r : spec.recipients) {
            const QString box = Mailbox(r.name, r.address, charset);
            if (box.isEmpty())
                continue;
            (r.kind == 2 ? cc : to) << box;
        }
        if (!to.isEmpty())
            out += Fold("To", to.join(QStringLiteral(", ")));
        if (!cc.isEmpty())
            out += Fold("Cc", cc.join(QStringLiteral(", ")));
        if (!spec.subject.isNull()) {
            const QString subject = OneLine(spec.subject);
            // an already encoded subject (EncodeHeaderText) is ASCII and goes as it is
            out += Fold("Subject", HeaderText(subject, charset));
        }
        out += "Date: " + RfcDate(QDateTime::currentDateTime()) + '\n';
        out += "Message-ID: " + MessageId(spec.fromAddress) + '\n';
        out += "MIME-Version: 1.0\n";
        if (spec.priority == QLatin1String("1"))
            out += "X-Priority: 1 (Highest)\nImportance: High\n";
        else if (spec.priority == QLatin1String("3"))
            out += "X-Priority: 3 (Normal)\nImportance: Normal\n";
        else if (spec.priority == QLatin1String("5"))
            out += "X-Priority: 5 (Lowest)\nImportance: Low\n";
        static const QRegularExpression headerName(QStringLiteral("^[!-9;-~]{1,76}$"));
        for (const auto& h : spec.headers) {
            const QString name = h.first.trimmed();
            // the MIME structure is the composer's own: such headers would break it
            if (!headerName.match(name).hasMatch() ||
                name.startsWith(QLatin1String("Content-"), Qt::CaseInsensitive) ||
                name.compare(QLatin1String("MIME-Version"), Qt::CaseInsensitive) == 0)
                continue;
            out += Fold(name.toLatin1(), HeaderText(h.second, charset));
        }

        GMimeStream* stream = g_mime_stream_mem_new();
        GMimeFormatOptions* options = g_mime_format_options_new();
        g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_UNIX);
        g_mime_object_write_to_stream(body, options, stream);
        GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
        out.append(reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len));
        g_mime_format_options_free(options);
        g_object_unref(stream);
        g_object_unref(body);
        if (!out.endsWith('\n'))
            out.append('\n');
        return ToCrLf(out);
    } catch (const std::bad_alloc&) {
        rc = ComposeBodyProblem;
        return {};
    }
}

qint32 ReplaceMergeField(MessageSpec& spec, const QString& macro, const QString& value) {
    if (macro.isEmpty())
        return ImportInvalidParameter;
    if (spec.htmlBody.contains(macro))
        spec.htmlBody.replace(macro, value.toHtmlEscaped());
    spec.bodyText.replace(macro, value);
    return 0;
}

QString EncodeHeaderText(const QString& text, const QString& charset, qint32 mode) {
    if (mode != HeaderQuotedPrintable && mode != HeaderBase64)
        return QStringLiteral("ERR:invalid encoding mode");
    QString label = charset.trimmed();
    if (label.isEmpty())
        label = QStringLiteral("utf-8");
    if (!IsKnownCharset(label))
        return QStringLiteral("ERR:unknown charset ") + OneLine(label);
    const QString line = OneLine(text);
    if (line.isEmpty())
        return {};
    QByteArray probe;
    if (!EncodeCharset(line, label, &probe))
        label = QStringLiteral("utf-8");
    return EncodeWords(line, label, mode);
}

qint32 ReadRegularFile(const QString& path, QByteArray* bytes) {
    qint64 size = 0;
    const int fd = OpenRegularFile(path, &size);
    if (fd < 0)
        return ComposeCannotOpenFile;
    if (!bytes) {
        ::close(fd);
        return ComposeOk;
    }
    qint32 rc = ComposeOk;
    try {
        bytes->resize(qsizetype(size));
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return ComposeCannotReadFile;
    }
    qsizetype done = 0;
    while (done < bytes->size()) {
        const ssize_t n = ::read(fd, bytes->data() + done, size_t(bytes->size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    char extra = 0;
    ssize_t more = 0;
    do
        more = ::read(fd, &extra, 1);
    while (more < 0 && errno == EINTR);
    if (done != bytes->size() || more != 0) {
        bytes->clear();
        rc = ComposeCannotReadFile;
    }
    ::close(fd);
    return rc;
}

qint32 SaveMessageFile(const MessageSpec& spec, const QString& path) {
    qint32 rc = 0;
    const QByteArray bytes = ComposeMessage(spec, &rc);
    if (rc != 0)
        return rc;
    QSaveFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::WriteOnly))
        return ComposeCannotOpenFile;
    if (f.write(bytes) != bytes.size() || !f.commit())
        return ComposeCannotReadFile;
    return 0;
}

} // namespace mail
