// What the content dialogs build and read, without a screen: markup, checks, colours, date and time
// texts, the properties scan and the templates.
#include "content/DateTimeFormats.h"
#include "content/EmailTemplates.h"
#include "content/InsertMarkup.h"
#include "content/PageColours.h"
#include "content/PropertiesLoad.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString Cells(int n) {
    QString s;
    for (int i = 0; i < n; ++i)
        s += QStringLiteral("      <TD>&nbsp;</TD>\r\n");
    return s;
}

} // namespace

TEST(TableMarkup, StartValuesGiveSeventeenLinesAndThePixelWidthHasNoPercent) {
    const QString row = QStringLiteral("   <TR>\r\n") + Cells(3) + QStringLiteral("   </TR>\r\n");
    const QString expected =
        QStringLiteral(
            "<Table align=\"Left\" cellspacing=\"1\" cellpadding=\"1\" border=\"1\" width=100%>\r\n") +
        row + row + row + QStringLiteral("</Table>\r\n");
    EXPECT_EQ(BuildTableHtml(TableSettings{}), expected);
    EXPECT_EQ(expected.count(QStringLiteral("\r\n")), 17);

    TableSettings s;
    s.align = QStringLiteral("Center");
    s.spacing = QStringLiteral("0");
    s.padding = QStringLiteral("0");
    s.width = QStringLiteral("250");
    s.widthInPixels = true;
    s.rows = QStringLiteral("1");
    s.columns = QStringLiteral("2");
    EXPECT_EQ(BuildTableHtml(s),
              QStringLiteral(
                  "<Table align=\"Center\" cellspacing=\"0\" cellpadding=\"0\" border=\"1\" width=250>\r\n"
                  "   <TR>\r\n") +
                  Cells(2) + QStringLiteral("   </TR>\r\n</Table>\r\n"));

    // An empty align text leaves the attribute out.
    s.align.clear();
    EXPECT_TRUE(BuildTableHtml(s).startsWith(QStringLiteral("<Table cellspacing=")));

    s.rows = s.columns = QStringLiteral("99");
    const QString big = BuildTableHtml(s);
    EXPECT_EQ(big.count(QStringLiteral("<TR>")), 99);
    EXPECT_EQ(big.count(QStringLiteral("<TD>")), 99 * 99);
}

TEST(TableMarkup, ChecksRunInFieldOrderWithOneMessageForEmptyAndOneForInvalid) {
    struct Case {
        const char* border;
        const char* spacing;
        const char* padding;
        const char* rows;
        const char* columns;
        const char* message;
        const char* field;
    };
    const Case cases[] = {
        {"", "", "", "", "", "Please enter your border.", "BorderTextBox"},
        {"0", "1", "1", "3", "3", "Please enter a valid border.", "BorderTextBox"},
        {"100", "1", "1", "3", "3", "Please enter a valid border.", "BorderTextBox"},
        {"1", "", "1", "3", "3", "Please enter your spacing.", "SpacingTextBox"},
        {"1", "x", "1", "3", "3", "Please enter a valid spacing.", "SpacingTextBox"},
        {"1", "0", "", "3", "3", "Please enter your padding.", "PaddingTextBox"},
        {"1", "0", "100", "3", "3", "Please enter a valid padding.", "PaddingTextBox"},
        {"1", "0", "0", "", "3", "Please enter your row.", "RowsTextBox"},
        {"1", "0", "0", "0", "3", "Please enter a valid row.", "RowsTextBox"},
        {"1", "0", "0", "99", "", "Please enter your column.", "ColumnsTextBox"},
        {"1", "0", "0", "99", "100", "Please enter a valid column.", "ColumnsTextBox"},
        {"99", "99", "99", "99", "99", "", ""},
        {"1", "0", "0", "1", "1", "", ""},
    };
    for (const Case& c : cases) {
        TableSettings s;
        s.border = QString::fromLatin1(c.border);
        s.spacing = QString::fromLatin1(c.spacing);
        s.padding = QString::fromLatin1(c.padding);
        s.rows = QString::fromLatin1(c.rows);
        s.columns = QString::fromLatin1(c.columns);
        s.width.clear(); // the width is never checked
        const FieldProblem p = CheckTableSettings(s);
        EXPECT_EQ(p.message, QString::fromLatin1(c.message)) << c.border << "/" << c.rows;
        EXPECT_EQ(p.field, QString::fromLatin1(c.field));
    }
}

