#pragma once
#include <QChar>
#include <QString>
#include <QStringList>

// Reading the text files recipients are imported from, and cutting their lines into fields.

// The first line of a file, empty when the file cannot be read or is empty; with quotes, the first record,
// which spans as many lines as a quoted field in it does (ImportFileReader::ReadRecord). Only the start
// of the file is read: at most FirstLineLimit characters, which is more than a preview shows.
QString FirstImportLine(const QString& path, QChar delimiter = QLatin1Char('\t'), bool quotes = false);
inline constexpr qsizetype FirstLineLimit = qsizetype(1) << 20;

// The delimiter names of the import and export windows, in list order, and the character of each.
QStringList DelimiterNames();
QChar DelimiterForName(const QString& name);

// Cuts one line of an import file into fields: byte-order marks dropped, split at every delimiter, blanks
// trimmed from each field. With stripQuotes a field enclosed in double quotes (QuoteScan, the rule the
// export writes by) is one field whatever delimiters it holds, loses its quotes and has its doubled
// quotes made single; after a quote that protects nothing the rest of the line is cut as plain text. An
// empty line gives no fields. With maxFields >= 0 the line is cut into at most that many fields.
QStringList SplitImportLine(const QString& line, QChar delimiter, bool stripQuotes, qsizetype maxFields = -1);

// SplitImportLine without quotes, as views into the line, so that a run cuts its records without a copy;
// fields keeps its room from line to line. False (and no fields) for a line that holds a byte-order mark,
// which only SplitImportLine drops.
bool SplitPlainImportLine(QStringView line, QChar delimiter, qsizetype maxFields, QList<QStringView>* fields);

// The fields of a line the recipient columns can take: none beyond the 18th.
inline constexpr qsizetype UsedImportFields = 18;

// No record of an import file is longer than this many characters. The 18 fields at the most the
// dialogs store (an address of 255, a title of 16, sixteen fields of 64: 1,295 characters), each quoted
// with nothing but doubled quotes inside, come to some 2,700; 64 Ki leaves room for lists whose free
// fields are longer than anything typed, and a longer line is no list of recipients.
inline constexpr qsizetype MaxImportRecordLength = qsizetype(1) << 16;

// No record spans more lines than this: a quoted postal address or note holds a few line ends. A quote
// left open for longer is a stray one, and each line it would take is a record of its own.
inline constexpr qsizetype MaxImportRecordLines = 64;
