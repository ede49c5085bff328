#include "app/MainForm.h"
#include "app/KeyboardIndicators.h"
#include "app/LockState.h"
#include "app/MainFormLogic.h"
#include "core/Database.h"
#include "core/Globals.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "sending/forms/ComposerInput.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "ui/ShellOpener.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes = "x") {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void addGroup(const QString& name) {
    Connection db;
    ASSERT_TRUE(db.Open());
    ASSERT_EQ(db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('") +
                              SqlQuote(name) + QStringLiteral("')")),
              1);
}

void setting(const char* section, const char* key, const QString& value) {
    SaveSetting(QString::fromLatin1(section), QString::fromLatin1(key), value);
}

template <typename T>
T* child(QWidget* form, const char* name) {
    T* w = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::ClearSettings();
        testenv::FreshDataPath();
        ShuttingDown = false;
    }
    void TearDown() override { ShuttingDown = false; }

    testenv::MessageBoxRecorder boxes;
};

TEST_F(MainFormTest, LoadFillsTheFieldsFromSettingsAndDatabase) {
    setting(Sections::Account, Keys::Name, QStringLiteral("Anna Lind"));
    setting(Sections::Account, Keys::Email, QStringLiteral("anna@example.com"));
    setting(Sections::Account, Keys::Method, QStringLiteral("Bulk"));
    addGroup(QStringLiteral("Zeta"));
    addGroup(QStringLiteral("Alpha's"));

    MainForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Torvale Velanto Ostrel Edition"));
    auto* from = child<QComboBox>(&form, "FromComboBox");
    ASSERT_EQ(from->count(), 1);
    EXPECT_EQ(from->currentText(), QStringLiteral("Anna Lind <anna@example.com>"));
    auto* to = child<QComboBox>(&form, "ToComboBox");
    ASSERT_EQ(to->count(), 2);
    EXPECT_EQ(to->itemText(0), QStringLiteral("Zeta")); // table order, not sorted
    EXPECT_EQ(to->itemText(1), QStringLiteral("Alpha's"));
    EXPECT_EQ(to->currentIndex(), 0);
    auto* method = child<QComboBox>(&form, "SendingMethodComboBox");
    EXPECT_EQ(method->count(), 3);
    EXPECT_EQ(method->currentText(), QStringLiteral("Bulk Sending"));
    auto* priority = child<QComboBox>(&form, "PriorityComboBox");
    EXPECT_EQ(priority->itemText(0), QStringLiteral("Low"));
    EXPECT_EQ(priority->itemText(2), QStringLiteral("High"));
    EXPECT_EQ(priority->currentText(), QStringLiteral("Normal"));
    auto* format = child<QComboBox>(&form, "FormatComboBox");
    EXPECT_EQ(format->count(), 2);
    EXPECT_EQ(format->currentText(), QStringLiteral("HTML"));
    EXPECT_EQ(child<QCheckBox>(&form, "RRRCheckBox")->text(), QStringLiteral("Request read receipt"));
    EXPECT_EQ(child<QPushButton>(&form, "SignatureButton")->text(), QStringLiteral("Signature Manager"));

    // The windows it opens read the message from these controls.
    const Composer& message = form;
    EXPECT_EQ(message.Group(), QStringLiteral("Zeta"));
    EXPECT_EQ(message.GroupCount(), 2);
    EXPECT_EQ(message.Editor(), form.editor());
    EXPECT_EQ(message.Priority(), MessagePriority::Normal);
    EXPECT_EQ(message.Format(), MessageFormat::Html);
    EXPECT_FALSE(message.ReadReceipt());

    const QStringList panes = {
        child<QLabel>(&form, "MessagePane")->text(), child<QLabel>(&form, "InsPane")->text(),
        child<QLabel>(&form, "CapsPane")->text(), child<QLabel>(&form, "NumPane")->text()};
    EXPECT_EQ(panes, (QStringList{"For Help Press F1", "INS", "CAPS", "NUM"}));
}

