#include "sending/forms/EmailManagerForm.h"

#include "core/CharacterSettings.h"
#include "core/RecipientFields.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/TextUtil.h"
#include "mail/Smtp.h"
#include "recipients/forms/ValidateEmail.h"
#include "sending/MessageSetup.h"
#include "sending/forms/ThreadForm.h"
#include "ui/DialogButtons.h"
#include "ui/FieldLabels.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
QComboBox* DropDown(QWidget* parent, const char* name, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(false);
    box->addItems(items);
    return box;
}

// A drop-down list shows the stored text. A text that is none of its items (edited by hand, written by
// another version, a stray blank) is offered as one more item, so that OK keeps it unless the user picks
// another: a value the user did not change is never replaced by the list's first item.
void ShowText(QComboBox* box, const QString& text) {
    int i = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) {
        box->addItem(text);
        i = box->count() - 1;
    }
    box->setCurrentIndex(i);
}

QLabel* Label(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// A label that names the control beside it (its buddy and the control's accessible name).
QLabel* LabelFor(QWidget* field, const char* name, const char* text) {
    QLabel* label = Label(field->parentWidget(), name, text);
    NameAfterLabel(label, field);
    return label;
}

QLineEdit* TextBox(QWidget* parent, const char* name, int maxLength) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0)
        SetTypingLimit(box, maxLength);
    return box;
}

const QStringList Encodings{QStringLiteral("None"), QStringLiteral("Quoted Printable"),
                            QStringLiteral("Base 64")};
} // namespace

EmailManagerForm::EmailManagerForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("EmailManagerForm"));
    SetUpDialog(this, QStringLiteral("Email Manager"), QStringLiteral("Email Manager 1.htm"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabControl"));
    m_tabs->addTab(buildAccountPage(), QStringLiteral("Mail Account"));
    m_tabs->addTab(buildSendModePage(), QStringLiteral("Send Mode"));
    m_tabs->addTab(buildMessagePage(), QStringLiteral("Message Settings"));
    buildButtons();
    connectControls();
    loadValues();
}

QWidget* EmailManagerForm::buildAccountPage() {
    auto* page0 = new QWidget;
    auto* frame1 = new QGroupBox(page0);
    frame1->setObjectName(QStringLiteral("Frame1"));
    m_name = TextBox(frame1, "FullNameTextBox", 64);
    m_email = TextBox(frame1, "EmailTextBox", 255);
    m_server = TextBox(frame1, "ServerTextBox", 64);
    m_port = TextBox(frame1, "PortTextBox", 5);
    m_port->setText(QStringLiteral("25"));
    MakeDigitsOnly(m_port);
    // The up-down control steps the number in the port box.
    m_portUpDown = MakeStepArrows(m_port, 65535, QStringLiteral("Port"), QStringLiteral("Port"), frame1);
    m_auth = new QCheckBox(QStringLiteral("My server requires authentication"), frame1);
    m_auth->setObjectName(QStringLiteral("AuthCheckBox"));
    m_userLabel = Label(frame1, "Label5", "Username :");
    m_username = TextBox(frame1, "UsernameTextBox", 255);
    m_passwordLabel = Label(frame1, "Label6", "Password :");
    m_password = TextBox(frame1, "PasswordTextBox", 255);
    m_password->setEchoMode(QLineEdit::Password);
    // One "*" per character, not the style's own mask character.
    m_password->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    m_authLabel = Label(frame1, "AuthLabel", "Authentication Mode :");
    m_authMode = DropDown(frame1, "AuthModeComboBox",
                          {QStringLiteral("AUTH LOGIN"), QStringLiteral("CRAM MD5"), QStringLiteral("NTLM")});
    m_test = new QPushButton(QStringLiteral("Test SMTP Settings"), frame1);
    m_test->setObjectName(QStringLiteral("TestPushButton"));
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_port);
    portRow->addWidget(m_portUpDown);
    portRow->addStretch();
    auto* g1 = new QFormLayout(frame1);
    g1->addRow(LabelFor(m_name, "Label1", "Name :"), m_name);
    g1->addRow(LabelFor(m_email, "Label2", "Email :"), m_email);
    g1->addRow(LabelFor(m_server, "Label3", "Mail Server :"), m_server);
    g1->addRow(LabelFor(m_port, "Label4", "Port :"), portRow);
    NameAfterLabel(m_userLabel, m_username);
    NameAfterLabel(m_passwordLabel, m_password);
    NameAfterLabel(m_authLabel, m_authMode);
    g1->addRow(m_auth);
    g1->addRow(m_userLabel, m_username);
    g1->addRow(m_passwordLabel, m_password);
    g1->addRow(m_authLabel, m_authMode);
    g1->addRow(m_test);
    (new QVBoxLayout(page0))->addWidget(frame1);
    return page0;
}

