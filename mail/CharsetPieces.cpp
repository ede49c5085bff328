// DecodeCharset piece by piece: each piece of bytes becomes text as it comes, so a large body never sits
// in memory as bytes and as text at once. The fallbacks are those of the whole-buffer decode: a charset
// iconv lacks, or bytes it refuses, are read again as UTF-8, then as Windows-1252, then as Latin-1.
#include "mail/CharsetInternals.h"
#include "mail/MailCharsets.h"

#include <QStringDecoder>

#include <cerrno>

namespace mail {

using namespace charsets;

namespace {

constexpr qsizetype kIconvBuffer = 64 * 1024;

// How much of bytes ends on a character boundary: a UTF-8 sequence cut off at the end is held back for
// the next piece. Bytes that cannot start a sequence are left for the decoder to refuse.
qsizetype WholeUtf8Prefix(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    for (qsizetype back = 1; back <= 4 && back <= n; ++back) {
        const auto b = static_cast<uchar>(bytes.at(n - back));
        if ((b & 0xC0) == 0x80)
            continue; // a continuation byte: its lead is further back
        const qsizetype length = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
        return length > back ? n - back : n;
    }
    return n;
}

bool Utf8Pieces(ByteSource& in, TextSink& out) {
    in.Rewind();
    out.Restart();
    QByteArray held;
    bool atStart = true;
    for (;;) {
        QByteArray piece = in.Next();
        const bool end = piece.isEmpty();
        piece.prepend(held);
        held.clear();
        if (!end) {
            const qsizetype whole = WholeUtf8Prefix(piece);
            held = piece.mid(whole);
            piece.truncate(whole);
        }
        if (!piece.isEmpty()) {
            // Stateless: a sequence cut off at the very end is an error. A byte order mark is dropped at
            // the start of the text only.
            QStringDecoder decoder(QStringDecoder::Utf8, atStart
                                                             ? QStringDecoder::Flag::Stateless
                                                             : QStringDecoder::Flag::Stateless |
                                                                   QStringDecoder::Flag::ConvertInitialBom);
            const QString text = decoder.decode(piece);
            if (decoder.hasError())
                return false;
            out.Append(text);
            atStart = false;
        }
        if (end)
            return true;
    }
}

bool Cp1252Pieces(ByteSource& in, TextSink& out) {
    in.Rewind();
    out.Restart();
    QByteArray utf8;
    for (QByteArray piece = in.Next(); !piece.isEmpty(); piece = in.Next()) {
        if (!Iconv(QByteArrayLiteral("UTF-8"), QByteArrayLiteral("WINDOWS-1252"), piece, &utf8))
            return false;
        out.Append(QString::fromUtf8(utf8));
    }
    return true;
}

void Latin1Pieces(ByteSource& in, TextSink& out) {
    in.Rewind();
    out.Restart();
    for (QByteArray piece = in.Next(); !piece.isEmpty(); piece = in.Next())
        out.Append(QString::fromLatin1(piece));
}

// Converts what fits into the buffer and hands it on; false when iconv refused (errno tells why).
bool IconvStep(iconv_t cd, char** inPtr, size_t* inLeft, QByteArray& buffer, TextSink& out) {
    char* outPtr = buffer.data();
    size_t outLeft = size_t(buffer.size());
    const size_t r =
        inPtr ? iconv(cd, inPtr, inLeft, &outPtr, &outLeft) : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    const int error = r == size_t(-1) ? errno : 0;
    out.Append(QString::fromUtf8(buffer.constData(), outPtr - buffer.constData()));
    errno = error;
    return r != size_t(-1);
}

bool IconvPieces(ByteSource& in, const QByteArray& from, TextSink& out) {
    const iconv_t cd = Descriptor(QByteArrayLiteral("UTF-8"), from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    in.Rewind();
    out.Restart();
    QByteArray buffer(kIconvBuffer, Qt::Uninitialized);
    QByteArray held;
    for (;;) {
        QByteArray piece = in.Next();
        const bool end = piece.isEmpty();
        piece.prepend(held);
        held.clear();
        char* inPtr = piece.data();
        size_t inLeft = size_t(piece.size());
        while (inLeft > 0) {
            if (IconvStep(cd, &inPtr, &inLeft, buffer, out) || errno == E2BIG)
                continue;
            if (errno == EINVAL && !end) { // a character goes on in the next piece
                held = QByteArray(inPtr, qsizetype(inLeft));
                break;
            }
            return false; // a character the charset does not have, or one cut off at the end
        }
        if (!end)
            continue;
        // the shift state of stateful encodings (ISO-2022, UTF-7)
        while (!IconvStep(cd, nullptr, nullptr, buffer, out))
            if (errno != E2BIG)
                return false;
        return true;
    }
}

} // namespace

bool DecodeCharset(ByteSource& in, const QString& label, TextSink& out) {
    const Resolved r = Resolve(label);
    if (r.special == Special::Hz || r.special == Special::UserDefined) {
        // labels of old mailers, seldom more than a few lines: read whole
        QByteArray all;
        in.Rewind();
        for (QByteArray piece = in.Next(); !piece.isEmpty(); piece = in.Next())
            all += piece;
        QString text;
        const bool clean = DecodeCharset(all, label, &text);
        out.Restart();
        out.Append(text);
        return clean;
    }
    if (r.special == Special::None && IconvPieces(in, r.iconvName, out))
        return true;
    if (Utf8Pieces(in, out))
        return r.special != Special::None;
    if (!Cp1252Pieces(in, out))
        Latin1Pieces(in, out);
    return false;
}

} // namespace mail