// What an imported message changes lands in the controls: the subject, the format, and the files
// appended to the attachment list (its first file shown).
TEST_F(MainFormTest, WindowsChangeTheMessageThroughTheComposer) {
    MainForm form;
    auto* attachments = child<QComboBox>(&form, "AttachmentComboBox");
    attachments->addItem(QStringLiteral("/tmp/mine.pdf"));
    attachments->setCurrentIndex(-1);
    Composer& message = form;
    message.SetSubject(QStringLiteral("Imported"));
    message.SetFormat(MessageFormat::Text);
    message.AddAttachments({QStringLiteral("/tmp/a.txt"), QStringLiteral("/tmp/b.txt")});
    EXPECT_EQ(child<QLineEdit>(&form, "SubjectTextBox")->text(), QStringLiteral("Imported"));
    EXPECT_EQ(child<QComboBox>(&form, "FormatComboBox")->currentText(), QStringLiteral("Text"));
    EXPECT_EQ(message.Attachments(),
              QStringList({QStringLiteral("/tmp/mine.pdf"), QStringLiteral("/tmp/a.txt"),
                           QStringLiteral("/tmp/b.txt")}));
    EXPECT_EQ(attachments->currentIndex(), 0);
}

TEST_F(MainFormTest, LoadLeavesListsEmptyWhenSettingsOrGroupsAreMissing) {
    setting(Sections::Account, Keys::Name, QStringLiteral("Anna Lind"));
    setting(Sections::Account, Keys::Method, QStringLiteral("Other"));
    MainForm form;
    EXPECT_EQ(child<QComboBox>(&form, "FromComboBox")->count(), 0);
    EXPECT_EQ(child<QComboBox>(&form, "ToComboBox")->count(), 0);
    EXPECT_EQ(child<QComboBox>(&form, "ToComboBox")->currentIndex(), -1);
    EXPECT_EQ(child<QComboBox>(&form, "SendingMethodComboBox")->currentText(), QString());

    EXPECT_EQ(SenderItemText(QString(), QStringLiteral("a@b.c")), QString());
}

TEST_F(MainFormTest, LoadStartsWithTheSignatureWhenItIsOn) {
    setting(Sections::Signature, Keys::Status, QStringLiteral("1"));
    setting(Sections::Signature, Keys::Message, QStringLiteral("<p>Kind regards, Anna</p>"));
    testenv::FileDialogAnswers dialogs; // a save dialog, should one come, is cancelled
    {
        MainForm form;
        EXPECT_TRUE(form.editor()->DocumentHTML().contains(QStringLiteral("Kind regards, Anna")));
        EXPECT_EQ(child<QComboBox>(&form, "SendingMethodComboBox")->currentText(),
                  QStringLiteral("Personal Sending"));
        // The signature is where a new message starts, not a change: closing untouched asks nothing.
        EXPECT_FALSE(form.editor()->IsDirty());
        EXPECT_TRUE(form.editor()->CurrentDocumentPath().isEmpty());
        EXPECT_TRUE(form.close());
        EXPECT_TRUE(boxes.seen().empty());
    }
    // Content the user asked for (a template, an imported body) is a change.
    MainForm form;
    form.editor()->SetDocumentHTML(QStringLiteral("<p>template</p>"));
    EXPECT_TRUE(form.editor()->IsDirty());
}

// The window never gets smaller than its layout needs: no control is cut off at its minimum size.
TEST_F(MainFormTest, AtItsMinimumSizeEveryControlIsWhole) {
    MainForm form;
    form.resize(900, 700);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    HookMinWinSize(&form);
    form.resize(1, 1);
    // The window system takes the new size in its own time; the layout follows it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowHandle()->size() == form.minimumSize(); }, 5000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QWidget* client = child<QWidget>(&form, "ClientArea");
    for (QWidget* w : client->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow() || w->objectName().isEmpty())
            continue;
        const QRect placed(w->mapTo(client, QPoint(0, 0)), w->size());
        EXPECT_TRUE(client->rect().contains(placed)) << w->objectName().toStdString();
        if (qobject_cast<QLabel*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QPushButton*>(w) ||
            qobject_cast<QCheckBox*>(w)) {
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
        }
    }
}