QWidget* EmailManagerForm::buildSendModePage() {
    auto* page1 = new QWidget;
    auto* frame2 = new QGroupBox(page1);
    frame2->setObjectName(QStringLiteral("Frame2"));
    m_personal = new QRadioButton(QStringLiteral("Personal Sending"), frame2);
    m_personal->setObjectName(QStringLiteral("PersonalRadioButton"));
    m_bulk = new QRadioButton(QStringLiteral("Bulk Sending"), frame2);
    m_bulk->setObjectName(QStringLiteral("BulkRadioButton"));
    m_third = new QRadioButton(QStringLiteral("3rd Party Sending"), frame2);
    m_third->setObjectName(QStringLiteral("ThirdRadioButton"));
    m_personal->setChecked(true);
    QStringList labels;
    for (const RecipientField& f : RecipientFields)
        labels << QString::fromLatin1(f.label);
    m_toFieldLabel = Label(frame2, "Label8", "To Field :");
    m_toField = DropDown(frame2, "ToFieldComboBox", labels);
    m_bccLabel = Label(frame2, "Label9", "BCC Field :");
    m_bcc = TextBox(frame2, "BCCFieldTextBox", 64);
    m_thirdFieldLabel = Label(frame2, "Label10", "Queuing Agent :");
    m_thirdField = DropDown(frame2, "ThirdFieldComboBox",
                            {QStringLiteral("Torvale SMTP Server"), QStringLiteral("Microsoft SMTP Service"),
                             QStringLiteral("Ipswitch IMail Server"), QStringLiteral("Merak Mail Server")});
    m_thirdPathLabel = Label(frame2, "Label11", "Queue Directory :");
    m_thirdPath = TextBox(frame2, "ThirdPathTextBox", 0);
    m_thirdPath->setReadOnly(true);
    // The browse button has no caption, only a folder picture.
    m_thirdBrowse = new QPushButton(frame2);
    m_thirdBrowse->setIcon(m_thirdBrowse->style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_thirdBrowse->setObjectName(QStringLiteral("ThirdCommandButton"));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_thirdPath);
    pathRow->addWidget(m_thirdBrowse);
    auto* g2 = new QFormLayout(frame2);
    NameAfterLabel(m_toFieldLabel, m_toField);
    NameAfterLabel(m_bccLabel, m_bcc);
    NameAfterLabel(m_thirdFieldLabel, m_thirdField);
    NameAfterLabel(m_thirdPathLabel, m_thirdPath);
    NameControl(m_thirdBrowse, QStringLiteral("Browse for the queue directory"));
    g2->addRow(m_personal);
    g2->addRow(m_bulk);
    g2->addRow(m_third);
    g2->addRow(m_toFieldLabel, m_toField);
    g2->addRow(m_bccLabel, m_bcc);
    g2->addRow(m_thirdFieldLabel, m_thirdField);
    g2->addRow(m_thirdPathLabel, pathRow);
    (new QVBoxLayout(page1))->addWidget(frame2);
    return page1;
}

