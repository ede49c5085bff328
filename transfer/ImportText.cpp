#include "transfer/ImportText.h"

#include "transfer/ImportFileReader.h"

QString FirstImportLine(const QString& path) {
    ImportFileReader reader;
    if (!reader.Open(path, ImportFileReader::Scope::Start))
        return QString();
    QString line, piece;
    while (line.size() < FirstLineLimit && reader.ReadText(&piece)) {
        const qsizetype end = std::min(FirstLineLimit - line.size(), piece.size());
        for (qsizetype i = 0; i < end; ++i) {
            if (piece[i] == u'\r' || piece[i] == u'\n') {
                line += QStringView(piece).first(i);
                return line;
            }
        }
        line += QStringView(piece).first(end);
    }
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
    qsizetype start = 0;
    while (maxFields < 0 || fields.size() < maxFields) {
        const qsizetype end = line.indexOf(delimiter, start);
        QStringView field = trimBlanks(view.sliced(start, (end < 0 ? line.size() : end) - start));
        if (stripQuotes && field.size() >= 2 && field.front() == u'"' && field.back() == u'"') {
            QString inner = field.sliced(1, field.size() - 2).toString();
            inner.replace(QLatin1String("\"\""), QLatin1String("\""));
            fields.append(inner);
        } else {
            fields.append(field.toString());
        }
        if (end < 0)
            break;
        start = end + 1;
    }
    return fields;
}
