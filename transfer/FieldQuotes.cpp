#include "transfer/FieldQuotes.h"

#include <algorithm>

FieldQuoter::FieldQuoter(QChar delimiter) {
    m_special['"'] = m_special['\r'] = m_special['\n'] = true;
    if (!delimiter.isNull() && delimiter.unicode() < 0x80)
        m_special[delimiter.unicode()] = true;
}

bool FieldQuoter::NeedsQuotes(QByteArrayView value) const {
    if (value.isEmpty())
        return false;
    const auto edge = [](char c) { return c == ' ' || c == '\t'; };
    if (edge(value.front()) || edge(value.back()))
        return true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
    return std::any_of(bytes, bytes + value.size(), [this](unsigned char c) { return m_special[c]; });
}

QByteArray FieldQuoter::Quoted(QByteArrayView value) {
    QByteArray out;
    out.reserve(value.size() + 2);
    out += '"';
    for (qsizetype from = 0; from < value.size();) {
        const qsizetype at = value.sliced(from).indexOf('"');
        const qsizetype to = at < 0 ? value.size() : from + at + 1;
        out += value.sliced(from, to - from);
        if (at >= 0)
            out += '"';
        from = to;
    }
    out += '"';
    return out;
}