TEST_F(MainFormTest, TypingInTheEditorMarksTheDocumentModified) {
    MainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    HtmlEditor* editor = form.editor();
    ASSERT_FALSE(editor->IsDirty());
    QWidget* target = editor;
    for (QWidget* w : editor->findChildren<QWidget*>())
        if (w->focusPolicy() != Qt::NoFocus) {
            target = w;
            break;
        }
    target->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return target->hasFocus(); }, 5000));
    for (char c : QByteArray("Hello"))
        QTest::keyClick(form.windowHandle(), c);
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor->IsDirty(); }, 5000));
}

TEST_F(MainFormTest, InsertKeyTogglesTheInsPaneAndOtherKeysDoNot) {
    MainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* ins = child<QLabel>(&form, "InsPane");
    EXPECT_FALSE(ins->isEnabled());
    QTest::keyClick(form.windowHandle(), Qt::Key_Insert);
    EXPECT_TRUE(ins->isEnabled());
    QTest::keyClick(form.windowHandle(), Qt::Key_A);
    QTest::keyClick(form.windowHandle(), Qt::Key_Delete);
    EXPECT_TRUE(ins->isEnabled());
    QTest::keyClick(form.windowHandle(), Qt::Key_Insert);
    EXPECT_FALSE(ins->isEnabled());
}

TEST_F(MainFormTest, LockPanesShowTheSystemsStateWhenTheWindowOpensAndGetsTheFocusBack) {
    std::optional<LockState> locks = LockState{true, false};
    SetLockStateReaderForTesting([&locks] { return locks; });
    MainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* caps = child<QLabel>(&form, "CapsPane");
    auto* num = child<QLabel>(&form, "NumPane");
    EXPECT_TRUE(caps->isEnabled());
    EXPECT_FALSE(num->isEnabled());
    // Changed in another program: seen when the window gets the focus back.
    locks = LockState{false, true};
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    EXPECT_FALSE(caps->isEnabled());
    EXPECT_TRUE(num->isEnabled());
    // Caps Lock pressed in the window: its release still carries the old state, the system has the new.
    locks = LockState{true, true};
    QTest::keyRelease(form.windowHandle(), Qt::Key_CapsLock);
    EXPECT_TRUE(caps->isEnabled());
    locks = LockState{false, true};
    QTest::keyRelease(form.windowHandle(), Qt::Key_CapsLock);
    EXPECT_FALSE(caps->isEnabled());
    // A platform that gives no state leaves the panes as they are.
    locks.reset();
    QApplication::sendEvent(&form, &activate);
    EXPECT_TRUE(num->isEnabled());
    SetLockStateReaderForTesting(nullptr);
}

TEST(KeyboardIndicatorsTest, LockStatesFollowTheX11ModifierBits) {
    KeyboardIndicators keys;
    // Caps Lock's own press carries the old state, its release the new one.
    EXPECT_FALSE(keys.keyEvent(true, Qt::Key_CapsLock, false, 0, true));
    EXPECT_TRUE(keys.keyEvent(false, Qt::Key_CapsLock, false, KeyboardIndicators::X11LockMask, true));
    EXPECT_TRUE(keys.capsOn());
    EXPECT_FALSE(keys.numOn());
    EXPECT_TRUE(keys.keyEvent(true, Qt::Key_A, false, KeyboardIndicators::X11NumLockMask, true));
    EXPECT_FALSE(keys.capsOn());
    EXPECT_TRUE(keys.numOn());
    // Other window systems report nothing: the panes keep their state.
    EXPECT_FALSE(keys.keyEvent(true, Qt::Key_A, false, 0, false));
    EXPECT_TRUE(keys.numOn());
    // Holding Insert down flips it once.
    EXPECT_TRUE(keys.keyEvent(true, Qt::Key_Insert, false, 0, false));
    EXPECT_FALSE(keys.keyEvent(true, Qt::Key_Insert, true, 0, false));
    EXPECT_TRUE(keys.insertOn());
}

