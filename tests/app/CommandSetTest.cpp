// The main window's commands: file commands, formatting buttons, context menu,
// attachments and the Merge menu, driven as a user would through the window's own controls.
#include "app/CommandBars.h"
#include "app/MainForm.h"
#include "app/MainFormLogic.h"
#include "core/Database.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "recipients/forms/TransferWindows.h"
#include "sending/MergeMacros.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "ui/CommandWindows.h"
#include "ui/HelpViewer.h"
#include "ui/PrintDialog.h"
#include "ui/ShellOpener.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

// The Merge menu's command that inserts this macro.
CommandId::Id MergeCommand(const char* macro) {
    for (const MergeMacro& m : MergeMacros)
        if (qstrcmp(m.macro, macro) == 0)
            return CommandId::Id(m.commandId);
    ADD_FAILURE() << "no merge command for " << macro;
    return CommandId::Id(0);
}

void setting(const char* section, const char* key, const QString& value) {
    SaveSetting(QString::fromLatin1(section), QString::fromLatin1(key), value);
}

QString bodyText(MainForm& form) {
    return form.editor()->DOM().bodyOuterText().trimmed();
}

class CommandSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::ClearSettings();
        testenv::FreshDataPath();
        ASSERT_TRUE(folder.isValid());
    }

    QString path(const char* name) const { return folder.path() + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir folder;
    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers dialogs;
};

TEST_F(CommandSetTest, NewStartsAnEmptyDocumentOrTheSignatureWithoutAskingWhenNothingChanged) {
    MainForm form;
    form.editor()->SetDocumentHTML(QStringLiteral("<p>old</p>"));
    boxes.answer(QMessageBox::No);
    form.ExecuteCommand(CommandId::ToolNew); // the tool button
    ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("Do you want to save the changes?")});
    EXPECT_EQ(bodyText(form), QString());
    EXPECT_FALSE(form.editor()->IsDirty());

    setting(Sections::Signature, Keys::Status, QStringLiteral("1"));
    setting(Sections::Signature, Keys::Message, QStringLiteral("<p>Kind regards, Anna</p>"));
    form.ExecuteCommand(CommandId::New);
    EXPECT_EQ(boxes.seen().size(), 1u); // nothing was changed: no question
    EXPECT_EQ(bodyText(form), QStringLiteral("Kind regards, Anna"));
    // The signature is the new message's starting text, not a change to save.
    EXPECT_FALSE(form.editor()->IsDirty());
    EXPECT_TRUE(form.editor()->CurrentDocumentPath().isEmpty());
}

TEST_F(CommandSetTest, OpenSavesTheOldDocumentFirstAndThenLoadsTheChosenFile) {
    testenv::WriteFile(path("chosen.htm"), "<html><body><p>chosen</p></body></html>");
    MainForm form;
    form.editor()->SetDocumentHTML(QStringLiteral("<p>draft</p>"));

    // Yes, then the save dialog cancelled: nothing saved, nothing loaded.
    dialogs.answer(path("chosen.htm"));
    boxes.answer(QMessageBox::Yes);
    dialogs.answer(QString());
    form.ExecuteCommand(CommandId::Open);
    EXPECT_EQ(bodyText(form), QStringLiteral("draft"));

    // Cancel at the question: the same.
    dialogs.answer(path("chosen.htm"));
    boxes.answer(QMessageBox::Cancel);
    form.ExecuteCommand(CommandId::ToolOpen);
    EXPECT_EQ(bodyText(form), QStringLiteral("draft"));

    // Yes and a name: the draft is saved there, and the file first chosen is loaded.
    dialogs.answer(path("chosen.htm"));
    boxes.answer(QMessageBox::Yes);
    dialogs.answer(path("draft.htm"));
    form.ExecuteCommand(CommandId::Open);
    EXPECT_TRUE(testenv::ReadFile(path("draft.htm")).contains("draft"));
    EXPECT_EQ(bodyText(form), QStringLiteral("chosen"));
    EXPECT_EQ(form.editor()->CurrentDocumentPath(), path("chosen.htm"));
    EXPECT_FALSE(form.editor()->IsDirty());
    ASSERT_EQ(dialogs.seen().size(), 5u);
    EXPECT_EQ(dialogs.seen()[0].kind, FileDialogKind::Open);
    EXPECT_EQ(dialogs.seen()[0].title, QStringLiteral("Open"));
    EXPECT_EQ(dialogs.seen()[4].kind, FileDialogKind::Save);

    // Cancelling the open dialog asks nothing.
    const size_t asked = boxes.seen().size();
    dialogs.answer(QString());
    form.ExecuteCommand(CommandId::Open);
    EXPECT_EQ(boxes.seen().size(), asked);

    // A file that cannot be read is reported, and the document stays.
    dialogs.answer(path("missing.htm"));
    form.ExecuteCommand(CommandId::Open);
    EXPECT_TRUE(boxes.last().contains(QStringLiteral("could not be opened")));
    EXPECT_EQ(bodyText(form), QStringLiteral("chosen"));
}

