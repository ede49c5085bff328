#pragma once
// Gives over-long runs of text places to break before the rich-text engine lays them out. For a word
// longer than a line the engine looks for the word's end again for every line it breaks off (a word of
// a megabyte took it 24 s), and it makes a table cell as wide as the cell's longest word. A zero-width
// space after every few characters of such a run keeps the work linear and the cells on the page, and
// the run still fills each line up to the page width, less fewer characters than are between breaks.
#include <QString>
#include <QStringView>

namespace mail {

class RunBreaker {
public:
    // Runs of more than longest characters without a blank get a break after every `every` of their
    // characters. markup: the text is HTML text, whose entities ("&amp;") count as one character.
    RunBreaker(int longest, int every, bool markup);

    // Appends text to out (when out is not null) with the breaks its runs need, and returns how many it
    // put in. A run goes on from the text before, as it does across inline tags or pieces of a body.
    qsizetype append(QStringView text, QString* out);
    // What follows starts a new run (a new paragraph or line).
    void endRun() { m_run = 0; }

private:
    qsizetype unitEnd(QStringView s, qsizetype at) const;

    const qsizetype m_longest, m_every;
    const bool m_markup;
    qsizetype m_run = 0; // characters of the run that goes on
};

} // namespace mail
