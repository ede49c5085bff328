#include "transfer/ImportText.h"

#include "core/TextUtil.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// Windows-1252 code points for the bytes 0x80 to 0x9F; the five unassigned bytes keep their C1 value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return out;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

// Text without a BOM is taken for UTF-16 when most of its even (BE) or odd (LE) bytes are zero and the
// others almost never are: plain text in UTF-16 looks like that, Western text in 8 bits never does.
enum class Utf16Guess { None, LittleEndian, BigEndian };
Utf16Guess guessUtf16(const QByteArray& bytes) {
    const qsizetype pairs = bytes.size() / 2;
    if (pairs < 2 || bytes.size() % 2 != 0)
        return Utf16Guess::None;
    const qsizetype sample = std::min<qsizetype>(pairs, 4096);
    qsizetype evenZero = 0, oddZero = 0;
    for (qsizetype i = 0; i < sample; ++i) {
        evenZero += bytes[2 * i] == 0;
        oddZero += bytes[2 * i + 1] == 0;
    }
    if (oddZero * 10 >= sample * 7 && evenZero * 20 <= sample)
        return Utf16Guess::LittleEndian;
    if (evenZero * 10 >= sample * 7 && oddZero * 20 <= sample)
        return Utf16Guess::BigEndian;
    return Utf16Guess::None;
}

} // namespace

QString DecodeImportText(const QByteArray& bytes) {
    QString text;
    // Only a mark at the very start is a BOM; the same bytes later in the file are text.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = decodeWith(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3));
    } else if (bytes.startsWith("\xFF\xFE")) {
        text = decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        text = decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    } else {
        switch (guessUtf16(bytes)) {
        case Utf16Guess::LittleEndian:
            text = decodeWith(QStringConverter::Utf16LE, bytes);
            break;
        case Utf16Guess::BigEndian:
            text = decodeWith(QStringConverter::Utf16BE, bytes);
            break;
        case Utf16Guess::None: {
            QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            text = utf8.decode(bytes);
            if (utf8.hasError())
                text = decodeCp1252(bytes);
            break;
        }
        }
    }
    text.remove(QChar(0));
    return text;
}

QStringList SplitImportLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    const QChar* s = text.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && s[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

bool ReadImportFile(const QString& path, QString* text, qint64* size) {
    text->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (size)
            *size = 0;
        return false;
    }
    const QByteArray bytes = file.readAll();
    const bool ok = file.error() == QFileDevice::NoError;
    if (size)
        *size = bytes.size();
    if (ok)
        *text = DecodeImportText(bytes);
    return ok;
}

QString FirstImportLine(const QString& path) {
    QString text;
    if (!ReadImportFile(path, &text))
        return QString();
    const QStringList lines = SplitImportLines(text);
    return lines.isEmpty() ? QString() : lines.first();
}

QStringList DelimiterNames() {
    return {QStringLiteral("Tab"), QStringLiteral("Colon"), QStringLiteral("Space"), QStringLiteral("Comma"),
            QStringLiteral("Semicolon")};
}

QChar DelimiterForName(const QString& name) {
    if (name == QLatin1String("Colon"))
        return QLatin1Char(':');
    if (name == QLatin1String("Space"))
        return QLatin1Char(' ');
    if (name == QLatin1String("Comma"))
        return QLatin1Char(',');
    if (name == QLatin1String("Semicolon"))
        return QLatin1Char(';');
    return QLatin1Char('\t');
}

QStringList SplitImportLine(const QString& line, QChar delimiter, bool stripQuotes) {
    QStringList fields;
    if (line.isEmpty())
        return fields;
    const QStringList pieces = line.split(delimiter);
    fields.reserve(pieces.size());
    for (const QString& piece : pieces) {
        QString field = TrimBlanks(piece);
        if (stripQuotes && field.size() >= 2 && field.startsWith(QLatin1Char('"')) &&
            field.endsWith(QLatin1Char('"'))) {
            field = field.mid(1, field.size() - 2);
            field.replace(QLatin1String("\"\""), QLatin1String("\""));
        }
        fields.append(field);
    }
    return fields;
}