TEST(LineMarkup, AttributesAppearOnlyWhereTheyDifferFromTheDefaults) {
    struct Case {
        const char* align;
        const char* width;
        bool pixels;
        const char* height;
        bool solid;
        const char* tag;
    };
    const Case cases[] = {
        {"Left", "100", false, "2", false, "<hr align=\"left\">"},
        {"Center", "50", false, "5", true, "<hr noshade width=\"50%\" size=\"5\">"},
        {"Right", "100", true, "2", false, "<hr align=\"right\" width=\"100\">"},
        {"Left", "050", false, "02", false, "<hr align=\"left\" width=\"050%\" size=\"02\">"},
        {"Center", "0", true, "0", false, "<hr width=\"0\" size=\"0\">"},
        {"Center", "0", false, "100", false, "<hr width=\"0%\" size=\"100\">"},
    };
    for (const Case& c : cases) {
        LineSettings s;
        s.align = QString::fromLatin1(c.align);
        s.width = QString::fromLatin1(c.width);
        s.widthInPixels = c.pixels;
        s.height = QString::fromLatin1(c.height);
        s.solid = c.solid;
        EXPECT_EQ(BuildLineHtml(s), QString::fromLatin1(c.tag));
        EXPECT_TRUE(CheckLineSettings(s).ok()) << c.tag;
    }
}

TEST(LineMarkup, WidthIsCheckedBeforeHeightFromZeroToOneHundred) {
    struct Case {
        const char* width;
        const char* height;
        const char* message;
        const char* field;
    };
    const Case cases[] = {
        {"", "", "Please enter your width.", "WidthTextBox"},
        {"101", "2", "Please enter a valid width.", "WidthTextBox"},
        {"1a", "2", "Please enter a valid width.", "WidthTextBox"},
        {"100", "", "Please enter your height.", "HeightTextBox"},
        {"100", "101", "Please enter a valid height.", "HeightTextBox"},
    };
    for (const Case& c : cases) {
        LineSettings s;
        s.width = QString::fromLatin1(c.width);
        s.height = QString::fromLatin1(c.height);
        s.widthInPixels = true; // the range is the same in pixels
        const FieldProblem p = CheckLineSettings(s);
        EXPECT_EQ(p.message, QString::fromLatin1(c.message));
        EXPECT_EQ(p.field, QString::fromLatin1(c.field));
    }
}

TEST(PageColours, ColourTextsAndValuesConvertBothWays) {
    int r = -1, g = -1, b = -1;
    ColorToRGB(HexToColor(QStringLiteral("#ff8000")), r, g, b);
    EXPECT_EQ(std::make_tuple(r, g, b), std::make_tuple(255, 128, 0));
    EXPECT_EQ(HexToColor(QStringLiteral("#FF8000")), 255 + 256 * 128);
    EXPECT_EQ(ColorText(10, 0, 255), QStringLiteral("#0A00FF"));
    EXPECT_EQ(ColorText(255, 255, 255), QStringLiteral("#FFFFFF"));
    // Only the last six characters count; what cannot be read is black.
    EXPECT_EQ(HexToColor(QStringLiteral("xx#0000FF")), 65536 * 255);
    EXPECT_EQ(HexToColor(QString()), 0);
    EXPECT_EQ(HexToColor(QStringLiteral("#GG0000")), 0);
    EXPECT_EQ(HexToColor(QStringLiteral("#FFF")), 0);
}

namespace {

DateTimeSource At(int hour, int minute, int second, const char* locale = "en_US") {
    return {QDateTime(QDate(2024, 3, 5), QTime(hour, minute, second)), QLocale(QString::fromLatin1(locale))};
}

} // namespace

TEST(DateTimeTexts, EightFormatsForAnAfternoonInEnglish) {
    const DateTimeSource s = At(14, 7, 9);
    EXPECT_EQ(DateTexts(s), QStringList({"3/5/24", "03/05/2024", "2024/03/05", "Tuesday, March 05, 2024"}));
    EXPECT_EQ(TimeTexts(s), QStringList({"02:07:09", "14:07:09", "02:07:09 PM", "14:07:09 PM"}));
}

TEST(DateTimeTexts, HalfPastMidnightAndHalfPastNoon) {
    EXPECT_EQ(TimeTexts(At(0, 30, 0)), QStringList({"12:30:00", "00:30:00", "12:30:00 AM", "00:30:00 AM"}));
    EXPECT_EQ(TimeTexts(At(12, 30, 0)), QStringList({"12:30:00", "12:30:00", "12:30:00 PM", "12:30:00 PM"}));
}

