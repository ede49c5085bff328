#include "transfer/ImportText.h"
#include "recipients/CheckEmail.h"
#include "transfer/AddressScanner.h"
#include "transfer/ImportFileReader.h"
#include "transfer/RecipientImporter.h"

#include <QBuffer>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray utf16(const QString& text, QStringConverter::Encoding e) {
    QStringEncoder encoder(e, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

TEST(ImportText, EncodingIsDetected) {
    const QString names = QStringLiteral("Zoë;O'Brien;Łódź\r\n");
    const QByteArray utf8 = names.toUtf8();
    EXPECT_EQ(names, DecodeImportText(utf8));
    EXPECT_EQ(names, DecodeImportText("\xEF\xBB\xBF" + utf8)) << "UTF-8 BOM dropped";
    EXPECT_EQ(names, DecodeImportText("\xFF\xFE" + utf16(names, QStringConverter::Utf16LE)));
    EXPECT_EQ(names, DecodeImportText("\xFE\xFF" + utf16(names, QStringConverter::Utf16BE)));
    EXPECT_EQ(names, DecodeImportText(utf16(names, QStringConverter::Utf16LE))) << "UTF-16 LE without BOM";
    EXPECT_EQ(names, DecodeImportText(utf16(names, QStringConverter::Utf16BE))) << "UTF-16 BE without BOM";
    // Not valid UTF-8: Windows-1252, with its own characters in 0x80-0x9F.
    EXPECT_EQ(QStringLiteral("Zoë O’Brien €5"), DecodeImportText("Zo\xEB O\x92"
                                                                 "Brien \x80"
                                                                 "5"));
}

TEST(ImportText, Utf8IsWhatAStrictDecoderAccepts) {
    // Overlong forms, surrogates, code points above U+10FFFF, stray and missing continuation bytes, a
    // sequence cut off by the end of the file; and the valid edges next to each.
    const char* const samples[] = {"\xC0\xAF",
                                   "\xC1\xBF",
                                   "\xC2\x80",
                                   "\xE0\x80\xAF",
                                   "\xE0\xA0\x80",
                                   "\xED\xA0\x80",
                                   "\xED\x9F\xBF",
                                   "\xEF\xBF\xBD",
                                   "\xF0\x8F\xBF\xBF",
                                   "\xF0\x90\x80\x80",
                                   "\xF4\x8F\xBF\xBF",
                                   "\xF4\x90\x80\x80",
                                   "\xF5\x80\x80\x80",
                                   "\x80",
                                   "\xC3",
                                   "\xE2\x82",
                                   "\xC3\xA9\xA9",
                                   "\xFF"};
    for (const char* sample : samples) {
        const QByteArray bytes = QByteArray("ab;") + sample;
        QStringDecoder strict(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString asUtf8 = strict.decode(bytes);
        const QString text = DecodeImportText(bytes);
        if (!strict.hasError())
            EXPECT_EQ(asUtf8, text) << QByteArray(sample).toHex().constData();
        else
            EXPECT_EQ(bytes.size(), text.size())
                << "one character a byte: " << QByteArray(sample).toHex().constData();
    }
}

// Plain ASCII is decoded a word at a time: a NUL, a valid sequence or a stray byte at any place in or
// across a word is still seen.
TEST(ImportText, OddBytesAtEveryPlaceOfAWord) {
    const struct {
        QByteArray bytes;
        QString text;
    } odd[] = {{QByteArray("\0", 1), QString()},
               {"\xC3\xA9", QStringLiteral("\u00e9")},
               {"\xE2\x82\xAC", QStringLiteral("\u20ac")},
               {"\x80", QStringLiteral("\u20ac")}};
    for (const auto& o : odd) {
        for (int at = 0; at < 17; ++at) {
            const QByteArray before(at, 'a'), after(11, 'b');
            EXPECT_EQ(DecodeImportText(before + o.bytes + after),
                      QString::fromLatin1(before) + o.text + QString::fromLatin1(after))
                << o.bytes.toHex().constData() << " at " << at;
        }
    }
}

TEST(ImportText, OnlyALeadingMarkIsABom) {
    // "ï»¿" inside the text is text (in UTF-8 and in Windows-1252 alike), never deleted.
    EXPECT_EQ(QStringLiteral("a;ï»¿b"), DecodeImportText("\xEF\xBB\xBF"
                                                         "a;\xC3\xAF\xC2\xBB\xC2\xBF"
                                                         "b"));
    EXPECT_EQ(QStringLiteral("a;ï»¿b"), DecodeImportText("a;\xEF\xBB\xBF"
                                                         "b\xFF")
                                            .chopped(1));
    EXPECT_EQ(QStringList({QStringLiteral("ï»¿x"), QStringLiteral("y")}),
              SplitImportLine(QStringLiteral("ï»¿x;y"), QLatin1Char(';'), false));
}

TEST(ImportText, NulBytesAndBinaryNeverBreakTheText) {
    EXPECT_EQ(QStringLiteral("ab@c.com;x"), DecodeImportText(QByteArray("ab@c.\0com;x", 11)));
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 37 + 11) % 256);
    const QString text = DecodeImportText(binary);
    EXPECT_FALSE(text.contains(QChar(0)));
    EXPECT_GT(text.size(), 4000);
}

