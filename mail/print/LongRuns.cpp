#include "mail/print/LongRuns.h"

#include <algorithm>

namespace mail {

namespace {

constexpr char16_t kBreak = u'\u200B'; // zero-width space
constexpr char16_t kJoiner = u'\u200D';

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == kBreak;
}

bool IsEntityChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'#';
}

char32_t CodePointAt(QStringView s, qsizetype at, qsizetype* size) {
    if (s[at].isHighSurrogate() && at + 1 < s.size() && s[at + 1].isLowSurrogate()) {
        *size = 2;
        return QChar::surrogateToUcs4(s[at], s[at + 1]);
    }
    *size = 1;
    return s[at].unicode();
}

// A combining mark or joiner belongs to the character before it: no break goes in front of it.
bool Joins(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return c == kJoiner || category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

} // namespace

RunBreaker::RunBreaker(int longest, int every, bool markup)
    : m_longest(std::max(longest, 1)), m_every(std::max(every, 1)), m_markup(markup) {}

// Where the character that starts at `at` ends: after both halves of a surrogate pair, the whole of an
// entity, and the marks and joined characters that follow it.
qsizetype RunBreaker::unitEnd(QStringView s, qsizetype at) const {
    qsizetype end = at + 1;
    if (m_markup && s[at] == u'&') {
        qsizetype name = at + 1;
        while (name < s.size() && name - at <= 32 && IsEntityChar(s[name]))
            ++name;
        if (name > at + 1 && name < s.size() && s[name] == u';')
            end = name + 1;
    } else {
        CodePointAt(s, at, &end);
        end += at;
    }
    bool joined = end - at == 1 && s[at] == kJoiner;
    while (end < s.size() && !IsBlank(s[end])) {
        qsizetype size = 0;
        const char32_t next = CodePointAt(s, end, &size);
        if (!joined && !Joins(next))
            break;
        joined = next == kJoiner;
        end += size;
    }
    return end;
}

qsizetype RunBreaker::append(QStringView text, QString* out) {
    qsizetype breaks = 0;
    for (qsizetype pos = 0; pos < text.size();) {
        if (IsBlank(text[pos])) {
            if (out)
                out->append(text[pos]);
            m_run = 0;
            ++pos;
            continue;
        }
        qsizetype end = pos, count = 0;
        for (; end < text.size() && !IsBlank(text[end]); end = unitEnd(text, end))
            ++count;
        if (m_run + count <= m_longest) {
            if (out)
                out->append(text.mid(pos, end - pos));
            m_run += count;
            pos = end;
            continue;
        }
        for (qsizetype at = pos; at < end;) {
            const qsizetype next = unitEnd(text, at);
            qsizetype size = 0;
            // A mark that begins this text still belongs to the character the text before ended with.
            const bool continues = at == 0 && Joins(CodePointAt(text, 0, &size));
            if (!continues && m_run > 0 && m_run % m_every == 0) {
                if (out)
                    out->append(QChar(kBreak));
                ++breaks;
            }
            if (out)
                out->append(text.mid(at, next - at));
            if (!continues)
                ++m_run;
            at = next;
        }
        pos = end;
    }
    return breaks;
}

} // namespace mail
