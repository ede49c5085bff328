// The composer's document on disk: an imported message saved elsewhere keeps its pictures, every import
// leaves an untitled document, Open answers at once on anything but a file, and the program's own copies
// (preview, send) never replace a locked document.
#include "app/MainForm.h"
#include "core/Globals.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "sending/forms/ComposerInput.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tools/forms/MessageImport.h"
#include "ui/ShellOpener.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Failures show texts, not their bytes.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

QByteArray png() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray htmlMessage() {
    return "From: ann@example.com\r\nTo: bob@example.com\r\nSubject: Logo\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/related; boundary=\"b1\"\r\n\r\n"
           "--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
           "<html><body><p>Our logo</p><img src=\"cid:logo@test\"></body></html>\r\n"
           "--b1\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-ID: <logo@test>\r\nContent-Disposition: inline; filename=\"logo.png\"\r\n\r\n" +
           png().toBase64() + "\r\n--b1--\r\n";
}

QByteArray textMessage() {
    return "From: ann@example.com\r\nTo: bob@example.com\r\nSubject: Plain\r\nMIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n\r\nJust text.\r\n";
}

// The src values of the img elements of a saved file.
QStringList pictureSources(const QString& path) {
    static const QRegularExpression src(QStringLiteral("<img[^>]*\\ssrc=\"([^\"]*)\""));
    QStringList sources;
    for (const auto& m : src.globalMatch(QString::fromUtf8(testenv::ReadFile(path))))
        sources << m.captured(1);
    return sources;
}

class ComposerDocumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::ClearSettings();
        testenv::FreshDataPath();
        ShuttingDown = false;
        ASSERT_TRUE(folder.isValid());
        SetFileOpenerForTesting([this](const QString& path) {
            opened << path;
            return openerAnswer;
        });
    }
    void TearDown() override { SetFileOpenerForTesting(nullptr); }

    QString path(const char* name) const { return folder.filePath(QLatin1String(name)); }

    QTemporaryDir folder;
    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers dialogs;
    QStringList opened;
    bool openerAnswer = true;
};

TEST_F(ComposerDocumentsTest, AnImportedMessageSavedElsewhereKeepsItsPicturesAfterTheProgramEnds) {
    testenv::WriteFile(path("message.eml"), htmlMessage());
    testenv::WriteFile(path("own.png"), png());
    const QString saved = path("mine.htm");
    const QString ownPicture = QUrl::fromLocalFile(path("own.png")).toString(QUrl::FullyEncoded);
    {
        MainForm form;
        ASSERT_TRUE(ImportMessageIntoComposer(path("message.eml"), form).done);
        // A picture of the user's own, elsewhere on disk, goes in beside the imported one.
        form.editor()->DOM().pasteHTML(QStringLiteral("<img src=\"%1\">").arg(ownPicture));
        dialogs.answer(saved);
        form.ExecuteCommand(CommandId::Save);
        ASSERT_EQ(dialogs.seen().size(), 1u) << "an imported message is untitled";
        ASSERT_FALSE(form.editor()->IsDirty()) << boxes.last().toStdString();

        // The send run's copy of the body leaves the document's own file and its pictures alone.
        EXPECT_EQ(SendRunInputFrom(form).writeHtmlBody(), TempFolder() + QStringLiteral("Preview.htm"));
        form.close();
    }
    // What the close leaves of the program's folders is gone as well.
    QDir(DataPath() + QStringLiteral("ImportBody")).removeRecursively();
    QDir(TempFolder()).removeRecursively();

    const QStringList sources = pictureSources(saved);
    ASSERT_EQ(sources.size(), 2) << testenv::ReadFile(saved).toStdString();
    EXPECT_TRUE(sources[0].startsWith(QLatin1String("mine_files/"))) << sources[0].toStdString();
    EXPECT_EQ(testenv::ReadFile(folder.filePath(QUrl::fromPercentEncoding(sources[0].toUtf8()))), png());
    EXPECT_EQ(sources[1], ownPicture) << "the user's own picture stays where it is";
    EXPECT_EQ(QDir(path("mine_files")).entryList(QDir::Files).size(), 1);

    // Opened again, the document shows its picture.
    HtmlEditor editor;
    ASSERT_TRUE(editor.LoadDocument(saved));
    QElapsedTimer clock;
    clock.start();
    int width = 0;
    while ((width = editor.EvaluateScript(QStringLiteral("document.images[0].naturalWidth")).toInt()) == 0 &&
           clock.elapsed() < 20000)
        QTest::qWait(50);
    EXPECT_EQ(width, 4);
}