QWidget* EmailManagerForm::buildMessagePage() {
    auto* page2 = new QWidget;
    auto* frame3 = new QGroupBox(page2);
    frame3->setObjectName(QStringLiteral("Frame3"));
    QStringList charsets;
    for (const CharsetName& c : CharsetTable)
        charsets << QString::fromLatin1(c.displayName);
    m_headerEncoding = DropDown(frame3, "HeaderEncodingComboBox", Encodings);
    m_contentEncoding = DropDown(frame3, "ContentEncodingComboBox", Encodings);
    m_attachmentEncoding = DropDown(frame3, "AttachmentEncodingComboBox", Encodings);
    m_charSet = DropDown(frame3, "CharSetComboBox", charsets);
    m_notify = DropDown(
        frame3, "NotifyComboBox",
        {QStringLiteral("Do not send command to server"), QStringLiteral("Do whatever the server default is"),
         QStringLiteral("Notify me in all conditions"), QStringLiteral("Notify me if message fails"),
         QStringLiteral("Notify me if message is sent"), QStringLiteral("Notify me if message is delayed")});
    m_return = DropDown(frame3, "ReturnComboBox",
                        {QStringLiteral("Do not send command to server"),
                         QStringLiteral("Return whatever the server default is"),
                         QStringLiteral("Return only the header of the message"),
                         QStringLiteral("Return the full message")});
    m_textPart =
        new QCheckBox(QStringLiteral("Automatically generate the text part for HTML messages"), frame3);
    m_textPart->setObjectName(QStringLiteral("TextPartCheckBox"));
    m_extended = new QCheckBox(QStringLiteral("Enable extended international character set support"), frame3);
    m_extended->setObjectName(QStringLiteral("ExtendedCheckBox"));
    auto* g3 = new QFormLayout(frame3);
    g3->addRow(LabelFor(m_headerEncoding, "Label12", "Header Encoding :"), m_headerEncoding);
    g3->addRow(LabelFor(m_contentEncoding, "Label13", "Content Encoding :"), m_contentEncoding);
    g3->addRow(LabelFor(m_attachmentEncoding, "Label14", "Attachment Encoding :"), m_attachmentEncoding);
    g3->addRow(LabelFor(m_charSet, "Label15", "Character Set :"), m_charSet);
    g3->addRow(LabelFor(m_notify, "Label17", "Delivery Status Notify Flag :"), m_notify);
    g3->addRow(LabelFor(m_return, "Label18", "Delivery Status Return Flag :"), m_return);
    g3->addRow(m_textPart);
    g3->addRow(m_extended);
    (new QVBoxLayout(page2))->addWidget(frame3);
    return page2;
}

// Reset, OK and Cancel under the pages.
void EmailManagerForm::buildButtons() {
    const DialogButtons buttons = MakeDialogButtons(this);
    m_ok = buttons.ok;
    m_cancel = buttons.cancel;
    m_reset = new QPushButton(QStringLiteral("Reset"), this);
    m_reset->setObjectName(QStringLiteral("ResetButton"));
    buttons.row->insertWidget(0, m_reset);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons.row);
}

void EmailManagerForm::connectControls() {
    connect(m_ok, &QPushButton::clicked, this, &EmailManagerForm::OKButton_Click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_reset, &QPushButton::clicked, this, &EmailManagerForm::ResetButton_Click);
    connect(m_test, &QPushButton::clicked, this, &EmailManagerForm::TestPushButton_Click);
    connect(m_thirdBrowse, &QPushButton::clicked, this, &EmailManagerForm::ThirdCommandButton_Click);
    // The box's state, not a click: a screen reader's Toggle action changes it without one.
    connect(m_auth, &QCheckBox::toggled, this, &EmailManagerForm::authToggled);
    connect(m_personal, &QRadioButton::toggled, this, &EmailManagerForm::methodChosen);
    connect(m_bulk, &QRadioButton::toggled, this, &EmailManagerForm::methodChosen);
    connect(m_third, &QRadioButton::toggled, this, &EmailManagerForm::methodChosen);
    HookRightClick(m_port);
    HookRightClick(m_thirdPath);
}

