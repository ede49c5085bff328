// Messages that are hard on the rich-text engine: each prints, or is refused, within a few seconds of
// processor time, and what is printed holds the message's text. Unbounded, these took the engine from
// half a minute to hours while the program stood still.
#include "tests/mail/MimeTestSupport.h"
#include "tests/mail/print/PrintedText.h"
#include "tests/support/ProcessMeasures.h"

#include "mail/Message.h"
#include "mail/print/MessagePrinter.h"

#include <QFile>

#include <algorithm>

#include <gtest/gtest.h>

using namespace mail;
using mimetest::Folder;

namespace {

// Each case prints in a second or two here, some times that under the sanitizers; unbounded, the
// smallest of them takes half a minute.
constexpr qint64 kSecondsAllowed = testenv::kSanitized ? 60 : 15;
// The printer's margins, 20 mm, in points.
constexpr double kMarginPoints = 20 / 25.4 * 72;

struct Printed {
    qint32 result = -1;
    bool written = false; // a PDF file was made
    QString text;         // what it shows
    QString onPaper;      // what it shows inside the margins
};

// onPaper: read only what the pages show inside their margins (the plain reading costs as much again).
Printed Print(const char* type, const QByteArray& body, bool onPaper = false) {
    Folder folder;
    const QString eml =
        folder.write(QStringLiteral("m.eml"),
                     "Subject: hostile\r\nMIME-Version: 1.0\r\nContent-Type: " + QByteArray(type) +
                         "; charset=utf-8\r\n\r\n" + body + "\r\n");
    Message message;
    EXPECT_EQ(
        message.ImportMessageFile(eml, qstrcmp(type, "text/html") == 0 ? BodyPartHtml : BodyPartText, 0), 0);
    MessagePrinter printer;
    const QString pdf = folder.path(QStringLiteral("out.pdf"));
    printer.SetOutputFileForTesting(pdf);
    Printed printed;
    const qint64 cpu = testenv::ProcessorMilliseconds();
    printed.result = printer.PrintMessage(message.GetMessageHandle(), 511);
    EXPECT_LT(testenv::ProcessorMilliseconds() - cpu, kSecondsAllowed * 1000)
        << "milliseconds of processor time";
    printed.written = QFile::exists(pdf);
    if (printed.written && onPaper)
        printed.onPaper = printtest::PdfTextOnPaper(pdf, kMarginPoints);
    else if (printed.written)
        printed.text = printtest::PdfText(pdf);
    return printed;
}

Printed PrintHtml(const QByteArray& html) {
    return Print("text/html", html);
}

QByteArray Digits(qsizetype count) {
    QByteArray digits;
    digits.reserve(count);
    while (digits.size() < count)
        digits += "0123456789";
    digits.truncate(count);
    return digits;
}

} // namespace

// Every level of table nesting doubled the layout: 24 levels took minutes. The deepest tables become
// text; every word still prints.
TEST(HostilePrint, DeeplyNestedTablesPrintEveryWord) {
    QByteArray html = "<p>before the tables</p>";
    for (int i = 0; i < 24; ++i)
        html += "<table><tr><td>level" + QByteArray::number(i) + " ";
    html += "innermost";
    for (int i = 0; i < 24; ++i)
        html += "</td></tr></table>";
    html += "<p>after the tables</p>";
    const Printed printed = PrintHtml(html);
    EXPECT_EQ(printed.result, PrintOk);
    for (const char* word :
         {"before the tables", "level0", "level12", "level23", "innermost", "after the tables"})
        EXPECT_TRUE(printed.text.contains(QLatin1String(word)))
            << word << " in " << printed.text.toStdString();
}

// Elements left open (200,000 <b>, unclosed <script> tags) cost the engine's parser time for every
// element still open: minutes. They print what they hold; what scripts hold is never printed.
TEST(HostilePrint, ElementsLeftOpenPrintTheirText) {
    const Printed bold = PrintHtml("<p>first</p>" + QByteArray("<b>").repeated(200000) + "bold end");
    EXPECT_EQ(bold.result, PrintOk);
    EXPECT_TRUE(bold.text.contains(QLatin1String("bold end"))) << bold.text.toStdString();

    const Printed scripts =
        PrintHtml("<p>before the scripts</p>" + QByteArray("<script>var x ").repeated(20000));
    EXPECT_EQ(scripts.result, PrintOk);
    EXPECT_TRUE(scripts.text.contains(QLatin1String("before the scripts"))) << scripts.text.toStdString();
    EXPECT_FALSE(scripts.text.contains(QLatin1String("var x")));
}

// 20,000 pictures in a line cost the engine time for every picture before each one (a minute and a
// half); a message with more pictures than any printout shows, or more elements than the engine lays
// out in a few seconds, is refused before anything is printed.
TEST(HostilePrint, TooMuchForTheEngineIsRefusedUnprinted) {
    const Printed pictures = PrintHtml(QByteArray("<img src=cid:x>").repeated(20000));
    EXPECT_EQ(pictures.result, PrintTooManyPictures);
    EXPECT_FALSE(pictures.written);

    const Printed elements = PrintHtml(QByteArray("<b>x</b>").repeated(500000));
    EXPECT_EQ(elements.result, PrintTooComplex);
    EXPECT_FALSE(elements.written);
}

// A word or line without a break opportunity: the engine looked for its end again for every line it
// broke off (a 4 MB word took 75 s), and a preformatted line printed its first 99 characters
// of 200,000, reported as printed. Every digit prints, once, or the message is refused unprinted.
TEST(HostilePrint, OverLongWordsAndLinesPrintEveryCharacter) {
    const struct {
        const char* what;
        const char* type;
        QByteArray body;
        qsizetype digits; // and euro signs; 0: refused, as longer than the engine lays out in one piece
    } cases[] = {
        {"one word of 4 MB", "text/html", "<p>" + Digits(4 << 20) + "</p>", 4 << 20},
        {"a preformatted line of 200,000", "text/html", "<pre>" + Digits(200000) + "</pre>", 200000},
        {"a preformatted line of 8 MB", "text/html", "<pre>" + Digits(8 << 20) + "</pre>", 0},
        {"a cell of a table kept to its width", "text/html",
         "<table width=300><tr><td nowrap>" + Digits(200000) + "</td></tr></table>", 200000},
        {"a text body line of 4 MB", "text/plain", Digits(4 << 20), 4 << 20},
        // With characters of three bytes: the pieces the body is laid out in end inside the line, between
        // characters.
        {"a text body line of 400 KB", "text/plain", QByteArray("0123456789\u20AC").repeated(32000), 352000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Printed printed = Print(c.type, c.body, true);
        EXPECT_EQ(printed.result, c.digits > 0 ? PrintOk : PrintTooLong);
        EXPECT_EQ(printed.written, c.digits > 0);
        const QString& paper = printed.onPaper;
        EXPECT_EQ(std::count_if(paper.cbegin(), paper.cend(),
                                [](QChar ch) { return ch.isDigit() || ch == u'\u20AC'; }),
                  c.digits);
    }
}
