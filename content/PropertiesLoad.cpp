#include "content/PropertiesLoad.h"

namespace {

struct TokenName {
    const char* token;
    const char* name;
};

// A row whose token holds another row's token stands before it, so every row can be found.
const TokenName LanguageTable[] = {
    {"content=sq", "Albanian"},
    {"content=ar-dz", "Arabic (Algeria)"},
    {"content=ar-bh", "Arabic (Bahrain)"},
    {"content=ar-eg", "Arabic (Egypt)"},
    {"content=ar-iq", "Arabic (Iraq)"},
    {"content=ar-jo", "Arabic (Jordan)"},
    {"content=ar-kw", "Arabic (Kuwait)"},
    {"content=ar-lb", "Arabic (Lebanon)"},
    {"content=ar-ly", "Arabic (Libya)"},
    {"content=ar-ma", "Arabic (Morocco)"},
    {"content=ar-om", "Arabic (Oman)"},
    {"content=ar-qa", "Arabic (Qatar)"},
    {"content=ar-sa", "Arabic (Saudi Arabia)"},
    {"content=ar-sy", "Arabic (Syria)"},
    {"content=ar-tn", "Arabic (Tunisia)"},
    {"content=ar-ae", "Arabic (U.A.E.)"},
    {"content=ar-ye", "Arabic (Yemen)"},
    {"content=hy", "Armenian"},
    {"content=as", "Assamese"},
    {"content=az", "Azeri"},
    {"content=eu", "Basque"},
    {"content=be", "Belarusian"},
    {"content=bn", "Bengali"},
    {"content=bg", "Bulgarian"},
    {"content=ca", "Catalan"},
    {"content=zh-hk", "Chinese (Hong Kong SAR)"},
    {"content=zh-cn", "Chinese (PRC)"},
    {"content=zh-sg", "Chinese (Singapore)"},
    {"content=zh-tw", "Chinese (Taiwan)"},
    {"content=hr", "Croatian"},
    {"content=cs", "Czech"},
    {"content=da", "Danish"},
    {"content=nl-be", "Dutch (Belgian)"},
    {"content=nl", "Dutch (Standard)"},
    {"content=en-au", "English (Australian)"},
    {"content=en-bz", "English (Belize)"},
    {"content=en-gb", "English (British)"},
    {"content=en-ca", "English (Canadian)"},
    {"content=en-ie", "English (Ireland)"},
    {"content=en-jm", "English (Jamaica)"},
    {"content=en-nz", "English (New Zealand)"},
    {"content=en-ph", "English (Philippines)"},
    {"content=en-za", "English (South Africa)"},
    {"content=en-tt", "English (Trinidad)"},
    {"content=en-us", "English (United States)"},
    {"content=en-zw", "English (Zimbabwe)"},
    {"content=et", "Estonian"},
    {"content=fo", "Faeroese"},
    {"content=fa", "Farsi"},
    {"content=fi", "Finnish"},
    {"content=fr-be", "French (Belgian)"},
    {"content=fr-ca", "French (Canadian)"},
    {"content=fr-lu", "French (Luxembourg)"},
    {"content=fr-mc", "French (Monaco)"},
    {"content=fr-ch", "French (Swiss)"},
    {"content=fr", "French (Standard)"},
    {"content=mk", "FYRO Macedonian"},
    {"content=ga", "Gaelic"},
    {"content=gd", "Gaelic (Scots)"},
    {"content=gl", "Galician"},
    {"content=ka", "Georgian"},
    {"content=de-at", "German (Austrian)"},
    {"content=de-li", "German (Liechtenstein)"},
    {"content=de-lu", "German (Luxembourg)"},
    {"content=de-ch", "German (Swiss)"},
    {"content=de", "German (Standard)"},
    {"content=el", "Greek"},
    {"content=gu", "Gujarati"},
    {"content=he", "Hebrew"},
    {"content=hi", "Hindi"},
    {"content=hu", "Hungarian"},
    {"content=is", "Icelandic"},
    {"content=id", "Indonesian"},
    {"content=it-ch", "Italian (Swiss)"},
    {"content=it", "Italian (Standard)"},
    {"content=ja", "Japanese"},
    {"content=kn", "Kannada"},
    {"content=kk", "Kazakh"},
    {"content=kok", "Konkani"},
    {"content=ko", "Korean"},
    {"content=lv", "Latvian"},
    {"content=lt", "Lithuanian"},
    {"content=ml", "Malayalam"},
    {"content=ms", "Malaysian"},
    {"content=mt", "Maltese"},
    {"content=mr", "Marathi"},
    {"content=ne", "Nepali"},
    {"content=no-bok", "Norwegian (Bokmal)"},
    {"content=no-nyn", "Norwegian (Nynorsk)"},
    {"content=or", "Oriya"},
    {"content=pl", "Polish"},
    {"content=pt-br", "Portuguese (Brazilian)"},
    {"content=pt", "Portuguese (Standard)"},
    {"content=pa", "Punjabi"},
    {"content=rm", "Rhaeto-Romantic"},
    {"content=ro-mo", "Romanian (Moldavia)"},
    {"content=ro", "Romanian"},
    {"content=ru-mo", "Russian (Moldavia)"},
    {"content=ru", "Russian"},
    {"content=sa", "Sanskrit"},
    {"content=sr", "Serbian"},
    {"content=sk", "Slovak"},
    {"content=sl", "Slovenian"},
    {"content=sb", "Sorbian"},
    {"content=es-ar", "Spanish (Argentina)"},
    {"content=es-bo", "Spanish (Bolivia)"},
    {"content=es-cl", "Spanish (Chile)"},
    {"content=es-co", "Spanish (Colombia)"},
    {"content=es-cr", "Spanish (Costa Rica)"},
    {"content=es-do", "Spanish (Dominican Republic)"},
    {"content=es-ec", "Spanish (Ecuador)"},
    {"content=es-sv", "Spanish (El Salvador)"},
    {"content=es-gt", "Spanish (Guatemala)"},
    {"content=es-hn", "Spanish (Honduras)"},
    {"content=es-mx", "Spanish (Mexican)"},
    {"content=es-ni", "Spanish (Nicaragua)"},
    {"content=es-pa", "Spanish (Panama)"},
    {"content=es-py", "Spanish (Paraguay)"},
    {"content=es-pe", "Spanish (Peru)"},
    {"content=es-pr", "Spanish (Puerto Rico)"},
    {"content=es-uy", "Spanish (Uruguay)"},
    {"content=es-ve", "Spanish (Venezuela)"},
    {"content=es", "Spanish (Standard)"},
    {"content=sx", "Sutu"},
    {"content=sw", "Swahili"},
    {"content=sv-fi", "Swedish (Finland)"},
    {"content=sv", "Swedish"},
    {"content=ta", "Tamil"},
    {"content=tt", "Tatar"},
    {"content=te", "Telugu"},
    {"content=th", "Thai"},
    {"content=ts", "Tsonga"},
    {"content=tn", "Tswana"},
    {"content=tr", "Turkish"},
    {"content=uk", "Ukrainian"},
    {"content=ur", "Urdu"},
    {"content=uz", "Uzbek"},
    {"content=vi", "Vietnamese"},
    {"content=cy", "Welsh"},
    {"content=xh", "Xhosa"},
    {"content=ji", "Yiddish"},
    {"content=zu", "Zulu"},
};

const TokenName EncodingTable[] = {
    {"windows-1256", "Arabic"},
    {"windows-1257", "Baltic"},
    {"windows-1250", "Central European"},
    {"iso-8859-2", "Central European (ISO 8859-2)"},
    {"windows-1251", "Cyrillic"},
    {"koi8-r", "Cyrillic (KOI8-R)"},
    {"windows-1253", "Greek"},
    {"windows-1255", "Hebrew"},
    {"euc-jp", "Japanese (EUC)"},
    {"iso-2022-jp", "Japanese (JIS)"},
    {"shift_jis", "Japanese (Shift-JIS)"},
    {"ks_c_5601-1987", "Korean"},
    {"euc-kr", "Korean (EUC)"},
    {"gb2312", "Simplified Chinese (GB2312)"},
    {"windows-874", "Thai"},
    {"big5", "Traditional Chinese (Big5)"},
    {"windows-1254", "Turkish"},
    {"unicodefffe", "Unicode (Big-Endian)"},
    {"unicode", "Unicode"},
    {"utf-8", "Unicode (UTF-8)"},
    {"windows-1252", "US/Western European"},
    {"windows-1258", "Vietnamese"},
};

template <size_t N>
QString Scan(const QString& headText, const TokenName (&table)[N]) {
    for (const TokenName& row : table)
        if (headText.contains(QLatin1String(row.token)))
            return QString::fromLatin1(row.name);
    return QStringLiteral("None");
}

// A value that HTML lets stand without quotes.
bool CanStandBare(QStringView value) {
    if (value.isEmpty())
        return false;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case ' ':
        case '\t':
        case '\n':
        case '\r':
        case '\f':
        case '"':
        case '\'':
        case '=':
        case '<':
        case '>':
        case '`':
            return false;
        default:
            break;
        }
    }
    return true;
}