TEST(DateTimeTexts, SeparatorsAreWhatTheLocaleWritesBetweenNumbers) {
    struct Case {
        const char* locale;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {"en_US", "/", ":"}, {"de_DE", ".", ":"}, {"nl_NL", "-", ":"}, {"fi_FI", ".", "."},
        {"ko_KR", ".", ":"}, {"ja_JP", "/", ":"}, {"C", "/", ":"}, // its short date names the month: no
                                                                   // separator to take
    };
    for (const Case& c : cases) {
        const QLocale locale{QString::fromLatin1(c.locale)};
        EXPECT_EQ(DateSeparator(locale), QString::fromLatin1(c.date)) << c.locale;
        EXPECT_EQ(TimeSeparator(locale), QString::fromLatin1(c.time)) << c.locale;
    }
}

TEST(DateTimeTexts, SeparatorsAndNamesComeFromTheLocale) {
    const DateTimeSource german = At(14, 7, 9, "de_DE");
    EXPECT_EQ(DateSeparator(german.locale), QStringLiteral("."));
    EXPECT_EQ(FormatDateNumeric(german), QStringLiteral("03.05.2024"));
    EXPECT_EQ(FormatDateLong(german), QStringLiteral("Dienstag, M\u00e4rz 05, 2024"));
    // The designators stay "AM" and "PM", and the last time format keeps its literal colons.
    const DateTimeSource finnish = At(14, 7, 9, "fi_FI");
    const QString sep = TimeSeparator(finnish.locale);
    EXPECT_EQ(FormatTime24(finnish),
              QStringLiteral("14") + sep + QStringLiteral("07") + sep + QStringLiteral("09"));
    EXPECT_EQ(FormatTime12(finnish).right(3), QStringLiteral(" PM"));
    EXPECT_EQ(FormatTime24WithSuffix(finnish), QStringLiteral("14:07:09 PM"));
}

TEST(DocumentPropertiesScan, HeadTokensInTableOrder) {
    struct Case {
        const char* html;
        const char* direction;
        const char* language;
        const char* encoding;
    };
    const Case cases[] = {
        {"<html><body dir=rtl>content=fr utf-8</body></html>", "None", "None", "None"},
        {"<html dir=rtl><head></head><body></body></html>", "Right to Left", "None", "None"},
        {"<html dir=\"ltr\"><head><x dir=rtl></head>", "Right to Left", "None", "None"},
        {"<html DIR=\"LTR\"><head></head>", "Left to Right", "None", "None"},
        {"<head><meta content=fr-ch></head>", "None", "French (Swiss)", "None"},
        {"<head><meta content=fr></head>", "None", "French (Standard)", "None"},
        {"<head>content=kok</head>", "None", "Konkani", "None"},
        {"<head>content=ko</head>", "None", "Korean", "None"},
        {"<head>content=en</head>", "None", "None", "None"},
        {"<head><meta content=\"en-us\"></head>", "None", "None", "None"},
        {"<head><META CONTENT=EN-US></head>", "None", "English (United States)", "None"},
        {"<head><meta content=text/html></head>", "None", "Telugu", "None"},
        {"<head>charset=unicodefffe</head>", "None", "None", "Unicode (Big-Endian)"},
        {"<head>charset=unicode</head>", "None", "None", "Unicode"},
        {"<head>utf-8 windows-1256</head>", "None", "None", "Arabic"},
        {"<head>shift-jis</head>", "None", "None", "None"},
        {"<head>SHIFT_JIS</head>", "None", "None", "Japanese (Shift-JIS)"},
        {"<head>content=zu content=sq</head>", "None", "Albanian", "None"},
    };
    for (const Case& c : cases) {
        const DocumentProperties p =
            ReadDocumentProperties(QString(), QString(), QString::fromLatin1(c.html));
        EXPECT_EQ(p.direction, QString::fromLatin1(c.direction)) << c.html;
        EXPECT_EQ(p.language, QString::fromLatin1(c.language)) << c.html;
        EXPECT_EQ(p.encoding, QString::fromLatin1(c.encoding)) << c.html;
    }
    EXPECT_EQ(HeadText(QStringLiteral("<HTML><Head></HEAD><body>")), QStringLiteral("<html><head><"));
    const DocumentProperties none = ReadDocumentProperties(QString(), QString(), QString());
    EXPECT_EQ(none.location, QStringLiteral("Unsaved"));
    EXPECT_EQ(none.title, QStringLiteral("Not Available"));
    const DocumentProperties some =
        ReadDocumentProperties(QStringLiteral("/home/u/News.htm"), QStringLiteral("News"), QString());
    EXPECT_EQ(some.location, QStringLiteral("/home/u/News.htm"));
    EXPECT_EQ(some.title, QStringLiteral("News"));
}

