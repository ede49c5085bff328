#pragma once
#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

// Reading the text files recipients are imported from, and cutting their lines into fields.

// The text of an import file's bytes. A byte-order mark (UTF-8, UTF-16 LE/BE) decides the encoding and
// is dropped; without one, UTF-16 is recognised by its pattern of zero bytes, valid UTF-8 is read as
// UTF-8 and anything else as Windows-1252. NUL characters are dropped: they cannot be stored and
// would only cut a value short.
QString DecodeImportText(const QByteArray& bytes);

// The lines of a text: a line ends at CR LF, LF or CR; a line end at the very end makes no further line.
QStringList SplitImportLines(const QString& text);

// Reads a whole file; false when it cannot be opened or read (the text is then empty).
bool ReadImportFile(const QString& path, QString* text, qint64* size = nullptr);

// The first line of a file, empty when the file cannot be read or is empty.
QString FirstImportLine(const QString& path);

// The delimiter names of the import and export windows, in list order, and the character of each.
QStringList DelimiterNames();
QChar DelimiterForName(const QString& name);

// Cuts one line of an import file into fields: split at every delimiter, blanks trimmed from each field;
// with stripQuotes a field enclosed in double quotes loses them and its doubled quotes become single.
// An empty line gives no fields.
QStringList SplitImportLine(const QString& line, QChar delimiter, bool stripQuotes);
