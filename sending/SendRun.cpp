#include "sending/SendRun.h"

#include "core/Database.h"
#include "core/Paths.h"
#include "core/PrivateFiles.h"
#include "core/RecipientFields.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/Smtp.h"
#include "recipients/GroupCount.h"
#include "sending/HistoryLog.h"
#include "sending/HistoryStore.h"
#include "sending/MergeMacros.h"
#include "sending/MessageSetup.h"
#include "sending/SendCheckRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString CRLF = QStringLiteral("\r\n");

// The first message of a run, saved once: the file is made the owner's only before a byte of it is
// written (the save keeps the permissions of the file it replaces). A file of that name that exists
// already (a run in the same second) stays as it is.
bool SaveHistoryMessage(mail::Smtp& smtp, const QString& path) {
    QFile placeholder(path);
    if (!placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return QFileInfo::exists(path);
    placeholder.close();
    if (smtp.SaveMessageFile(path) == 0)
        return true;
    QFile::remove(path); // no empty message in the history; the next recipient's may be saved
    return false;
}
// The log line of a body import that failed ("" for every other result).
QString BodyImportErrorText(std::optional<mail::ImportBodyResult> result) {
    if (!result)
        return QString();
    switch (*result) {
    case mail::ImportOk:
        return QString();
    case mail::ImportOpenFailed:
        return QStringLiteral("Error 1: Failure opening file.");
    case mail::ImportReadFailed:
        return QStringLiteral("Error 2: Failure reading file.");
    case mail::ImportInvalidParameter:
        return QStringLiteral("Error 3: Invalid parameter.");
    case mail::ImportParserFailed:
        return QStringLiteral("Error 101: Exception was thrown during parsing.");
    }
    return QString();
}
} // namespace

bool IsValidPartialRange(qint32 from, qint32 to, qint32 count) {
    return 1 <= from && from <= to && to <= count;
}

SendRun::SendRun(QObject* parent) : QObject(parent) {}

SendRun::~SendRun() = default;

void SendRun::append(const QString& text) {
    m_history.append(text);
    emit logAppended(text);
}

