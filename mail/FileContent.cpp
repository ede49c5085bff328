#include "mail/FileContent.h"

#include "core/RegularFile.h"
#include "mail/MessageSpec.h"
#include "mail/MimeComposer.h"

#include <QFile>
#include <QMimeDatabase>
#include <QMutex>
#include <QStringDecoder>

#include <atomic>
#include <new>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace mail {

namespace {

std::atomic<qint64> g_encodings{0};

const char kHex[] = "0123456789ABCDEF";

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

QByteArray TypeOf(const QString& path, const QByteArray& head) {
    static QMutex dbLock;
    QMutexLocker lock(&dbLock);
    static QMimeDatabase db;
    QByteArray type = db.mimeTypeForFileNameAndData(path, head).name().toLatin1();
    return type.isEmpty() || !type.contains('/') ? QByteArrayLiteral("application/octet-stream") : type;
}

// Reads from fd into buffer until it is full or the file ends; the count read, -1 on an error.
qsizetype ReadFull(int fd, char* buffer, qsizetype size) {
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

// A binary file in base64, encoded as it is read a block at a time: the file's bytes are never held
// whole beside their encoded form.
qint32 StreamBase64(const QString& path, FileContent& c) {
    qint64 size = 0;
    const int fd = OpenRegularFile(path, &size);
    if (fd < 0)
        return ComposeCannotOpenFile;
    constexpr qsizetype kBlock = 57 * 16 * 1024; // whole lines of 76 characters
    QByteArray block(kBlock, Qt::Uninitialized);
    qint32 rc = ComposeOk;
    try {
        c.bytes.reserve(qsizetype((size + 2) / 3 * 4 + (size / 57 + 1) * 2));
        qint64 total = 0;
        for (bool first = true;; first = false) {
            const qsizetype n = ReadFull(fd, block.data(), kBlock);
            if (n < 0) {
                rc = ComposeCannotReadFile;
                break;
            }
            if (first)
                c.mimeType = TypeOf(path, block.left(qMin<qsizetype>(n, 4096)));
            total += n;
            AppendBase64Lines(c.bytes, block.constData(), n, "\r\n");
            if (n < kBlock)
                break;
        }
        // a file that changes its size while it is read is not sent half
        if (rc == ComposeOk && total != size)
            rc = ComposeCannotReadFile;
    } catch (const std::bad_alloc&) {
        rc = ComposeCannotReadFile;
    }
    ::close(fd);
    if (rc != ComposeOk)
        c.bytes = QByteArray();
    return rc;
}

// Any other file: read whole, then put as it is or encoded in the encoding its type and bytes allow.
qint32 ReadAndEncode(const QString& path, qint32 encoding, bool sevenBit, FileContent& c) {
    QByteArray raw;
    const qint32 rc = ReadRegularFile(path, &raw);
    if (rc != ComposeOk)
        return rc;
    if (c.mimeType.isEmpty())
        c.mimeType = TypeOf(path, raw.left(4096));
    c.kind = 2;
    if (IsEncapsulatedMessage(c.mimeType)) {
        bool eightBit = false;
        const bool eightBitAllowed = c.mimeType != "message/news" && !sevenBit;
        if (SafeUnencoded(raw, LineEnds::Either, &eightBit) && (!eightBit || eightBitAllowed))
            c.kind = eightBit ? 8 : 7;
        else
            c.mimeType = "application/octet-stream"; // then the chosen encoding keeps its bytes intact
    } else if (c.mimeType.startsWith("multipart/")) {
        // its boundary is named in the file's own header, which a part's header does not carry
        c.mimeType = "application/octet-stream";
    }
    if (c.kind == 2) {
        if (encoding == AttachQuotedPrintable) {
            c.kind = 1;
        } else if (encoding == AttachNone) {
            bool eightBit = false;
            if (SafeUnencoded(raw, LineEnds::CrLf, &eightBit))
                c.kind = eightBit && sevenBit ? 1 : (eightBit ? 8 : 7);
        }
    }
    if (c.mimeType.startsWith("text/"))
        c.charset = TextFileCharset(raw);
    if (c.kind == 7 || c.kind == 8) {
        c.bytes = raw;
    } else if (c.kind == 1) {
        AppendQuotedPrintable(c.bytes, raw, false, "\r\n");
        // the line break before the next boundary belongs to the boundary: a soft one ends the content
        if (!c.bytes.endsWith("\r\n"))
            c.bytes.append("=\r\n");
    } else {
        AppendBase64Lines(c.bytes, raw.constData(), raw.size(), "\r\n");
    }
    return ComposeOk;
}

QByteArray Stamp(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    const qint64 values[] = {qint64(st.st_dev),         qint64(st.st_ino),          qint64(st.st_size),
                             qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_sec),
                             qint64(st.st_ctim.tv_nsec)};
    return QByteArray(reinterpret_cast<const char*>(values), sizeof values);
}

} // namespace

qint64 AttachmentEncodings() {
    return g_encodings.load();
}

std::shared_ptr<const FileContent> FileContentCache::Get(const QString& path, qint32 encoding, bool sevenBit,
                                                         const QByteArray& givenType) {
    const QString key = path + QChar(0) + QString::number(encoding) + (sevenBit ? u'7' : u'8') +
                        QString::fromLatin1(givenType);
    const QByteArray stamp = Stamp(path);
    Entry& e = m_entries[key];
    e.used = true;
    if (e.content && !stamp.isEmpty() && e.stamp == stamp)
        return e.content;
    e.content.reset();
    ++g_encodings;
    auto c = std::make_shared<FileContent>();
    c->mimeType = givenType;
    // Base64 of a binary file streams from the file; what needs a look at all its bytes first (the
    // charset of a text, whether bytes may go unencoded) reads it whole.
    if (encoding == AttachBase64 && givenType.isEmpty()) {
        c->error = StreamBase64(path, *c);
        if (c->error == ComposeOk &&
            (c->mimeType.startsWith("text/") || c->mimeType.startsWith("multipart/") ||
             IsEncapsulatedMessage(c->mimeType))) {
            c->bytes = QByteArray();
            c->error = ReadAndEncode(path, encoding, sevenBit, *c);
        }
    } else {
        c->error = ReadAndEncode(path, encoding, sevenBit, *c);
    }
    if (c->error != ComposeOk) {
        c->bytes = QByteArray();
        c->mimeType.clear();
    }
    // the stamp is taken before the read: a change during it shows at the next look
    e.stamp = c->error == ComposeOk ? stamp : QByteArray();
    e.content = c;
    return c;
}

void FileContentCache::KeepOnlyUsed() {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!it->used) {
            it = m_entries.erase(it);
        } else {
            it->used = false;
            ++it;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Transfer encodings of our own: they are lossless for any bytes (a bare CR or LF never turns into a
// line break), and the composer needs them before GMime sees the content.

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

void AppendBase64Lines(QByteArray& out, const char* in, qsizetype size, const char* eol) {
    const qsizetype eolLength = qstrlen(eol);
    constexpr qsizetype kLineBytes = 57; // 76 characters of base64
    constexpr qsizetype kBlock = kLineBytes * 1024;
    for (qsizetype at = 0; at < size; at += kBlock) {
        const QByteArray b64 = QByteArray::fromRawData(in + at, qMin(kBlock, size - at)).toBase64();
        for (qsizetype i = 0; i < b64.size(); i += 76) {
            out.append(b64.constData() + i, qMin<qsizetype>(76, b64.size() - i));
            out.append(eol, eolLength);
        }
    }
}

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

} // namespace mail
