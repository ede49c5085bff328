#include "mail/print/PrintableHtml.h"

#include "mail/print/LongRuns.h"

#include <QHash>

#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace mail {

namespace {

// --- Tokens ------------------------------------------------------------------------------------------

enum class TokenKind { Text, StartTag, EndTag, Markup };

struct Token {
    TokenKind kind = TokenKind::Text;
    qsizetype begin = 0, end = 0;
    QStringView name; // of a tag
    bool selfClosing = false;
};

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Where a tag whose name ends at from ends: after the '>' that is not inside a quoted attribute value,
// as the engine reads it (an alt text may hold a '>'), or at the end of the input.
qsizetype TagEnd(QStringView s, qsizetype from, bool* selfClosing) {
    QChar quote;
    bool valueNext = false; // after '=', where a quote opens a value
    QChar last;
    for (qsizetype i = from; i < s.size(); ++i) {
        const QChar c = s[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'>') {
            *selfClosing = last == u'/';
            return i + 1;
        }
        if (valueNext && (c == u'"' || c == u'\''))
            quote = c;
        if (!IsSpace(c)) {
            valueNext = c == u'=';
            last = c;
        }
    }
    *selfClosing = false;
    return s.size();
}

bool StartsMarkup(QStringView s, qsizetype at) {
    if (s[at] != u'<' || at + 1 >= s.size())
        return false;
    const QChar next = s[at + 1];
    return IsAsciiLetter(next) || next == u'!' || next == u'?' ||
           (next == u'/' && at + 2 < s.size() && IsAsciiLetter(s[at + 2]));
}

Token NextToken(QStringView s, qsizetype pos) {
    Token t;
    t.begin = pos;
    if (!StartsMarkup(s, pos)) {
        qsizetype next = s.indexOf(u'<', pos + 1);
        while (next >= 0 && !StartsMarkup(s, next))
            next = s.indexOf(u'<', next + 1);
        t.end = next < 0 ? s.size() : next;
        return t;
    }
    const QChar second = s[pos + 1];
    if (second == u'!' || second == u'?') {
        t.kind = TokenKind::Markup;
        const bool comment = s.mid(pos).startsWith(u"<!--");
        const qsizetype close = comment ? s.indexOf(u"-->", pos + 4) : s.indexOf(u'>', pos + 2);
        t.end = close < 0 ? s.size() : close + (comment ? 3 : 1);
        return t;
    }
    t.kind = second == u'/' ? TokenKind::EndTag : TokenKind::StartTag;
    const qsizetype nameStart = pos + (second == u'/' ? 2 : 1);
    qsizetype nameEnd = nameStart;
    while (nameEnd < s.size() && !IsSpace(s[nameEnd]) && s[nameEnd] != u'/' && s[nameEnd] != u'>')
        ++nameEnd;
    t.name = s.mid(nameStart, nameEnd - nameStart);
    t.end = TagEnd(s, nameEnd, &t.selfClosing);
    return t;
}

// The end tag of a raw-text element (script, title, style) that starts at from: where it begins and
// where it ends, or {-1, -1} when there is none (the element then runs to the end of the input, as a
// browser reads it).
std::pair<qsizetype, qsizetype> RawTextEnd(QStringView s, qsizetype from, QStringView name) {
    const QString close = QStringLiteral("</") + name.toString();
    for (qsizetype at = s.indexOf(close, from, Qt::CaseInsensitive); at >= 0;
         at = s.indexOf(close, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + close.size();
        if (after == s.size() || IsSpace(s[after]) || s[after] == u'>' || s[after] == u'/') {
            bool selfClosing = false;
            return {at, TagEnd(s, after, &selfClosing)};
        }
    }
    return {-1, -1};
}

// --- Elements ----------------------------------------------------------------------------------------

enum class Kind {
    Other,
    Void,
    Dropped, // script, title: never printed
    Style,
    Table,
    Section, // tbody, thead, tfoot
    Row,
    Cell,
    TablePart, // caption, colgroup, col
    P,
    Li,
    DdDt,
    Option,
    ListOwner, // ul, ol, menu, dir
    Dl,
    ClosesP,  // block elements whose start ends an open paragraph
    Boundary, // elements that paragraphs and unnamed end tags do not reach across
};

Kind KindOf(QStringView name) {
    static const QHash<QString, Kind> kinds = [] {
        QHash<QString, Kind> k;
        for (const char* n :
             {"area",  "base",    "basefont", "bgsound", "br",   "embed", "frame",  "hr",     "image", "img",
              "input", "isindex", "keygen",   "link",    "meta", "param", "source", "spacer", "track", "wbr"})
            k.insert(QLatin1String(n), Kind::Void);
        for (const char* n :
             {"address", "article",  "aside",      "blockquote", "center", "details", "dialog",
              "div",     "fieldset", "figcaption", "figure",     "footer", "form",    "h1",
              "h2",      "h3",       "h4",         "h5",         "h6",     "header",  "hgroup",
              "main",    "nav",      "pre",        "section",    "summary"})
            k.insert(QLatin1String(n), Kind::ClosesP);
        for (const char* n : {"ul", "ol", "menu", "dir"})
            k.insert(QLatin1String(n), Kind::ListOwner);
        for (const char* n : {"tbody", "thead", "tfoot"})
            k.insert(QLatin1String(n), Kind::Section);
        for (const char* n : {"caption", "colgroup", "col"})
            k.insert(QLatin1String(n), Kind::TablePart);
        for (const char* n : {"applet", "button", "html", "marquee", "object", "template"})
            k.insert(QLatin1String(n), Kind::Boundary);
        k.insert(QStringLiteral("script"), Kind::Dropped);
        k.insert(QStringLiteral("title"), Kind::Dropped);
        k.insert(QStringLiteral("style"), Kind::Style);
        k.insert(QStringLiteral("table"), Kind::Table);
        k.insert(QStringLiteral("tr"), Kind::Row);
        k.insert(QStringLiteral("td"), Kind::Cell);
        k.insert(QStringLiteral("th"), Kind::Cell);
        k.insert(QStringLiteral("p"), Kind::P);
        k.insert(QStringLiteral("li"), Kind::Li);
        k.insert(QStringLiteral("dd"), Kind::DdDt);
        k.insert(QStringLiteral("dt"), Kind::DdDt);
        k.insert(QStringLiteral("option"), Kind::Option);
        k.insert(QStringLiteral("optgroup"), Kind::Option);
        k.insert(QStringLiteral("dl"), Kind::Dl);
        return k;
    }();
    if (name.size() > 10)
        return Kind::Other;
    return kinds.value(name.toString().toLower(), Kind::Other);
}

bool IsTableStructure(Kind k) {
    return k == Kind::Section || k == Kind::Row || k == Kind::Cell || k == Kind::TablePart;
}

// Tags after which the engine starts a new line: a run of text does not go on across them.
bool EndsRun(Kind k, QStringView name) {
    return IsTableStructure(k) || k == Kind::Table || k == Kind::P || k == Kind::ClosesP || k == Kind::Li ||
           k == Kind::DdDt || k == Kind::ListOwner || k == Kind::Dl ||
           name.compare(QLatin1String("br"), Qt::CaseInsensitive) == 0;
}

// Table depths beyond this count as this one: by then the estimate is far beyond any limit.
constexpr int kDepths = 40;

// What one pass saw, by the number of tables around each thing.
struct Census {
    std::array<double, kDepths + 1> tables{}, cells{}, other{};
    int pictures = 0;
    int deepestTable = 0;
    double flat = 0; // the work with every table flattened: the least any choice can give

    // The estimated work when tables nested more than keep deep are flattened.
    double work(int keep) const {
        double sum = 0;
        const double flatWeight = std::ldexp(1.0, keep);
        for (int e = 0; e <= kDepths; ++e) {
            const double weight = std::ldexp(1.0, e);
            sum += tables[e] * (e < keep ? 6 * weight : flatWeight);
            sum += cells[e] * (e <= keep ? 6 * weight : flatWeight);
            sum += other[e] * std::ldexp(1.0, std::min(e, keep));
        }
        return sum;
    }
};

// One walk over the HTML with a model of the engine's open elements. The first walk counts, the second
// writes what is kept; both make the same choices, so their models stay alike.
class Walk {
public:
    Walk(QStringView html, const HtmlPrintLimits& limits, int keepTables, QString* out)
        : m_s(html), m_limits(limits), m_keepTables(keepTables), m_out(out),
          m_runs(limits.longestRun, limits.breakEvery, true) {}

    // False when the work already passed the limit with every table flattened (the walk then stops).
    bool run(Census* census) {
        m_census = census;
        for (qsizetype pos = 0; pos < m_s.size();) {
            const Token t = NextToken(m_s, pos);
            pos = t.end;
            switch (t.kind) {
            case TokenKind::Text: {
                const qsizetype breaks = m_runs.append(m_s.mid(t.begin, t.end - t.begin), m_out);
                count(Counted::Other, 1 + double(t.end - t.begin + breaks) / 16);
                break;
            }
            case TokenKind::Markup:
                keep(t);
                break;
            case TokenKind::StartTag:
                pos = startTag(t);
                break;
            case TokenKind::EndTag:
                endTag(t);
                break;
            }
            if (m_census && m_census->flat > m_limits.maxWork)
                return false;
        }
        return true;
    }

private:
    struct Open {
        QStringView name;
        Kind kind;
        bool kept;
    };
    enum class Counted { Table, Cell, Other };

    void keep(const Token& t) {
        if (m_out)
            m_out->append(m_s.mid(t.begin, t.end - t.begin));
    }
    void write(QStringView text) {
        if (m_out)
            m_out->append(text);
    }

    void count(Counted what, double units) {
        if (!m_census)
            return;
        const int e = std::min<int>(int(m_tables.size()), kDepths);
        auto& bucket = what == Counted::Table  ? m_census->tables
                       : what == Counted::Cell ? m_census->cells
                                               : m_census->other;
        bucket[e] += units;
        m_census->flat += units;
    }

    qsizetype startTag(const Token& t) {
        const Kind kind = KindOf(t.name);
        if (kind == Kind::Dropped) {
            const qsizetype end = t.selfClosing ? t.end : RawTextEnd(m_s, t.end, t.name).second;
            return end < 0 ? m_s.size() : end;
        }
        if (kind == Kind::Style)
            return style(t);
        closeImplied(kind);
        const bool isVoid = kind == Kind::Void || t.selfClosing;
        if (!isVoid && int(m_open.size()) >= m_limits.maxOpenDepth) {
            if (m_droppedOpen.size() < 1024 || m_droppedOpen.contains(t.name.toString().toLower()))
                ++m_droppedOpen[t.name.toString().toLower()];
            return t.end;
        }
        if (EndsRun(kind, t.name))
            m_runs.endRun();
        bool structure = false, flattened = false;
        if (kind == Kind::Table) {
            structure = true;
            flattened = int(m_tables.size()) >= m_keepTables;
        } else if (IsTableStructure(kind) && !m_tables.empty()) {
            structure = true;
            flattened = !m_open[m_tables.back()].kept; // the cells of a flattened table go with it
        }
        if (flattened) {
            count(Counted::Other, 1);
            write(kind == Kind::Row ? u"<br>" : kind == Kind::Cell ? u" " : u"");
        } else {
            count(kind == Kind::Table ? Counted::Table : structure ? Counted::Cell : Counted::Other, 1);
            keep(t);
            if (t.name.compare(QLatin1String("img"), Qt::CaseInsensitive) == 0 && m_census)
                ++m_census->pictures;
        }
        if (!isVoid) {
            if (kind == Kind::Table) {
                m_tables.push_back(m_open.size());
                if (m_census)
                    m_census->deepestTable = std::max<int>(m_census->deepestTable, int(m_tables.size()));
            }
            m_open.push_back({t.name, kind, !flattened});
        }
        return t.end;
    }

    // A style sheet is kept whole; tags inside it (no style sheet has any) would be elements to the
    // engine, so they are left out. One without an end runs to the end and holds nothing to print.
    qsizetype style(const Token& t) {
        if (t.selfClosing) {
            keep(t);
            return t.end;
        }
        const auto [close, end] = RawTextEnd(m_s, t.end, t.name);
        if (end < 0)
            return m_s.size();
        keep(t);
        for (qsizetype pos = t.end; pos < close;) {
            const Token inner = NextToken(m_s.first(close), pos);
            pos = inner.end;
            if (inner.kind != TokenKind::StartTag && inner.kind != TokenKind::EndTag)
                keep(inner);
        }
        write(m_s.mid(close, end - close));
        count(Counted::Other, 1 + double(end - t.end) / 16);
        return end;
    }

    void endTag(const Token& t) {
        if (!m_droppedOpen.isEmpty()) {
            const auto dropped = m_droppedOpen.find(t.name.toString().toLower());
            if (dropped != m_droppedOpen.end() && dropped.value() > 0) {
                --dropped.value();
                return;
            }
        }
        const Kind kind = KindOf(t.name);
        const qsizetype at =
            find(kind, [&t](const Open& o) { return o.name.compare(t.name, Qt::CaseInsensitive) == 0; });
        if (at < 0) {
            keep(t); // a stray end tag: the engine makes of it what it always did
            return;
        }
        const bool kept = m_open[at].kept;
        popThrough(at);
        if (EndsRun(kind, t.name))
            m_runs.endRun();
        if (kept)
            keep(t);
    }

    // The nearest open element that matches, not looking past the elements that bound an end tag of
    // this kind; -1 when there is none.
    template <typename Match>
    qsizetype find(Kind kind, Match match) const {
        for (qsizetype i = qsizetype(m_open.size()) - 1; i >= 0; --i) {
            const Open& o = m_open[i];
            if (match(o))
                return i;
            if (kind == Kind::Table)
                continue;
            if (o.kind == Kind::Table)
                return -1;
            if (kind == Kind::Cell || kind == Kind::Row || kind == Kind::Section)
                continue;
            if (o.kind == Kind::Cell || o.kind == Kind::Boundary)
                return -1;
        }
        return -1;
    }

    // The elements a start tag ends, as HTML parsers end them: an open paragraph before a block, the
    // previous item of a list, the previous cell or row of a table.
    void closeImplied(Kind kind) {
        auto closeNearest = [this](auto match, auto stop) {
            for (qsizetype i = qsizetype(m_open.size()) - 1; i >= 0; --i) {
                if (match(m_open[i].kind)) {
                    popThrough(i);
                    return;
                }
                if (stop(m_open[i].kind))
                    return;
            }
        };
        const auto scope = [](Kind k) { return k == Kind::Table || k == Kind::Cell || k == Kind::Boundary; };
        switch (kind) {
        case Kind::Cell:
            closeNearest([](Kind k) { return k == Kind::Cell; },
                         [](Kind k) { return k == Kind::Row || k == Kind::Table || k == Kind::Section; });
            return;
        case Kind::Row:
            closeNearest([](Kind k) { return k == Kind::Row; },
                         [](Kind k) { return k == Kind::Table || k == Kind::Section; });
            return;
        case Kind::Section:
            closeNearest([](Kind k) { return k == Kind::Section; }, [](Kind k) { return k == Kind::Table; });
            return;
        case Kind::Option:
            if (!m_open.empty() && m_open.back().kind == Kind::Option)
                popThrough(m_open.size() - 1);
            return;
        case Kind::Li:
            closeNearest([](Kind k) { return k == Kind::Li; },
                         [&scope](Kind k) { return k == Kind::ListOwner || scope(k); });
            break;
        case Kind::DdDt:
            closeNearest([](Kind k) { return k == Kind::DdDt; },
                         [&scope](Kind k) { return k == Kind::Dl || scope(k); });
            break;
        case Kind::P:
        case Kind::ClosesP:
        case Kind::ListOwner:
        case Kind::Dl:
        case Kind::Table:
            break;
        default:
            return;
        }
        closeNearest([](Kind k) { return k == Kind::P; }, scope);
    }

    void popThrough(qsizetype at) {
        while (qsizetype(m_open.size()) > at) {
            if (m_open.back().kind == Kind::Table)
                m_tables.pop_back();
            m_open.pop_back();
        }
        if (int(m_open.size()) < m_limits.maxOpenDepth)
            m_droppedOpen.clear(); // what was dropped lay inside what just closed
    }

    QStringView m_s;
    const HtmlPrintLimits& m_limits;
    const int m_keepTables;
    QString* m_out;
    Census* m_census = nullptr;
    std::vector<Open> m_open;
    std::vector<size_t> m_tables; // indexes into m_open of the open tables
    QHash<QString, int> m_droppedOpen;
    RunBreaker m_runs;
};

} // namespace

PrintableHtml BoundHtmlForPrint(QStringView html, const HtmlPrintLimits& limits) {
    PrintableHtml result;
    Census census;
    if (!Walk(html, limits, kDepths + 1, nullptr).run(&census)) {
        result.verdict = HtmlPrintVerdict::TooMuchWork;
        return result;
    }
    if (census.pictures > limits.maxPictures) {
        result.verdict = HtmlPrintVerdict::TooManyPictures;
        return result;
    }
    int keep = kDepths + 1;
    while (keep > 0 && census.work(keep) > limits.maxWork)
        --keep;
    result.work = census.work(keep);
    if (result.work > limits.maxWork) {
        result.verdict = HtmlPrintVerdict::TooMuchWork;
        return result;
    }
    result.keptTableDepth = std::min(keep, census.deepestTable);
    result.flattened = census.deepestTable > keep;
    result.pictures = census.pictures;
    result.html.reserve(html.size());
    Walk(html, limits, keep, &result.html).run(nullptr);
    return result;
}

} // namespace mail
