#include "sending/forms/SendMailForm1.h"

#include "recipients/GroupCount.h"
#include "sending/forms/ShutDownForm.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Asks for the first and last position of a partial run. False when the user cancelled.
bool AskPartialRange(QWidget* parent, qint32 count, qint32* from, qint32* to) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("PartialSendingForm"));
    SetUpDialog(&dialog, QStringLiteral("Partial Sending"), QStringLiteral("Sending Options.htm"));
    auto* fromBox = new QLineEdit(&dialog);
    fromBox->setObjectName(QStringLiteral("FromTextBox"));
    fromBox->setMaxLength(10);
    MakeDigitsOnly(fromBox);
    auto* toBox = new QLineEdit(&dialog);
    toBox->setObjectName(QStringLiteral("ToTextBox"));
    toBox->setMaxLength(10);
    MakeDigitsOnly(toBox);
    auto* form = new QFormLayout;
    auto* fromLabel = new QLabel(QStringLiteral("Send from recipient # :"), &dialog);
    auto* toLabel = new QLabel(QStringLiteral("to recipient # :"), &dialog);
    NameAfterLabel(fromLabel, fromBox);
    NameAfterLabel(toLabel, toBox);
    form->addRow(fromLabel, fromBox);
    form->addRow(toLabel, toBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("The group has %1 recipients.").arg(count), &dialog));
    layout->addLayout(form);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        bool okFrom = false;
        bool okTo = false;
        const qint32 f = fromBox->text().toInt(&okFrom);
        const qint32 t = toBox->text().toInt(&okTo);
        if (!okFrom || !okTo || !IsValidPartialRange(f, t, count)) {
            WarnAndFocus(
                fromBox,
                QStringLiteral("Please enter a range from 1 to %1 with From not above To.").arg(count));
            return;
        }
        *from = f;
        *to = t;
        dialog.accept();
    });
    return dialog.exec() == QDialog::Accepted;
}
} // namespace

