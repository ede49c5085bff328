#include "mail/MimeSupport.h"

#include "core/ForwardFinder.h"

#include <QHash>
#include <vector>

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

bool IsNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char(':');
}

// When a hidden element opens at lt and is closed later: the position after its end tag, else -1.
// An end tag is "</name" not followed by a further name character, up to its ">".
constexpr const char* kHiddenElements[] = {"script", "style", "head", "title"};

qsizetype HiddenElementEnd(const QString& html, qsizetype lt, std::vector<ForwardFinder<QString>>& closers,
                           ForwardFinder<QString>& tagEnd) {
    const auto& hidden = kHiddenElements;
    const qsizetype n = html.size();
    for (size_t k = 0; k < std::size(hidden); ++k) {
        const QLatin1String name(hidden[k]);
        const qsizetype after = lt + 1 + name.size();
        if (QStringView(html).mid(lt + 1, name.size()).compare(name, Qt::CaseInsensitive) != 0 ||
            (after < n && IsNameChar(html.at(after))))
            continue;
        qsizetype e = closers[k].from(after);
        while (e >= 0 && e + 2 + name.size() < n && IsNameChar(html.at(e + 2 + name.size())))
            e = closers[k].from(e + 1);
        if (e < 0)
            return -1;
        const qsizetype gt = tagEnd.from(e);
        return gt < 0 ? -1 : gt + 1;
    }
    return -1;
}

// Comments and the elements whose content is never shown text (script, style, head, title), removed
// in one pass. An element that is never closed stays, as text a reader can see.
QString DropHiddenElements(const QString& html) {
    ForwardFinder<QString> commentEnd(html, QStringLiteral("-->"), Qt::CaseInsensitive);
    ForwardFinder<QString> tagEnd(html, QStringLiteral(">"), Qt::CaseInsensitive);
    std::vector<ForwardFinder<QString>> closers;
    for (const char* name : kHiddenElements)
        closers.emplace_back(html, QStringLiteral("</") + QLatin1String(name), Qt::CaseInsensitive);
    // Only the text between dropped pieces is copied; a document with nothing to drop is returned
    // as it is (shared, not copied).
    QString out;
    qsizetype copied = 0;
    auto drop = [&](qsizetype from, qsizetype to) {
        out += QStringView(html).mid(copied, from - copied);
        copied = to;
    };
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = html.indexOf(QLatin1Char('<'), i);
        if (lt < 0)
            break;
        if (QStringView(html).mid(lt, 4) == QLatin1String("<!--")) {
            const qsizetype end = commentEnd.from(lt + 4);
            if (end >= 0) {
                drop(lt, end + 3);
                i = end + 3;
                continue;
            }
        } else if (const qsizetype end = HiddenElementEnd(html, lt, closers, tagEnd); end >= 0) {
            drop(lt, end);
            i = end;
            continue;
        }
        i = lt + 1;
    }
    if (copied == 0)
        return html;
    out += QStringView(html).mid(copied);
    return out;
}

} // namespace

QString HtmlToText(const QString& html) {
    const QString s = DropHiddenElements(html);

    QString out;
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
            // an entity name is short: look no further than that for its ";"
            const qsizetype semi = QStringView(s).mid(i + 1, 10).indexOf(QLatin1Char(';')) + i + 1;
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

QString CutToUtf8Bytes(const QString& text, qsizetype maxBytes) {
    qsizetype bytes = 0;
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype n = pair ? 4 : u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (bytes + n > maxBytes)
            break;
        bytes += n;
        if (pair)
            ++i;
    }
    return text.left(i);
}

QString SafePartName(const QString& raw, const QString& fallback) {
    QString name = raw;
    const qsizetype cut = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (cut >= 0)
        name = name.mid(cut + 1);
    QString clean;
    clean.reserve(name.size());
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || c == QLatin1Char(':') ||
            c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('"') ||
            c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('|'))
            continue;
        clean += c;
    }
    clean = clean.trimmed();
    while (clean.startsWith(QLatin1Char('.')))
        clean.remove(0, 1);
    if (clean.toUtf8().size() > kMaxPartNameBytes) {
        const qsizetype dot = clean.lastIndexOf(QLatin1Char('.'));
        const QString ext = dot > 0 && clean.size() - dot <= 16 ? clean.mid(dot) : QString();
        clean = CutToUtf8Bytes(clean.left(clean.size() - ext.size()), kMaxPartNameBytes - ext.toUtf8().size())
                    .trimmed() +
                ext;
    }
    if (clean.isEmpty() && fallback != raw)
        return SafePartName(fallback, QStringLiteral("part"));
    return clean.isEmpty() ? QStringLiteral("part") : clean;
}

QString ExtensionForType(const QByteArray& type) {
    if (type == "text/plain")
        return QStringLiteral(".txt");
    if (type == "text/html")
        return QStringLiteral(".htm");
    if (type == "message/rfc822")
        return QStringLiteral(".eml");
    if (type.startsWith("image/")) {
        // the subtype as it stands is a name part: keep only what is safe and short
        QString sub;
        for (char c : type.mid(6))
            if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '+')
                sub += QLatin1Char(c);
        return QLatin1Char('.') + sub.left(16);
    }
    return QStringLiteral(".dat");
}

} // namespace mail
