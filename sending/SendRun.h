#pragma once
// The send run: one SMTP connection, one personalised message per recipient of a group, a log of
// everything in the program's own text (CR LF line ends), counts, the history files, and an orderly
// end on cancel. The sending window drives it; tests call it directly.
#include "core/MessageChoices.h"
#include "core/WriteSendStatus.h"
#include "sending/HistoryLog.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

namespace mail {
class Smtp;
}
class Connection;
struct GroupRecord;
class Recordset;

// What one run sends: the main window's message when the run starts (ComposerInput.h).
struct SendRunInput {
    QString subject;   // as typed, macros not yet replaced
    QString groupName; // the To box
    MessageFormat format = MessageFormat::Html;
    MessagePriority priority = MessagePriority::Normal;
    bool readReceipt = false;
    QStringList attachments;
    // HTML format: writes the document to a file and returns its path (empty when it could not).
    std::function<QString()> writeHtmlBody;
    // Text format: the document's visible text.
    std::function<QString()> plainBody;
};

// What the run and the preview say when the message's body could not be written to its file.
QString BodyNotWrittenText();

// 1-based positions in the group's reading order, both ends included.
struct PartialRange {
    bool enabled = false;
    qint32 from = 0;
    qint32 to = 0;
};

// True for 1 <= from <= to <= count.
bool IsValidPartialRange(qint32 from, qint32 to, qint32 count);

class SendRun : public QObject, public SendLog {
    Q_OBJECT
public:
    // Stopped: the run could not start sending (the message could not be written), or the group's rows
    // could not be read to their end; the log says why and where.
    enum class End { Normal, Cancelled, Stopped };

    explicit SendRun(QObject* parent = nullptr);
    ~SendRun() override;

    // Runs to the end; returns how it ended. `start` names the history files.
    End run(const SendRunInput& input, const PartialRange& partial,
            const QDateTime& start = QDateTime::currentDateTime());

    // Asks the running run to stop after the current recipient (the running SMTP operation is aborted).
    void requestCancel();
    bool isRunning() const { return m_running; }

    // The log of the last run as its history file holds it (during a run: as far as written). The run
    // keeps no copy in memory: a run to a million recipients would need gigabytes for it.
    QString log() const;
    qint32 sentCount() const { return m_sent; }
    qint32 failedCount() const { return m_failed; }
    QString historyBase() const { return m_historyBase; }
    // The SMTP object while a run lasts (null otherwise).
    mail::Smtp* smtp() const { return m_smtp; }
    // Why a run ended Stopped (the text also stands in the log).
    QString stopReason() const { return m_stopReason; }
    // Time-outs of the run's SMTP object in milliseconds (look-up, connect, reply); tests shorten them.
    void setSmtpTimeouts(int resolveMs, int connectMs, int replyMs);

    // SendLog: appends to the log (the history file and the window).
    void append(const QString& text) override;

signals:
    void logAppended(const QString& text);
    void overallMaximum(qint32 maximum);
    void overallValue(qint32 value);
    void messageProgress(qint32 value, qint32 maximum);
    // A recipient's message is about to be built (position from 1).
    void recipientStarted(qint32 position);
    void subjectPersonalised(const QString& subject);

private:
    struct Message;

    // The run's three stages: the log's first lines, the SMTP object and the message's shared parts
    // (false when the message could not be written); one message per row of the group; the end.
    bool prepare(const SendRunInput& input, const PartialRange& partial, const QDateTime& start,
                 Connection& db, GroupRecord& group, Message& message);
    void createSmtp();
    End sendRows(Connection& db, const GroupRecord& group, const PartialRange& partial, Message& message);
    void sendOne(const Recordset& row, qint32 position, Message& message);
    // Where a run that ends before the row at `position` stands: the position of the last recipient
    // it dealt with (0: none) and of the first one it was to send and did not (0: none was left).
    std::pair<qint32, qint32> endedBefore(qint32 position, bool rowsLeft, const PartialRange& partial) const;
    void finish(End end);

    HistoryLog m_history;
    qint32 m_sent = 0;
    qint32 m_failed = 0;
    bool m_running = false;
    bool m_cancelRequested = false;
    bool m_lastBrokenOff = false; // the last message's Send failed while a cancel was asked for
    QString m_endLine;            // a run that ended early: where (before the end line)
    QString m_historyBase;
    QString m_stopReason;
    mail::Smtp* m_smtp = nullptr;
    int m_timeouts[3] = {0, 0, 0};
};