SendMailForm1::SendMailForm1(QWidget* parent)
    : QDialog(parent), m_inputSource([] { return SendRunInput{}; }) {
    setObjectName(QStringLiteral("SendMailForm1"));
    SetUpDialog(this, QStringLiteral("Send Mail"), QStringLiteral("Sending Options.htm"));

    auto* frame = new QGroupBox(QStringLiteral("Sending Status"), this);
    frame->setObjectName(QStringLiteral("Frame"));
    auto* label1 = new QLabel(QStringLiteral("Message Delivery Progress :"), frame);
    label1->setObjectName(QStringLiteral("Label1"));
    m_messageProgress = new QProgressBar(frame);
    m_messageProgress->setObjectName(QStringLiteral("ProgressBar1"));
    m_messageProgress->setValue(0);
    auto* label2 = new QLabel(QStringLiteral("Overall Delivery Progress :"), frame);
    label2->setObjectName(QStringLiteral("Label2"));
    m_overallProgress = new QProgressBar(frame);
    m_overallProgress->setObjectName(QStringLiteral("ProgressBar2"));
    m_overallProgress->setValue(0);
    auto* label3 = new QLabel(QStringLiteral("Report :"), frame);
    label3->setObjectName(QStringLiteral("Label3"));
    m_report = new QPlainTextEdit(frame);
    m_report->setObjectName(QStringLiteral("Report"));
    m_report->setReadOnly(true);
    NameAfterLabel(label3, m_report);
    NameAfterLabel(label1, m_messageProgress);
    NameAfterLabel(label2, m_overallProgress);
    m_report->setUndoRedoEnabled(false); // the program's own text: no undo history growing with the run
    m_report->setMinimumSize(460, 220);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(label1);
    frameLayout->addWidget(m_messageProgress);
    frameLayout->addWidget(label2);
    frameLayout->addWidget(m_overallProgress);
    frameLayout->addWidget(label3);
    frameLayout->addWidget(m_report);

    m_shutDown = new QCheckBox(QStringLiteral("Automatically shut down the PC when successfully done"), this);
    m_shutDown->setObjectName(QStringLiteral("ShutDownCheckBox"));
    // Holds the subject while it is personalised; not for the user.
    m_textSubject = new QLineEdit(this);
    m_textSubject->setObjectName(QStringLiteral("TextSubject"));
    m_textSubject->setMaxLength(std::numeric_limits<int>::max());
    m_textSubject->hide();
    // Hidden, yet still in the window's accessible tree: a screen reader that lists it reads a name.
    NameControl(m_textSubject, QStringLiteral("Subject"));

    m_send = new QPushButton(QStringLiteral("Send"), this);
    m_send->setObjectName(QStringLiteral("SendButton"));
    m_partialButton = new QPushButton(QStringLiteral("Partial Sending"), this);
    m_partialButton->setObjectName(QStringLiteral("PartialButton"));
    m_cancel = new QPushButton(QStringLiteral("Close"), this);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));
    // Return presses the focused button; the window opens with the focus on Send.
    m_send->setFocus();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(m_shutDown);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_send);
    buttons->addWidget(m_partialButton);
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    // The log and the progress are shown in batches, so a fast run does not lay out and paint the
    // window again for every line and every block of bytes.
    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(250);
    connect(m_flushTimer, &QTimer::timeout, this, &SendMailForm1::flushLog);
    connect(&m_run, &SendRun::logAppended, this, [this](const QString& text) {
        m_pendingLog += text;
        m_pendingNewlines += text.count(QLatin1Char('\n'));
        // A run that yields rarely keeps a bounded batch: only its newest lines can still be shown.
        if (m_pendingNewlines > 2 * ReportLineLimit)
            keepPendingTail();
        scheduleFlush();
    });
    // Progress bars repaint at once when their value changes; the newest values are shown with the log.
    connect(&m_run, &SendRun::overallMaximum, this, [this](qint32 maximum) {
        m_overallMaximum = qMax(1, maximum); // an empty run shows an empty bar, not a busy one
        scheduleFlush();
    });
    connect(&m_run, &SendRun::overallValue, this, [this](qint32 value) {
        m_overallValue = value;
        scheduleFlush();
    });
    connect(&m_run, &SendRun::messageProgress, this, [this](qint32 value, qint32 maximum) {
        m_messageValue = value;
        m_messageMaximum = maximum;
        scheduleFlush();
    });
    // The hidden subject box takes the newest subject with the log, not once per recipient.
    connect(&m_run, &SendRun::subjectPersonalised, this, [this](const QString& subject) {
        m_pendingSubject = subject;
        scheduleFlush();
    });

    connect(m_send, &QPushButton::clicked, this, &SendMailForm1::SendButton_Click);
    connect(m_partialButton, &QPushButton::clicked, this, &SendMailForm1::PartialButton_Click);
    connect(m_cancel, &QPushButton::clicked, this, &SendMailForm1::CancelButton_Click);
}

void SendMailForm1::scheduleFlush() {
    if (!m_flushTimer->isActive())
        m_flushTimer->start();
}

QString ReportTailNotice() {
    return QStringLiteral("Only the last %1 lines of the report are shown here; the whole report is in "
                          "the history.")
        .arg(ReportLineLimit);
}

