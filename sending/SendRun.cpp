#include "sending/SendRun.h"

#include "core/Database.h"
#include "core/Paths.h"
#include "core/RecipientFields.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "mail/Smtp.h"
#include "recipients/GroupCount.h"
#include "sending/HistoryLog.h"
#include "sending/HistoryStore.h"
#include "sending/MergeMacros.h"
#include "sending/MessageSetup.h"
#include "ui/MainFormControls.h"
#include "ui/OutputFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString CRLF = QStringLiteral("\r\n");

// The group's own order of its recipients ("" when it has none).
QString GroupSortSql(Connection& db, qint32 groupId) {
    Recordset rs =
        db.Execute(QStringLiteral("SELECT [SortSQL] FROM [Groups] WHERE ([ID] = %1)").arg(groupId));
    return rs.Eof() ? QString() : rs.Field(QStringLiteral("SortSQL"));
}
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
} // namespace

QString WriteEditorBody() {
    HtmlEditor* editor = MainFormUi().Editor;
    if (!editor)
        return QString();
    // An untitled document is written to the temporary preview file; a document with a file of its
    // own is written to that file, and the body is taken from wherever the editor now says it lives.
    // A locked document is never replaced by this copy (root could write it): its body goes to the
    // temporary file too, where the editor references its pictures by their full paths.
    const QString preview = TempFolder() + QStringLiteral("Preview.htm");
    QFile::setPermissions(preview, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(preview);
    const QString current = editor->CurrentDocumentPath();
    const QString body = current.isEmpty() || IsLockedFile(current) ? preview : current;
    if (!editor->SaveCopy(body))
        return QString();
    return body;
}

SendRunInput SendRunInputFromMainForm() {
    const MainFormControls& ui = MainFormUi();
    SendRunInput in;
    if (ui.SubjectTextBox)
        in.subject = ui.SubjectTextBox->text();
    if (ui.ToComboBox)
        in.groupName = ui.ToComboBox->currentText();
    if (ui.FormatComboBox)
        in.format = ui.FormatComboBox->currentText();
    if (ui.PriorityComboBox)
        in.priority = ui.PriorityComboBox->currentText();
    if (ui.RRRCheckBox)
        in.readReceipt = ui.RRRCheckBox->isChecked();
    if (ui.AttachmentComboBox) {
        for (int i = 0; i < ui.AttachmentComboBox->count(); ++i)
            in.attachments << ui.AttachmentComboBox->itemText(i);
    }
    in.writeHtmlBody = &WriteEditorBody;
    in.plainBody = [] {
        HtmlEditor* editor = MainFormUi().Editor;
        return editor ? editor->DOM().bodyOuterText() : QString();
    };
    return in;
}

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

SendRun::End SendRun::run(const SendRunInput& input, const PartialRange& partial, const QDateTime& start) {
    m_cancelRequested = false;
    m_stopReason.clear();
    m_running = true;
    m_sent = 0;
    m_failed = 0;
    m_history.reset();
    emit overallValue(0);
    emit messageProgress(0, 100);
    append(QStringLiteral("Personal Sending process has been started.") + CRLF);

    // One connection to the recipient database for the whole run (each opening derives the key anew).
    Connection db;
    db.Open();

    if (partial.enabled) {
        const qint32 n = partial.to - partial.from + 1;
        emit overallMaximum(n);
        append(QStringLiteral("Partial Sending to %1 recipients (from #%2 to #%3).")
                   .arg(n)
                   .arg(partial.from)
                   .arg(partial.to) +
               CRLF + CRLF);
    } else {
        const qint32 n = CountGroupRecipients(db, input.groupName);
        emit overallMaximum(n);
        append(QStringLiteral("Sending to %1 recipients.").arg(n) + CRLF + CRLF);
    }

    auto* smtp = new mail::Smtp;
    m_smtp = smtp;
    connect(smtp, &mail::Smtp::ConnectLog, this, [this](const QString& text, qint32) { append(text); });
    connect(smtp, &mail::Smtp::Progress, this, [this](qint32 value, qint32 maximum) {
        // A message's content is about to go out: its envelope is in the log, and the log goes to the
        // history file first, so even a run killed now leaves a record of every message a server got.
        if (value == 0)
            m_history.flush();
        emit messageProgress(value, maximum);
    });
    SetUpThreadAndOptions(*smtp);

    m_historyBase = HistoryBase(start, input.subject);
    QDir().mkpath(HistoryFolder());
    m_history.open(m_historyBase + QStringLiteral(".txt"));
    const QString historyMessage = m_historyBase + QStringLiteral(".eml");

    SetUpSenderAndServer(*smtp, input.priority, input.readReceipt);
    if (m_timeouts[2] > 0)
        smtp->SetTimeouts(m_timeouts[0], m_timeouts[1], m_timeouts[2]);

    // The modal sending window keeps the document from changing during the run, so it is written once,
    // before anything is sent: a message whose body could not be written is never sent empty.
    const bool html = input.format == QLatin1String("HTML");
    const bool text = input.format == QLatin1String("Text");
    const QString htmlFile = html && input.writeHtmlBody ? input.writeHtmlBody() : QString();
    if (html && htmlFile.isEmpty()) {
        m_stopReason = BodyNotWrittenText();
        append(m_stopReason + CRLF + CRLF);
        db.Close();
        finish(End::Stopped);
        return End::Stopped;
    }
    // Likewise the settings: the account dialog cannot change them while the modal run lasts.
    const MessageRules rules = MessageRules::FromSettings();

    qint32 rc = smtp->Connect(0);
    if (rc != 0)
        AppendSendStatus(this, rc);
    m_history.flush();

    // The rows are read one at a time as the run goes, never all at once.
    const qint32 groupId = GroupByName(db, input.groupName);
    Recordset rows = db.Execute(GroupRecipientsSql(groupId, GroupSortSql(db, groupId)));

    // Each message imports the body afresh because ClearMessage empties it.
    const QString plainText = text && input.plainBody ? input.plainBody() : QString();
    const QString toColumn = ColumnForLabel(GetSetting(Setting::AccountToField));
    const QString emailColumn = QStringLiteral("G-Email");
    QList<std::pair<QString, QString>> macros; // macro, column
    for (const MergeMacro& m : MergeMacros)
        macros.append({QString::fromLatin1(m.macro), QString::fromLatin1(m.column)});
    // Only this run writes its history message, so one look at the disk is enough.
    bool historyMessageExists = QFileInfo::exists(historyMessage);

    qint32 position = 0;
    qint32 handled = 0;
    End end = End::Normal;
    while (!rows.Eof()) {
        // A cancel confirmed while Connect ran starts no message at all: a Send would open a new
        // connection and deliver one after the user said stop.
        if (m_cancelRequested) {
            end = End::Cancelled;
            break;
        }
        ++position;
        if (partial.enabled && position > partial.to)
            break;
        if (!(partial.enabled && position < partial.from)) {
            emit recipientStarted(position);
            ApplyAttachments(*smtp, input.attachments, rules);
            if (!toColumn.isEmpty())
                smtp->AddRecipient(rows.Field(toColumn), rows.Field(emailColumn), 1);
            if (text) {
                ApplyTextBody(*smtp, plainText);
            } else if (html) {
                smtp->SetBodyFormat(1);
                switch (ApplyHtmlBody(*smtp, htmlFile, rules)) {
                case 1:
                    append(QStringLiteral("Error 1: Failure opening file.") + CRLF + CRLF);
                    break;
                case 2:
                    append(QStringLiteral("Error 2: Failure reading file.") + CRLF + CRLF);
                    break;
                case 3:
                    append(QStringLiteral("Error 3: Invalid parameter.") + CRLF + CRLF);
                    break;
                case 101:
                    append(QStringLiteral("Error 101: Exception was thrown during parsing.") + CRLF + CRLF);
                    break;
                default:
                    break;
                }
            }
            for (const auto& [macro, column] : std::as_const(macros))
                smtp->ReplaceMergeField(macro, rows.Field(column), 1);

            const QString subject =
                MergeSubject(input.subject, [&rows](const QString& column) { return rows.Field(column); });
            emit subjectPersonalised(subject);
            if (!ApplySubject(*smtp, subject, rules))
                append(QStringLiteral("Error encoding subject.") + CRLF + CRLF);

            if (!historyMessageExists)
                historyMessageExists = SaveHistoryMessage(*smtp, historyMessage);

            rc = smtp->Send();
            if (rc == 0) {
                ++m_sent;
                append(QStringLiteral("Message sent successfully.") + CRLF + CRLF);
            } else {
                ++m_failed;
                AppendSendStatus(this, rc);
            }
            m_history.flush();
            emit overallValue(++handled);
            smtp->ClearMessage(3);
        }
        rows.MoveNext();
        if (m_cancelRequested) {
            end = End::Cancelled;
            break;
        }
        QCoreApplication::processEvents();
        // A cancel confirmed while the run yielded starts no further message.
        if (m_cancelRequested) {
            end = End::Cancelled;
            break;
        }
    }
    rows.Close();
    db.Close();
    finish(end);
    return end;
}

void SendRun::finish(End end) {
    mail::Smtp* smtp = m_smtp;
    // QUIT must reach the server before the session state is dropped.
    const qint32 rc = smtp->Disconnect(0);
    if (rc != 0)
        AppendSendStatus(this, rc);
    if (end == End::Normal)
        smtp->ResetSession();

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
