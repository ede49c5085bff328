#include "sending/forms/SignatureManagerForm.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "ui/DialogButtons.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

QString BuiltInSignature() {
    return QStringLiteral("<html><head><title></title><style>a:hover { color: red }</style></head><body "
                          "link=\"#0000FF\" "
                          "vlink=\"#0000FF\" alink=\"#0000FF\"><p>&nbsp;</p><hr>") +
           QStringLiteral(
               "<p><font face=\"Verdana\" size=\"2\">Information contained in this email is confidential "
               "information. If you received this message by mistake then please notify the sender "
               "immediately "
               "and delete all copies of the email and its associated files from your system.</font></p>"
               "</body></html>");
}

SignatureManagerForm::SignatureManagerForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SignatureManagerForm"));
    SetUpDialog(this, QStringLiteral("Signature Manager"), QStringLiteral("Signature Manager.htm"));

    m_use = new QCheckBox(QStringLiteral("Add signature to all outgoing emails"), this);
    m_use->setObjectName(QStringLiteral("SignatureCheckBox"));
    m_editor = new HtmlEditor(this);
    m_editor->setObjectName(QStringLiteral("Editor"));
    m_editor->setMinimumSize(520, 260);
    NameControl(m_editor, QStringLiteral("Signature"));
    // No button is made the default here: QDialog gives Return to the first button after the focused
    // control.
    const DialogButtons buttons = MakeDialogButtons(this, {.okIsDefault = false});
    auto* reset = new QPushButton(QStringLiteral("Reset"), this);
    reset->setObjectName(QStringLiteral("ResetButton"));
    buttons.row->insertWidget(0, reset);
    setTabOrder(buttons.ok, reset);
    setTabOrder(reset, buttons.cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_use);
    layout->addWidget(m_editor, 1);
    layout->addLayout(buttons.row);
    connect(buttons.ok, &QPushButton::clicked, this, &SignatureManagerForm::OKButton_Click);
    connect(reset, &QPushButton::clicked, this, &SignatureManagerForm::ResetButton_Click);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_editor->SetDisplayOptions(false, false);
    m_use->setChecked(GetSetting(Setting::SignatureStatus) == QLatin1String("1"));
    // The built-in signature stands for a missing message here only (see the table of settings).
    m_editor->SetDocumentHTML(GetSetting(Sections::Signature, Keys::Message, BuiltInSignature()));
}

void SignatureManagerForm::OKButton_Click() {
    SaveSetting(Setting::SignatureStatus, m_use->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    SaveSetting(Setting::SignatureMessage, m_editor->DocumentHTML());
    accept();
}

void SignatureManagerForm::ResetButton_Click() {
    if (!AskYesNo(this, QStringLiteral("You are just about to wipe out your signature settings.\r\n"
                                       "Are you sure you want to proceed?")))
        return;
    DeleteSetting(Sections::Signature);
    accept();
}