// The records the reader gives for some bytes; one that is too long shows as "!" and its start. The
// counting pass's number of lines goes to lineCount; with numbered, each record starts with the numbers
// of its first and last line ("3-4:").
QStringList recordsOf(const QByteArray& bytes, const ImportFileReader::RecordRule& rule,
                      qint64* lineCount = nullptr, bool numbered = false) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    ImportFileReader reader;
    QStringList records;
    QString record;
    if (reader.Open(&buffer)) {
        for (;;) {
            const ImportFileReader::Record read = reader.ReadRecord(&record, rule);
            if (read == ImportFileReader::Record::End)
                break;
            const QString lines = QStringLiteral("%1-%2:").arg(reader.FirstLine()).arg(reader.LastLine());
            records << (numbered ? lines : QString()) + (read == ImportFileReader::Record::TooLong
                                                             ? QStringLiteral("!") + record
                                                             : record);
        }
    }
    if (lineCount)
        *lineCount = reader.LineCount();
    return records;
}

// Records as one readable text, for a failure message.
std::string Shown(const QStringList& records) {
    return records.join(QStringLiteral(" ## ")).toStdString();
}

// The lines the reader gives for some bytes.
QStringList linesOf(const QByteArray& bytes) {
    qint64 count = 0;
    const QStringList lines = recordsOf(bytes, {}, &count);
    EXPECT_EQ(lines.size(), count) << "the counting pass agrees with the lines read";
    return lines;
}

TEST(ImportText, LinesEndAtCrLfLfOrCr) {
    EXPECT_EQ(QStringList({"a", "b", "c", "", "d"}), linesOf(QByteArray("a\r\nb\nc\r\rd")));
    EXPECT_EQ(QStringList({"a", "b"}), linesOf(QByteArray("a\r\nb\r\n"))) << "no empty last line";
    EXPECT_EQ(QStringList({"only"}), linesOf(QByteArray("only")));
    EXPECT_EQ(QStringList({"", "", "x"}), linesOf(QByteArray("\n\rx"))) << "LF then CR is two ends";
    EXPECT_TRUE(linesOf(QByteArray()).isEmpty());
}

TEST(ImportText, BlockBoundariesCutNothing) {
    const qsizetype block = ImportFileReader::BlockSize;
    // CR LF split by the end of a block is still one line end; so is CR NUL LF.
    EXPECT_EQ(QStringList({QString(block - 1, QLatin1Char('a')), "b", "c"}),
              linesOf(QByteArray(block - 1, 'a') + "\r\nb\r" + QByteArray(1, '\0') + "\nc"));
    // A UTF-8 character split by the end of a block.
    EXPECT_EQ(QStringList({QString(block - 1, QLatin1Char('a')) + QStringLiteral("é;x")}),
              linesOf(QByteArray(block - 1, 'a') + "\xC3\xA9;x"));
    // UTF-16 without a BOM over several blocks.
    const QString names = QStringLiteral("Zoë;Łódź\r\n").repeated(int(block / 10));
    const QStringList lines = linesOf(utf16(names, QStringConverter::Utf16LE));
    ASSERT_EQ(block / 10, lines.size());
    EXPECT_EQ(QStringLiteral("Zoë;Łódź"), lines.last());
}