// The close: save prompt and clean-up.
class MainFormCloseTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        originalProgramFolder = ProgramFolder();
        ASSERT_TRUE(program.isValid());
        SetProgramFolderForTesting(program.path());
        writeFile(TempFolder() + QStringLiteral("Preview.htm"), "<p>preview</p>");
        writeFile(TempFolder() + QStringLiteral("Preview.eml"));
        writeFile(program.path() + QStringLiteral("/a.tmp"));
        writeFile(program.path() + QStringLiteral("/B.TMP"));
        writeFile(program.path() + QStringLiteral("/keep.txt"));
        writeFile(importBody() + QStringLiteral("/part/body.htm"));
        QFile::setPermissions(importBody() + QStringLiteral("/part/body.htm"), QFile::ReadOwner);
        QFile::setPermissions(importBody() + QStringLiteral("/part"), QFile::ReadOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        SetProgramFolderForTesting(originalProgramFolder);
        MainFormTest::TearDown();
    }

    QString importBody() const { return DataPath() + QStringLiteral("ImportBody"); }

    bool temporaryFilesRemain() const {
        return QFileInfo::exists(TempFolder() + QStringLiteral("Preview.htm")) &&
               QFileInfo::exists(TempFolder() + QStringLiteral("Preview.eml")) &&
               QFileInfo::exists(program.path() + QStringLiteral("/a.tmp")) &&
               QFileInfo::exists(importBody() + QStringLiteral("/part/body.htm"));
    }
    bool temporaryFilesGone() const {
        return !QFileInfo::exists(TempFolder() + QStringLiteral("Preview.htm")) &&
               !QFileInfo::exists(TempFolder() + QStringLiteral("Preview.eml")) &&
               !QFileInfo::exists(program.path() + QStringLiteral("/a.tmp")) &&
               !QFileInfo::exists(program.path() + QStringLiteral("/B.TMP")) &&
               QFileInfo::exists(program.path() + QStringLiteral("/keep.txt")) &&
               !QFileInfo::exists(importBody());
    }

    // A modified document that came from the preview's temporary file.
    void modifyPreviewDocument(MainForm& form) {
        ASSERT_TRUE(form.editor()->LoadDocument(TempFolder() + QStringLiteral("Preview.htm")));
        form.editor()->DOM().pasteHTML(QStringLiteral("<b>changed</b>"));
        ASSERT_TRUE(form.editor()->IsDirty());
    }

    QString originalProgramFolder;
    QTemporaryDir program;
    testenv::FileDialogAnswers dialogs;
};

TEST_F(MainFormCloseTest, AnUnmodifiedDocumentClosesWithoutAskingAndCleansUp) {
    MainForm form;
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_TRUE(temporaryFilesGone());
}

TEST_F(MainFormCloseTest, CancelKeepsTheWindowAndEveryFile) {
    MainForm form;
    modifyPreviewDocument(form);
    boxes.answer(QMessageBox::Cancel);
    EXPECT_FALSE(form.close());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.last(), QStringLiteral("Do you want to save the changes?"));
    EXPECT_EQ(boxes.seen()[0].icon, QMessageBox::Question);
    EXPECT_EQ(boxes.seen()[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_TRUE(form.editor()->IsDirty());
    EXPECT_TRUE(temporaryFilesRemain());
}

TEST_F(MainFormCloseTest, YesAfterAPreviewGoesThroughTheSaveDialog) {
    MainForm form;
    modifyPreviewDocument(form);
    const QString target = program.path() + QStringLiteral("/saved.htm");
    boxes.answer(QMessageBox::Yes);
    dialogs.answer(target);
    EXPECT_TRUE(form.close());
    ASSERT_EQ(dialogs.seen().size(), 1u);
    EXPECT_EQ(dialogs.seen()[0].kind, FileDialogKind::Save);
    EXPECT_EQ(dialogs.seen()[0].title, QStringLiteral("Save"));
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("changed"));
    EXPECT_TRUE(temporaryFilesGone());
}

TEST_F(MainFormCloseTest, ACancelledSaveDialogOrAFailedSaveKeepsTheWindowOpen) {
    MainForm form;
    modifyPreviewDocument(form);
    boxes.answer(QMessageBox::Yes);
    dialogs.answer(QString());
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(temporaryFilesRemain());

    boxes.answer(QMessageBox::Yes);
    dialogs.answer(program.path() + QStringLiteral("/no such folder/saved.htm"));
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(boxes.last().startsWith(QStringLiteral("The document could not be saved")));
    EXPECT_TRUE(form.editor()->IsDirty());
    EXPECT_TRUE(temporaryFilesRemain());
}