QString SendRun::log() const {
    QFile f(m_history.path());
    if (m_history.path().isEmpty() || !f.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = f.readAll();
    // The file of a finished run ends with one line end more than the log.
    if (!m_running && bytes.endsWith("\r\n"))
        bytes.chop(2);
    return QString::fromUtf8(bytes);
}

void SendRun::requestCancel() {
    if (!m_running)
        return;
    m_cancelRequested = true;
    if (m_smtp)
        m_smtp->Cancel();
}

QString BodyNotWrittenText() {
    return QStringLiteral("The message could not be written to a file for sending, so nothing was sent. "
                          "Check that the disk is not full and that the message's folder can be written.");
}

void SendRun::setSmtpTimeouts(int resolveMs, int connectMs, int replyMs) {
    m_timeouts[0] = resolveMs;
    m_timeouts[1] = connectMs;
    m_timeouts[2] = replyMs;
}

// What every message of a run shares, fixed before the first one is built: the modal sending window
// keeps the document and the account dialog closed while the run lasts.
struct SendRun::Message {
    bool html = false;
    bool text = false;
    QString htmlFile;  // HTML: the document, written once for the whole run
    QString plainText; // Text: the document's visible text
    QString subject;   // as typed, macros not yet replaced
    QStringList attachments;
    MessageRules rules;
    QString toColumn; // the column whose text names the recipient; none adds no recipient
    QList<std::pair<QString, QString>> macros; // macro, column
    QString historyMessage;
    bool historyMessageSaved = false;
    QStringList leftOutPictures;           // as last said in the log
    std::optional<mail::MessageBody> body; // the document as imported, before any recipient's values
};

SendRun::End SendRun::run(const SendRunInput& input, const PartialRange& partial, const QDateTime& start) {
    // One connection to the recipient database for the whole run (each opening derives the key anew).
    Connection db;
    Message message;
    GroupRecord group;
    End end = End::Stopped;
    if (prepare(input, partial, start, db, group, message))
        end = sendRows(db, group, partial, message);
    db.Close();
    finish(end);
    return end;
}

bool SendRun::prepare(const SendRunInput& input, const PartialRange& partial, const QDateTime& start,
                      Connection& db, GroupRecord& group, Message& message) {
    m_cancelRequested = false;
    m_lastBrokenOff = false;
    m_stopReason.clear();
    m_endLine.clear();
    m_running = true;
    m_sent = 0;
    m_failed = 0;
    m_history.reset();
    emit overallValue(0);
    emit messageProgress(0, 100);
    append(QStringLiteral("Personal Sending process has been started.") + CRLF);

    db.Open();
    // The group is found by its name once; the count and the rows go by its id.
    group = GroupByName(db, input.groupName);
    QString countError = group.error;
    if (!countError.isEmpty()) {
        emit overallMaximum(0);
    } else if (partial.enabled) {
        const qint32 n = partial.to - partial.from + 1;
        emit overallMaximum(n);
        append(QStringLiteral("Partial Sending to %1 recipients (from #%2 to #%3).")
                   .arg(n)
                   .arg(partial.from)
                   .arg(partial.to) +
               CRLF + CRLF);
    } else {
        // A count that broke off on a damaged page is no size: the run stops before its first message.
        const qint32 n = CountGroupRecipients(db, group.id, &countError);
        emit overallMaximum(qMax(n, 0));
        if (n >= 0)
            append(QStringLiteral("Sending to %1 recipients.").arg(n) + CRLF + CRLF);
    }

    createSmtp();
    m_historyBase = HistoryBase(start, input.subject);
    // The history holds every message sent and to whom: the user's alone, whatever the umask.
    MakePrivateFolder(HistoryFolder());
    m_history.open(m_historyBase + QStringLiteral(".txt"));
    SetUpSenderAndServer(*m_smtp, input.priority, input.readReceipt);
    if (m_timeouts[2] > 0)
        m_smtp->SetTimeouts(m_timeouts[0], m_timeouts[1], m_timeouts[2]);
    if (!countError.isEmpty()) {
        m_stopReason = m_endLine = StoppedRunLine(0, 1, countError);
        return false;
    }

    // The document is written once, before anything is sent: a message whose body could not be
    // written is never sent empty.
    message.html = input.format == MessageFormat::Html;
    message.text = input.format == MessageFormat::Text;
    message.htmlFile = message.html && input.writeHtmlBody ? input.writeHtmlBody() : QString();
    if (message.html && message.htmlFile.isEmpty()) {
        m_stopReason = BodyNotWrittenText();
        append(m_stopReason + CRLF + CRLF);
        return false;
    }
    message.rules = MessageRules::FromSettings();
    // ClearMessage empties the bodies after each message: the first import is put back for the next.
    message.plainText = message.text && input.plainBody ? input.plainBody() : QString();
    message.subject = input.subject;
    message.attachments = input.attachments;
    message.toColumn = ColumnForLabel(GetSetting(Setting::AccountToField));
    for (const MergeMacro& m : MergeMacros)
        message.macros.append({QString::fromLatin1(m.macro), QString::fromLatin1(m.column)});
    message.historyMessage = m_historyBase + QStringLiteral(".eml");
    // Only this run writes its history message, so one look at the disk is enough.
    message.historyMessageSaved = QFileInfo::exists(message.historyMessage);
    return true;
}

void SendRun::createSmtp() {
    m_smtp = new mail::Smtp;
    connect(m_smtp, &mail::Smtp::ConnectLog, this, [this](const QString& text, qint32) { append(text); });
    connect(m_smtp, &mail::Smtp::Progress, this, [this](qint32 value, qint32 maximum) {
        // A message's content is about to go out: its envelope is in the log, and the log goes to the
        // history file first, so even a run killed now leaves a record of every message a server got.
        if (value == 0)
            m_history.flush();
        emit messageProgress(value, maximum);
    });
    SetUpThreadAndOptions(*m_smtp);
}

SendRun::End SendRun::sendRows(Connection& db, const GroupRecord& group, const PartialRange& partial,
                               Message& message) {
    const qint32 rc = m_smtp->Connect(0);
    if (rc != 0)
        AppendSendStatus(this, rc);
    m_history.flush();

    // The rows are read one at a time as the run goes, never all at once.
    QString orderIgnored;
    Recordset rows = db.Execute(GroupRecipientsSql(group.id, group.sortSql, &orderIgnored));
    if (!orderIgnored.isEmpty())
        append(QStringLiteral("The group's sort order was ignored: %1.").arg(orderIgnored) + CRLF + CRLF);
    // An empty group ends normally: there is no recipient after which a cancel could end it.
    if (rows.Eof() && !rows.Failed())
        return End::Normal;
    for (qint32 position = 1;; ++position) {
        // The one look at the cancel flag, before each row and after the last one: a cancel confirmed
        // while Connect ran, while a message went out or while the run yielded ends the run here, so no
        // message is started after the user said stop (its Send would even open a new connection).
        if (m_cancelRequested) {
            const bool left = (!rows.Eof() || rows.Failed()) && !(partial.enabled && position > partial.to);
            const auto [after, firstNotSent] = endedBefore(position, left, partial);
            m_endLine = CancelledRunLine(after, firstNotSent);
            return End::Cancelled;
        }
        if (partial.enabled && position > partial.to)
            return End::Normal;
        if (rows.Eof()) {
            if (!rows.Failed())
                return End::Normal;
            // A row that cannot be read (a damaged page) is not the end of the group: the run stops
            // there and says so, with the rows after it unsent.
            const auto [after, firstNotSent] = endedBefore(position, true, partial);
            m_stopReason = m_endLine = StoppedRunLine(after, firstNotSent, rows.Error());
            return End::Stopped;
        }
        if (!partial.enabled || position >= partial.from)
            sendOne(rows, position, message);
        rows.MoveNext();
        // Between two rows the run yields to the event loop once, so that a click on Cancel can
        // arrive; while a message goes out, the mail component's own waits let it in. A run that is
        // to stop does not yield first.
        if (!m_cancelRequested)
            QCoreApplication::processEvents();
    }
}

std::pair<qint32, qint32> SendRun::endedBefore(qint32 position, bool rowsLeft,
                                               const PartialRange& partial) const {
    qint32 after = position - 1;
    qint32 firstNotSent = rowsLeft ? position : 0;
    // A message the cancel broke off was not sent: its recipient is the first to resume from.
    if (m_lastBrokenOff) {
        firstNotSent = after;
        --after;
    }
    // Positions count in the whole group, as the partial range does; rows before the range were never
    // the run's to send.
    if (partial.enabled) {
        after = qMax(after, partial.from - 1);
        firstNotSent = firstNotSent > 0 ? qMax(firstNotSent, partial.from) : 0;
    }
    return {after, firstNotSent};
}

void SendRun::sendOne(const Recordset& row, qint32 position, Message& message) {
    emit recipientStarted(position);
    mail::Smtp& smtp = *m_smtp;
    ApplyAttachments(smtp, message.attachments, message.rules);
    if (!message.toColumn.isEmpty())
        smtp.AddRecipient(row.Field(message.toColumn), row.Field(QStringLiteral("G-Email")),
                          mail::RecipientKind::To);
    if (message.text) {
        ApplyTextBody(smtp, message.plainText);
    } else if (message.html) {
        smtp.SetBodyFormat(1);
        if (message.body) {
            smtp.PutBody(*message.body);
        } else {
            const auto result = ApplyHtmlBody(smtp, message.htmlFile, message.rules);
            const QString error = BodyImportErrorText(result);
            if (!error.isEmpty())
                append(error + CRLF + CRLF);
            // The document stays as it was written for the run: one good import serves every recipient.
            // One that failed is tried again for the next, and says so again.
            else if (result)
                message.body = smtp.TakeBody();
        }
        // Said once, and again only when the pictures left out change: not once per recipient.
        const QStringList leftOut = smtp.Spec().leftOutPictures;
        if (leftOut != message.leftOutPictures) {
            message.leftOutPictures = leftOut;
            if (!leftOut.isEmpty())
                append(LeftOutPicturesLogText(leftOut) + CRLF + CRLF);
        }
    }
    for (const auto& [macro, column] : std::as_const(message.macros))
        smtp.ReplaceMergeField(macro, row.Field(column), 1);

    const QString subject =
        MergeSubject(message.subject, [&row](const QString& column) { return row.Field(column); });
    emit subjectPersonalised(subject);
    if (!ApplySubject(smtp, subject, message.rules))
        append(QStringLiteral("Error encoding subject.") + CRLF + CRLF);

    if (!message.historyMessageSaved)
        message.historyMessageSaved = SaveHistoryMessage(smtp, message.historyMessage);

    const qint32 rc = smtp.Send();
    m_lastBrokenOff = rc != 0 && m_cancelRequested;
    if (rc == 0) {
        ++m_sent;
        append(QStringLiteral("Message sent successfully.") + CRLF + CRLF);
    } else {
        ++m_failed;
        AppendSendStatus(this, rc);
    }
    m_history.flush();
    emit overallValue(m_sent + m_failed);
    smtp.ClearMessage(3);
}

void SendRun::finish(End end) {
    mail::Smtp* smtp = m_smtp;
    // QUIT must reach the server before the session state is dropped.
    const qint32 rc = smtp->Disconnect(0);
    if (rc != 0)
        AppendSendStatus(this, rc);
    if (end == End::Normal)
        smtp->ResetSession();

    // A run that ended early says so, and where, so that a later look at the history shows that not
    // everyone got the message and which Partial Sending range would resume it.
    if (!m_endLine.isEmpty())
        append(m_endLine + CRLF);
    append(QStringLiteral("Personal Sending process has been completed.") + CRLF);
    if (m_sent > 0)
        append(QStringLiteral("%1 messages sent during process.").arg(m_sent) + CRLF);
    if (m_failed > 0)
        append(QStringLiteral("%1 messages failed during process.").arg(m_failed) + CRLF);
    m_history.close();

    m_smtp = nullptr;
    delete smtp;
    m_running = false;
}
