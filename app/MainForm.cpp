#include "app/MainForm.h"

#include "app/LockState.h"
#include "app/MainFormLogic.h"
#include "core/Globals.h"
#include "core/MessageChoices.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/TextUtil.h"
#include "core/Version.h"
#include "editor/HtmlEditor.h"
#include "editor/SaveChanges.h"
#include "recipients/forms/GroupManagerForm.h"
#include "sending/forms/EmailManagerForm.h"
#include "sending/forms/SendingCommands.h"
#include "ui/FieldLabels.h"
#include "ui/WindowConventions.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

constexpr auto kIdleMessage = "For Help Press F1";

QLabel* makeLabel(QWidget* parent, const char* name, const char* caption) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLabel* labelFor(QWidget* field, const char* name, const char* caption) {
    QLabel* label = makeLabel(field->parentWidget(), name, caption);
    NameAfterLabel(label, field);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QComboBox* makeList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(false);
    return list;
}

QLabel* makePane(QWidget* parent, const char* name, const char* text) {
    auto* pane = makeLabel(parent, name, text);
    pane->setFrameShape(QFrame::Panel);
    pane->setFrameShadow(QFrame::Sunken);
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("CAPS")) + 16);
    // An indicator that is off shows its text greyed.
    pane->setEnabled(false);
    return pane;
}

} // namespace

MainForm::MainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(MainWindowTitle));
    buildControls();

    buildCommands();
    load();
    // Every key of every window of the program passes its top-level window first; that is where the
    // keyboard indicators are followed.
    qApp->installEventFilter(this);
}

MainForm::~MainForm() {
    qApp->removeEventFilter(this);
}

HtmlEditor* MainForm::Editor() const {
    return m_editor;
}

QString MainForm::Subject() const {
    return m_subjectTextBox->text();
}

void MainForm::SetSubject(const QString& subject) {
    m_subjectTextBox->setText(subject);
}

QString MainForm::Group() const {
    return m_toComboBox->currentText();
}

int MainForm::GroupCount() const {
    return m_toComboBox->count();
}

// The lists hold only their own items, so their text always names a choice.
MessageFormat MainForm::Format() const {
    return FormatFromText(m_formatComboBox->currentText()).value_or(MessageFormat::Html);
}

void MainForm::SetFormat(MessageFormat format) {
    m_formatComboBox->setCurrentText(FormatText(format));
}

MessagePriority MainForm::Priority() const {
    return PriorityFromText(m_priorityComboBox->currentText()).value_or(MessagePriority::Normal);
}

bool MainForm::ReadReceipt() const {
    return m_rrrCheckBox->isChecked();
}

QStringList MainForm::Attachments() const {
    QStringList paths;
    for (int i = 0; i < m_attachmentComboBox->count(); ++i)
        paths << m_attachmentComboBox->itemText(i);
    return paths;
}

void MainForm::AddAttachments(const QStringList& paths) {
    m_attachmentComboBox->addItems(paths);
    if (m_attachmentComboBox->count() > 0)
        m_attachmentComboBox->setCurrentIndex(0);
}

void MainForm::FocusField(Field field) {
    QWidget* control = m_subjectTextBox;
    switch (field) {
    case Field::AccountButton:
        control = m_emailButton;
        break;
    case Field::GroupButton:
        control = m_groupButton;
        break;
    case Field::Subject:
        control = m_subjectTextBox;
        break;
    }
    control->setFocus(Qt::OtherFocusReason);
}

