#include "mail/MailCharsets.h"

#include "core/ForwardFinder.h"
#include "mail/CharsetInternals.h"

#include <QHash>
#include <QMutex>

#include <cerrno>
#include <iconv.h>
#include <utility>

namespace mail {

namespace charsets {

Resolved Resolve(const QString& label) {
    const QString l = label.trimmed().toLower();
    if (l.isEmpty() || l == QLatin1String("utf-8") || l == QLatin1String("utf8"))
        return {Special::Utf8, {}};
    if (l == QLatin1String("us-ascii") || l == QLatin1String("ascii"))
        return {Special::Ascii, {}};
    if (l == QLatin1String("hz-gb-2312"))
        return {Special::Hz, QByteArrayLiteral("GB2312")};
    if (l == QLatin1String("x-user-defined"))
        return {Special::UserDefined, {}};
    if (l == QLatin1String("iso-ir-149") || l == QLatin1String("ks_c_5601-1987"))
        return {Special::None, QByteArrayLiteral("CP949")};
    if (l == QLatin1String("iso-8859-8-i"))
        return {Special::None, QByteArrayLiteral("ISO-8859-8")};
    if (l == QLatin1String("shift-jis"))
        return {Special::None, QByteArrayLiteral("SHIFT_JIS")};
    return {Special::None, l.toLatin1()};
}

namespace {

// iconv descriptors are costly to open and the composer converts per message: keep the most recently
// used ones for each thread. Labels come from messages and are endless ("utf-8//x1", "utf-8//x2"...),
// so the cache is bounded and every descriptor is closed when it leaves the cache or the thread ends.
class DescriptorCache {
public:
    ~DescriptorCache() { clear(); }

    iconv_t get(const QByteArray& to, const QByteArray& from) {
        const QByteArray key = to + '\0' + from;
        auto it = entries_.find(key);
        if (it != entries_.end()) {
            it->lastUse = ++clock_;
            if (it->cd != reinterpret_cast<iconv_t>(-1))
                iconv(it->cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
            return it->cd;
        }
        if (entries_.size() >= kMaxDescriptors)
            evictOldest();
        const iconv_t cd = iconv_open(to.constData(), from.constData());
        entries_.insert(key, {cd, ++clock_});
        return cd;
    }

    void clear() {
        for (const Entry& e : std::as_const(entries_))
            close(e.cd);
        entries_.clear();
    }

    qsizetype size() const { return entries_.size(); }

private:
    static constexpr qsizetype kMaxDescriptors = 64;
    struct Entry {
        iconv_t cd;
        quint64 lastUse;
    };

    static void close(iconv_t cd) {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }

    void evictOldest() {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        close(oldest->cd);
        entries_.erase(oldest);
    }

    QHash<QByteArray, Entry> entries_;
    quint64 clock_ = 0;
};

thread_local DescriptorCache descriptors;

} // namespace

iconv_t Descriptor(const QByteArray& to, const QByteArray& from) {
    return descriptors.get(to, from);
}

bool Iconv(const QByteArray& to, const QByteArray& from, const QByteArray& in, QByteArray* out) {
    iconv_t cd = Descriptor(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out->resize(in.size() * 2 + 16);
    char* inPtr = const_cast<char*>(in.constData());
    size_t inLeft = static_cast<size_t>(in.size());
    size_t used = 0;
    for (;;) {
        char* outPtr = out->data() + used;
        size_t outLeft = static_cast<size_t>(out->size()) - used;
        size_t r = inLeft ? iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft)
                          : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        used = static_cast<size_t>(outPtr - out->data());
        if (r != static_cast<size_t>(-1)) {
            if (inLeft == 0) {
                // flush the shift state of stateful encodings (ISO-2022, UTF-7)
                outPtr = out->data() + used;
                outLeft = static_cast<size_t>(out->size()) - used;
                if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
                    if (errno != E2BIG)
                        return false;
                    out->resize(out->size() * 2);
                    continue;
                }
                used = static_cast<size_t>(outPtr - out->data());
                out->resize(static_cast<qsizetype>(used));
                return true;
            }
            continue;
        }
        if (errno == E2BIG) {
            out->resize(out->size() * 2 + 16);
            continue;
        }
        // EILSEQ: a character the target cannot hold (iconv may also count it as a lossy conversion)
        return false;
    }
}

namespace {

bool IconvEncode(const QString& text, const QByteArray& name, QByteArray* out) {
    const QByteArray utf8 = text.toUtf8();
    // glibc reports characters it replaced in an irreversible way as a positive count; treat a
    // conversion as lossless only when a round trip gives back the text.
    if (!Iconv(name, QByteArrayLiteral("UTF-8"), utf8, out))
        return false;
    QByteArray back;
    return Iconv(QByteArrayLiteral("UTF-8"), name, *out, &back) && back == utf8;
}

bool HzEncode(const QString& text, QByteArray* out) {
    out->clear();
    bool gbMode = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            if (gbMode) {
                out->append("~}");
                gbMode = false;
            }
            if (c == QLatin1Char('~'))
                out->append("~~");
            else
                out->append(static_cast<char>(c.unicode()));
            continue;
        }
        QByteArray gb;
        if (c.isHighSurrogate() || !IconvEncode(QString(c), QByteArrayLiteral("GB2312"), &gb) ||
            gb.size() != 2)
            return false;
        if (!gbMode) {
            out->append("~{");
            gbMode = true;
        }
        out->append(static_cast<char>(gb.at(0) & 0x7F));
        out->append(static_cast<char>(gb.at(1) & 0x7F));
    }
    if (gbMode)
        out->append("~}");
    return true;
}

} // namespace