TEST(ImportText, QuotedFieldsSpanLinesAndRecordsStayBounded) {
    const ImportFileReader::RecordRule comma{QLatin1Char(','), true, 64};
    // A quoted field holds line ends of every kind, delimiters and doubled quotes; quotes elsewhere in a
    // field protect nothing. One that holds a line end must end where its quote closes (blanks allowed).
    EXPECT_EQ(QStringList({"x,\"a\r\nb\nc\rd\",y", "\"say \"\"hi,\r\n\"\"\"", "a\"b,c", "  \"q\r\n\"  ,w"}),
              recordsOf("x,\"a\r\nb\nc\rd\",y\r\n\"say \"\"hi,\r\n\"\"\"\na\"b,c\r\n  \"q\r\n\"  ,w", comma));
    // Without the quotation box, or with another delimiter before the quote, every line is a record.
    EXPECT_EQ(QStringList({"x,\"a", "b\",y"}), recordsOf("x,\"a\r\nb\",y", {QLatin1Char(','), false, 64}));
    EXPECT_EQ(QStringList({"x;y\"a", "b\""}), recordsOf("x;y\"a\r\nb\"", comma));
    // A quote that does not close by the end of the text, or within the limit, protects nothing: its
    // line is a record of its own, and the lines after it are read as they are.
    EXPECT_EQ(QStringList({"\"a,b", "c,d", "e"}), recordsOf("\"a,b\r\nc,d\r\ne", comma));
    QByteArray lines = "\"open,x\r\n";
    QStringList expected{"\"open,x"};
    for (int i = 0; i < 20; ++i) {
        lines += "line " + QByteArray::number(i) + "\r\n";
        expected << QStringLiteral("line %1").arg(i);
    }
    lines += "\"";
    expected << QStringLiteral("\"");
    EXPECT_EQ(expected, recordsOf(lines, comma));
    // A line longer than the limit is given as its start, and reading goes on after it; a record of
    // exactly the limit is whole.
    const QByteArray limit(64, 'a');
    EXPECT_EQ(QStringList({"!" + limit, limit, "!\"" + limit.left(63), "z"}),
              recordsOf(limit + "b\r\n" + limit + "\r\n\"" + limit + "\r\nz", comma));
    // Text cut by the end of a block keeps its quoting state.
    const ImportFileReader::RecordRule unlimited{QLatin1Char(','), true, -1};
    const QByteArray field(ImportFileReader::BlockSize - 3, 'f');
    EXPECT_EQ(QStringList({"\"" + field + "\r\n,\"\"x\",y", "z"}),
              recordsOf("\"" + field + "\r\n,\"\"x\",y\r\nz", unlimited));

    // The preview shows the first record whole.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("multi.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a@example.com,\"Smith,\r\nJr.\",London\r\nb@example.com");
    file.close();
    EXPECT_EQ(
        QStringList({"a@example.com", "Smith,\r\nJr.", "London"}),
        SplitImportLine(FirstImportLine(file.fileName(), QLatin1Char(','), true), QLatin1Char(','), true));
    EXPECT_EQ(QStringLiteral("a@example.com,\"Smith,"), FirstImportLine(file.fileName()));
}