TEST_F(CommandSetTest, OpenRefusesAFileThatIsNotTextAndKeepsTheChangedDocument) {
    // A fake PDF of a few megabytes: a text header, then a binary stream (NUL bytes included).
    QByteArray pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Length 3000000 >>\nstream\n";
    quint32 seed = 7;
    while (pdf.size() < 3 * 1024 * 1024) {
        seed = seed * 1103515245u + 12345u;
        pdf += char(seed >> 24);
    }
    testenv::WriteFile(path("manual.pdf"), pdf);
    MainForm form;
    form.editor()->SetDocumentHTML(QStringLiteral("<p>draft</p>"));
    ASSERT_TRUE(form.editor()->IsDirty());
    // Refused before the engine sees it: the page starts no load that could keep it busy.
    QSignalSpy loads(form.editor()->findChild<QWebEngineView*>()->page(), &QWebEnginePage::loadStarted);

    dialogs.answer(path("manual.pdf"));
    boxes.answer(QMessageBox::No); // the draft is not saved first
    form.ExecuteCommand(CommandId::Open);
    EXPECT_EQ(boxes.last(), QStringLiteral("The document '") + QDir::toNativeSeparators(path("manual.pdf")) +
                                QStringLiteral("' could not be opened."));

    // The draft is still there, still marked as changed.
    EXPECT_EQ(loads.count(), 0);
    EXPECT_EQ(bodyText(form), QStringLiteral("draft"));
    EXPECT_TRUE(form.editor()->IsDirty());
    EXPECT_TRUE(form.editor()->CurrentDocumentPath().isEmpty());
}

