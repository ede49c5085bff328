#include "sending/forms/EmailManagerForm.h"

#include "core/CharacterSettings.h"
#include "core/RecipientFields.h"
#include "core/TextUtil.h"
#include "mail/Smtp.h"
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
    const Account a = Account::Load();
    SetUncutText(m_name, a.name);
    SetUncutText(m_email, a.email);
    SetUncutText(m_server, a.login.server);
    SetUncutText(m_port, a.login.port);
    m_auth->setChecked(a.login.auth);
    SetUncutText(m_username, a.login.username);
    SetUncutText(m_password, a.login.password);
    ShowText(m_authMode, a.login.authMode);
    // Credentials stored with authentication off are not shown and are dropped at the next OK.
    authToggled(m_auth->isChecked());
    m_personal->setChecked(a.method == SendingMethod::Personal);
    m_bulk->setChecked(a.method == SendingMethod::Bulk);
    m_third->setChecked(a.method == SendingMethod::Third);
    methodChosen();
    ShowText(m_toField, a.toField);
    SetUncutText(m_bcc, a.bcc);
    ShowText(m_thirdField, a.thirdField);
    m_thirdPath->setText(a.thirdPath);
    ShowText(m_headerEncoding, a.headerEncoding);
    ShowText(m_contentEncoding, a.encoding);
    ShowText(m_attachmentEncoding, a.attachmentEncoding);
    ShowText(m_charSet, a.charSet);
    m_textPart->setChecked(a.textPart);
    m_extended->setChecked(a.extended);
    ShowText(m_notify, a.dsnNotify);
    ShowText(m_return, a.dsnReturn);
}

ServerLogin EmailManagerForm::typedLogin() const {
    return ServerLogin{m_server->text(),   m_port->text(),     m_auth->isChecked(),
                       m_username->text(), m_password->text(), m_authMode->currentText()};
}

Account EmailManagerForm::typedAccount() const {
    Account a;
    a.name = m_name->text();
    a.email = m_email->text();
    a.login = typedLogin();
    a.method = m_bulk->isChecked()    ? SendingMethod::Bulk
               : m_third->isChecked() ? SendingMethod::Third
                                      : SendingMethod::Personal;
    a.toField = m_toField->currentText();
    a.bcc = m_bcc->text();
    a.thirdField = m_thirdField->currentText();
    a.thirdPath = m_thirdPath->text();
    a.headerEncoding = m_headerEncoding->currentText();
    a.encoding = m_contentEncoding->currentText();
    a.attachmentEncoding = m_attachmentEncoding->currentText();
    a.charSet = m_charSet->currentText();
    a.textPart = m_textPart->isChecked();
    a.extended = m_extended->isChecked();
    a.dsnNotify = m_notify->currentText();
    a.dsnReturn = m_return->currentText();
    return a;
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

QWidget* EmailManagerForm::control(AccountField field) const {
    switch (field) {
    case AccountField::Name:
        return m_name;
    case AccountField::Email:
        return m_email;
    case AccountField::Server:
        return m_server;
    case AccountField::Port:
        return m_port;
    case AccountField::Username:
        return m_username;
    case AccountField::Password:
        return m_password;
    case AccountField::Bcc:
        return m_bcc;
    case AccountField::ThirdPath:
        return m_thirdBrowse; // the path box takes no typing: its button is where the user goes on
    }
    return m_name;
}

void EmailManagerForm::refuse(const AccountProblem& problem) {
    const bool sendModePage = problem.field == AccountField::Bcc || problem.field == AccountField::ThirdPath;
    m_tabs->setCurrentIndex(sendModePage ? 1 : 0);
    WarnAndFocus(control(problem.field), problem.text);
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
    const Account account = typedAccount();
    if (const std::optional<AccountProblem> problem = account.Check())
        return refuse(*problem);
    account.Save();
    emit sendingMethodChanged(SendingMethodText(account.method));
    emit senderChanged(account.name + QStringLiteral(" <") + account.email + QStringLiteral(">"));
    accept();
}

void EmailManagerForm::ResetButton_Click() {
    if (m_testing)
        return;
    if (!AskYesNo(this, QStringLiteral("You are just about to wipe out your email settings.\r\n"
                                       "Are you sure you want to proceed?")))
        return;
    Account::Erase();
    emit senderChanged(QString());
    accept();
}

void EmailManagerForm::TestPushButton_Click() {
    if (m_testing)
        return;
    trimEntries();
    if (const std::optional<AccountProblem> problem = typedAccount().CheckForConnectionTest())
        return refuse(*problem);
    // The test waits up to the time-outs with the event loop running: the buttons that would end the
    // dialog are off until its result has been shown (done() refuses Escape and the close box).
    m_testing = true;
    for (QPushButton* button : {m_test, m_ok, m_cancel, m_reset})
        button->setEnabled(false);
    m_tabs->setFocus();
    auto* smtp = new mail::Smtp(this);
    const qint32 rc = RunConnectionTest(*smtp, typedLogin());
    smtp->deleteLater();
    ShowMessage(this, ConnectionTestResultText(rc),
                rc == 0 ? QMessageBox::Information : QMessageBox::Warning);
    m_testing = false;
    for (QPushButton* button : {m_test, m_ok, m_cancel, m_reset})
        button->setEnabled(true);
    m_test->setFocus();
}
