#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <array>

// How fields of a delimited recipient list are enclosed in double quotes: the one rule the export writes
// by and the import reads by, both where it finds the end of a record (ImportFileReader::ReadRecord) and
// where it cuts a record into fields (SplitImportLine).
//
// Reading: a field is quoted when it opens with a double quote, blanks before it allowed unless the
// blank is the delimiter. Inside it two quotes stand for one, and delimiters and line ends are text; the
// first quote that is not doubled closes it. Text between the closing quote and the next delimiter still
// belongs to the field ("Smith" Jr); but a field that holds a line end must end where its quote closes
// (blanks allowed): otherwise its opening quote was a stray one, and the lines it took belong to records
// of their own. A quote anywhere else is text, and a mark (U+FEFF) is no part of any field.
class QuoteScan {
public:
    // What a character is to the record it stands in.
    enum class Kind {
        Text,          // a character of a field (blanks included: the splitter trims them)
        Delimiter,     // ends a field
        LineEnd,       // CR or LF outside quotes: ends the record
        Open,          // the quote that opens a quoted field
        Quote,         // a quote inside a quoted field: the next character tells whether it closes it
        Doubled,       // the second quote of a doubled pair, one quote of the text
        BreakInQuotes, // CR or LF inside a quoted field, text of the field
        Stray,         // text (not a blank) after the closing quote of a field that holds a line end
        Mark,          // U+FEFF
    };

    explicit QuoteScan(QChar delimiter = QLatin1Char('\t')) : m_delimiter(delimiter.unicode()) {}

    Kind Step(char16_t c);
    // Back to the start of a record.
    void Restart() {
        m_state = State::FieldStart;
        m_spansLines = false;
    }
    // A quoted field is open: at the end of the text, one that never closed.
    bool InQuotes() const { return m_state == State::Quoted; }
    // The last character was a quote that, unless another one follows, closes its field.
    bool AfterQuote() const { return m_state == State::QuoteInQuoted; }

private:
    enum class State { FieldStart, Plain, Quoted, QuoteInQuoted, Closed };
    char16_t m_delimiter;
    State m_state = State::FieldStart;
    bool m_spansLines = false;
};

// Inline: it runs once for every character of a file read with quotes.
inline QuoteScan::Kind QuoteScan::Step(char16_t c) {
    if (c == 0xFEFF)
        return Kind::Mark;
    const bool lineEnd = c == u'\r' || c == u'\n';
    if (m_state == State::Quoted) {
        if (c == u'"') {
            m_state = State::QuoteInQuoted;
            return Kind::Quote;
        }
        if (lineEnd) {
            m_spansLines = true;
            return Kind::BreakInQuotes;
        }
        return Kind::Text;
    }
    if (m_state == State::QuoteInQuoted) {
        if (c == u'"') {
            m_state = State::Quoted;
            return Kind::Doubled;
        }
        m_state = State::Closed; // the quote before closed the field; c comes after it
    }
    if (lineEnd) {
        // To the splitter, given a line, a line end outside quotes is text: the field is no quoted one.
        if (m_state == State::FieldStart)
            m_state = State::Plain;
        return Kind::LineEnd;
    }
    if (c == m_delimiter) {
        m_state = State::FieldStart;
        return Kind::Delimiter;
    }
    switch (m_state) {
    case State::FieldStart:
        if (c == u'"') {
            m_state = State::Quoted;
            m_spansLines = false;
            return Kind::Open;
        }
        if (c != u' ')
            m_state = State::Plain;
        return Kind::Text;
    case State::Closed:
        if (m_spansLines && c != u' ') {
            m_state = State::Plain;
            return Kind::Stray;
        }
        return Kind::Text;
    case State::Plain:
    case State::Quoted:
    case State::QuoteInQuoted:
        break;
    }
    return Kind::Text;
}

// Writing: a value is enclosed in quotes, its quotes doubled, when reading it as it stands would change
// it: it holds the delimiter, a quote or a line end, or it starts or ends with a blank or a tab (the
// import trims blanks, other programs tabs too). Every other value is written as it is. Values are the
// UTF-8 bytes the database holds; all the characters that matter are ASCII.
class FieldQuoter {
public:
    // No delimiter (QChar()): one value a line.
    explicit FieldQuoter(QChar delimiter);

    bool NeedsQuotes(QByteArrayView value) const;
    static QByteArray Quoted(QByteArrayView value);

private:
    std::array<bool, 256> m_special{};
};
