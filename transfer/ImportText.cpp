#include "transfer/ImportText.h"

#include "transfer/FieldQuotes.h"
#include "transfer/ImportFileReader.h"

QString FirstImportLine(const QString& path, QChar delimiter, bool quotes) {
    ImportFileReader reader;
    if (!reader.Open(path))
        return QString();
    QString line;
    reader.ReadRecord(&line, {delimiter, quotes, FirstLineLimit, MaxImportRecordLines});
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

// Cuts the fields of a line by the quoting rule (QuoteScan): a quoted field's text, doubled quotes made
// single, then whatever stands between its closing quote and the delimiter; any other field trimmed of
// blanks. Returns -1 at the end of the line (or of the fields wanted), or the start of a field whose
// quote protected nothing (it never closed, or its field spans lines and goes on after the closing
// quote), from where the rest of the line is to be cut as plain text.
qsizetype cutQuotedFields(QStringView line, QChar delimiter, qsizetype maxFields, QStringList* fields) {
    if (maxFields == 0)
        return -1;
    QuoteScan scan(delimiter);
    const qsizetype n = line.size();
    qsizetype start = 0;  // the field's first character
    qsizetype open = -1;  // its opening quote
    qsizetype close = -1; // its closing quote
    const auto finish = [&](qsizetype end) {
        if (open < 0) {
            fields->append(trimBlanks(line.sliced(start, end - start)).toString());
        } else {
            QString value = undoubleQuotes(line.sliced(open + 1, close - open - 1));
            value += trimTrailingBlanks(line.sliced(close + 1, end - close - 1));
            fields->append(std::move(value));
        }
        start = end + 1;
        open = close = -1;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const bool afterQuote = scan.AfterQuote();
        const QuoteScan::Kind kind = scan.Step(line[i].unicode());
        if (afterQuote && kind != QuoteScan::Kind::Doubled)
            close = i - 1;
        if (kind == QuoteScan::Kind::Open) {
            open = i;
        } else if (kind == QuoteScan::Kind::Stray) {
            return start;
        } else if (kind == QuoteScan::Kind::Delimiter) {
            finish(i);
            if (maxFields >= 0 && fields->size() >= maxFields)
                return -1;
        }
    }
    if (scan.InQuotes())
        return start;
    if (scan.AfterQuote())
        close = n - 1;
    finish(n);
    return -1;
}

} // namespace

bool SplitPlainImportLine(QStringView line, QChar delimiter, qsizetype maxFields,
                          QList<QStringView>* fields) {
    fields->resize(0);
    if (line.contains(QChar(0xFEFF)))
        return false;
    if (line.isEmpty())
        return true;
    qsizetype start = 0;
    while (maxFields < 0 || fields->size() < maxFields) {
        const qsizetype end = line.indexOf(delimiter, start);
        fields->append(trimBlanks(line.sliced(start, (end < 0 ? line.size() : end) - start)));
        if (end < 0)
            break;
        start = end + 1;
    }
    return true;
}

QStringList SplitImportLine(const QString& text, QChar delimiter, bool stripQuotes, qsizetype maxFields) {
    QStringList fields;
    // A byte-order mark inside the text (where lists were joined) is no part of any field.
    constexpr QChar kMark(0xFEFF);
    const QString line = text.contains(kMark) ? QString(text).remove(kMark) : text;
    if (line.isEmpty())
        return fields;
    const QStringView view(line);
    // Quotes protect the delimiters they enclose; after a quote that protects nothing, the rest of the
    // line is cut as plain text (so no part of the line is searched twice).
    qsizetype start = 0;
    if (stripQuotes && (start = cutQuotedFields(view, delimiter, maxFields, &fields)) < 0)
        return fields;
    // Cut piece by piece: a line of nothing but delimiters must not turn into a list of every empty field.
    while (maxFields < 0 || fields.size() < maxFields) {
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