bool HzDecode(const QByteArray& in, QString* out) {
    out->clear();
    bool gbMode = false;
    bool clean = true;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char b = in.at(i);
        if (b == '~' && i + 1 < in.size()) {
            const char n = in.at(i + 1);
            if (!gbMode && n == '~') {
                out->append(QLatin1Char('~'));
                ++i;
                continue;
            }
            if (n == '{' || n == '}') {
                gbMode = n == '{';
                ++i;
                continue;
            }
            if (n == '\n') { // line continuation
                ++i;
                continue;
            }
        }
        if (gbMode && b != '\r' && b != '\n' && i + 1 < in.size()) {
            QByteArray gb;
            gb.append(static_cast<char>(b | 0x80));
            gb.append(static_cast<char>(in.at(i + 1) | 0x80));
            QByteArray utf8;
            if (Iconv(QByteArrayLiteral("UTF-8"), QByteArrayLiteral("GB2312"), gb, &utf8)) {
                out->append(QString::fromUtf8(utf8));
            } else {
                out->append(QChar(0xFFFD));
                clean = false;
            }
            ++i;
            continue;
        }
        if (gbMode && (b == '\r' || b == '\n'))
            gbMode = false; // a line end always returns to ASCII
        out->append(QLatin1Char(b));
    }
    return clean;
}

} // namespace charsets

using namespace charsets;

bool IsKnownCharset(const QString& label) {
    const Resolved r = Resolve(label);
    if (r.special != Special::None)
        return true;
    QByteArray probe;
    return Iconv(r.iconvName, QByteArrayLiteral("UTF-8"), QByteArrayLiteral("a"), &probe);
}

bool EncodeCharset(const QString& text, const QString& label, QByteArray* out) {
    const Resolved r = Resolve(label);
    switch (r.special) {
    case Special::Utf8:
        *out = text.toUtf8();
        return true;
    case Special::Ascii:
        for (QChar c : text)
            if (c.unicode() >= 0x80)
                return false;
        *out = text.toLatin1();
        return true;
    case Special::Hz:
        return HzEncode(text, out);
    case Special::UserDefined:
        out->clear();
        out->reserve(text.size());
        for (QChar c : text) {
            const char16_t u = c.unicode();
            if (u < 0x80)
                out->append(static_cast<char>(u));
            else if (u >= 0xF780 && u <= 0xF7FF)
                out->append(static_cast<char>(u - 0xF780 + 0x80));
            else
                return false;
        }
        return true;
    case Special::None:
    case Special::Windows1252: // labels of received text only
    case Special::Unlabelled:
        break;
    }
    return IconvEncode(text, r.iconvName, out);
}

bool DecodeCharset(const QByteArray& bytes, const QString& label, QString* out) {
    // the bytes as one piece: the same reading as a body read from its file
    class Whole : public ByteSource {
    public:
        explicit Whole(const QByteArray& bytes) : bytes_(bytes) {}
        QByteArray Next() override { return std::exchange(next_, QByteArray()); }
        void Rewind() override { next_ = bytes_; }

    private:
        const QByteArray& bytes_;
        QByteArray next_;
    };
    class Into : public TextSink {
    public:
        explicit Into(QString* out) : out_(out) {}
        void Restart() override { out_->clear(); }
        void Append(QStringView text) override { out_->append(text); }

    private:
        QString* out_;
    };
    Whole in(bytes);
    Into into(out);
    return DecodeCharset(in, label, into);
}