TEST(ImportText, SpreadsheetFilesReadAsTheyAlwaysDid) {
    // The shapes spreadsheets write: quoted delimiters, empty quoted fields, doubled quotes, quoted line
    // ends (LF and CR LF), UTF-8. Each record as "first-last:" line numbers and its fields.
    struct Case {
        const char* bytes;
        QStringList records;
    };
    const Case cases[] = {
        {"first,last,address,city,zip\nJohn,Doe,120 any st.,\"Anytown, WW\",08123\n",
         {"1-1:first|last|address|city|zip", "2-2:John|Doe|120 any st.|Anytown, WW|08123"}},
        {"a,b,c\n1,\"\",\"\"\n2,3,4\n", {"1-1:a|b|c", "2-2:1||", "3-3:2|3|4"}},
        {"a,b,c\r\n1,\"\",\"\"\r\n2,3,4\r\n", {"1-1:a|b|c", "2-2:1||", "3-3:2|3|4"}},
        {"a,b\n1,\"ha \"\"ha\"\" ha\"\n3,4\n", {"1-1:a|b", "2-2:1|ha \"ha\" ha", "3-3:3|4"}},
        {"key,val\n1,\"{\"\"type\"\": \"\"Point\"\", \"\"coordinates\"\": [102.0, 0.5]}\"\n",
         {"1-1:key|val", "2-2:1|{\"type\": \"Point\", \"coordinates\": [102.0, 0.5]}"}},
        {"a,b,c\n1,2,3\n\"Once upon \na time\",5,6\n7,8,9\n",
         {"1-1:a|b|c", "2-2:1|2|3", "3-4:Once upon \na time|5|6", "5-5:7|8|9"}},
        {"a,b,c\r\n1,2,3\r\n\"Once upon \r\na time\",5,6\r\n7,8,9\r\n",
         {"1-1:a|b|c", "2-2:1|2|3", "3-4:Once upon \r\na time|5|6", "5-5:7|8|9"}},
        {"a,b\n1,\"ha \n\"\"ha\"\" \nha\"\n3,4\n", {"1-1:a|b", "2-4:1|ha \n\"ha\" \nha", "5-5:3|4"}},
        {"a,b,c\n1,2,3", {"1-1:a|b|c", "2-2:1|2|3"}},
        {"a,b,c\r\n1,2,3\r\n", {"1-1:a|b|c", "2-2:1|2|3"}},
        {"a,b,c\n1,2,3\n4,5,\xCA\xA4\n", {"1-1:a|b|c", "2-2:1|2|3", QStringLiteral("3-3:4|5|\u02A4")}},
    };
    const QChar comma(QLatin1Char(','));
    for (const Case& c : cases) {
        QStringList records =
            recordsOf(c.bytes, {comma, true, MaxImportRecordLength, MaxImportRecordLines}, nullptr, true);
        for (QString& record : records) {
            const qsizetype colon = record.indexOf(QLatin1Char(':'));
            record = record.left(colon + 1) +
                     SplitImportLine(record.mid(colon + 1), comma, true).join(QLatin1Char('|'));
        }
        EXPECT_EQ(Shown(c.records), Shown(records)) << c.bytes;
    }
}

