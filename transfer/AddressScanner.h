#pragma once
#include <QString>
#include <QStringView>
#include <functional>

// Finds e-mail addresses in text that arrives in pieces, the same wherever the pieces are cut. An address
// is only ever a whole token: tokens end at blanks and line breaks, commas, semicolons, colons, angle
// brackets, parentheses and double quotes, and apostrophes at a token's edges are no part of it (so
// 'anna@example.org' is found, o'brien@example.ie stays whole). A token with an "@" is handed out with
// whether the e-mail rule accepts it whole; a token too long to be an address is handed out refused, as
// its start followed by "...". Memory stays bounded: of a long token only what an address can hold is kept.
class AddressScanner {
public:
    using Found = std::function<void(const QString& token, bool accepted)>;
    explicit AddressScanner(Found found) : m_found(std::move(found)) {}

    void Feed(QStringView text);
    // The end of the text: a pending token is handed out; the scanner is ready for a new text.
    void Finish();

private:
    void endToken();

    Found m_found;
    QString m_token;             // the token's start, without its leading apostrophes
    qint64 m_length = 0;         // its whole length so far
    qint64 m_endApostrophes = 0; // apostrophes at its end so far
    bool m_hasAt = false;
};
