#include "mail/MimeSupport.h"

#include <QHash>
#include <QRegularExpression>

#include "mail/GMimeInclude.h"

namespace mail {

void InitGMime() {
    static const bool done = [] {
        g_mime_init();
        return true;
    }();
    (void)done;
}

QByteArray ToCrLf(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size() + in.size() / 20 + 16);
    const char* p = in.constData();
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '\n') {
            out.append("\r\n", 2);
        } else if (c == '\r') {
            out.append("\r\n", 2);
            if (i + 1 < n && p[i + 1] == '\n')
                ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

namespace {

QString DecodeEntity(const QString& name) {
    if (name.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive)
                              ? name.mid(2).toUInt(&ok, 16)
                              : name.mid(1).toUInt(&ok, 10);
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return QString(QChar(0xFFFD));
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    static const QHash<QString, QString> named = {
        {QStringLiteral("nbsp"), QString(QChar(0xA0))},     {QStringLiteral("amp"), QStringLiteral("&")},
        {QStringLiteral("lt"), QStringLiteral("<")},        {QStringLiteral("gt"), QStringLiteral(">")},
        {QStringLiteral("quot"), QStringLiteral("\"")},     {QStringLiteral("apos"), QStringLiteral("'")},
        {QStringLiteral("copy"), QString(QChar(0xA9))},     {QStringLiteral("reg"), QString(QChar(0xAE))},
        {QStringLiteral("trade"), QString(QChar(0x2122))},  {QStringLiteral("euro"), QString(QChar(0x20AC))},
        {QStringLiteral("pound"), QString(QChar(0xA3))},    {QStringLiteral("yen"), QString(QChar(0xA5))},
        {QStringLiteral("cent"), QString(QChar(0xA2))},     {QStringLiteral("sect"), QString(QChar(0xA7))},
        {QStringLiteral("deg"), QString(QChar(0xB0))},      {QStringLiteral("middot"), QString(QChar(0xB7))},
        {QStringLiteral("laquo"), QString(QChar(0xAB))},    {QStringLiteral("raquo"), QString(QChar(0xBB))},
        {QStringLiteral("ndash"), QString(QChar(0x2013))},  {QStringLiteral("mdash"), QString(QChar(0x2014))},
        {QStringLiteral("lsquo"), QString(QChar(0x2018))},  {QStringLiteral("rsquo"), QString(QChar(0x2019))},
        {QStringLiteral("ldquo"), QString(QChar(0x201C))},  {QStringLiteral("rdquo"), QString(QChar(0x201D))},
        {QStringLiteral("hellip"), QString(QChar(0x2026))}, {QStringLiteral("bull"), QString(QChar(0x2022))},
    };
    auto it = named.constFind(name);
    return it == named.constEnd() ? QString() : it.value();
}

} // namespace

QString HtmlToText(const QString& html) {
    static const QRegularExpression dropped(
        QStringLiteral("<!--.*?-->|<(script|style|head|title)\\b[^>]*>.*?</\\1\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString s = html;
    s.remove(dropped);

    QString out;
    out.reserve(s.size());
    bool pendingSpace = false;
    auto newline = [&](int maxBlank) {
        pendingSpace = false;
        while (out.endsWith(QLatin1Char(' ')))
            out.chop(1);
        int trailing = 0;
        for (qsizetype k = out.size() - 1; k >= 0 && out.at(k) == QLatin1Char('\n'); --k)
            ++trailing;
        if (!out.isEmpty() && trailing < maxBlank)
            out += QLatin1Char('\n');
    };
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('<')) {
            const qsizetype close = s.indexOf(QLatin1Char('>'), i + 1);
            if (close < 0)
                break;
            QString tag = s.mid(i + 1, close - i - 1).trimmed().toLower();
            i = close;
            const bool end = tag.startsWith(QLatin1Char('/'));
            if (end)
                tag.remove(0, 1);
            // The name ends at the first blank or "/" (a scan: this runs for every tag of every message).
            qsizetype nameEnd = 0;
            while (nameEnd < tag.size() && !tag.at(nameEnd).isSpace() && tag.at(nameEnd) != QLatin1Char('/'))
                ++nameEnd;
            const QString name = tag.left(nameEnd);
            if (name == QLatin1String("br")) {
                newline(3);
            } else if (name == QLatin1String("p") || name == QLatin1String("div") ||
                       name == QLatin1String("tr") || name == QLatin1String("table") ||
                       name == QLatin1String("blockquote") || name == QLatin1String("ul") ||
                       name == QLatin1String("ol") || name == QLatin1String("hr") ||
                       (name.size() == 2 && name.at(0) == QLatin1Char('h') && name.at(1).isDigit())) {
                newline(1);
                if (name == QLatin1String("p") || name.startsWith(QLatin1Char('h')))
                    newline(2);
            } else if (name == QLatin1String("li")) {
                newline(1);
                if (!end)
                    out += QStringLiteral("* ");
            } else if (name == QLatin1String("td") || name == QLatin1String("th")) {
                pendingSpace = !out.isEmpty() && !out.endsWith(QLatin1Char('\n'));
            }
            continue;
        }
        if (c.isSpace()) {
            pendingSpace = !out.isEmpty() && !out.endsWith(QLatin1Char('\n'));
            continue;
        }
        if (pendingSpace) {
            out += QLatin1Char(' ');
            pendingSpace = false;
        }
        if (c == QLatin1Char('&')) {
            const qsizetype semi = s.indexOf(QLatin1Char(';'), i + 1);
            if (semi > i && semi - i <= 10) {
                const QString decoded = DecodeEntity(s.mid(i + 1, semi - i - 1));
                if (!decoded.isEmpty()) {
                    out += decoded == QString(QChar(0xA0)) ? QStringLiteral(" ") : decoded;
                    i = semi;
                    continue;
                }
            }
        }
        out += c;
    }
    while (out.endsWith(QLatin1Char('\n')) || out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    return out;
}

} // namespace mail
