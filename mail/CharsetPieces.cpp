// DecodeCharset piece by piece: each piece of bytes becomes text as it comes, so a large body never sits
// in memory as bytes and as text at once. Text is read in its label's charset and only the sequences
// that are invalid in it become U+FFFD: one bad byte never turns the whole text into another charset's.
// Text without a label is read again from its start as Windows-1252 when it is not UTF-8.
#include "mail/CharsetInternals.h"
#include "mail/MailCharsets.h"

#include <cerrno>

namespace mail {

using namespace charsets;

namespace {

constexpr qsizetype kIconvBuffer = 64 * 1024;
constexpr QChar kReplacement(0xFFFD);

// UTF-8 read byte by byte, so a character may go on in the next piece. An invalid sequence becomes one
// U+FFFD: its longest start that could still have been a character, or a byte that starts none.
class Utf8Reader {
public:
    // False when strict and a sequence was invalid (then text is not complete).
    bool Read(QByteArrayView bytes, bool strict, QString* text) {
        text->reserve(text->size() + bytes.size());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<uchar>(bytes[i]);
            if (needed_ == 0) {
                if (b < 0x80) { // a run of ASCII at once
                    qsizetype end = i + 1;
                    while (end < bytes.size() && static_cast<uchar>(bytes[end]) < 0x80)
                        ++end;
                    text->append(QLatin1StringView(bytes.data() + i, end - i));
                    i = end - 1;
                    atStart_ = false;
                } else if (b >= 0xC2 && b <= 0xDF) {
                    Begin(1, b & 0x1F);
                } else if (b >= 0xE0 && b <= 0xEF) {
                    Begin(2, b & 0x0F);
                    lower_ = b == 0xE0 ? 0xA0 : 0x80; // no overlong forms
                    upper_ = b == 0xED ? 0x9F : 0xBF; // no surrogates
                } else if (b >= 0xF0 && b <= 0xF4) {
                    Begin(3, b & 0x07);
                    lower_ = b == 0xF0 ? 0x90 : 0x80;
                    upper_ = b == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
                } else if (!Replace(strict, text)) {
                    return false;
                }
                continue;
            }
            if (b < lower_ || b > upper_) {
                needed_ = 0;
                if (!Replace(strict, text))
                    return false;
                --i; // the byte may start the next character
                continue;
            }
            lower_ = 0x80;
            upper_ = 0xBF;
            codePoint_ = codePoint_ << 6 | (b & 0x3F);
            if (++seen_ == needed_) {
                needed_ = 0;
                if (codePoint_ != 0xFEFF || !atStart_) // a byte order mark is dropped at the start
                    text->append(QChar::fromUcs4(codePoint_));
                atStart_ = false;
            }
        }
        return true;
    }
    // The end of the text: a character cut off there is invalid.
    bool Finish(bool strict, QString* text) { return needed_ == 0 || (needed_ = 0, Replace(strict, text)); }
    bool Replaced() const { return replaced_; }

private:
    void Begin(int needed, char32_t bits) {
        needed_ = needed;
        seen_ = 0;
        codePoint_ = bits;
    }
    bool Replace(bool strict, QString* text) {
        replaced_ = true;
        atStart_ = false;
        text->append(kReplacement);
        return !strict;
    }

    int needed_ = 0, seen_ = 0;
    char32_t codePoint_ = 0;
    uchar lower_ = 0x80, upper_ = 0xBF;
    bool atStart_ = true, replaced_ = false;
};

// Strict: false at the first invalid sequence. Otherwise those become U+FFFD and *replaced says so.
bool Utf8Pieces(ByteSource& in, TextSink& out, bool strict, bool* replaced) {
    in.Rewind();
    out.Restart();
    Utf8Reader reader;
    QString text;
    for (QByteArray piece = in.Next(); !piece.isEmpty(); piece = in.Next()) {
        text.clear();
        if (!reader.Read(piece, strict, &text))
            return false;
        out.Append(text);
    }
    text.clear();
    if (!reader.Finish(strict, &text))
        return false;
    out.Append(text);
    *replaced = reader.Replaced();
    return true;
}

// Windows-1252 as mail readers read it: every byte is a character, those Windows leaves undefined the
// C1 controls of their values.
void Cp1252Pieces(ByteSource& in, TextSink& out) {
    static constexpr char16_t k80To9F[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                             0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    in.Rewind();
    out.Restart();
    QString text;
    for (QByteArray piece = in.Next(); !piece.isEmpty(); piece = in.Next()) {
        text.resize(piece.size());
        for (qsizetype i = 0; i < piece.size(); ++i) {
            const auto b = static_cast<uchar>(piece.at(i));
            text[i] = QChar(b >= 0x80 && b < 0xA0 ? k80To9F[b - 0x80] : char16_t(b));
        }
        out.Append(text);
    }
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

// False only when iconv lacks the charset.
bool IconvPieces(ByteSource& in, const QByteArray& from, TextSink& out, bool* replaced) {
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
            // A byte the charset does not have at this place becomes U+FFFD and the reading goes on
            // after it; a character cut off at the very end becomes one U+FFFD.
            out.Append(QStringView(&kReplacement, 1));
            *replaced = true;
            const size_t skip = errno == EINVAL ? inLeft : 1;
            inPtr += skip;
            inLeft -= skip;
        }
        if (!end)
            continue;
        // the shift state of stateful encodings (ISO-2022, UTF-7)
        while (!IconvStep(cd, nullptr, nullptr, buffer, out) && errno == E2BIG) {
        }
        return true;
    }
}

QByteArray ReadAll(ByteSource& in) {
    QByteArray all;
    in.Rewind();
    for (QByteArray piece = in.Next(); !piece.isEmpty(); piece = in.Next())
        all += piece;
    return all;
}

} // namespace

bool DecodeCharset(ByteSource& in, const QString& label, TextSink& out) {
    const Resolved r = ResolveReceived(label);
    bool replaced = false;
    switch (r.special) {
    case Special::Hz:
    case Special::UserDefined: { // labels of old mailers, seldom more than a few lines: read whole
        const QByteArray all = ReadAll(in);
        QString text;
        if (r.special == Special::Hz) {
            replaced = !HzDecode(all, &text);
        } else {
            text.reserve(all.size());
            for (char b : all) {
                const auto u = static_cast<uchar>(b);
                text.append(u < 0x80 ? QChar(u) : QChar(static_cast<char16_t>(0xF780 + u - 0x80)));
            }
        }
        out.Restart();
        out.Append(text);
        return !replaced;
    }
    case Special::Unlabelled:
        if (Utf8Pieces(in, out, /*strict=*/true, &replaced))
            return true;
        Cp1252Pieces(in, out);
        return false;
    case Special::Utf8:
        Utf8Pieces(in, out, /*strict=*/false, &replaced);
        return !replaced;
    case Special::None:
        if (IconvPieces(in, r.iconvName, out, &replaced))
            return !replaced;
        break; // a charset of the table this system's iconv lacks
    case Special::Ascii:
    case Special::Windows1252:
        break;
    }
    Cp1252Pieces(in, out);
    return r.known && r.special == Special::Windows1252;
}

} // namespace mail
