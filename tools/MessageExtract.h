#pragma once
// Takes a stored message apart: "Body.txt" and the decoded files into a folder, the recipients and
// the Received headers into text files, the attachments into a folder. Only what was asked for is
// written, and only what was really written is reported as done.
#include <QDateTime>
#include <QString>
#include <QStringList>

struct ExtractRequest {
    QString messageFile;
    qint32 bodyPart = 0;
    QString bodyFolder;        // "" writes no body
    QString recipientsFile;    // "" writes no recipients
    QString timestampsFile;    // "" writes no timestamps
    QString attachmentsFolder; // "" saves no attachments
    bool bodyPartAttachments = false;
};

// The first check that refuses the request (its warning), or "" when it may run. The message file
// itself is checked by the window, which moves the focus there.
QString CheckExtractTargets(const ExtractRequest& request);

struct ExtractOutcome {
    QString stopText;       // a message-file error that stopped everything before any output
    QStringList notWritten; // outputs and parts that could not be written
    // Parts whose data ends before their transfer encoding says it does: "Body.txt" holds what there was
    // of the text, a cut attachment is not saved.
    QStringList cutShort;
    bool recipientsCut = false;
    bool receivedCut = false;
};

ExtractOutcome RunExtract(const ExtractRequest& request);

// What the user is told after a run that was not stopped: the completion text when everything was
// written whole (with a note when lists were cut), otherwise what could not be written and what was cut.
QString ExtractReport(const ExtractOutcome& outcome);

// "-300 " / " 300 ": a whole number as the output files write it.
QString OutputNumber(qint64 value);
// The date and time in the system's general format (only the date at midnight); "" when invalid.
QString OutputDateTime(const QDateTime& value);