namespace {
// The log keeps CR LF; the view shows line ends as its own paragraphs.
void NormaliseLineEnds(QString& text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// Where the last `blocks` paragraphs of the text begin (after its blocks-th line end from the end),
// or -1 when it has fewer line ends.
qsizetype TailStart(const QString& text, int blocks) {
    qsizetype at = text.size();
    for (int i = 0; i < blocks; ++i) {
        at = at > 0 ? text.lastIndexOf(QLatin1Char('\n'), at - 1) : -1;
        if (at < 0)
            return -1;
    }
    return at + 1;
}
} // namespace

void SendMailForm1::keepPendingTail() {
    NormaliseLineEnds(m_pendingLog);
    const qsizetype start = TailStart(m_pendingLog, ReportLineLimit);
    if (start < 0) {
        m_pendingNewlines = m_pendingLog.count(QLatin1Char('\n'));
        return;
    }
    m_pendingLog.remove(0, start);
    m_pendingNewlines = ReportLineLimit - 1;
    m_pendingReplacesView = true;
}

void SendMailForm1::flushLog() {
    m_flushTimer->stop();
    m_overallProgress->setMaximum(m_overallMaximum);
    m_overallProgress->setValue(m_overallValue);
    m_messageProgress->setMaximum(m_messageMaximum);
    m_messageProgress->setValue(m_messageValue);
    if (!m_pendingSubject.isNull()) {
        m_textSubject->setText(m_pendingSubject);
        m_pendingSubject = QString();
    }
    if (m_pendingLog.isEmpty())
        return;
    QString shown = std::move(m_pendingLog);
    m_pendingLog = QString();
    m_pendingNewlines = 0;
    NormaliseLineEnds(shown);
    QTextDocument* doc = m_report->document();
    // A batch with a box's worth of lines fills the box alone: the box is set once, not grown and cut.
    const qsizetype tail = TailStart(shown, ReportLineLimit);
    if (m_pendingReplacesView || tail >= 0) {
        m_pendingReplacesView = false;
        if (tail > 0)
            shown.remove(0, tail);
        shown.prepend(ReportTailNotice() + QLatin1Char('\n'));
        doc->setPlainText(shown);
        m_reportTrimmed = true;
        m_report->verticalScrollBar()->setValue(m_report->verticalScrollBar()->maximum());
        return;
    }
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    // The box keeps a bounded tail under a notice line; the history file has every line.
    const int keep = ReportLineLimit + (m_reportTrimmed ? 1 : 0);
    if (doc->blockCount() > keep) {
        if (!m_reportTrimmed) {
            QTextCursor top(doc);
            top.insertText(ReportTailNotice() + QLatin1Char('\n'));
            m_reportTrimmed = true;
        }
        const int excess = doc->blockCount() - (ReportLineLimit + 1);
        if (excess > 0) {
            QTextCursor cut(doc->findBlockByNumber(1));
            cut.setPosition(doc->findBlockByNumber(1 + excess).position(), QTextCursor::KeepAnchor);
            cut.removeSelectedText();
        }
    }
    m_report->verticalScrollBar()->setValue(m_report->verticalScrollBar()->maximum());
}

void SendMailForm1::startRun() {
    m_send->setEnabled(false);
    m_partialButton->setEnabled(false);
    m_cancel->setText(QStringLiteral("Cancel"));
    m_pendingLog.clear();
    m_pendingNewlines = 0;
    m_pendingReplacesView = false;
    m_pendingSubject = QString();
    m_report->clear();
    m_reportTrimmed = false;
    m_overallValue = 0;
    m_messageValue = 0;
    m_overallProgress->setValue(0);
    m_messageProgress->setValue(0);

    const SendRun::End end = m_run.run(m_inputSource(), m_partial);
    flushLog();

    m_send->setEnabled(true);
    m_partialButton->setEnabled(true);
    m_cancel->setText(QStringLiteral("Close"));
    m_send->setFocus();
    if (end == SendRun::End::Stopped)
        ShowMessage(this, m_run.stopReason(), QMessageBox::Warning);
    if (end == SendRun::End::Normal && m_shutDown->isChecked()) {
        ShutDownForm countdown(this, this);
        countdown.exec();
    }
}

void SendMailForm1::SendButton_Click() {
    if (m_run.isRunning())
        return;
    startRun();
}

void SendMailForm1::PartialButton_Click() {
    if (m_run.isRunning())
        return;
    QString readError;
    const qint32 count = CountGroupRecipients(m_inputSource().groupName, &readError);
    if (count < 0) {
        // A group whose rows cannot be read to their end has no size to choose a range in.
        ShowMessage(this,
                    QStringLiteral("The recipient database could not be read to the end: %1.").arg(readError),
                    QMessageBox::Warning);
        return;
    }
    qint32 from = 0;
    qint32 to = 0;
    if (!AskPartialRange(this, count, &from, &to))
        return;
    m_partial = PartialRange{true, from, to};
    startRun();
}

void SendMailForm1::askToCancel() {
    if (AskYesNo(this, QStringLiteral("Are you sure you want to cancel the sending process?")))
        m_run.requestCancel();
}

void SendMailForm1::CancelButton_Click() {
    if (m_run.isRunning())
        askToCancel();
    else
        close();
}

void SendMailForm1::reject() {
    if (m_run.isRunning()) {
        askToCancel();
        return;
    }
    m_partial = PartialRange{};
    QDialog::reject();
}

void SendMailForm1::closeEvent(QCloseEvent* event) {
    if (m_run.isRunning()) {
        event->ignore();
        askToCancel();
        return;
    }
    m_partial = PartialRange{};
    QDialog::closeEvent(event);
}
