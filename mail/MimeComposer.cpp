#include "mail/MimeComposer.h"

#include "core/RegularFile.h"
#include "mail/MailCharsets.h"
#include "mail/MimeBody.h"
#include "mail/MimeSupport.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimeZone>
#include <QUrl>

#include "mail/GMimeInclude.h"

#include <new>

#include <cerrno>
#include <unistd.h>

namespace mail {

namespace {

// ---------------------------------------------------------------------------------------------
// Header helpers

const char kHex[] = "0123456789ABCDEF";

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

// The message's own headers, From first, then the extra headers the message description names.
QByteArray MessageHeaders(const MessageSpec& spec, const QString& charset) {
    QByteArray out;
    out.reserve(4096);
    out += Fold("From", Mailbox(spec.fromName, spec.fromAddress, charset));
    QStringList to, cc;
    for (const Recipient& r : spec.recipients) {
        const QString box = Mailbox(r.name, r.address, charset);
        if (box.isEmpty())
            continue;
        (r.kind == RecipientKind::Cc ? cc : to) << box;
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
    return out;
}

// Appends the body tree as GMime writes it ("\n" line ends).
void AppendWritten(QByteArray& out, GMimeObject* body) {
    GMimeStream* stream = g_mime_stream_mem_new();
    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_UNIX);
    g_mime_object_write_to_stream(body, options, stream);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    out.append(reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len));
    g_mime_format_options_free(options);
    g_object_unref(stream);
}

} // namespace

QList<QByteArray> ComposeMessagePieces(const MessageSpec& spec, qint32* result, bool sevenBit,
                                       FileContentCache& cache) {
    qint32 dummy = 0;
    qint32& rc = result ? *result : dummy;
    rc = ComposeOk;
    try {
        InitGMime();
        const QString charset = spec.charset.trimmed().isEmpty() || !IsKnownCharset(spec.charset)
                                    ? QStringLiteral("utf-8")
                                    : spec.charset.trimmed();
        QList<EncodedFile> files;
        GMimeObject* body = ComposeBody(spec, charset, sevenBit, &rc, cache, &files);
        if (!body)
            return {};
        QByteArray out = MessageHeaders(spec, charset);
        AppendWritten(out, body);
        g_object_unref(body);
        if (!out.endsWith('\n'))
            out.append('\n');
        if (files.isEmpty())
            return {ToCrLf(out)};
        QList<QByteArray> pieces = InsertFileContents(ToCrLf(out), files);
        if (pieces.isEmpty())
            rc = ComposeBodyProblem;
        return pieces;
    } catch (const std::bad_alloc&) {
        rc = ComposeBodyProblem;
        return {};
    }
}

QByteArray ComposeMessage(const MessageSpec& spec, qint32* result, bool sevenBit) {
    FileContentCache cache;
    const QList<QByteArray> pieces = ComposeMessagePieces(spec, result, sevenBit, cache);
    try {
        return pieces.size() == 1 ? pieces.first() : pieces.join();
    } catch (const std::bad_alloc&) {
        if (result)
            *result = ComposeBodyProblem;
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

qint32 SaveMessageFile(const MessageSpec& spec, const QString& path, FileContentCache* cache) {
    qint32 rc = 0;
    FileContentCache own;
    const QList<QByteArray> pieces = ComposeMessagePieces(spec, &rc, false, cache ? *cache : own);
    if (rc != 0)
        return rc;
    QSaveFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::WriteOnly))
        return ComposeCannotOpenFile;
    for (const QByteArray& piece : pieces) {
        if (f.write(piece) != piece.size())
            return ComposeCannotReadFile;
    }
    return f.commit() ? 0 : ComposeCannotReadFile;
}

} // namespace mail