TEST_F(CommandSetTest, SaveWritesInPlaceButAnUntitledOrPreviewDocumentGoesThroughTheSaveDialog) {
    testenv::WriteFile(path("letter.htm"), "<html><body><p>letter</p></body></html>");
    MainForm form;
    ASSERT_TRUE(form.editor()->LoadDocument(path("letter.htm")));
    form.editor()->DOM().pasteHTML(QStringLiteral("<i>signed</i>"));
    form.ExecuteCommand(CommandId::Save);
    EXPECT_TRUE(dialogs.seen().empty());
    EXPECT_TRUE(testenv::ReadFile(path("letter.htm")).contains("signed"));
    EXPECT_FALSE(form.editor()->IsDirty());

    // A document whose file is the preview's body file is untitled.
    testenv::WriteFile(TempFolder() + QStringLiteral("Preview.htm"), "<p>preview</p>");
    ASSERT_TRUE(form.editor()->LoadDocument(TempFolder() + QStringLiteral("Preview.htm")));
    dialogs.answer(path("kept.htm"));
    form.ExecuteCommand(CommandId::ToolSave);
    ASSERT_EQ(dialogs.seen().size(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, QStringLiteral("Save"));
    EXPECT_TRUE(testenv::ReadFile(path("kept.htm")).contains("preview"));
    EXPECT_EQ(form.editor()->CurrentDocumentPath(), path("kept.htm"));

    // Save As onto a read-only file: No writes nothing, Yes unlocks and saves.
    testenv::WriteFile(path("locked.htm"), "old");
    QFile::setPermissions(path("locked.htm"), QFile::ReadOwner);
    dialogs.answer(path("locked.htm"));
    boxes.answer(QMessageBox::No);
    form.ExecuteCommand(CommandId::SaveAs);
    EXPECT_EQ(boxes.last(), QStringLiteral("The output file is locked.\nWould you like to unlock it now?"));
    EXPECT_EQ(testenv::ReadFile(path("locked.htm")), QByteArray("old"));
    dialogs.answer(path("locked.htm"));
    boxes.answer(QMessageBox::Yes);
    form.ExecuteCommand(CommandId::SaveAs);
    EXPECT_TRUE(testenv::ReadFile(path("locked.htm")).contains("preview"));

    // Save in place asks nothing and never writes over a file made read-only since: the user is told,
    // the file and its protection stay, and the changes are still unsaved.
    QFile::setPermissions(path("locked.htm"), QFile::ReadOwner);
    form.editor()->DOM().pasteHTML(QStringLiteral("<b>later</b>"));
    const auto before = boxes.seen().size();
    form.ExecuteCommand(CommandId::Save);
    ASSERT_EQ(boxes.seen().size(), before + 1);
    EXPECT_EQ(boxes.last(), QStringLiteral("The document could not be saved to '") + path("locked.htm") +
                                QStringLiteral("'."));
    EXPECT_FALSE(testenv::ReadFile(path("locked.htm")).contains("later"));
    EXPECT_EQ(QFile::permissions(path("locked.htm")) & QFile::WriteOwner, QFile::Permissions());
    EXPECT_TRUE(form.editor()->IsDirty());
    EXPECT_TRUE(dialogs.seen().size() == 3u);
}

TEST_F(CommandSetTest, PrintAsksFirstAndPrintsThroughThePrintDialogToAPdf) {
    MainForm form;
    form.editor()->SetDocumentHTML(QStringLiteral("<p>printed page</p>"));
    int dialogsShown = 0;
    const QString pdf = path("out.pdf");
    SetPrintDialogHook([&](QPrinter& printer) {
        ++dialogsShown;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return dialogsShown > 1; // the first showing is cancelled
    });
    boxes.answer(QMessageBox::No);
    form.ExecuteCommand(CommandId::Print);
    EXPECT_EQ(boxes.last(),
              QStringLiteral("Please consider your environmental responsibility before printing.\n"
                             "Do you still want to print this document?"));
    EXPECT_EQ(dialogsShown, 0);
    form.ExecuteCommand(CommandId::ToolPrint); // Yes, then the dialog is cancelled
    EXPECT_EQ(dialogsShown, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    form.ExecuteCommand(CommandId::Print);
    SetPrintDialogHook(nullptr);
    EXPECT_EQ(dialogsShown, 2);
    EXPECT_TRUE(testenv::ReadFile(pdf).startsWith("%PDF"));
    EXPECT_EQ(boxes.seen().size(), 3u);
}

TEST_F(CommandSetTest, ContextMenuItemsRunTheirEditingCommandsByPosition) {
    EXPECT_EQ(EditorContextMenuCaptions(),
              (QStringList{"Undo", "", "Cut", "Copy", "Paste", "Delete", "", "Select All"}));
    MainForm form;
    form.editor()->NewDocumentFrom(QStringLiteral("<p>Hello world</p>"));
    for (int nothing : {1, 6, 8, -1})
        emit form.editor()->ContextMenuAction(nothing);
    EXPECT_TRUE(form.editor()->DOM().selectionText().isEmpty());
    EXPECT_FALSE(form.editor()->IsDirty());
    emit form.editor()->ContextMenuAction(7); // Select All
    EXPECT_EQ(form.editor()->DOM().selectionText(), QStringLiteral("Hello world"));
    emit form.editor()->ContextMenuAction(5); // Delete
    EXPECT_EQ(bodyText(form), QString());
    emit form.editor()->ContextMenuAction(0); // Undo
    EXPECT_EQ(bodyText(form), QStringLiteral("Hello world"));
}

TEST_F(CommandSetTest, TheSubjectLosesOuterBlanksWhenTheFocusLeaves) {
    MainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    auto* subject = form.findChild<QLineEdit*>(QStringLiteral("SubjectTextBox"));
    subject->setFocus();
    subject->setText(QStringLiteral("  Spring  offers \t "));
    form.findChild<QComboBox*>(QStringLiteral("ToComboBox"))->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return subject->text() == QStringLiteral("Spring  offers \t"); }, 2000))
        << subject->text().toStdString();

    // A menu popping up over the box (its own Paste menu) or a switch to another program does not take
    // the focus from the box: "Spring " + Paste must not become "Spring" + the pasted word.
    for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        subject->setText(QStringLiteral("Spring "));
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(subject, &out);
        EXPECT_EQ(subject->text(), QStringLiteral("Spring ")) << int(reason);
    }
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(subject, &out);
    EXPECT_EQ(subject->text(), QStringLiteral("Spring"));
}

