// The main window's command set: the execute handler of the menu bar and tool bar, the file commands,
// the formatting buttons, the editor's context menu, the attachment list and the Merge menu.
#include "app/AboutForm.h"
#include "app/CommandBars.h"
#include "app/CommandTable.h"
#include "app/MainForm.h"
#include "app/MainFormLogic.h"
#include "app/TipForm.h"
#include "core/Globals.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "editor/SaveChanges.h"
#include "recipients/forms/TransferWindows.h"
#include "sending/MergeMacros.h"
#include "sending/forms/SendingCommands.h"
#include "tools/MakerSite.h"
#include "ui/CommandWindows.h"
#include "ui/FileDialogs.h"
#include "ui/HelpViewer.h"
#include "ui/MessageBoxes.h"
#include "ui/ModalDialog.h"
#include "ui/PrintDialog.h"
#include "ui/ShellOpener.h"
#include "ui/WindowConventions.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>

namespace {

const QString DocumentFilter = QStringLiteral("HTML Files (*.html *.htm);;All Files (*)");

QString setting(const char* section, const char* key) {
    return GetSetting(QString::fromLatin1(section), QString::fromLatin1(key));
}

// Menu commands that are one editing command of the editor.
int editingCommandFor(int id) {
    switch (id) {
    case CommandId::Undo:
        return EditCommand::Undo;
    case CommandId::Redo:
        return EditCommand::Redo;
    case CommandId::Cut:
        return EditCommand::Cut;
    case CommandId::Copy:
        return EditCommand::Copy;
    case CommandId::Paste:
        return EditCommand::Paste;
    case CommandId::Delete:
        return EditCommand::Delete;
    case CommandId::SelectAll:
        return EditCommand::SelectAll;
    case CommandId::RemoveHyperlink:
        return EditCommand::Unlink;
    case CommandId::RemoveFormatting:
        return EditCommand::RemoveFormat;
    case CommandId::Bold:
        return EditCommand::Bold;
    case CommandId::Italic:
        return EditCommand::Italic;
    case CommandId::Underline:
        return EditCommand::Underline;
    case CommandId::AlignLeft:
        return EditCommand::JustifyLeft;
    case CommandId::AlignCenter:
        return EditCommand::JustifyCenter;
    case CommandId::AlignRight:
        return EditCommand::JustifyRight;
    case CommandId::IndentIncrease:
        return EditCommand::Indent;
    case CommandId::IndentDecrease:
        return EditCommand::Outdent;
    case CommandId::Bullets:
        return EditCommand::UnorderList;
    case CommandId::Numbers:
        return EditCommand::OrderList;
    default:
        return 0;
    }
}

// The formatting buttons that show the editor's own dialogs.
int dialogCommandFor(int id) {
    switch (id) {
    case CommandId::Font:
        return EditCommand::Font;
    case CommandId::Picture:
        return EditCommand::Image;
    case CommandId::Hyperlink:
        return EditCommand::Hyperlink;
    default:
        return 0;
    }
}

} // namespace

void MainForm::buildCommands() {
    // The bars carry the ids of their tables, merge items included, as plain numbers.
    m_commandBars = new CommandBars(this, [this](int id) { ExecuteCommand(CommandId::Id(id)); });
    InstallHelpKey(this, QStringLiteral("Welcome.htm"));

    const std::pair<const char*, CommandId::Id> buttons[] = {
        {"FontButton", CommandId::Font},
        {"BodyButton", CommandId::Body},
        {"LineButton", CommandId::Line},
        {"TableButton", CommandId::Table},
        {"PictureButton", CommandId::Picture},
        {"HyperlinkButton", CommandId::Hyperlink},
        {"FileAttachmentButton", CommandId::FileAttachment},
        {"DeleteAttachmentButton", CommandId::DeleteAttachment},
    };
    for (const auto& [name, id] : buttons) {
        auto* button = findChild<QPushButton*>(QString::fromLatin1(name));
        if (!button)
            continue;
        m_commandBars->bindButton(button, id);
        connect(button, &QPushButton::clicked, this, [this, id = id] { ExecuteCommand(id); });
    }

    connect(m_editor, &HtmlEditor::ShowContextMenu, this, [this] { editorContextMenuRequested(); });
    connect(m_editor, &HtmlEditor::ContextMenuAction, this,
            [this](int index) { editorContextMenuChosen(index); });
}