// Every opening shows what is stored, read with the defaults of the settings table.
void EmailManagerForm::loadValues() {
    SetUncutText(m_name, GetSetting(Setting::AccountName));
    SetUncutText(m_email, GetSetting(Setting::AccountEmail));
    SetUncutText(m_server, GetSetting(Setting::AccountServer));
    SetUncutText(m_port, GetSetting(Setting::AccountPort));
    m_auth->setChecked(AuthenticationOn());
    SetUncutText(m_username, GetSetting(Setting::AccountUsername));
    SetUncutText(m_password, GetSetting(Setting::AccountPassword));
    ShowText(m_authMode, GetSetting(Setting::AccountAuthMode));
    // Credentials stored with authentication off are not shown and are dropped at the next OK.
    authToggled(m_auth->isChecked());
    const QString method = GetSetting(Setting::AccountMethod);
    if (method == QLatin1String("Bulk"))
        m_bulk->setChecked(true);
    else if (method == QLatin1String("Third"))
        m_third->setChecked(true);
    methodChosen();
    ShowText(m_toField, GetSetting(Setting::AccountToField));
    SetUncutText(m_bcc, GetSetting(Setting::AccountBCCField));
    ShowText(m_thirdField, GetSetting(Setting::AccountThirdField));
    m_thirdPath->setText(GetSetting(Setting::AccountThirdPath));
    ShowText(m_headerEncoding, GetSetting(Setting::AccountHeaderEncodingShown));
    ShowText(m_contentEncoding, GetSetting(Setting::AccountEncoding));
    ShowText(m_attachmentEncoding, GetSetting(Setting::AccountAttachmentEncoding));
    ShowText(m_charSet, GetSetting(Setting::AccountCharSet));
    m_textPart->setChecked(GetSetting(Setting::AccountTextPart) == QLatin1String("1"));
    m_extended->setChecked(GetSetting(Setting::AccountExtended) == QLatin1String("1"));
    ShowText(m_notify, GetSetting(Setting::AccountDSNNotify));
    ShowText(m_return, GetSetting(Setting::AccountDSNReturn));
}

void EmailManagerForm::authToggled(bool checked) {
    for (QWidget* w : {static_cast<QWidget*>(m_userLabel), static_cast<QWidget*>(m_username),
                       static_cast<QWidget*>(m_passwordLabel), static_cast<QWidget*>(m_password),
                       static_cast<QWidget*>(m_authLabel), static_cast<QWidget*>(m_authMode)})
        w->setEnabled(checked);
    if (!checked) {
        m_username->clear();
        m_password->clear();
        m_authMode->setCurrentIndex(0);
    }
}

void EmailManagerForm::methodChosen() {
    const bool personal = m_personal->isChecked();
    const bool bulk = m_bulk->isChecked();
    const bool third = m_third->isChecked();
    m_toFieldLabel->setEnabled(personal);
    m_toField->setEnabled(personal);
    m_bccLabel->setEnabled(bulk);
    m_bcc->setEnabled(bulk);
    for (QWidget* w : {static_cast<QWidget*>(m_thirdFieldLabel), static_cast<QWidget*>(m_thirdField),
                       static_cast<QWidget*>(m_thirdPathLabel), static_cast<QWidget*>(m_thirdPath),
                       static_cast<QWidget*>(m_thirdBrowse)})
        w->setEnabled(third);
}

void EmailManagerForm::trimEntries() {
    for (QLineEdit* box : {m_name, m_email, m_server, m_username, m_bcc})
        SetUncutText(box, TrimBlanks(box->text()));
}

void EmailManagerForm::refuse(QWidget* field, int page, const QString& text) {
    m_tabs->setCurrentIndex(page);
    WarnAndFocus(field, text);
}

void EmailManagerForm::ThirdCommandButton_Click() {
    QString folder = GetExistingFolder(this, QStringLiteral("Please select the destination folder."));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_thirdPath->setText(folder);
}

void EmailManagerForm::done(int result) {
    if (m_testing)
        return;
    QDialog::done(result);
}

