#include "transfer/AddressScanner.h"

#include "recipients/CheckEmail.h"

namespace {

bool isLocalChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'-' || c == u'.';
}
bool isLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

constexpr qint64 kKeep = MaxEmailLength + 1; // enough to tell "too long" from "fits"

} // namespace

void AddressScanner::addLocal(QChar c) {
    if (m_localLength < kKeep)
        m_local += c;
    ++m_localLength;
}

void AddressScanner::closeLabel() {
    if (m_dot >= 1 && m_letters >= 2)
        m_domainEnd = m_dot + 1 + m_letters;
    m_dot = -1;
    m_letters = 0;
}

void AddressScanner::addDomain(QChar c) {
    const char16_t u = c.unicode();
    if (u == u'.') {
        closeLabel();
        m_dot = m_domainLength;
    } else if (m_dot >= 0 && isLetter(u)) {
        ++m_letters;
    } else {
        closeLabel();
    }
    if (m_domainLength < kKeep)
        m_head += c;
    m_tail += c;
    if (m_tail.size() > 4 * kKeep)
        m_tail.remove(0, m_tail.size() - kKeep);
    ++m_domainLength;
}

// The run after an "@" has ended: give out its address, if any, and carry what follows the address on as
// the start of the next one's local part (as the pattern's next match would begin there).
void AddressScanner::endDomain() {
    closeLabel();
    qint64 restFrom = 0;
    if (m_domainEnd > 0) {
        if (m_candidateLength + 1 + m_domainEnd <= MaxEmailLength)
            m_found(m_candidate + QLatin1Char('@') + m_head.first(m_domainEnd));
        restFrom = m_domainEnd;
    }
    m_localLength = m_domainLength - restFrom;
    m_local = m_localLength < kKeep ? m_tail.right(m_localLength) : QString();
    m_inDomain = false;
    m_candidate.clear();
    m_head.clear();
    m_tail.clear();
    m_domainLength = 0;
    m_domainEnd = -1;
}

void AddressScanner::Feed(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (m_inDomain) {
            if (isLocalChar(u)) {
                addDomain(c);
                continue;
            }
            endDomain();
        }
        if (isLocalChar(u)) {
            addLocal(c);
            continue;
        }
        if (u == u'@' && m_localLength > 0) {
            m_inDomain = true;
            m_candidate = m_local;
            m_candidateLength = m_localLength;
        }
        m_local.clear();
        m_localLength = 0;
    }
}

void AddressScanner::Finish() {
    if (m_inDomain)
        endDomain();
    m_local.clear();
    m_localLength = 0;
}
