#pragma once
// The history of send runs: per run a log (.txt, written as the run goes by HistoryLog) and the first
// message built (.eml) in DataPath's "History" folder, both named by one base made of the run's start
// time and its subject.
#include <QDateTime>
#include <QString>
#include <QStringList>

// Keeps only a-z, A-Z, 0-9, blank and "-"; "No Subject" when nothing is left.
QString SubjectToFileName(const QString& text);

// DataPath() + "History/".
QString HistoryFolder();

// The base path (no extension) of a run started at `start` with the subject as typed:
// "mm-dd-yyyy_hh-mm-ss_" + the first 64 characters of SubjectToFileName(subject).
QString HistoryBase(const QDateTime& start, const QString& subject);

// The Details column of the History Manager for a log file name ("....txt"): "Date = d  -  Time = t -
// Subject = s", or an empty text when the name does not split into date, time and subject.
QString HistoryDetails(const QString& logFileName);

// The log files of the folder (names only, ".txt", ordinary files), in name order.
QStringList ListHistoryLogs();

// Deletes every file of the history folder (the folder stays). False when a file stayed.
bool DeleteHistory();

// The line a cancelled run writes before its end line, naming the position (in the group's reading
// order) of the last recipient it dealt with (0: none) and of the first one it was to send and did not
// (0: none was left), where a Partial Sending would resume.
QString CancelledRunLine(qint32 after, qint32 firstNotSent);
// The same for a run stopped because the recipients could not be read, with the database's words.
QString StoppedRunLine(qint32 after, qint32 firstNotSent, const QString& why);

// The History Manager's mark for the row of a run that ended early: "Cancelled after recipient #21; #22
// and later were not sent", "Stopped after recipient #386; ...", "Cancelled before recipient #1", taken
// from that line at the end of the finished log at `path` (only its last bytes are read); "" for any
// other log.
QString HistoryCancelNote(const QString& path);
