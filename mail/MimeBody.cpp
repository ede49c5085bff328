#include "mail/MimeBody.h"

#include "mail/MailCharsets.h"
#include "mail/MimeComposer.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace mail {

namespace {

QByteArray EncodeQuotedPrintable(const QByteArray& in, bool textMode) {
    QByteArray out;
    out.reserve(in.size() + in.size() / 8 + 16);
    AppendQuotedPrintable(out, in, textMode, "\n");
    return out;
}

QByteArray EncodeBase64Lines(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size() / 3 * 4 + in.size() / 57 + 8);
    AppendBase64Lines(out, in.constData(), in.size(), "\n");
    return out;
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

// The part of a file. Encoded content (quoted-printable, base64) is not put into the tree: the part
// holds a marker line that InsertFileContents replaces. *unencoded tells whether the bytes went as
// they are.
GMimePart* FilePart(const QString& path, const std::shared_ptr<const FileContent>& d, bool inlinePart,
                    QList<EncodedFile>* files, bool* unencoded) {
    const QByteArray& mimeType = d->mimeType;
    *unencoded = d->kind == 7 || d->kind == 8;
    QByteArray content;
    if (*unencoded) {
        content = d->bytes;
    } else {
        EncodedFile file;
        file.marker = "VelantoFileContent." + QByteArray::number(files->size() + 1) + '.' +
                      QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        file.content = d;
        content = file.marker + '\n';
        files->append(file);
    }
    const qsizetype slash = mimeType.indexOf('/');
    GMimePart* part = NewPart(mimeType.left(slash), mimeType.mid(slash + 1), content, d->kind);
    const QByteArray name = QFileInfo(path).fileName().toUtf8();
    g_mime_part_set_filename(part, name.constData());
    if (mimeType.startsWith("text/"))
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", d->charset.constData());
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
    BodyComposer(const MessageSpec& spec, const QString& charset, bool sevenBit, FileContentCache& cache,
                 QList<EncodedFile>* files)
        : m_spec(spec), m_charset(charset), m_prefix(SafeBoundaryPrefix(spec.boundaryPrefix)),
          m_sevenBit(sevenBit), m_cache(cache), m_files(files) {}

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
            const auto d = m_cache.Get(r.path, AttachBase64, m_sevenBit, r.mimeType.toLatin1());
            if (d->error)
                return failed(related, d->error);
            bool unencoded = false;
            GMimePart* picture = FilePart(r.path, d, true, m_files, &unencoded);
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
            const auto d = m_cache.Get(a.path, a.encoding, m_sevenBit);
            if (d->error)
                return failed(mixed, d->error);
            bool unencoded = false;
            GMimePart* part = FilePart(a.path, d, false, m_files, &unencoded);
            if (unencoded)
                m_unencoded += d->bytes;
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
    FileContentCache& m_cache;
    QList<EncodedFile>* m_files;
    QByteArray m_unencoded; // what a boundary must not collide with
    qint32 m_rc = ComposeOk;
};

} // namespace

GMimeObject* ComposeBody(const MessageSpec& spec, const QString& charset, bool sevenBit, qint32* rc,
                         FileContentCache& cache, QList<EncodedFile>* files) {
    return BodyComposer(spec, charset, sevenBit, cache, files).compose(rc);
}

QList<QByteArray> InsertFileContents(const QByteArray& written, const QList<EncodedFile>& files) {
    QList<QByteArray> pieces;
    qsizetype from = 0;
    for (const EncodedFile& f : files) {
        // The markers stand in the written tree in the order their parts were made.
        const QByteArray line = f.marker + "\r\n";
        const qsizetype at = written.indexOf(line, from);
        if (at < 0)
            return {};
        pieces.append(written.mid(from, at - from));
        pieces.append(f.content->bytes); // shared, never copied
        from = at + line.size();
    }
    pieces.append(written.mid(from));
    return pieces;
}

} // namespace mail