TEST_F(CommandSetTest, FileAttachmentAddsEachChosenFileOnce) {
    MainForm form;
    auto* list = form.findChild<QComboBox*>(QStringLiteral("AttachmentComboBox"));
    auto* button = form.findChild<QPushButton*>(QStringLiteral("FileAttachmentButton"));
    dialogs.answer(QStringLiteral("/data/a.pdf\n/data/b.pdf\n/data/c.pdf"));
    button->click();
    ASSERT_EQ(dialogs.seen().size(), 1u);
    EXPECT_EQ(dialogs.seen()[0].kind, FileDialogKind::OpenFiles);
    EXPECT_EQ(dialogs.seen()[0].title, QStringLiteral("File Attachment"));
    list->setCurrentIndex(2);
    dialogs.answer(QStringLiteral("/data/b.pdf\n/data/B.pdf"));
    form.ExecuteCommand(CommandId::FileAttachment);
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    EXPECT_EQ(items, (QStringList{"/data/a.pdf", "/data/b.pdf", "/data/c.pdf", "/data/B.pdf"}));
    EXPECT_EQ(list->currentIndex(), 0);

    // A cancelled dialog leaves the list and its selection alone.
    list->setCurrentIndex(3);
    dialogs.answer(QString());
    form.ExecuteCommand(CommandId::FileAttachment);
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(list->currentIndex(), 3);

    EXPECT_TRUE(AttachmentExists(items, QStringLiteral("/data/B.pdf")));
    EXPECT_FALSE(AttachmentExists(items, QStringLiteral("/data/A.pdf")));
    EXPECT_FALSE(AttachmentExists({}, QStringLiteral("/data/a.pdf")));
}

TEST_F(CommandSetTest, DeleteAttachmentExplainsWhatIsMissingAndAsksBeforeRemoving) {
    MainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    auto* list = form.findChild<QComboBox*>(QStringLiteral("AttachmentComboBox"));
    auto* button = form.findChild<QPushButton*>(QStringLiteral("DeleteAttachmentButton"));
    button->click();
    EXPECT_EQ(boxes.last(), QStringLiteral("There is no file to delete."));
    EXPECT_EQ(boxes.seen().back().icon, QMessageBox::Warning);

    list->addItems({QStringLiteral("/data/a.pdf"), QStringLiteral("/data/b.pdf")});
    list->setCurrentIndex(-1);
    form.ExecuteCommand(CommandId::DeleteAttachment);
    EXPECT_EQ(boxes.last(), QStringLiteral("Please specify a file to delete."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }, 2000));

    list->setCurrentIndex(1);
    boxes.answer(QMessageBox::No);
    form.ExecuteCommand(CommandId::DeleteAttachment);
    EXPECT_EQ(boxes.last(), QStringLiteral("Are you sure you want to delete '/data/b.pdf'?"));
    EXPECT_EQ(list->count(), 2);

    boxes.answer(QMessageBox::Yes);
    form.ExecuteCommand(CommandId::DeleteAttachment);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentText(), QStringLiteral("/data/a.pdf"));
    boxes.answer(QMessageBox::Yes);
    form.ExecuteCommand(CommandId::DeleteAttachment);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(list->currentText(), QString());
}

TEST_F(CommandSetTest, MergeItemsPutTheirMacroAtTheCaretOrInPlaceOfTheSelection) {
    MainForm form;
    form.ExecuteCommand(MergeCommand("$*MergeEmail*$"));
    EXPECT_EQ(bodyText(form), QStringLiteral("$*MergeEmail*$"));
    EXPECT_TRUE(form.editor()->IsDirty());
    form.ExecuteCommand(MergeCommand("$*MergeIPAddress*$"));
    EXPECT_EQ(bodyText(form), QStringLiteral("$*MergeEmail*$$*MergeIPAddress*$"));

    form.editor()->NewDocumentFrom(QStringLiteral("<p>ACME</p>"));
    form.ExecuteCommand(CommandId::SelectAll); // Select All
    form.ExecuteCommand(MergeCommand("$*MergeCompany*$"));
    EXPECT_EQ(bodyText(form), QStringLiteral("$*MergeCompany*$"));
}