TEST_F(ComposerDocumentsTest, EveryImportLeavesAnUntitledDocument) {
    testenv::WriteFile(path("news.htm"), "<html><body><p>News</p></body></html>");
    testenv::WriteFile(path("plain.eml"), textMessage());
    testenv::WriteFile(path("message.eml"), htmlMessage());
    MainForm form;
    for (const char* message : {"plain.eml", "message.eml"}) {
        SCOPED_TRACE(message);
        if (form.editor()->IsDirty())
            boxes.answer(QMessageBox::No); // the import before is dropped
        dialogs.answer(path("news.htm"));
        form.ExecuteCommand(CommandId::Open);
        ASSERT_EQ(form.editor()->CurrentDocumentPath(), path("news.htm"));
        ASSERT_TRUE(ImportMessageIntoComposer(path(message), form).done);

        // Save asks for a name; cancelled, nothing is written anywhere.
        const size_t asked = dialogs.seen().size();
        dialogs.answer(QString());
        form.ExecuteCommand(CommandId::Save);
        ASSERT_EQ(dialogs.seen().size(), asked + 1);
        EXPECT_EQ(dialogs.seen().back().kind, FileDialogKind::Save);
        EXPECT_EQ(testenv::ReadFile(path("news.htm")), QByteArray("<html><body><p>News</p></body></html>"));
    }
}

TEST_F(ComposerDocumentsTest, OpenOnANamedPipeIsAnsweredAtOnce) {
    const QString pipe = path("pipe.htm");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    // Should the program wait for a writer, one comes after a long while so that the test ends.
    std::atomic<bool> answered = false;
    std::atomic<bool> rescued = false;
    std::thread rescuer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!answered && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (answered)
            return;
        rescued = true;
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    MainForm form;
    form.editor()->DOM().pasteHTML(QStringLiteral("<p>draft</p>"));
    dialogs.answer(pipe);
    boxes.answer(QMessageBox::No);
    form.ExecuteCommand(CommandId::Open);
    answered = true;
    rescuer.join();
    EXPECT_FALSE(rescued) << "Open waited for someone to write into the pipe";
    EXPECT_EQ(boxes.last(), QStringLiteral("The document '") + QDir::toNativeSeparators(pipe) +
                                QStringLiteral("' could not be opened."));
    EXPECT_TRUE(form.editor()->DOM().bodyOuterText().contains(QLatin1String("draft")));
}

TEST_F(ComposerDocumentsTest, PreviewAndSendNeverReplaceALockedDocument) {
    testenv::WriteFile(path("picture.png"), png());
    const QByteArray original = "<html><body><p>Locked</p><img src=\"picture.png\"></body></html>";
    testenv::WriteFile(path("locked.htm"), original);
    ASSERT_TRUE(
        QFile::setPermissions(path("locked.htm"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path("locked.htm")).constData(), &before), 0);

    MainForm form;
    form.SetFormat(MessageFormat::Html);
    ASSERT_TRUE(form.editor()->LoadDocument(path("locked.htm")));
    form.editor()->DOM().pasteHTML(QStringLiteral("<b>edited</b>"));

    form.ExecuteCommand(CommandId::Preview);
    ASSERT_EQ(opened, QStringList{TempFolder() + QStringLiteral("Preview.eml")})
        << boxes.last().toStdString();
    const QByteArray eml = testenv::ReadFile(opened[0]);
    EXPECT_TRUE(eml.contains("edited"));
    EXPECT_TRUE(eml.contains("image/png")) << "the picture beside the document is still found";

    const QString body = SendRunInputFrom(form).writeHtmlBody();
    EXPECT_EQ(body, TempFolder() + QStringLiteral("Preview.htm"));
    EXPECT_TRUE(testenv::ReadFile(body).contains("edited"));

    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path("locked.htm")).constData(), &after), 0);
    EXPECT_EQ(testenv::ReadFile(path("locked.htm")), original);
    EXPECT_EQ(after.st_mode & 07777, 0444u);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
    EXPECT_EQ(form.editor()->CurrentDocumentPath(), path("locked.htm"));
    EXPECT_TRUE(form.editor()->IsDirty());
}

TEST_F(ComposerDocumentsTest, APreviewNoProgramOpensSaysWhereItIs) {
    openerAnswer = false;
    MainForm form;
    form.SetFormat(MessageFormat::Html);
    form.editor()->DOM().pasteHTML(QStringLiteral("<p>hello</p>"));
    form.ExecuteCommand(CommandId::Preview);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(boxes.last(), QStringLiteral("The preview could not be opened. It is stored in the file:\n") +
                                TempFolder() + QStringLiteral("Preview.eml"));
}

} // namespace
