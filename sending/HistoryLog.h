#pragma once
// The history's log file of one send run, written as the run goes: what the run logs is kept in a small
// buffer and written out at the points the run chooses (at least once per message), so a run that is
// killed or crashes leaves a log of every message that went out. The file is the owner's only (0600)
// from its creation; at the end it holds the whole log followed by one CR LF, as UTF-8.
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringEncoder>

class HistoryLog {
public:
    HistoryLog() = default;
    HistoryLog(const HistoryLog&) = delete;
    HistoryLog& operator=(const HistoryLog&) = delete;
    ~HistoryLog();

    // Starts a new log: text appended so far is kept for the file. open() creates (or empties) the
    // file; false when it cannot be written (the log then only lives in the window).
    void reset();
    bool open(const QString& path);
    void append(const QString& text);
    // Hands what is buffered to the system; at most once a second also to the disk.
    void flush();
    // The final CR LF, everything to the disk, the file closed.
    void close();

    QString path() const { return m_path; }
    bool isOpen() const { return m_file.isOpen(); }

private:
    QFile m_file;
    QString m_path;
    QByteArray m_buffer;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    QElapsedTimer m_sinceSync;
    bool m_failed = false; // the file could not be made: nothing is kept
};
