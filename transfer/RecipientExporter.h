#pragma once
#include <QChar>
#include <QString>
#include <QStringList>
#include <functional>

// The recipient export run, without widgets: writes one group of Group.mdb to a delimited text file
// (UTF-8 without BOM, CR LF after every line, no header; a field that holds the delimiter, a double quote
// or a line end, or starts or ends with a blank or a tab, is enclosed in double quotes with its quotes
// doubled (FieldQuotes.h), every other field is written as is).

enum class ExportMode {
    EmailOnly, // one address per line
    Fields,    // the chosen columns, in the chosen order, joined by the delimiter
};

struct ExportOptions {
    QString groupName;
    QString outputPath;
    ExportMode mode = ExportMode::EmailOnly;
    QChar delimiter = QLatin1Char('\t');
    QStringList columns; // [Emails] column names in output order (Fields mode)
};

struct ExportRunHooks {
    std::function<void(qint32 value, qint32 maximum)> progress;
    std::function<bool()> cancelRequested;
    std::function<void()> yield;
};

struct ExportResult {
    enum class Status {
        Completed,
        Cancelled,     // stopped on request; the file holds the lines written so far
        GroupNotFound, // nothing written
        WriteFailed,   // the output file could not be written; an earlier file there is left as it was
        ReadFailed,    // the group's recipients could not be read (e.g. a broken sort order); nothing written
    };
    Status status = Status::Completed;
    qint32 count = 0;
};

class RecipientExporter {
public:
    explicit RecipientExporter(ExportOptions options) : m_options(std::move(options)) {}
    ExportResult Run(const ExportRunHooks& hooks = {});

private:
    ExportOptions m_options;
};

// The export window's list labels ("    Email Address", ...) and the column each stands for.
QString ExportRowLabel(int field);
QString ColumnForExportRowLabel(const QString& label);