TEST(DocumentPropertiesScan, ValuesThatNeedNoQuotesStandBare) {
    const struct {
        const char* markup;
        const char* bare;
    } cases[] = {
        {"<meta http-equiv=\"Content-Language\" content=\"fr-ch\">",
         "<meta http-equiv=Content-Language content=fr-ch>"},
        {"<META CONTENT='EN-US'><html dir=\"rtl\">", "<META CONTENT=EN-US><html dir=rtl>"},
        // Values with blanks, quotes or nothing in them keep their quotes.
        {"<meta content=\"text/html; charset=utf-8\"><img alt=\"\" title='say \"hi\"'>",
         "<meta content=\"text/html; charset=utf-8\"><img alt=\"\" title='say \"hi\"'>"},
        {"<a href=\"x?a=1\" class=\"a`b\">", "<a href=\"x?a=1\" class=\"a`b\">"},
        // Only tags change: text, comments, scripts and styles stay as written.
        {"<p>content=\"fr\"</p><!-- <meta content=\"fr\"> -->",
         "<p>content=\"fr\"</p><!-- <meta content=\"fr\"> -->"},
        {"<style>a[title=\"x\"] {}</style><b id=\"y\">", "<style>a[title=\"x\"] {}</style><b id=y>"},
        {"<SCRIPT>if (a<b) s = \"<i class=\\\"z\\\">\";</script><i class=\"z\">",
         "<SCRIPT>if (a<b) s = \"<i class=\\\"z\\\">\";</script><i class=z>"},
        // Broken markup is copied, not lost.
        {"a < b <p title=\"open", "a < b <p title=\"open"},
        {"<br/><hr class=\"x\"/>", "<br/><hr class=x/>"},
        {"<", "<"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BareAttributeValues(QString::fromLatin1(c.markup)).toStdString(), std::string(c.bare))
            << c.markup;
    // The language of a head the engine quoted is found once the values stand bare.
    const QString quoted =
        QStringLiteral("<html><head><meta http-equiv=\"Content-Language\" content=\"fr-ch\">"
                       "</head><body></body></html>");
    EXPECT_EQ(ReadDocumentProperties({}, {}, quoted).language, QStringLiteral("None"));
    EXPECT_EQ(ReadDocumentProperties({}, {}, BareAttributeValues(quoted)).language,
              QStringLiteral("French (Swiss)"));
}

TEST(StoredTemplates, EachHoldsTheBoundHeadFooterAndPlaceholders) {
    const QStringList titles = {"Government Template", "Health Template", "Legal Template", "Sports Template",
                                "Travel Template"};
    const QStringList macros = {"$*MergeCompany*$", "$*MergeFirstName*$",
                                "$*MergeFirstName*$ $*MergeLastName*$",
                                "$*MergeTitle*$ $*MergeFirstName*$ $*MergeLastName*$", ""};
    ASSERT_EQ(TemplateNames(), QStringList({"Government", "Health", "Legal", "Sports", "Travel"}));
    for (int row = 0; row < 5; ++row) {
        const QString doc = StoredTemplate(row);
        ASSERT_FALSE(doc.isEmpty()) << row;
        EXPECT_TRUE(doc.endsWith(QStringLiteral("</html>\r\n")));
        EXPECT_FALSE(doc.contains(QRegularExpression(QStringLiteral("[^\r]\n")))) << "lone LF in " << row;
        EXPECT_TRUE(doc.contains(QStringLiteral("<title>") + titles[row] + QStringLiteral("</title>")));
        EXPECT_TRUE(doc.contains(QStringLiteral("content=\"text/html; charset=windows-1252\"")));
        EXPECT_TRUE(doc.contains(QStringLiteral("content=\"en-us\"")));
        EXPECT_TRUE(doc.contains(QStringLiteral("a:hover {color:red}")));
        EXPECT_TRUE(doc.contains(QStringLiteral(
            "link=\"#0000ff\" vlink=\"#0000ff\" alink=\"#0000ff\" style=\"background-color: #c0c0c0\"")));
        EXPECT_EQ(doc.count(QLatin1String(TemplateUnsubscribeAddress)), 2);
        EXPECT_EQ(doc.count(QStringLiteral("UnsubscribeNow")), 2);
        EXPECT_EQ(doc.count(QStringLiteral("TorvaleCo")), 1);
        EXPECT_EQ(doc.count(QLatin1String(TemplateWebHost)), 1);
        EXPECT_TRUE(
            doc.contains(QStringLiteral("?subject=UnsubscribeNow\"><span style=\"text-decoration: none\">"
                                        "Click Here</span></a>")));
        EXPECT_TRUE(doc.contains(QStringLiteral("Email: $*MergeEmail*$<br>")));
        EXPECT_TRUE(doc.contains(QStringLiteral("IP Address: $*MergeIPAddress*$")));
        if (!macros[row].isEmpty()) {
            EXPECT_TRUE(doc.contains(macros[row])) << row;
        }
        // Only its own picture.
        for (int other = 0; other < 5; ++other)
            EXPECT_EQ(doc.contains(TemplateImageName(other)), other == row) << row << " " << other;
    }
    EXPECT_TRUE(StoredTemplate(4).contains(QStringLiteral(".style1 {background-color: #808080}")));
    EXPECT_EQ(StoredTemplate(5), QString());
}

TEST(StoredTemplates, EachPlaceholderIsReplacedOnceByItsValueEscapedForWhereItStands) {
    const QString doc =
        QStringLiteral("<img src=\"Template3.jpg\"> Template1.jpg TorvaleCo %1 %2 UnsubscribeNow "
                       "<a href=\"mailto:%2?subject=UnsubscribeNow\" title='TorvaleCo'>")
            .arg(QLatin1String(TemplateWebHost), QLatin1String(TemplateUnsubscribeAddress));
    // Each value holds markup, quotes and the placeholder of a later replacement.
    const TemplateValues v{QStringLiteral("Acme's <b>Co</b> & Sons UnsubscribeNow"),
                           QStringLiteral("<TorvaleCo>"), QStringLiteral("o'b+c&d?e@example.test"),
                           QStringLiteral("Stop + \"now\" & TorvaleCo")};
    EXPECT_EQ(FillTemplate(doc, 2, v, QStringLiteral("/opt/velanto")),
              QStringLiteral("<img src=\"file:///opt/velanto/Template3.jpg\"> Template1.jpg "
                             "Acme&#39;s &lt;b&gt;Co&lt;/b&gt; &amp; Sons UnsubscribeNow &lt;TorvaleCo&gt; "
                             "o&#39;b+c&amp;d?e@example.test Stop + &quot;now&quot; &amp; TorvaleCo "
                             "<a href=\"mailto:o%27b+c%26d%3Fe@example.test"
                             "?subject=Stop%20%2B%20%22now%22%20%26%20TorvaleCo\" "
                             "title='Acme&#39;s &lt;b&gt;Co&lt;/b&gt; &amp; Sons UnsubscribeNow'>"));
    // The picture's address is a file URL of the path, whatever characters the folder's name holds.
    EXPECT_TRUE(FillTemplate(doc, 2, v, QStringLiteral("/opt/V #2 100% & co/"))
                    .startsWith(QStringLiteral(
                        "<img src=\"file:///opt/V%20%232%20100%25%20&amp;%20co/Template3.jpg\">")));

    // A filled document keeps its merge macros and has no placeholder left.
    const QString filled = FillTemplate(StoredTemplate(0), 0,
                                        {QStringLiteral("Acme"), QStringLiteral("www.acme.test"),
                                         QStringLiteral("leave@acme.test"), QStringLiteral("REMOVE ME")},
                                        QStringLiteral("/opt/velanto/"));
    EXPECT_FALSE(filled.contains(QStringLiteral("TorvaleCo")));
    EXPECT_FALSE(filled.contains(QStringLiteral("UnsubscribeNow")));
    EXPECT_FALSE(filled.contains(QStringLiteral(".invalid")));
    EXPECT_EQ(filled.count(QStringLiteral("leave@acme.test")), 2);
    EXPECT_TRUE(filled.contains(QStringLiteral("mailto:leave@acme.test?subject=REMOVE%20ME")));
    EXPECT_TRUE(filled.contains(QStringLiteral("src=\"file:///opt/velanto/Template1.jpg\"")));
    EXPECT_TRUE(filled.contains(QStringLiteral("To: $*MergeCompany*$")));
}