void MainForm::buildControls() {
    ApplyAppearance(this);
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    m_fromComboBox = makeList(central, "FromComboBox");
    m_toComboBox = makeList(central, "ToComboBox");
    m_subjectTextBox = new QLineEdit(central);
    m_subjectTextBox->setObjectName(QStringLiteral("SubjectTextBox"));
    // Each label names its box, for the mnemonic and for screen readers.
    fields->addWidget(labelFor(m_fromComboBox, "Label1", "From :"), 0, 0);
    fields->addWidget(labelFor(m_toComboBox, "Label2", "To :"), 1, 0);
    fields->addWidget(labelFor(m_subjectTextBox, "Label3", "Subject :"), 2, 0);
    m_subjectTextBox->installEventFilter(this); // trimmed when the focus leaves it
    fields->addWidget(m_fromComboBox, 0, 1);
    fields->addWidget(m_toComboBox, 1, 1);
    fields->addWidget(m_subjectTextBox, 2, 1);

    // The formatting buttons stand in a column left of the editor; the editor takes all the room the
    // window gives.
    auto* formatting = new QVBoxLayout;
    formatting->setSpacing(6);
    for (const auto& [name, caption] : {std::pair{"FontButton", "Font"},
                                        {"BodyButton", "Body"},
                                        {"LineButton", "Line"},
                                        {"TableButton", "Table"},
                                        {"PictureButton", "Picture"},
                                        {"HyperlinkButton", "Hyperlink"}})
        formatting->addWidget(makeButton(central, name, caption));
    formatting->addStretch(1);
    m_editor = new HtmlEditor(central);
    m_editor->setObjectName(QStringLiteral("Editor"));
    NameControl(m_editor, QStringLiteral("Message"));
    m_editor->setMinimumHeight(120);
    fields->addLayout(formatting, 3, 0);
    fields->addWidget(m_editor, 3, 1);
    fields->setRowStretch(3, 1);
    fields->setColumnStretch(1, 1);

    // The send options keep their size and stay centred under the editor.
    m_frame = new QGroupBox(central);
    m_frame->setObjectName(QStringLiteral("Frame"));
    m_frame->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* frame = new QGridLayout(m_frame);
    frame->setHorizontalSpacing(8);
    frame->setVerticalSpacing(8);

    m_sendingMethodComboBox = makeList(m_frame, "SendingMethodComboBox");
    m_priorityComboBox = makeList(m_frame, "PriorityComboBox");
    m_formatComboBox = makeList(m_frame, "FormatComboBox");
    m_rrrCheckBox = new QCheckBox(QStringLiteral("Request read receipt"), m_frame);
    m_rrrCheckBox->setObjectName(QStringLiteral("RRRCheckBox"));
    auto* method = new QHBoxLayout;
    method->addWidget(labelFor(m_sendingMethodComboBox, "Label6", "Sending Method :"));
    method->addWidget(m_sendingMethodComboBox, 1);
    auto* priority = new QHBoxLayout;
    priority->addWidget(labelFor(m_priorityComboBox, "Label7", "Priority :"));
    priority->addWidget(m_priorityComboBox, 1);
    auto* format = new QHBoxLayout;
    format->addWidget(labelFor(m_formatComboBox, "Label8", "Format :"));
    format->addWidget(m_formatComboBox, 1);
    frame->addLayout(method, 0, 0, 1, 2);
    frame->addLayout(priority, 0, 2);
    frame->addLayout(format, 0, 3);
    frame->addWidget(m_rrrCheckBox, 0, 4);

    m_attachmentComboBox = makeList(m_frame, "AttachmentComboBox");
    NameControl(m_attachmentComboBox, QStringLiteral("Attachments"));
    frame->addWidget(makeButton(m_frame, "FileAttachmentButton", "File Attachment"), 1, 0);
    frame->addWidget(m_attachmentComboBox, 1, 1, 1, 3);
    frame->addWidget(makeButton(m_frame, "DeleteAttachmentButton", "Delete Attachment"), 1, 4);

    auto* email = m_emailButton = makeButton(m_frame, "EmailButton", "Email Manager");
    auto* group = m_groupButton = makeButton(m_frame, "GroupButton", "Group Manager");
    auto* history = makeButton(m_frame, "HistoryButton", "History Manager");
    auto* signature = makeButton(m_frame, "SignatureButton", "Signature Manager");
    auto* send = makeButton(m_frame, "SendButton", "Send");
    int column = 0;
    for (QPushButton* b : {email, group, history, signature, send})
        frame->addWidget(b, 2, column++);
    for (int c = 0; c < 5; ++c)
        frame->setColumnStretch(c, 1);
    connect(email, &QPushButton::clicked, this, &MainForm::EmailButtonClicked);
    connect(group, &QPushButton::clicked, this, &MainForm::GroupButtonClicked);
    connect(history, &QPushButton::clicked, this, &MainForm::HistoryButtonClicked);
    connect(signature, &QPushButton::clicked, this, &MainForm::SignatureButtonClicked);
    connect(send, &QPushButton::clicked, this, &MainForm::SendButtonClicked);

    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 8, 14, 6);
    outer->addLayout(fields, 1);
    outer->addWidget(m_frame, 0, Qt::AlignHCenter);
}

void MainForm::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    // The message pane: menu and tool-bar descriptions replace it while they show, and it comes back
    // when they clear, so it doubles as the bar's idle message.
    bar->addWidget(makeLabel(bar, "MessagePane", kIdleMessage), 1);
    m_insPane = makePane(bar, "InsPane", "INS");
    m_capsPane = makePane(bar, "CapsPane", "CAPS");
    m_numPane = makePane(bar, "NumPane", "NUM");
    bar->addPermanentWidget(m_insPane);
    bar->addPermanentWidget(m_capsPane);
    bar->addPermanentWidget(m_numPane);
    bar->setVisible(true);
}