void MainForm::ExecuteCommand(CommandId::Id id) {
    // A tool button runs the menu command it repeats.
    for (const ToolButtonInfo& b : ToolBarLayout())
        if (b.id == id)
            id = b.runs;
    if (!FindCommand(id) || !CommandBars::IsAvailable(id))
        return;

    if (const int editing = editingCommandFor(id)) {
        m_editor->ExecCommand(editing, ExecOption::Default);
        return;
    }
    if (const int dialog = dialogCommandFor(id)) {
        m_editor->ExecCommand(dialog, ExecOption::PromptUser);
        return;
    }
    for (const MergeMacro& m : MergeMacros)
        if (m.commandId == id) {
            insertMergeMacro(id);
            return;
        }
    if (IsRoutedCommand(id)) {
        openRoutedWindow(id);
        return;
    }

    switch (id) {
    case CommandId::New:
        newDocument();
        break;
    case CommandId::Open:
        openDocument();
        break;
    case CommandId::Save:
        saveDocument();
        break;
    case CommandId::SaveAs:
        SaveDocumentAs(this, m_editor);
        break;
    case CommandId::Print:
        printDocument();
        break;
    case CommandId::Exit:
        close();
        break;
    case CommandId::Find:
        m_editor->setFocus();
        m_editor->ExecCommand(EditCommand::Find, ExecOption::Default);
        break;
    case CommandId::FileAttachment:
        attachFiles();
        break;
    case CommandId::DeleteAttachment:
        deleteAttachment();
        break;
    case CommandId::Preview:
        ShowMessagePreview(this, *this);
        break;
    case CommandId::Send:
        SendButtonClicked();
        break;
    case CommandId::EmailManager:
        EmailButtonClicked();
        break;
    case CommandId::GroupManager:
        GroupButtonClicked();
        break;
    case CommandId::HistoryManager:
        HistoryButtonClicked();
        break;
    case CommandId::SignatureManager:
        SignatureButtonClicked();
        break;
    case CommandId::ImportRecipients:
        openTransferWindow(true);
        break;
    case CommandId::ExportRecipients:
        openTransferWindow(false);
        break;
    case CommandId::ThreadOptions:
        ShowThreadOptions(this);
        break;
    case CommandId::Help:
        HelpViewer::showTopic(this, QStringLiteral("Welcome.htm"));
        break;
    case CommandId::TipOfTheDay:
        showTipOfTheDay();
        break;
    case CommandId::HomePage:
        OpenWebPage(HomePageUrl());
        break;
    case CommandId::About:
        ShowModalDialog<AboutForm>(this);
        break;
    default:
        break;
    }
}

void MainForm::newDocument() {
    if (!PromptSaveChanges(this, m_editor))
        return;
    // A new message starts with the signature when it is on; that is not a change of the user's.
    if (GetSetting(Setting::SignatureStatus).trimmed().toInt() != 0)
        m_editor->NewDocumentFrom(GetSetting(Setting::SignatureMessage));
    else
        m_editor->NewDocument();
}

void MainForm::openDocument() {
    const QString path = GetOpenFileName(this, QStringLiteral("Open"), DocumentFilter);
    if (path.isEmpty())
        return;
    if (!PromptSaveChanges(this, m_editor))
        return;
    if (!m_editor->LoadDocument(path))
        ShowMessage(this,
                    QStringLiteral("The document '") + QDir::toNativeSeparators(path) +
                        QStringLiteral("' could not be opened."),
                    QMessageBox::Warning);
}