qsizetype CachedConverterCount() {
    return descriptors.size();
}

void ReleaseCachedConverters() {
    descriptors.clear();
}

QString DecodeHeaderWords(const QByteArray& raw) {
    ForwardFinder<QByteArray> question(raw, QByteArrayLiteral("?"));
    ForwardFinder<QByteArray> question2(raw, QByteArrayLiteral("?"));
    ForwardFinder<QByteArray> wordEnd(raw, QByteArrayLiteral("?="));
    QString result;
    qsizetype i = 0;
    bool lastWasWord = false;
    QString pendingSpace;
    // Adjacent encoded words of one charset are decoded together: mailers split a character's bytes
    // over two words.
    QByteArray wordBytes;
    QByteArray wordCharset;
    auto flushWords = [&] {
        if (wordCharset.isEmpty())
            return;
        const QString label = QString::fromLatin1(wordCharset);
        QString decoded;
        DecodeCharset(wordBytes, label, &decoded); // only bad bytes are replaced
        result += decoded;
        wordBytes.clear();
        wordCharset.clear();
    };
    while (i < raw.size()) {
        if (raw.at(i) == '=' && i + 1 < raw.size() && raw.at(i + 1) == '?') {
            // =?charset?E?text?=
            const qsizetype q1 = question.from(i + 2);
            const qsizetype q2 = q1 < 0 ? -1 : question2.from(q1 + 1);
            const qsizetype end = q2 < 0 ? -1 : wordEnd.from(q2 + 1);
            if (q1 > 0 && q2 == q1 + 2 && end > 0) {
                QByteArray charset = raw.mid(i + 2, q1 - i - 2);
                const qsizetype star = charset.indexOf('*'); // RFC 2231 language suffix
                if (star >= 0)
                    charset.truncate(star);
                const char enc = static_cast<char>(raw.at(q1 + 1) | 0x20);
                const QByteArray text = raw.mid(q2 + 1, end - q2 - 1);
                QByteArray bytes;
                bool ok = true;
                if (enc == 'b') {
                    auto decoded = QByteArray::fromBase64Encoding(text);
                    ok = decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok;
                    bytes = decoded.decoded;
                } else if (enc == 'q') {
                    for (qsizetype k = 0; k < text.size(); ++k) {
                        const char c = text.at(k);
                        if (c == '_') {
                            bytes.append(' ');
                        } else if (c == '=' && k + 2 < text.size()) {
                            bool hexOk = false;
                            const int v = text.mid(k + 1, 2).toInt(&hexOk, 16);
                            if (hexOk) {
                                bytes.append(static_cast<char>(v));
                                k += 2;
                            } else {
                                bytes.append(c);
                            }
                        } else {
                            bytes.append(c);
                        }
                    }
                } else {
                    ok = false;
                }
                if (ok) {
                    if (!lastWasWord)
                        result += pendingSpace; // white space between two encoded words is dropped
                    pendingSpace.clear();
                    if (!lastWasWord || charset.compare(wordCharset, Qt::CaseInsensitive) != 0 ||
                        charset.isEmpty()) {
                        flushWords();
                        wordCharset = charset.isEmpty() ? QByteArrayLiteral("us-ascii") : charset;
                    }
                    wordBytes += bytes;
                    lastWasWord = true;
                    i = end + 2;
                    continue;
                }
            }
        }
        const char c = raw.at(i);
        if (c == ' ' || c == '\t') {
            pendingSpace += QLatin1Char(c);
            ++i;
            continue;
        }
        // plain text up to the next blank
        qsizetype j = i;
        while (j < raw.size() && raw.at(j) != ' ' && raw.at(j) != '\t' &&
               !(raw.at(j) == '=' && j + 1 < raw.size() && raw.at(j + 1) == '?' && j > i))
            ++j;
        flushWords();
        result += pendingSpace;
        pendingSpace.clear();
        QString piece;
        DecodeCharset(raw.mid(i, j - i), QString(), &piece); // raw bytes say no charset
        result += piece;
        lastWasWord = false;
        i = j;
    }
    flushWords();
    if (!lastWasWord)
        result += pendingSpace;
    return result;
}

} // namespace mail
