#include "transfer/ImportText.h"

#include "transfer/ImportFileReader.h"

QString FirstImportLine(const QString& path, QChar delimiter, bool quotes) {
    ImportFileReader reader;
    if (!reader.Open(path, ImportFileReader::Scope::Start))
        return QString();
    QString line;
    reader.ReadRecord(&line, {delimiter, quotes, FirstLineLimit});
    return line;
}

QStringList DelimiterNames() {
    return {QStringLiteral("Tab"), QStringLiteral("Colon"), QStringLiteral("Space"), QStringLiteral("Comma"),
            QStringLiteral("Semicolon")};
}

QChar DelimiterForName(const QString& name) {
    if (name == QLatin1String("Colon"))
        return QLatin1Char(':');
    if (name == QLatin1String("Space"))
        return QLatin1Char(' ');
    if (name == QLatin1String("Comma"))
        return QLatin1Char(',');
    if (name == QLatin1String("Semicolon"))
        return QLatin1Char(';');
    return QLatin1Char('\t');
}

namespace {

QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.sliced(begin, end - begin);
}

// Doubled quotes made single, in one pass (a replace in place would move the rest of a long field once
// for every batch of matches).
QString undoubleQuotes(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    QChar* o = out.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        *o++ = text[i];
        if (text[i] == u'"' && i + 1 < n && text[i + 1] == u'"')
            ++i;
    }
    out.truncate(o - out.constData());
    return out;
}

QStringView trimTrailingBlanks(QStringView text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.first(end);
}

// A field that opens with a quote at `from` (blanks before it allowed unless the blank is the delimiter):
// its text up to the closing quote, doubled quotes made single, then whatever stands between the closing
// quote and the delimiter; `next` is where the following field starts, or -1 at the end of the line.
enum class QuotedCut { NotQuoted, Unclosed, Cut };
QuotedCut cutQuotedField(QStringView line, QChar delimiter, qsizetype from, QString* value, qsizetype* next) {
    const qsizetype n = line.size();
    qsizetype p = from;
    while (delimiter != u' ' && p < n && line[p] == u' ')
        ++p;
    if (p >= n || line[p] != u'"')
        return QuotedCut::NotQuoted;
    // The closing quote is the first one not doubled; doubled ones are undone only once it is found.
    const QChar* d = line.data();
    qsizetype close = -1;
    for (qsizetype i = p + 1; i < n; ++i) {
        if (d[i] != u'"')
            continue;
        if (i + 1 < n && d[i + 1] == u'"') {
            ++i;
            continue;
        }
        close = i;
        break;
    }
    if (close < 0)
        return QuotedCut::Unclosed;
    *value = undoubleQuotes(line.sliced(p + 1, close - p - 1));
    const qsizetype end = line.indexOf(delimiter, close + 1);
    *value += trimTrailingBlanks(line.sliced(close + 1, (end < 0 ? n : end) - close - 1));
    *next = end < 0 ? -1 : end + 1;
    return QuotedCut::Cut;
}

} // namespace

QStringList SplitImportLine(const QString& text, QChar delimiter, bool stripQuotes, qsizetype maxFields) {
    QStringList fields;
    // A byte-order mark inside the text (where lists were joined) is no part of any field.
    constexpr QChar kMark(0xFEFF);
    const QString line = text.contains(kMark) ? QString(text).remove(kMark) : text;
    if (line.isEmpty())
        return fields;
    // Cut piece by piece: a line of nothing but delimiters must not turn into a list of every empty field.
    const QStringView view(line);
    // Quotes protect the delimiters they enclose; after a quote that never closes, the rest of the line
    // is cut as plain text (so no part of the line is searched twice).
    bool quoted = stripQuotes;
    QString value;
    qsizetype start = 0;
    while (maxFields < 0 || fields.size() < maxFields) {
        if (quoted) {
            qsizetype next = -1;
            const QuotedCut cut = cutQuotedField(view, delimiter, start, &value, &next);
            if (cut == QuotedCut::Cut) {
                fields.append(value);
                if (next < 0)
                    break;
                start = next;
                continue;
            }
            quoted = cut == QuotedCut::NotQuoted;
        }
        const qsizetype end = line.indexOf(delimiter, start);
        QStringView field = trimBlanks(view.sliced(start, (end < 0 ? line.size() : end) - start));
        if (stripQuotes && field.size() >= 2 && field.front() == u'"' && field.back() == u'"') {
            fields.append(undoubleQuotes(field.sliced(1, field.size() - 2)));
        } else {
            fields.append(field.toString());
        }
        if (end < 0)
            break;
        start = end + 1;
    }
    return fields;
}
