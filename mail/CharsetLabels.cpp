// How the label of received text resolves: the table mail readers and browsers share, where a label
// names the superset its senders really write (gb2312 text holds GBK, ks_c_5601-1987 holds CP949,
// shift_jis holds CP932, iso-8859-1 and us-ascii hold Windows-1252). Labels the table lacks but iconv
// knows (utf-7, cp850...) read through iconv; the rest read as Windows-1252.
#include "mail/CharsetInternals.h"

#include <QHash>

namespace mail::charsets {

namespace {

struct Encoding {
    Special special;
    const char* iconvName;
    const char* labels; // separated by blanks
};

// The ISO-2022 labels and hz-gb-2312, which browsers refuse to read at all, are read here: they are
// what old Korean and Chinese mail really is.
constexpr Encoding kEncodings[] = {
    {Special::Utf8, "", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {Special::None, "IBM866", "866 cp866 csibm866 ibm866"},
    {Special::None, "ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {Special::None, "ISO-8859-3",
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {Special::None, "ISO-8859-4",
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {Special::None, "ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 iso_8859-5:1988"},
    {Special::None, "ISO-8859-6",
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e iso-8859-6-i "
     "iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {Special::None, "ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 iso_8859-7 "
     "iso_8859-7:1987 sun_eu_greek"},
    {Special::None, "ISO-8859-8",
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 iso_8859-8 "
     "iso_8859-8:1988 visual csiso88598i iso-8859-8-i logical"},
    {Special::None, "ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {Special::None, "ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {Special::None, "ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {Special::None, "ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {Special::None, "ISO-8859-16", "iso-8859-16"},
    {Special::None, "KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
    {Special::None, "KOI8-U", "koi8-ru koi8-u"},
    {Special::None, "MACINTOSH", "csmacintosh mac macintosh x-mac-roman"},
    {Special::None, "CP874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {Special::None, "CP1250", "cp1250 windows-1250 x-cp1250"},
    {Special::None, "CP1251", "cp1251 windows-1251 x-cp1251"},
    {Special::Windows1252, "",
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 iso88591 "
     "iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {Special::None, "CP1253", "cp1253 windows-1253 x-cp1253"},
    {Special::None, "CP1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 latin5 "
     "windows-1254 x-cp1254"},
    {Special::None, "CP1255", "cp1255 windows-1255 x-cp1255"},
    {Special::None, "CP1256", "cp1256 windows-1256 x-cp1256"},
    {Special::None, "CP1257", "cp1257 windows-1257 x-cp1257"},
    {Special::None, "CP1258", "cp1258 windows-1258 x-cp1258"},
    {Special::None, "MAC-CYRILLIC", "x-mac-cyrillic x-mac-ukrainian"},
    {Special::None, "GB18030",
     "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk gb18030"},
    {Special::None, "BIG5-HKSCS", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {Special::None, "EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {Special::None, "ISO-2022-JP", "csiso2022jp iso-2022-jp"},
    {Special::None, "CP932", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {Special::None, "CP949",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 ksc_5601 "
     "windows-949"},
    {Special::None, "ISO-2022-KR", "csiso2022kr iso-2022-kr"},
    {Special::None, "ISO-2022-CN", "iso-2022-cn"},
    {Special::None, "ISO-2022-CN-EXT", "iso-2022-cn-ext"},
    {Special::Hz, "GB2312", "hz-gb-2312"},
    {Special::None, "UTF-16BE", "unicodefffe utf-16be"},
    {Special::None, "UTF-16LE", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
    {Special::UserDefined, "", "x-user-defined"},
};

const QHash<QByteArray, const Encoding*>& Labels() {
    static const QHash<QByteArray, const Encoding*> labels = [] {
        QHash<QByteArray, const Encoding*> all;
        for (const Encoding& e : kEncodings)
            for (const QByteArray& label : QByteArray(e.labels).split(' '))
                all.insert(label, &e);
        return all;
    }();
    return labels;
}

} // namespace

Resolved ResolveReceived(const QString& label) {
    // trimmed of ASCII white space only, and lower-cased in ASCII only, as the table's users do
    QByteArray l = label.toLatin1();
    while (!l.isEmpty() && QByteArrayView(" \t\n\f\r").contains(l.back()))
        l.chop(1);
    while (!l.isEmpty() && QByteArrayView(" \t\n\f\r").contains(l.front()))
        l.remove(0, 1);
    l = l.toLower();
    if (l.isEmpty())
        return {Special::Unlabelled, {}, true};
    if (const Encoding* e = Labels().value(l))
        return {e->special, QByteArray(e->iconvName), true};
    if (Descriptor(QByteArrayLiteral("UTF-8"), l) != reinterpret_cast<iconv_t>(-1))
        return {Special::None, l, true};
    return {Special::Windows1252, {}, false};
}

} // namespace mail::charsets
