#pragma once
#include <QChar>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

// The recipient import run, without widgets: reads a text file and adds every new recipient to a group
// of Group.mdb, writing the report "ReportButton.txt" in the private temporary folder.

enum class ImportMode {
    EmailOnly, // scan the whole file for e-mail addresses
    Fields,    // one recipient per line, fields mapped onto the recipient columns
};

struct ImportOptions {
    QString filePath;
    QString groupName;
    ImportMode mode = ImportMode::EmailOnly;
    QChar delimiter = QLatin1Char('\t');
    bool stripQuotes = false;
    // Per recipient field (RecipientFields order): the 1-based field number of the line, 0 = ignore.
    std::array<int, 18> mapping{};
    // The number of fields the mapping offers (those of the file's first record). A record that spans
    // lines and holds more is lines a stray quote ran together, and is refused. 0: not known.
    int offeredFields = 0;
};

// The field number a mapping box's text selects ("Field 3 = ..." gives 3), 0 for "Ignore" or anything else.
int MappedFieldNumber(const QString& boxText);

// How a run talks to its window: progress after each record, then the cancel test, then one yield.
struct ImportRunHooks {
    std::function<void(qint32 value, qint32 maximum)> progress;
    std::function<bool()> cancelRequested;
    std::function<void()> yield;
};

struct ImportResult {
    enum class Status {
        Completed,     // ran to the end of the input
        Cancelled,     // stopped on request; everything up to there is stored and reported
        GroupNotFound, // nothing done: the group (or the database) could not be had
    };
    Status status = Status::Completed;
    qint32 added = 0;
    qint32 duplicates = 0;
    qint32 ignored = 0;
    qint32 failed = 0; // addresses the database refused to store; never counted as added
    qint64 processedBytes = 0;
    bool fileRead = true;
    bool reportWritten = false;
};

// The path of the import report.
QString ImportReportPath();

class RecipientImporter {
public:
    explicit RecipientImporter(ImportOptions options) : m_options(std::move(options)) {}
    ImportResult Run(const ImportRunHooks& hooks = {});

    // Rows inserted per transaction. Every commit creates, syncs and deletes the journal file, which
    // costs more than a thousand inserts.
    static constexpr int BatchSize = 10000;

private:
    ImportOptions m_options;
};

// Every address of a text, as the "Only Email Address" mode finds them (AddressScanner); the tokens the
// e-mail rule refused go to ignored.
QStringList ExtractAddresses(const QString& text, QStringList* ignored = nullptr);

// The summary message of a finished run.
QString ImportSummaryText(const ImportResult& result);

// "#,##0": thousands grouped with the user's group separator.
QString FormatByteCount(qint64 bytes);
