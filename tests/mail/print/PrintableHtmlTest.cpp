// What the bounding of a message's HTML keeps, with limits small enough to show each edge.
#include "mail/print/PrintableHtml.h"

#include <gtest/gtest.h>

using namespace mail;

namespace {

constexpr HtmlPrintLimits kDepth3{.maxOpenDepth = 3};
constexpr HtmlPrintLimits kRuns4{.longestRun = 4, .breakEvery = 2};

// Two tables, one inside the other: all kept costs 126.4 units, the inner one flattened 45.4, both
// flattened 10.7.
const QString kTwoTables =
    QStringLiteral("<table><tr><td>one<table><tr><td>two</td><td>three</td></tr></table></td></tr></table>");

struct Row {
    const char* what;
    QString html;
    HtmlPrintLimits limits;
    QString kept; // the expected result
    HtmlPrintVerdict verdict = HtmlPrintVerdict::Printable;
    int keptTableDepth = 0;
    bool flattened = false;
};

} // namespace

TEST(BoundHtmlForPrint, KeepsWhatTheLimitsAllow) {
    const QString z = QStringLiteral("\u200B");
    const Row rows[] = {
        {"open as deep as allowed", "<b><i><u>x</u></i></b>y", kDepth3, "<b><i><u>x</u></i></b>y"},
        {"one deeper loses its tags", "<b><i><u><s>x</s></u></i></b>y", kDepth3, "<b><i><u>x</u></i></b>y"},
        {"void elements open nothing", "<b><i><br><u>x</u></i></b>", kDepth3, "<b><i><br><u>x</u></i></b>"},
        {"tables kept while they fit", kTwoTables, {.maxWork = 130}, kTwoTables, {}, 2},
        {"the inner table becomes text, its words apart",
         kTwoTables,
         {.maxWork = 100},
         "<table><tr><td>one<br> two three</td></tr></table>",
         {},
         1,
         true},
        {"every table becomes text", kTwoTables, {.maxWork = 20}, "<br> one<br> two three", {}, 0, true},
        {"too much even flat", kTwoTables, {.maxWork = 5}, "", HtmlPrintVerdict::TooMuchWork},
        {"titles and scripts out",
         "<TITLE>t</TITLE>a<script>if (a<b) x()</script >b<script src=x/>c",
         {},
         "abc"},
        {"an unclosed script runs to the end", "a<script>x<p>y</p>", {}, "a"},
        {"a style sheet keeps no tags", "<style>p{}<b>c</b></style>d", {}, "<style>p{}c</style>d"},
        {"an unclosed style sheet holds nothing", "d<style>p{}<p>y</p>", {}, "d"},
        {"a run as long as allowed", "abcd efghi", kRuns4, "abcd ef" + z + "gh" + z + "i"},
        {"pictures of four bytes in UTF-8", "😀😀😀😀😀", kRuns4, "😀😀" + z + "😀😀" + z + "😀"},
        {"combining marks stay on their letter", "e\u0301e\u0301e\u0301e\u0301e\u0301", kRuns4,
         "e\u0301e\u0301" + z + "e\u0301e\u0301" + z + "e\u0301"},
        {"entities stay whole", "&amp;&#233;&lt;&gt;&amp;", kRuns4,
         "&amp;&#233;" + z + "&lt;&gt;" + z + "&amp;"},
        {"a run goes on across tags", "ab<b>cd</b>ef", kRuns4, "ab<b>cd</b>" + z + "ef"},
        {"a paragraph starts a new run", "abc<p>def</p>ghi", kRuns4, "abc<p>def</p>ghi"},
        {"a tag's attributes are not text", "<a href=\"aaaaaaaaaa\">bb</a>", kRuns4,
         "<a href=\"aaaaaaaaaa\">bb</a>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const PrintableHtml bound = BoundHtmlForPrint(row.html, row.limits);
        EXPECT_EQ(bound.verdict, row.verdict);
        EXPECT_EQ(bound.html.toStdString(), row.kept.toStdString());
        EXPECT_EQ(bound.keptTableDepth, row.keptTableDepth);
        EXPECT_EQ(bound.flattened, row.flattened);
    }
}
