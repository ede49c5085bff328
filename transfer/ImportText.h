#pragma once
#include <QChar>
#include <QString>
#include <QStringList>

// Reading the text files recipients are imported from, and cutting their lines into fields.

// The first line of a file, empty when the file cannot be read or is empty. Only the start of the file
// is read: at most FirstLineLimit characters of the line, which is more than a preview shows.
QString FirstImportLine(const QString& path);
inline constexpr qsizetype FirstLineLimit = qsizetype(1) << 20;

// The delimiter names of the import and export windows, in list order, and the character of each.
QStringList DelimiterNames();
QChar DelimiterForName(const QString& name);

// Cuts one line of an import file into fields: byte-order marks dropped, split at every delimiter, blanks
// trimmed from each field. With stripQuotes a field enclosed in double quotes is one field whatever
// delimiters it holds, loses its quotes and has its doubled quotes made single; after a quote that never
// closes the rest of the line is cut as plain text. An empty line gives no fields. With maxFields >= 0 the
// line is cut into at most that many fields.
QStringList SplitImportLine(const QString& line, QChar delimiter, bool stripQuotes, qsizetype maxFields = -1);

// The fields of a line the recipient columns can take: none beyond the 18th.
inline constexpr qsizetype UsedImportFields = 18;