// Elements whose content is raw text: a "<" in it opens no tag.
bool HoldsRawText(QStringView name) {
    static const char* const names[] = {"script",  "style",    "xmp",      "iframe",
                                        "noembed", "noframes", "noscript", "plaintext"};
    for (const char* n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool IsSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

// Copies the start tag at `at` (just past its "<") to `out`, values written bare where they can be; returns
// the position after the tag and sets `name` to the tag's name.
qsizetype CopyStartTag(const QString& markup, qsizetype at, QString& out, QStringView& name) {
    const qsizetype n = markup.size();
    qsizetype i = at;
    while (i < n && !IsSpace(markup.at(i)) && markup.at(i) != QLatin1Char('>') &&
           markup.at(i) != QLatin1Char('/'))
        ++i;
    name = QStringView(markup).mid(at, i - at);
    out += name;
    while (i < n) {
        const QChar c = markup.at(i);
        if (c == QLatin1Char('>')) {
            out += c;
            return i + 1;
        }
        if (c == QLatin1Char('=') && i + 1 < n &&
            (markup.at(i + 1) == QLatin1Char('"') || markup.at(i + 1) == QLatin1Char('\''))) {
            const QChar quote = markup.at(i + 1);
            const qsizetype close = markup.indexOf(quote, i + 2);
            if (close < 0)
                break;
            const QStringView value = QStringView(markup).mid(i + 2, close - i - 2);
            out += QLatin1Char('=');
            if (CanStandBare(value))
                out += value;
            else
                out += quote + value.toString() + quote;
            i = close + 1;
            continue;
        }
        out += c;
        ++i;
    }
    out += QStringView(markup).mid(i);
    return n;
}

} // namespace

QString BareAttributeValues(const QString& markup) {
    QString out;
    out.reserve(markup.size());
    const qsizetype n = markup.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype open = markup.indexOf(QLatin1Char('<'), i);
        if (open < 0 || open + 1 >= n) {
            out += QStringView(markup).mid(i);
            break;
        }
        out += QStringView(markup).mid(i, open - i);
        if (QStringView(markup).mid(open, 4) == QLatin1String("<!--")) {
            const qsizetype close = markup.indexOf(QLatin1String("-->"), open + 4);
            const qsizetype end = close < 0 ? n : close + 3;
            out += QStringView(markup).mid(open, end - open);
            i = end;
            continue;
        }
        if (!markup.at(open + 1).isLetter()) {
            out += QLatin1Char('<');
            i = open + 1;
            continue;
        }
        out += QLatin1Char('<');
        QStringView name;
        i = CopyStartTag(markup, open + 1, out, name);
        if (HoldsRawText(name)) {
            qsizetype end = markup.indexOf(QStringLiteral("</") + name.toString(), i, Qt::CaseInsensitive);
            if (end < 0)
                end = n;
            out += QStringView(markup).mid(i, end - i);
            i = end;
        }
    }
    return out;
}

QString HeadText(const QString& documentHtml) {
    const QString lower = documentHtml.toLower();
    const qsizetype at = lower.indexOf(QLatin1String("</head>"));
    return at < 0 ? QString() : lower.left(at + 1);
}

QString PageDirection(const QString& headText) {
    QString direction = QStringLiteral("None");
    if (headText.contains(QLatin1String("dir=\"ltr\"")) || headText.contains(QLatin1String("dir=ltr")))
        direction = QStringLiteral("Left to Right");
    if (headText.contains(QLatin1String("dir=\"rtl\"")) || headText.contains(QLatin1String("dir=rtl")))
        direction = QStringLiteral("Right to Left");
    return direction;
}

QString PageLanguage(const QString& headText) {
    return Scan(headText, LanguageTable);
}

QString PageCharset(const QString& headText) {
    return Scan(headText, EncodingTable);
}

DocumentProperties ReadDocumentProperties(const QString& path, const QString& title,
                                          const QString& documentHtml) {
    const QString head = HeadText(documentHtml);
    return {path.isEmpty() ? QStringLiteral("Unsaved") : path,
            title.isEmpty() ? QStringLiteral("Not Available") : title, PageDirection(head),
            PageLanguage(head), PageCharset(head)};
}