void EmailManagerForm::OKButton_Click() {
    if (m_testing)
        return;
    trimEntries();
    if (m_name->text().isEmpty())
        return refuse(m_name, 0, QStringLiteral("Please enter your name."));
    if (!ValidateEmail(m_email->text(), this)) {
        m_tabs->setCurrentIndex(0);
        m_email->setFocus();
        return;
    }
    if (m_server->text().isEmpty())
        return refuse(m_server, 0, QStringLiteral("Please enter your mail server."));
    if (m_port->text().isEmpty())
        return refuse(m_port, 0, QStringLiteral("Please enter your port."));
    if (!IsValidPortText(m_port->text()))
        return refuse(m_port, 0, QStringLiteral("Please enter a valid port."));
    if (m_auth->isChecked()) {
        if (m_username->text().isEmpty())
            return refuse(m_username, 0, QStringLiteral("Please enter your username."));
        if (m_password->text().isEmpty())
            return refuse(m_password, 0, QStringLiteral("Please enter your password."));
    }
    if (m_bulk->isChecked() && m_bcc->text().isEmpty())
        return refuse(m_bcc, 1, QStringLiteral("Please enter the BCC Field."));
    if (m_third->isChecked()) {
        if (m_thirdPath->text().isEmpty())
            return refuse(m_thirdBrowse, 1, QStringLiteral("Please enter the queue directory."));
        if (QDir(m_thirdPath->text()).isRoot())
            return refuse(m_thirdBrowse, 1, QStringLiteral("You cannot select root directory."));
    }

    SaveSetting(Setting::AccountName, m_name->text());
    SaveSetting(Setting::AccountEmail, m_email->text());
    SaveSetting(Setting::AccountServer, m_server->text());
    SaveSetting(Setting::AccountPort, m_port->text());
    SaveSetting(Setting::AccountAuth, m_auth->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    SaveSetting(Setting::AccountUsername, m_username->text());
    SaveSetting(Setting::AccountPassword, m_password->text());
    SaveSetting(Setting::AccountAuthMode, m_authMode->currentText());
    QString methodText;
    if (m_personal->isChecked()) {
        SaveSetting(Setting::AccountMethod, QStringLiteral("Personal"));
        methodText = QStringLiteral("Personal Sending");
    } else if (m_bulk->isChecked()) {
        SaveSetting(Setting::AccountMethod, QStringLiteral("Bulk"));
        methodText = QStringLiteral("Bulk Sending");
    } else {
        SaveSetting(Setting::AccountMethod, QStringLiteral("Third"));
        methodText = QStringLiteral("3rd Party Sending");
    }
    emit sendingMethodChanged(methodText);
    SaveSetting(Setting::AccountToField, m_toField->currentText());
    SaveSetting(Setting::AccountBCCField, m_bcc->text());
    SaveSetting(Setting::AccountThirdField, m_thirdField->currentText());
    SaveSetting(Setting::AccountThirdPath, m_thirdPath->text());
    SaveSetting(Setting::AccountHeaderEncoding, m_headerEncoding->currentText());
    SaveSetting(Setting::AccountEncoding, m_contentEncoding->currentText());
    SaveSetting(Setting::AccountAttachmentEncoding, m_attachmentEncoding->currentText());
    SaveSetting(Setting::AccountCharSet, m_charSet->currentText());
    SaveSetting(Setting::AccountTextPart,
                m_textPart->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    SaveSetting(Setting::AccountExtended,
                m_extended->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    SaveSetting(Setting::AccountDSNNotify, m_notify->currentText());
    SaveSetting(Setting::AccountDSNReturn, m_return->currentText());

    emit senderChanged(GetSetting(Setting::AccountName) + QStringLiteral(" <") +
                       GetSetting(Setting::AccountEmail) + QStringLiteral(">"));
    accept();
}

void EmailManagerForm::ResetButton_Click() {
    if (m_testing)
        return;
    if (!AskYesNo(this, QStringLiteral("You are just about to wipe out your email settings.\r\n"
                                       "Are you sure you want to proceed?")))
        return;
    DeleteSetting(QString::fromLatin1(Sections::Account));
    emit senderChanged(QString());
    accept();
}

void EmailManagerForm::TestPushButton_Click() {
    if (m_testing)
        return;
    trimEntries();
    if (m_server->text().isEmpty())
        return WarnAndFocus(m_server, QStringLiteral("Please enter your mail server."));
    if (m_auth->isChecked()) {
        if (m_username->text().isEmpty())
            return WarnAndFocus(m_username, QStringLiteral("Please enter your username."));
        if (m_password->text().isEmpty())
            return WarnAndFocus(m_password, QStringLiteral("Please enter your password."));
    }
    // The test waits up to the time-outs with the event loop running: the buttons that would end the
    // dialog are off until its result has been shown (done() refuses Escape and the close box).
    m_testing = true;
    for (QPushButton* button : {m_test, m_ok, m_cancel, m_reset})
        button->setEnabled(false);
    m_tabs->setFocus();
    AccountTestInput input{m_server->text(),   m_port->text(),     m_auth->isChecked(),
                           m_username->text(), m_password->text(), m_authMode->currentText()};
    auto* smtp = new mail::Smtp(this);
    const qint32 rc = RunAccountTest(*smtp, input);
    smtp->deleteLater();
    ShowMessage(this, AccountTestResultText(rc), rc == 0 ? QMessageBox::Information : QMessageBox::Warning);
    m_testing = false;
    for (QPushButton* button : {m_test, m_ok, m_cancel, m_reset})
        button->setEnabled(true);
    m_test->setFocus();
}