void MainForm::load() {
    buildStatusBar();

    const QString name = GetSetting(Setting::AccountName);
    const QString email = GetSetting(Setting::AccountEmail);
    const QString sender = SenderItemText(name, email);
    if (!sender.isEmpty()) {
        m_fromComboBox->addItem(sender);
        m_fromComboBox->setCurrentIndex(0);
    }

    m_toComboBox->addItems(ReadGroupNames());
    m_toComboBox->setCurrentIndex(m_toComboBox->count() > 0 ? 0 : -1);

    m_editor->SetDisplayOptions(false, false);

    const QString signatureStatus = GetSetting(Setting::SignatureStatus);
    // The signature is the starting text of a new message, not a change of the user's.
    if (signatureStatus.trimmed().toInt() == 1)
        m_editor->NewDocumentFrom(GetSetting(Setting::SignatureMessage));

    m_sendingMethodComboBox->addItems({QStringLiteral("Personal Sending"), QStringLiteral("Bulk Sending"),
                                       QStringLiteral("3rd Party Sending")});
    const QString method = SendingMethodTextOfKey(GetSetting(Setting::AccountMethod));
    m_sendingMethodComboBox->setCurrentIndex(m_sendingMethodComboBox->findText(method));

    for (MessagePriority p : {MessagePriority::Low, MessagePriority::Normal, MessagePriority::High})
        m_priorityComboBox->addItem(PriorityText(p));
    m_priorityComboBox->setCurrentText(PriorityText(MessagePriority::Normal));

    for (MessageFormat f : {MessageFormat::Html, MessageFormat::Text})
        m_formatComboBox->addItem(FormatText(f));
    m_formatComboBox->setCurrentText(FormatText(MessageFormat::Html));
}

void MainForm::closeEvent(QCloseEvent* event) {
    // During a shutdown after sending nobody is there to answer; unsaved changes go.
    if (!ShuttingDown && !PromptSaveChanges(this, m_editor)) {
        event->ignore();
        return;
    }
    DeleteTemporaryFiles();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible())
            window->close();
    }
    event->accept();
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    // The subject loses its leading and trailing blanks when the focus leaves it for another control.
    // A menu over it (its own Paste menu) or another program's window takes nothing from it: the user
    // goes on typing where the text was.
    if (watched == m_subjectTextBox && type == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            m_subjectTextBox->setText(TrimBlanks(m_subjectTextBox->text()));
    }
    // The lock keys may have been pressed before the program started or while another program had the
    // focus: the window reads their state when it opens and whenever it gets the focus back.
    if (watched == this && (type == QEvent::Show || type == QEvent::WindowActivate))
        readLockState();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWindowType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        static const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
        if (m_keys.keyEvent(type == QEvent::KeyPress, key->key(), key->isAutoRepeat(), key->nativeModifiers(),
                            x11))
            showKeyboardIndicators();
        // A lock key that unlocks does so on its release, whose event still carries the locked state:
        // the system's own state says what the key did.
        if (type == QEvent::KeyRelease && (key->key() == Qt::Key_CapsLock || key->key() == Qt::Key_NumLock))
            readLockState();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::readLockState() {
    if (const std::optional<LockState> locks = CurrentLockStateReader()())
        if (m_keys.setLocks(locks->caps, locks->num))
            showKeyboardIndicators();
}

void MainForm::showKeyboardIndicators() {
    m_insPane->setEnabled(m_keys.insertOn());
    m_capsPane->setEnabled(m_keys.capsOn());
    m_numPane->setEnabled(m_keys.numOn());
}

// The managers are modal; the main window's lists follow what they store as they store it.
void MainForm::EmailButtonClicked() {
    EmailManagerForm manager(this);
    connect(&manager, &EmailManagerForm::senderChanged, this, &MainForm::ShowSender);
    connect(&manager, &EmailManagerForm::sendingMethodChanged, this, &MainForm::ShowSendingMethod);
    manager.exec();
}

void MainForm::ShowSender(const QString& sender) {
    m_fromComboBox->clear();
    if (sender.isEmpty())
        return;
    m_fromComboBox->addItem(sender);
    m_fromComboBox->setCurrentIndex(0);
}

void MainForm::ShowSendingMethod(const QString& method) {
    const int i = m_sendingMethodComboBox->findText(method);
    if (i >= 0)
        m_sendingMethodComboBox->setCurrentIndex(i);
    else
        m_sendingMethodComboBox->setCurrentText(method);
}

void MainForm::GroupButtonClicked() {
    GroupManagerForm manager(this);
    connect(&manager, &GroupManagerForm::groupsChanged, this, &MainForm::ShowGroups);
    manager.exec();
}

// After a change of the groups the list selects its first group.
void MainForm::ShowGroups(const QStringList& names) {
    m_toComboBox->clear();
    m_toComboBox->addItems(names);
    m_toComboBox->setCurrentIndex(names.isEmpty() ? -1 : 0);
}

void MainForm::HistoryButtonClicked() {
    ShowHistoryManager(this);
}

void MainForm::SignatureButtonClicked() {
    ShowSignatureManager(this);
}

void MainForm::SendButtonClicked() {
    RunSendCommand(this, *this);
}