void MainForm::saveDocument() {
    const QString current = m_editor->CurrentDocumentPath();
    if (IsUntitledDocumentPath(current))
        SaveDocumentAs(this, m_editor);
    else
        SaveDocumentTo(this, m_editor, current);
}

void MainForm::printDocument() {
    if (!AskYesNo(this, QStringLiteral("Please consider your environmental responsibility before printing.\n"
                                       "Do you still want to print this document?")))
        return;
    if (!AskPrinter(this, HtmlEditor::CurrentPrinter()))
        return;
    if (!m_editor->PrintDocument(0))
        ShowMessage(this, QStringLiteral("The document could not be printed."), QMessageBox::Warning);
}

void MainForm::editorContextMenuRequested() {
    m_editor->SetContextMenu(EditorContextMenuCaptions(), {});
}

void MainForm::editorContextMenuChosen(int index) {
    if (const int command = EditorContextMenuCommand(index))
        m_editor->ExecCommand(command, ExecOption::Default);
}

void MainForm::attachFiles() {
    const QStringList paths =
        GetOpenFileNames(this, QStringLiteral("File Attachment"), QStringLiteral("All Files (*)"));
    if (paths.isEmpty())
        return;
    QStringList items;
    for (int i = 0; i < m_attachmentComboBox->count(); ++i)
        items << m_attachmentComboBox->itemText(i);
    for (const QString& path : paths) {
        if (AttachmentExists(items, path))
            continue;
        m_attachmentComboBox->addItem(path);
        items << path;
    }
    m_attachmentComboBox->setCurrentIndex(0);
}

void MainForm::deleteAttachment() {
    if (m_attachmentComboBox->count() == 0) {
        ShowMessage(this, QStringLiteral("There is no file to delete."), QMessageBox::Warning);
        return;
    }
    const QString current = m_attachmentComboBox->currentText();
    if (current.isEmpty()) {
        WarnAndFocus(m_attachmentComboBox, QStringLiteral("Please specify a file to delete."));
        return;
    }
    if (!AskYesNo(this, QStringLiteral("Are you sure you want to delete '") + current + QStringLiteral("'?")))
        return;
    m_attachmentComboBox->removeItem(m_attachmentComboBox->currentIndex());
    m_attachmentComboBox->setCurrentIndex(m_attachmentComboBox->count() > 0 ? 0 : -1);
}

void MainForm::insertMergeMacro(int id) {
    for (const MergeMacro& m : MergeMacros)
        if (m.commandId == id)
            m_editor->DOM().pasteHTML(QString::fromLatin1(m.macro));
}

void MainForm::openRoutedWindow(int id) {
    if (id == CommandId::TechnicalSupport)
        technicalSupport();
    else
        CommandWindows::Open(id, this, *this);
}

void MainForm::openTransferWindow(bool import) {
    if (m_toComboBox->count() == 0) {
        WarnAndFocus(m_groupButton, import ? QStringLiteral("There is no group to import the data to.")
                                           : QStringLiteral("There is no group to export the data from."));
        return;
    }
    // The group list is not refreshed afterwards: the import adds recipients, never groups.
    if (import) {
        if (const auto& open = OpenRecipientImportWindow())
            open(this);
    } else if (const auto& open = OpenRecipientExportWindow()) {
        open(this);
    }
}

void MainForm::technicalSupport() {
    for (const char* key : {Keys::Name, Keys::Email, Keys::Server, Keys::Port}) {
        if (setting(Sections::Account, key).isEmpty()) {
            WarnAndFocus(m_emailButton,
                         QStringLiteral("Please fill out the Mail Account section in Email Manager."));
            return;
        }
    }
    CommandWindows::Open(CommandId::TechnicalSupport, this, *this);
}

void MainForm::showTipOfTheDay() {
    TipForced = true;
    TipForm::ShowTip(this);
    TipForced = false;
}
