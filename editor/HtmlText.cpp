#include "editor/HtmlText.h"

#include <QColor>
#include <QRegularExpression>
#include <QStringDecoder>

namespace htmltext {

namespace {

int HexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

QString HexColor(int r, int g, int b) {
    return QStringLiteral("#%1%2%3")
        .arg(r, 2, 16, QLatin1Char('0'))
        .arg(g, 2, 16, QLatin1Char('0'))
        .arg(b, 2, 16, QLatin1Char('0'));
}

} // namespace

// The legacy colour rules of HTML: what a browser makes of <body bgcolor="..."> whatever it holds.
QString NormalizeColor(const QString& value) {
    QString input = value.trimmed();
    if (input.isEmpty() || input.compare(QLatin1String("transparent"), Qt::CaseInsensitive) == 0)
        return QString();
    if (input.size() == 4 && input.at(0) == QLatin1Char('#') && HexValue(input.at(1)) >= 0 &&
        HexValue(input.at(2)) >= 0 && HexValue(input.at(3)) >= 0)
        return HexColor(HexValue(input.at(1)) * 17, HexValue(input.at(2)) * 17, HexValue(input.at(3)) * 17);
    if (input.at(0) != QLatin1Char('#')) {
        QColor named;
        named.setNamedColor(input.toLower());
        if (named.isValid() && !input.contains(QLatin1Char('#')))
            return HexColor(named.red(), named.green(), named.blue());
    }
    // Characters outside the basic plane count as two zero digits, the rest that are not hex as one.
    QString digits;
    for (const QChar c : input) {
        if (c.isSurrogate()) {
            if (c.isHighSurrogate())
                digits += QStringLiteral("00");
            continue;
        }
        digits += c;
    }
    digits.truncate(128);
    if (digits.startsWith(QLatin1Char('#')))
        digits.remove(0, 1);
    for (QChar& c : digits) {
        if (HexValue(c) < 0)
            c = QLatin1Char('0');
    }
    while (digits.isEmpty() || digits.size() % 3 != 0)
        digits += QLatin1Char('0');
    int length = int(digits.size() / 3);
    QString parts[3] = {digits.mid(0, length), digits.mid(length, length), digits.mid(2 * length, length)};
    if (length > 8) {
        for (QString& part : parts)
            part = part.right(8);
        length = 8;
    }
    while (length > 2 && parts[0].startsWith(QLatin1Char('0')) && parts[1].startsWith(QLatin1Char('0')) &&
           parts[2].startsWith(QLatin1Char('0'))) {
        for (QString& part : parts)
            part.remove(0, 1);
        --length;
    }
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
        const QString part = parts[i].left(2);
        rgb[i] = part.size() == 1 ? HexValue(part.at(0)) : HexValue(part.at(0)) * 16 + HexValue(part.at(1));
    }
    return HexColor(rgb[0], rgb[1], rgb[2]);
}

QByteArray ChooseCharset(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QByteArray();
    // The engine honours a declaration in the head: look where it may stand, before the body starts.
    QByteArray head = bytes.left(16384);
    const qsizetype bodyAt = head.toLower().indexOf("<body");
    if (bodyAt >= 0)
        head.truncate(bodyAt);
    static const QRegularExpression declaration(
        QStringLiteral(R"(<meta\b[^>]*\bcharset\s*=\s*["']?\s*[A-Za-z0-9])"),
        QRegularExpression::CaseInsensitiveOption);
    if (declaration.match(QString::fromLatin1(head)).hasMatch())
        return QByteArray();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes);
    return utf8.hasError() ? QByteArrayLiteral("windows-1252") : QByteArrayLiteral("utf-8");
}

bool IsText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2) {
            if (bytes.at(i) == 0 && bytes.at(i + 1) == 0)
                return false;
        }
        return true;
    }
    return !bytes.contains('\0');
}

QString JsString(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\\') {
            out += QLatin1Char('\\');
            out += c;
        } else if (u < 0x20 || u == 0x2028 || u == 0x2029 || u == '<' || u == '>') {
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString AttributeText(const QString& text) {
    return text.toHtmlEscaped();
}

} // namespace htmltext
