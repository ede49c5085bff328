#pragma once
// Bounds the work Qt's rich-text engine spends on a message's HTML before it is laid out for printing.
// The engine's parser takes time in proportion to how deeply elements are open, pictures in one line
// cost it time in proportion to the pictures before them, and every level of table nesting doubles
// the layout of what lies inside. A few hundred bytes of nested tables would keep it busy for minutes.
// One linear pass looks at the HTML as the engine will and returns what may be laid out: scripts and
// titles (never printed) are left out, elements opened beyond a depth no message needs lose their tags
// but keep their text, the innermost tables are flattened into text until the estimated work fits, and
// over-long runs of text get places to break. A message that would still be too much is refused, never
// cut.
#include <QString>
#include <QStringView>

namespace mail {

struct HtmlPrintLimits {
    // Open elements deeper than this lose their tags (their text stays).
    int maxOpenDepth = 128;
    // More pictures than this are refused: each costs the engine time in proportion to those before it.
    int maxPictures = 2000;
    // The estimated layout work allowed, in units of 5 to 10 microseconds of the engine's time here: an
    // element counts 1, a run of text 1 and one more for every 16 characters, doubled for every table
    // around them; a table, row or cell counts 6 such units. A newsletter of tables five deep and 270 KB
    // counts 565,000; at the limit the engine lays out within about 5 s.
    double maxWork = 600000;
    // A run of more characters than this without a blank is given a break opportunity (a zero-width
    // space) after every breakEvery of its characters, never inside a character, an entity or before
    // a combining mark (LongRuns.h). No printed line holds 256 characters, so ordinary words and
    // addresses are left as they are.
    int longestRun = 256;
    int breakEvery = 16;
};

enum class HtmlPrintVerdict { Printable, TooManyPictures, TooMuchWork };

struct PrintableHtml {
    HtmlPrintVerdict verdict = HtmlPrintVerdict::Printable;
    QString html;           // what the engine may lay out; empty unless printable
    int pictures = 0;       // <img> elements kept
    int keptTableDepth = 0; // the deepest nesting of tables kept
    bool flattened = false; // tables nested deeper than keptTableDepth became text
    double work = 0;        // the estimated work of html
};

PrintableHtml BoundHtmlForPrint(QStringView html, const HtmlPrintLimits& limits = {});

} // namespace mail
