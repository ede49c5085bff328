#include "tools/forms/SupportForm.h"

#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/TextUtil.h"
#include "core/WriteSendStatus.h"
#include "mail/Smtp.h"
#include "tools/MakerSite.h"
#include "tools/SupportRequest.h"
#include "tools/SystemFacts.h"
#include "ui/DialogButtons.h"
#include "ui/FieldLabels.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/Pictures.h"
#include "ui/ShellOpener.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

SupportForm::SupportForm(MessagePriority priority, bool readReceipt, QWidget* parent)
    : QDialog(parent), m_priority(priority), m_readReceipt(readReceipt) {
    setObjectName(QStringLiteral("SupportForm"));
    SetUpDialog(this, QStringLiteral("Technical Support"), QStringLiteral("Contact Information.htm"));

    const char* captions[5] = {"Name :", "Email :", "Topic :", "Attachment :", "Description :"};
    for (int i = 0; i < 5; ++i) {
        m_labels[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        m_labels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
    }
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("NameTextBox"));
    m_email = new QLineEdit(this);
    m_email->setObjectName(QStringLiteral("EmailTextBox"));
    m_topic = new QComboBox(this);
    m_topic->setObjectName(QStringLiteral("TopicComboBox"));
    m_attachment = new QLineEdit(this);
    m_attachment->setObjectName(QStringLiteral("AttachmentTextBox"));
    m_add = new QPushButton(QStringLiteral("+"), this);
    m_add->setObjectName(QStringLiteral("AddButton"));
    m_remove = new QPushButton(QStringLiteral("-"), this);
    m_remove->setObjectName(QStringLiteral("RemoveButton"));
    // No button of this window is pressed by Return in a box (the "+" would otherwise open the file
    // dialog).
    for (QPushButton* b : {m_add, m_remove}) {
        b->setFixedWidth(28);
        b->setAutoDefault(false);
    }
    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(QStringLiteral("DescriptionTextBox"));
    m_description->setTabChangesFocus(true);
    QWidget* const fields[5] = {m_name, m_email, m_topic, m_attachment, m_description};
    for (int i = 0; i < 5; ++i)
        NameAfterLabel(m_labels[i], fields[i]);
    m_system = new QCheckBox(QStringLiteral("Include System Information"), this);
    m_system->setObjectName(QStringLiteral("CheckBox1"));
    m_settings = new QCheckBox(QStringLiteral("Include Velanto Settings"), this);
    m_settings->setObjectName(QStringLiteral("CheckBox2"));
    m_copy = new QCheckBox(QStringLiteral("Receive a copy of support request"), this);
    m_copy->setObjectName(QStringLiteral("CheckBox3"));
    const DialogButtons buttons = MakeDialogButtons(this, {.okIsDefault = false});
    m_ok = buttons.ok;
    m_cancel = buttons.cancel;
    m_ok->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture"));
    picture->setPixmap(VelantoPicture(64));
    picture->setAlignment(Qt::AlignTop);

    auto* grid = new QGridLayout;
    grid->addWidget(m_labels[0], 0, 0);
    grid->addWidget(m_name, 0, 1, 1, 3);
    grid->addWidget(m_labels[1], 1, 0);
    grid->addWidget(m_email, 1, 1, 1, 3);
    grid->addWidget(m_labels[2], 2, 0);
    grid->addWidget(m_topic, 2, 1, 1, 3);
    grid->addWidget(m_labels[3], 3, 0);
    grid->addWidget(m_attachment, 3, 1);
    grid->addWidget(m_add, 3, 2);
    grid->addWidget(m_remove, 3, 3);
    grid->addWidget(m_labels[4], 4, 0, Qt::AlignTop);
    grid->addWidget(m_description, 4, 1, 1, 3);
    grid->addWidget(m_system, 5, 1, 1, 3);
    grid->addWidget(m_settings, 6, 1, 1, 3);
    grid->addWidget(m_copy, 7, 1, 1, 3);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(grid, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons.row);
    resize(560, 460);

    for (QWidget* box : std::initializer_list<QWidget*>{m_name, m_email, m_attachment})
        HookRightClick(box);
    m_name->setText(GetSetting(Setting::AccountName));
    m_email->setText(GetSetting(Setting::AccountEmail));
    m_topic->addItems(SupportTopics);
    m_topic->setCurrentText(QStringLiteral("Support Request"));
    m_system->setChecked(true);
    m_settings->setChecked(true);

    connect(m_add, &QPushButton::clicked, this, &SupportForm::AddButton_Click);
    connect(m_remove, &QPushButton::clicked, this, &SupportForm::RemoveButton_Click);
    connect(m_ok, &QPushButton::clicked, this, &SupportForm::OKButton_Click);
    connect(m_cancel, &QPushButton::clicked, this, &SupportForm::reject);
}

