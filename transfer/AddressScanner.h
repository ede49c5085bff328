#pragma once
#include <QString>
#include <QStringView>
#include <functional>

// Finds e-mail addresses in text that arrives in pieces, with the matches of the import's address
// pattern (AddressExtractionPattern): left to right, not overlapping, the same wherever the pieces are
// cut. A match longer than MaxEmailLength is no address and is left out. Memory stays bounded: of a long
// run of address characters only what can still belong to an address is kept.
class AddressScanner {
public:
    explicit AddressScanner(std::function<void(const QString&)> found) : m_found(std::move(found)) {}

    void Feed(QStringView text);
    // The end of the text: a pending address is given out; the scanner is ready for a new text.
    void Finish();

private:
    void addLocal(QChar c);
    void addDomain(QChar c);
    void closeLabel();
    void endDomain();

    std::function<void(const QString&)> m_found;
    // The run of address characters before the next "@" (kept while it can still be short enough).
    QString m_local;
    qint64 m_localLength = 0;
    // After an "@": the part before it, the start and the end of the run after it, and where the
    // domain would end (after the last dot that has something before it and two letters after it).
    bool m_inDomain = false;
    QString m_candidate;
    qint64 m_candidateLength = 0;
    QString m_head;
    QString m_tail;
    qint64 m_domainLength = 0;
    qint64 m_dot = -1;
    qint64 m_letters = 0;
    qint64 m_domainEnd = -1;
};
