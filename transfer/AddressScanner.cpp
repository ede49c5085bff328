#include "transfer/AddressScanner.h"

#include "recipients/CheckEmail.h"

namespace {

bool endsToken(QChar c) {
    switch (c.unicode()) {
    case u',':
    case u';':
    case u':':
    case u'<':
    case u'>':
    case u'(':
    case u')':
    case u'"':
        return true;
    default:
        return c.isSpace();
    }
}

constexpr qint64 kKeep = MaxEmailLength + 1; // enough to tell "too long" from "fits"

} // namespace

void AddressScanner::endToken() {
    const qint64 length = m_length - m_endApostrophes;
    if (m_hasAt && length > 0) {
        if (length <= MaxEmailLength) {
            const QString token = m_token.first(length);
            m_found(token, ValidateEmailSilent(token));
        } else {
            m_found(m_token.first(MaxEmailLength) + QStringLiteral("..."), false);
        }
    }
    m_token.clear();
    m_length = 0;
    m_endApostrophes = 0;
    m_hasAt = false;
}

void AddressScanner::Feed(QStringView text) {
    for (const QChar c : text) {
        if (endsToken(c)) {
            if (m_length > 0)
                endToken();
            continue;
        }
        const bool apostrophe = c == u'\'';
        if (apostrophe && m_length == 0)
            continue;
        if (m_length < kKeep)
            m_token += c;
        ++m_length;
        m_endApostrophes = apostrophe ? m_endApostrophes + 1 : 0;
        m_hasAt = m_hasAt || c == u'@';
    }
}

void AddressScanner::Finish() {
    if (m_length > 0)
        endToken();
}