SupportForm::~SupportForm() = default;

void SupportForm::SetInputsEnabled(bool enabled) {
    for (QLabel* label : m_labels)
        label->setEnabled(enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{m_name, m_email, m_topic, m_attachment, m_add, m_remove,
                                                      m_description, m_system, m_settings, m_copy, m_ok})
        w->setEnabled(enabled);
}

void SupportForm::AddButton_Click() {
    const QString path =
        GetOpenFileName(this, QStringLiteral("Technical Support"), QStringLiteral("All Files (*)"));
    if (!path.isEmpty())
        m_attachment->setText(path);
}

void SupportForm::RemoveButton_Click() {
    m_attachment->clear();
}

void SupportForm::OKButton_Click() {
    if (m_sending || !m_ok->isEnabled())
        return;
    m_name->setText(TrimBlanks(m_name->text()));
    m_email->setText(TrimBlanks(m_email->text()));
    const QString description = TrimBlanks(m_description->toPlainText());
    m_description->setPlainText(description);
    if (description.isEmpty()) {
        WarnAndFocus(m_description, QStringLiteral("Please enter your description."));
        return;
    }
    SetInputsEnabled(false);

    SupportRequest request;
    request.topic = m_topic->currentText();
    request.description = description;
    request.attachment = m_attachment->text();
    request.includeSystem = m_system->isChecked();
    request.includeSettings = m_settings->isChecked();
    request.sendCopy = m_copy->isChecked();
    request.priority = m_priority;
    request.readReceipt = m_readReceipt;

    m_smtp = std::make_unique<mail::Smtp>();
    m_sending = true;
    const qint32 rc = SendSupportRequest(*m_smtp, request, CollectSystemFacts(), ProgramFolder());
    m_sending = false;
    if (m_closeWanted) {
        QDialog::reject();
        return;
    }
    if (rc == 0) {
        ShowMessage(this,
                    QStringLiteral("Your message has been successfully sent to Torvale.\n"
                                   "Please click Cancel to quit."),
                    QMessageBox::Information);
        return;
    }
    ShowMessage(this, GetSendErrorText(rc), QMessageBox::Warning);
    if (AskYesNo(this, QStringLiteral("Sending your support request to Torvale failed.\n"
                                      "Would you like to visit the online support form instead?")))
        OpenWebPage(OnlineSupportUrl());
    SetInputsEnabled(true);
    m_ok->setFocus();
}

// Cancel and the close box while the request is on its way stop the conversation; the window goes as
// soon as the send has returned, and no result is shown then.
void SupportForm::reject() {
    if (m_sending) {
        m_closeWanted = true;
        if (m_smtp)
            m_smtp->Cancel();
        return;
    }
    for (QWidget* box : std::initializer_list<QWidget*>{m_name, m_email, m_attachment})
        UnhookRightClick(box);
    QDialog::reject();
}

void SupportForm::closeEvent(QCloseEvent* event) {
    if (m_sending) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}
