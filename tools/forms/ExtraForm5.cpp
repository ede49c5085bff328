#include "tools/forms/ExtraForm5.h"

#include "core/TextUtil.h"
#include "mail/Smtp.h"
#include "tools/SmtpProbe.h"
#include "tools/forms/TextPrinting.h"
#include "ui/FieldLabels.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/OutputFiles.h"
#include "ui/PrintDialog.h"
#include "ui/WindowConventions.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

ExtraForm5::ExtraForm5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ExtraForm5"));
    SetUpDialog(this, QStringLiteral("SMTP Server Information"), QStringLiteral("Extra Tools 6.htm"));

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame"));
    m_serverLabel = new QLabel(QStringLiteral("Mail Server :"), frame);
    m_serverLabel->setObjectName(QStringLiteral("Label1"));
    m_server = new QLineEdit(frame);
    m_server->setObjectName(QStringLiteral("ServerTextBox"));
    m_server->setMaxLength(64);
    m_portLabel = new QLabel(QStringLiteral("Port :"), frame);
    m_portLabel->setObjectName(QStringLiteral("Label2"));
    m_port = new QLineEdit(QStringLiteral("25"), frame);
    m_port->setObjectName(QStringLiteral("PortTextBox"));
    m_port->setMaxLength(5);
    m_port->setMaximumWidth(70);
    MakeDigitsOnly(m_port);
    HookRightClick(m_port);
    // The spin arrows step the number in the port box, up to 65535.
    QWidget* upDown = MakeStepArrows(m_port, 65535, QStringLiteral("Port"), QStringLiteral("Port"), frame);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_port);
    portRow->addWidget(upDown);
    portRow->addStretch();
    NameAfterLabel(m_serverLabel, m_server);
    NameAfterLabel(m_portLabel, m_port);
    auto* form = new QFormLayout(frame);
    form->addRow(m_serverLabel, m_server);
    form->addRow(m_portLabel, portRow);

    m_report = new QPlainTextEdit(this);
    m_report->setObjectName(QStringLiteral("Report"));
    m_report->setReadOnly(true);
    m_report->setMinimumSize(440, 180);
    NameControl(m_report, QStringLiteral("Report"));

    m_process = new QPushButton(QStringLiteral("Process"), this);
    m_process->setObjectName(QStringLiteral("ProcessButton"));
    m_save = new QPushButton(QStringLiteral("Save Log"), this);
    m_save->setObjectName(QStringLiteral("SaveButton"));
    m_print = new QPushButton(QStringLiteral("Print Log"), this);
    m_print->setObjectName(QStringLiteral("PrintButton"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));
    // Return runs the probe from the boxes; on a button that has the focus it presses that button.
    m_process->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_process);
    buttons->addWidget(m_save);
    buttons->addWidget(m_print);
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(m_report, 1);
    layout->addLayout(buttons);

    connect(m_process, &QPushButton::clicked, this, &ExtraForm5::ProcessButton_Click);
    connect(m_save, &QPushButton::clicked, this, &ExtraForm5::SaveButton_Click);
    connect(m_print, &QPushButton::clicked, this, &ExtraForm5::PrintButton_Click);
    connect(m_cancel, &QPushButton::clicked, this, &ExtraForm5::CancelButton_Click);
}

ExtraForm5::~ExtraForm5() = default;

bool ExtraForm5::IsProbing() const {
    return !m_process->isEnabled();
}

void ExtraForm5::SetInputsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_serverLabel, m_server, m_portLabel, m_port, m_report,
                                                      m_process, m_save, m_print})
        w->setEnabled(enabled);
}

void ExtraForm5::ProcessButton_Click() {
    if (IsProbing())
        return;
    m_server->setText(TrimBlanks(m_server->text()));
    if (m_server->text().isEmpty()) {
        ShowMessage(this, QStringLiteral("Please enter your mail server."), QMessageBox::Warning);
        return;
    }
    if (m_port->text().isEmpty()) {
        ShowMessage(this, QStringLiteral("Please enter your port."), QMessageBox::Warning);
        return;
    }
    m_report->clear();
    SetInputsEnabled(false);
    m_smtp = std::make_unique<mail::Smtp>();
    const QString report = RunSmtpProbe(*m_smtp, m_server->text(), m_port->text());
    m_smtp.reset();
    m_report->setPlainText(report);
    SetInputsEnabled(true);
    m_process->setFocus();
    if (m_closeWanted)
        QDialog::reject();
}

void ExtraForm5::SaveButton_Click() {
    const QString report = m_report->toPlainText();
    if (report.isEmpty()) {
        ShowMessage(this, QStringLiteral("There is no data to save."), QMessageBox::Warning);
        return;
    }
    const QString path =
        GetSaveFileName(this, QStringLiteral("Save"), QStringLiteral("Text Files (*.txt);;All Files (*)"));
    if (path.isEmpty() || !ConfirmUnlockedOutput(this, path))
        return;
    WriteFileAtomically(path, ProbeLogFileBytes(report)); // a failing write is passed over silently
}

void ExtraForm5::PrintButton_Click() {
    const QString report = m_report->toPlainText();
    if (report.isEmpty()) {
        ShowMessage(this, QStringLiteral("There is no data to print."), QMessageBox::Warning);
        return;
    }
    if (!AskYesNo(this, QStringLiteral("Please consider your environmental responsibility before printing.\n"
                                       "Do you still want to print this document?")))
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (!AskPrinter(this, printer))
        return;
    PrintTextLines(printer, ProbePrintLines(report)); // any printing error ends the command silently
}

bool ExtraForm5::AskToCancel() {
    if (!AskYesNo(this, QStringLiteral("Are you sure you want to cancel the process?")))
        return false;
    if (m_smtp) {
        m_smtp->Cancel();
        m_smtp->ResetSession();
    }
    return true;
}

void ExtraForm5::CancelButton_Click() {
    if (IsProbing()) {
        AskToCancel(); // the running probe ends by its own remaining steps
        return;
    }
    QDialog::reject();
}

// Escape and the close box while a probe runs ask like the Cancel button; on Yes the probe is
// cancelled and the window closes as soon as the probe has ended.
void ExtraForm5::reject() {
    if (IsProbing()) {
        if (AskToCancel())
            m_closeWanted = true;
        return;
    }
    QDialog::reject();
}

void ExtraForm5::closeEvent(QCloseEvent* event) {
    if (IsProbing()) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}