TEST_F(MainFormCloseTest, YesSavesATitledDocumentInPlace) {
    const QString file = program.path() + QStringLiteral("/letter.htm");
    writeFile(file, "<html><body><p>letter</p></body></html>");
    MainForm form;
    ASSERT_TRUE(form.editor()->LoadDocument(file));
    form.editor()->DOM().pasteHTML(QStringLiteral("<i>signed</i>"));
    boxes.answer(QMessageBox::Yes);
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(dialogs.seen().empty());
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("signed"));
}

TEST_F(MainFormCloseTest, NoOrAShutdownDiscardTheChanges) {
    {
        MainForm form;
        modifyPreviewDocument(form);
        boxes.answer(QMessageBox::No);
        EXPECT_TRUE(form.close());
        EXPECT_TRUE(dialogs.seen().empty());
        EXPECT_TRUE(temporaryFilesGone());
    }
    writeFile(TempFolder() + QStringLiteral("Preview.htm"), "<p>preview</p>");
    MainForm form;
    modifyPreviewDocument(form);
    const size_t asked = boxes.seen().size();
    ShuttingDown = true;
    EXPECT_TRUE(form.close());
    EXPECT_EQ(boxes.seen().size(), asked);
}

// The send run's body file and the preview are saves of the program's own: the document stays modified,
// the close still asks, and Yes goes through the save dialog (the preview's file counts as untitled).
TEST_F(MainFormCloseTest, AfterASendOrAPreviewTheCloseStillAsksToSave) {
    QStringList shown;
    SetFileOpenerForTesting([&](const QString& path) {
        shown << path;
        return true;
    });
    for (const char* what : {"send", "preview"}) {
        SCOPED_TRACE(what);
        const size_t asked = boxes.seen().size();
        const QString target =
            program.path() + QStringLiteral("/") + QLatin1String(what) + QStringLiteral(".htm");
        MainForm form;
        form.editor()->DOM().pasteHTML(QStringLiteral("<b>composed</b>"));
        ASSERT_TRUE(form.editor()->IsDirty());
        if (QLatin1String(what) == QLatin1String("send"))
            EXPECT_EQ(SendRunInputFrom(form).writeHtmlBody(), TempFolder() + QStringLiteral("Preview.htm"));
        else
            form.ExecuteCommand(CommandId::Preview);
        QFile body(TempFolder() + QStringLiteral("Preview.htm"));
        ASSERT_TRUE(body.open(QIODevice::ReadOnly));
        EXPECT_TRUE(body.readAll().contains("composed"));
        EXPECT_TRUE(form.editor()->IsDirty());

        boxes.answer(QMessageBox::Yes);
        dialogs.answer(target);
        EXPECT_TRUE(form.close());
        ASSERT_EQ(boxes.seen().size(), asked + 1);
        EXPECT_EQ(boxes.last(), QStringLiteral("Do you want to save the changes?"));
        ASSERT_FALSE(dialogs.seen().empty());
        EXPECT_EQ(dialogs.seen().back().kind, FileDialogKind::Save);
        QFile saved(target);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_TRUE(saved.readAll().contains("composed"));
    }
    SetFileOpenerForTesting(nullptr);
    EXPECT_EQ(shown, QStringList{TempFolder() + QStringLiteral("Preview.eml")});
}

TEST_F(MainFormCloseTest, TemporaryCopiesCountAsUntitled) {
    EXPECT_TRUE(IsUntitledDocumentPath(QString()));
    EXPECT_TRUE(IsUntitledDocumentPath(TempFolder() + QStringLiteral("Preview.htm")));
    EXPECT_TRUE(IsUntitledDocumentPath(importBody() + QStringLiteral("/part/body.htm")));
    EXPECT_FALSE(IsUntitledDocumentPath(importBody() + QStringLiteral("Copy/body.htm")));
    EXPECT_FALSE(IsUntitledDocumentPath(TempFolder() + QStringLiteral("Letter.htm")));
}

} // namespace