TEST_F(CommandSetTest, ImportAndExportRecipientsNeedAGroup) {
    int imports = 0, exports = 0;
    const auto oldImport = OpenRecipientImportWindow();
    const auto oldExport = OpenRecipientExportWindow();
    OpenRecipientImportWindow() = [&](QWidget*) { return ++imports > 0; };
    OpenRecipientExportWindow() = [&](QWidget*) { ++exports; };
    {
        MainForm form;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        auto* group = form.findChild<QPushButton*>(QStringLiteral("GroupButton"));
        form.ExecuteCommand(CommandId::ImportRecipients);
        EXPECT_EQ(boxes.last(), QStringLiteral("There is no group to import the data to."));
        EXPECT_TRUE(QTest::qWaitFor([&] { return group->hasFocus(); }, 2000));
        form.ExecuteCommand(CommandId::ExportRecipients);
        EXPECT_EQ(boxes.last(), QStringLiteral("There is no group to export the data from."));
        EXPECT_EQ(imports + exports, 0);

        form.findChild<QComboBox*>(QStringLiteral("ToComboBox"))->addItem(QStringLiteral("Customers"));
        form.ExecuteCommand(CommandId::ImportRecipients);
        form.ExecuteCommand(CommandId::ExportRecipients);
        EXPECT_EQ(imports, 1);
        EXPECT_EQ(exports, 1);
        EXPECT_EQ(boxes.seen().size(), 2u);
    }
    OpenRecipientImportWindow() = oldImport;
    OpenRecipientExportWindow() = oldExport;
}

TEST_F(CommandSetTest, TechnicalSupportNeedsTheWholeMailAccount) {
    int opened = 0;
    CommandWindows::Register(CommandId::TechnicalSupport, [&](QWidget*, Composer&) { ++opened; });
    MainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    setting(Sections::Account, Keys::Name, QStringLiteral("Anna"));
    setting(Sections::Account, Keys::Email, QStringLiteral("anna@example.com"));
    setting(Sections::Account, Keys::Server, QStringLiteral("mail.example.com"));
    form.ExecuteCommand(CommandId::TechnicalSupport);
    EXPECT_EQ(boxes.last(), QStringLiteral("Please fill out the Mail Account section in Email Manager."));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form.findChild<QPushButton*>(QStringLiteral("EmailButton"))->hasFocus(); }, 2000));
    EXPECT_EQ(opened, 0);
    setting(Sections::Account, Keys::Port, QStringLiteral("25"));
    form.ExecuteCommand(CommandId::TechnicalSupport);
    EXPECT_EQ(opened, 1);
    CommandWindows::Register(CommandId::TechnicalSupport, nullptr);
}

TEST_F(CommandSetTest, HomePageGoesToTheDesktopOpener) {
    QStringList opened;
    SetWebPageOpenerForTesting([&](const QString& address) {
        opened << address;
        return true;
    });
    // The maker's site is the one the update check and the support page use.
    qputenv("VELANTO_TEST_MAKER_HOST", "127.0.0.1:8080");
    MainForm form;
    form.ExecuteCommand(CommandId::HomePage);
    form.ExecuteCommand(CommandId::Id(1129)); // beyond the table: nothing
    form.ExecuteCommand(CommandId::Id(1065)); // a gap in the ids: nothing
    qunsetenv("VELANTO_TEST_MAKER_HOST");
    SetWebPageOpenerForTesting(nullptr);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QStringLiteral("https://127.0.0.1:8080/"));
}

// The Help command and F1 (which the status bar promises) open the main window's page.
TEST_F(CommandSetTest, HelpAndF1OpenTheWelcomePage) {
    MainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto viewer = [&] { return form.findChild<HelpViewer*>(); };
    form.ExecuteCommand(CommandId::Help);
    ASSERT_NE(viewer(), nullptr);
    EXPECT_EQ(viewer()->currentPage(), QStringLiteral("Welcome.htm"));
    viewer()->close();
    viewer()->showPage(QStringLiteral("Other.htm"));
    QTest::keyClick(form.findChild<QLineEdit*>(QStringLiteral("SubjectTextBox")), Qt::Key_F1);
    EXPECT_EQ(viewer()->currentPage(), QStringLiteral("Welcome.htm"));
    EXPECT_TRUE(viewer()->isVisible());
}

} // namespace