TEST(ImportText, AStrayQuoteTakesNoLineButItsOwn) {
    // A quote that opens a field spanning lines and does not close as a field closes, or not within
    // the lines (3 here) or characters (48) a record may span, protected nothing: its line is a record of its
    // own and the lines after it are read afresh. Line numbers count every line end once.
    struct Case {
        const char* bytes;
        QStringList records;
    };
    const Case cases[] = {
        {"a@x.com,\"Anna\r\nb@x.com,Bob\r\nc@x.com,O\"Neil\r\nd",
         {"1-1:a@x.com,\"Anna", "2-2:b@x.com,Bob", "3-3:c@x.com,O\"Neil", "4-4:d"}},
        {"\"a\r\nb\" c\r\nd", {"1-1:\"a", "2-2:b\" c", "3-3:d"}},
        {"\"a\r\nb\",\"c\" d\r\ne", {"1-2:\"a\r\nb\",\"c\" d", "3-3:e"}},
        {"x,\"1\r\n2\r\n3\",y\r\nz", {"1-3:x,\"1\r\n2\r\n3\",y", "4-4:z"}},
        {"x,\"1\r\n2\r\n3\r\n4\",y\r\nz", {"1-1:x,\"1", "2-2:2", "3-3:3", "4-4:4\",y", "5-5:z"}},
        {"\"a\rb\n\"\r\nc", {"1-3:\"a\rb\n\"", "4-4:c"}},
        {"\"Smith\" Jr,z\r\n\"\"\r\n\r\nq", {"1-1:\"Smith\" Jr,z", "2-2:\"\"", "3-3:", "4-4:q"}},
        {"0123456789012345678901234567890123456789012345678901\r\n\"a\r\nb\"",
         {"1-1:!012345678901234567890123456789012345678901234567", "2-3:\"a\r\nb\""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Shown(c.records), Shown(recordsOf(c.bytes, {QLatin1Char(','), true, 48, 3}, nullptr, true)))
            << c.bytes;
}

TEST(ImportText, TheFirstBlockDecidesAndLaterBadBytesAreWindows1252) {
    // The file is read once: its first block decides. Text read as UTF-8 reads a later byte that starts
    // no valid sequence as Windows-1252, and a sequence cut by a block's end (the third) whole; the preview,
    // which reads the start alone, sees the same first line.
    const QByteArray filler(ImportFileReader::BlockSize - 9, 'a');
    struct Case {
        QByteArray bytes;
        QString first, last;
    };
    const Case cases[] = {
        {"Zo\xC3\xAB;x\r\n" + QByteArray(3 * ImportFileReader::BlockSize, 'a') + "\r\nCaf\xE9", "Zoë;x",
         "Café"},
        {"Zoe;x\r\n" + filler + "\r\nCaf\xE9\x80", "Zoe;x", "Café€"},
        {"Zoe;x\r\n" + filler.first(filler.size() - 1) + "\r\n\xC3\xA9\xF0\x9F\x98\x80", "Zoe;x", "é😀"},
        {"Zo\xEB;x\r\n" + filler + "\r\n\xC3\xA9", "Zoë;x", "Ã©"},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const QStringList lines = linesOf(c.bytes);
        ASSERT_EQ(3, lines.size());
        EXPECT_EQ(c.first, lines[0]);
        EXPECT_EQ(c.last, lines[2]);
        QFile file(dir.filePath(QStringLiteral("mixed.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        EXPECT_EQ(c.first, FirstImportLine(file.fileName()));
    }
}

TEST(ImportText, AMarkInsideTheTextLeavesNoTraceInTheFields) {
    // Lists joined one after the other carry a second mark where the second one began: in UTF-8 text it
    // decodes to U+FEFF, which no recipient field wants (an address with it fails the address check).
    const QChar semicolon(QLatin1Char(';'));
    const QString joined = DecodeImportText("\xEF\xBB\xBF"
                                            "a@x.com;A\r\n\xEF\xBB\xBF"
                                            "b@x.com;B\xEF\xBB\xBF");
    const QStringList lines = joined.split(QStringLiteral("\r\n"));
    ASSERT_EQ(2, lines.size());
    EXPECT_EQ(QStringList({"a@x.com", "A"}), SplitImportLine(lines[0], semicolon, false));
    EXPECT_EQ(QStringList({"b@x.com", "B"}), SplitImportLine(lines[1], semicolon, false));
    // Trimming and quotes see the field as it would be without the mark.
    EXPECT_EQ(QStringList({"x", "y"}),
              SplitImportLine(QStringLiteral("\uFEFF \"x\";\"y\"\uFEFF"), semicolon, true));
    EXPECT_TRUE(SplitImportLine(QStringLiteral("\uFEFF"), semicolon, false).isEmpty())
        << "a line of nothing but a mark is an empty line";
}

TEST(ImportText, SplitLineCutsTrimsAndStripsRealQuotes) {
    const QChar comma(QLatin1Char(','));
    EXPECT_EQ(QStringList({"x", "", "z"}), SplitImportLine(QStringLiteral("x,,z"), comma, false));
    EXPECT_EQ(QStringList({"x", ""}), SplitImportLine(QStringLiteral(" x ,"), comma, false));
    EXPECT_EQ(QStringList({"\tx"}), SplitImportLine(QStringLiteral("\tx "), comma, false)) << "tabs stay";
    EXPECT_TRUE(SplitImportLine(QString(), comma, false).isEmpty());
    // Only a field enclosed in quotes loses them; doubled quotes inside become one.
    EXPECT_EQ(QStringList({"x", "abc", "a", "say \"hi\"", ""}),
              SplitImportLine(QStringLiteral("\"x\",abc,a,\"say \"\"hi\"\"\",\"\""), comma, true));
    // Without the quotation box a quote is text like any other, and a delimiter always cuts.
    EXPECT_EQ(QStringList({"\"a", "b\""}), SplitImportLine(QStringLiteral("\"a,b\""), comma, false));
    EXPECT_EQ(QChar(QLatin1Char('\t')), DelimiterForName(QStringLiteral("Tab")));
    EXPECT_EQ(QChar(QLatin1Char(' ')), DelimiterForName(QStringLiteral("Space")));
    EXPECT_EQ(QChar(QLatin1Char(';')), DelimiterForName(QStringLiteral("Semicolon")));
    EXPECT_EQ(QChar(QLatin1Char(':')), DelimiterForName(QStringLiteral("Colon")));
}

TEST(ImportText, QuotedFieldsKeepTheirDelimiters) {
    // With the quotation box checked, a field enclosed in quotes is one field whatever it holds: a name
    // like "Smith, Jr" must not push every later field of its line into the wrong column.
    struct Case {
        const char* line;
        char delimiter;
        QStringList fields;
    };
    const Case cases[] = {
        {R"("Smith, Jr",London)", ',', {"Smith, Jr", "London"}},
        {R"(bob@example.org,"Bob","Smith, Jr",London)",
         ',',
         {"bob@example.org", "Bob", "Smith, Jr", "London"}},
        {R"(a;"b;c";d)", ';', {"a", "b;c", "d"}},
        {"\"x\ty\"\tz", '\t', {"x\ty", "z"}},
        {R"("12:30":b)", ':', {"12:30", "b"}},
        {R"("a b" c)", ' ', {"a b", "c"}},
        {R"(a  "b")", ' ', {"a", "", "b"}},
        {R"( "x" , "y" )", ',', {"x", "y"}},
        {R"(" keep ",z)", ',', {" keep ", "z"}},
        {R"("say ""hi"", then go",z)", ',', {"say \"hi\", then go", "z"}},
        {R"("Smith" Jr,z)", ',', {"Smith Jr", "z"}},
        {R"("",x,)", ',', {"", "x", ""}},
        // An opening quote that never closes protects nothing: the line is cut as plain text; so does
        // one whose field spans lines and goes on after the closing quote.
        {R"("Bob,Smith,x)", ',', {"\"Bob", "Smith", "x"}},
        {"\"a\r\nb\" c,d", ',', {"\"a\r\nb\" c", "d"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fields, SplitImportLine(QString::fromUtf8(c.line), QLatin1Char(c.delimiter), true))
            << c.line;
    // Only the fields asked for are cut, quoted or not.
    EXPECT_EQ(QStringList({"a,b", "c"}),
              SplitImportLine(QStringLiteral("\"a,b\",c,\"d,e\""), QLatin1Char(','), true, 2));
}

TEST(ImportText, MappingTextsNameTheirField) {
    EXPECT_EQ(0, MappedFieldNumber(QStringLiteral("Ignore")));
    EXPECT_EQ(1, MappedFieldNumber(QStringLiteral("Field 1 = x")));
    EXPECT_EQ(1, MappedFieldNumber(QStringLiteral("Field 1 = ")));
    EXPECT_EQ(10, MappedFieldNumber(QStringLiteral("Field 10 = y")));
    EXPECT_EQ(18, MappedFieldNumber(QStringLiteral("Field 18 = ")));
    EXPECT_EQ(0, MappedFieldNumber(QStringLiteral("Field 19 = ")));
}

TEST(ImportText, ByteCountsAreGrouped) {
    const QString sep = QLocale().groupSeparator();
    EXPECT_EQ(QStringLiteral("0"), FormatByteCount(0));
    EXPECT_EQ(QStringLiteral("999"), FormatByteCount(999));
    EXPECT_EQ(QStringLiteral("1") + sep + QStringLiteral("234") + sep + QStringLiteral("567"),
              FormatByteCount(1234567));
}

} // namespace

namespace {

// What the scan must give for a text, worked out from the whole text at once: the tokens between the
// characters that end one, apostrophes taken off their edges, those with an "@" found when the e-mail
// rule accepts them whole and ignored otherwise (a token too long to be an address shown by its start).
struct Tokens {
    QStringList found;
    QStringList ignored;
};
Tokens TokensOf(const QString& text) {
    static const QRegularExpression ends(QStringLiteral("[\\s,;:<>()\"]+"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    Tokens out;
    for (QString token : text.split(ends, Qt::SkipEmptyParts)) {
        while (token.startsWith(QLatin1Char('\'')))
            token.remove(0, 1);
        while (token.endsWith(QLatin1Char('\'')))
            token.chop(1);
        if (!token.contains(QLatin1Char('@')))
            continue;
        if (ValidateEmailSilent(token))
            out.found << token;
        else
            out.ignored << (token.size() > MaxEmailLength ? token.left(MaxEmailLength) + QStringLiteral("...")
                                                          : token);
    }
    return out;
}

Tokens Scanned(const QString& text) {
    Tokens out;
    out.found = ExtractAddresses(text, &out.ignored);
    return out;
}

TEST(AddressExtraction, TakesWholeTokensOnlyAndNeverCutsOne) {
    // Characters the scan once took for the start of a new address: the whole token is the address, or
    // it is ignored; never news@, brien@ or rg@.
    const QString text =
        QStringLiteral("anna+news@example.org o'brien@example.ie j\u00f6rg@example.de "
                       "x@my.museum a@b.c someone@x.com 'quoted@example.org' ''twice@example.org''");
    const Tokens t = Scanned(text);
    EXPECT_EQ(QStringList({"anna+news@example.org", "o'brien@example.ie", "x@my.museum", "someone@x.com",
                           "quoted@example.org", "twice@example.org"}),
              t.found);
    EXPECT_EQ(QStringList({QStringLiteral("j\u00f6rg@example.de"), QStringLiteral("a@b.c")}), t.ignored);
    // Names, brackets, quotes and list separators around an address end its token.
    const Tokens around = Scanned(
        QStringLiteral("Anna <anna@example.org>, \"bob@example.org\"; (carl@example.org)\n"
                       "mailto:dora@example.org\temil@example.org\r\nfay@example.org,gus@example.org"));
    EXPECT_EQ(QStringList({"anna@example.org", "bob@example.org", "carl@example.org", "dora@example.org",
                           "emil@example.org", "fay@example.org", "gus@example.org"}),
              around.found);
    EXPECT_TRUE(around.ignored.isEmpty()) << around.ignored.join(QLatin1Char(' ')).toStdString();
    // Other punctuation stays in the token, so the token is no address.
    EXPECT_EQ(
        QStringList({"[hal@example.org]", "ida@example.org.", "@", "joe@", "@example.org"}),
        Scanned(QStringLiteral("[hal@example.org] ida@example.org. @ joe@ @example.org words")).ignored);
}

TEST(AddressExtraction, LongRunsStayLinear) {
    // A megabyte of address characters before an "@" with no domain: no quadratic scan.
    const QString text = QString(1 << 20, QLatin1Char('a')) + QStringLiteral("@ and a@bc.de");
    EXPECT_EQ(QStringList({"a@bc.de"}), ExtractAddresses(text));
}

TEST(AddressExtraction, PiecesCutAnywhereFindTheSameAddresses) {
    // Random text from the characters that matter (address characters, "@", dots, apostrophes and every
    // kind of token end), fed in pieces of random length: the result never depends on where a block of
    // the file ends, and is what the whole text gives.
    QRandomGenerator random(1234);
    const QString alphabet = QStringLiteral("ab1_-.@@..@ ,\nXYz'+\"<>:;()\t\u00e9\u00a0cd.ef");
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = 1 + random.bounded(400);
        for (int i = 0; i < length; ++i)
            text += alphabet[random.bounded(int(alphabet.size()))];
        Tokens pieces;
        AddressScanner scanner([&pieces](const QString& token, bool accepted) {
            (accepted ? pieces.found : pieces.ignored) << token;
        });
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype n = 1 + random.bounded(20);
            scanner.Feed(QStringView(text).mid(at, n));
            at += n;
        }
        scanner.Finish();
        const Tokens whole = TokensOf(text);
        EXPECT_EQ(whole.found, pieces.found) << text.toStdString();
        EXPECT_EQ(whole.ignored, pieces.ignored) << text.toStdString();
    }
}

TEST(AddressExtraction, MatchesLongerThanAnAddressAreLeftOut) {
    const QString domain = QStringLiteral("@example.com");
    const QString fits = QString(MaxEmailLength - domain.size(), QLatin1Char('a')) + domain;
    EXPECT_EQ(QStringList({fits}), ExtractAddresses(QStringLiteral("x ") + fits + QStringLiteral(" y")));
    // One character more: the whole token is ignored, no shorter tail of it is taken instead, and the
    // report shows its start only.
    QStringList ignored;
    EXPECT_EQ(QStringList({QStringLiteral("b@cd.ef")}),
              ExtractAddresses(QLatin1Char('a') + fits + QStringLiteral(" b@cd.ef"), &ignored));
    EXPECT_EQ(QStringList({QLatin1Char('a') + fits.left(MaxEmailLength - 1) + QStringLiteral("...")}),
              ignored);
    // Apostrophes at the edges are no part of the address, however many.
    EXPECT_EQ(QStringList({fits}),
              ExtractAddresses(QString(300, QLatin1Char('\'')) + fits + QString(300, QLatin1Char('\''))));
    // A long run glued to an address makes the whole token too long.
    EXPECT_TRUE(
        ExtractAddresses(QStringLiteral("a@bc.de") + QString(300, QLatin1Char('e')) + QStringLiteral(".fg"))
            .isEmpty());
    EXPECT_TRUE(ExtractAddresses(QStringLiteral("a@bc.de") + QString(300, QLatin1Char('1'))).isEmpty());
    EXPECT_TRUE(
        ExtractAddresses(QString(300, QLatin1Char('a')) + QStringLiteral("@bc.de-tail@qr.st")).isEmpty());
}

} // namespace
