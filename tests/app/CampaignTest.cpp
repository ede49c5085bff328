// A campaign set up and sent from the main window alone, as a new user would: the account in the
// Email Manager, a group with recipients in the Group Manager, a message, then Send. And a saved
// document edited and then previewed, sent and exported, whose file stays as the user saved it.
#include "app/AreaWindows.h"
#include "app/MainForm.h"
#include "core/Paths.h"
#include "editor/HtmlEditor.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "ui/ShellOpener.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs `act` once the next modal dialog of that class is up (the opener is blocked in its exec).
void WhenModal(const char* className, std::function<void(QDialog*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, className, act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->inherits(className))
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}

void Type(QWidget* dialog, const char* box, const QString& text) {
    auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(box));
    ASSERT_NE(nullptr, edit) << box;
    edit->setText(text);
}

void Click(QWidget* window, const char* button) {
    auto* b = window->findChild<QPushButton*>(QString::fromLatin1(button));
    ASSERT_NE(nullptr, b) << button;
    b->click();
}

TEST(Campaign, SetUpAndSentFromTheMainWindow) {
    testenv::FreshDataPath();
    testenv::ClearSettings();
    testenv::MessageBoxRecorder boxes;
    sendingtest::SmtpPeer peer;
    ASSERT_NE(0, peer.port());

    MainForm form;
    form.show();

    WhenModal("EmailManagerForm", [&](QDialog* d) {
        Type(d, "FullNameTextBox", QStringLiteral("Anna Lindqvist"));
        Type(d, "EmailTextBox", QStringLiteral("anna@example.test"));
        Type(d, "ServerTextBox", QStringLiteral("127.0.0.1"));
        Type(d, "PortTextBox", QString::number(peer.port()));
        Click(d, "OKButton");
    });
    Click(&form, "EmailButton");
    EXPECT_EQ(QStringLiteral("Anna Lindqvist <anna@example.test>"),
              form.findChild<QComboBox*>(QStringLiteral("FromComboBox"))->currentText());

    const QStringList people{"Zoë", "Seán", "Łucja"};
    WhenModal("GroupManagerForm", [&](QDialog* manager) {
        WhenModal("GroupNewForm", [&](QDialog* d) {
            Type(d, "GroupNameTextBox", QStringLiteral("Customers"));
            Click(d, "OKButton");
        });
        Click(manager, "NewGroupButton");
        auto* groups = manager->findChild<QComboBox*>(QStringLiteral("GroupComboBox"));
        const int index = groups->findText(QStringLiteral("Customers"));
        ASSERT_GE(index, 0);
        groups->setCurrentIndex(index);
        emit groups->activated(index);
        for (int i = 0; i < people.size(); ++i) {
            WhenModal("RecipientAddForm", [&, i](QDialog* d) {
                Type(d, "EmailTextBox", QStringLiteral("p%1@example.test").arg(i + 1));
                Type(d, "FirstNameTextBox", people[i]);
                Click(d, "OKButton");
            });
            Click(manager, "AddButton");
        }
        Click(manager, "CloseButton");
    });
    Click(&form, "GroupButton");
    ASSERT_EQ(QStringLiteral("Customers"), form.Group());

    form.SetSubject(QStringLiteral("Hello $*MergeFirstName*$"));
    form.editor()->SetDocumentHTML(
        QStringLiteral("<html><body><p>Dear $*MergeFirstName*$,</p></body></html>"));

    WhenModal("SendMailForm1", [&](QDialog* d) {
        Click(d, "SendButton");
        Click(d, "CancelButton");
    });
    Click(&form, "SendButton");

    ASSERT_EQ(3, peer.messageCount()) << boxes.texts().join('\n').toStdString();
    for (int i = 0; i < 3; ++i) {
        const QString message = QString::fromUtf8(peer.message(i));
        const QStringList to = peer.envelope(i).value(QStringLiteral("to")).toVariant().toStringList();
        EXPECT_EQ(QStringList{QStringLiteral("p%1@example.test").arg(i + 1)}, to);
        EXPECT_TRUE(message.contains(QStringLiteral("From: Anna Lindqvist <anna@example.test>")))
            << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("$*Merge"))) << message.toStdString();
    }
    EXPECT_EQ(1, peer.quits().size()) << "one connection, ended with QUIT";
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join('\n').toStdString();
    // Personalised in the account's charset, and in UTF-8 where that charset cannot hold the name.
    const QByteArray first = peer.message(0);
    EXPECT_TRUE(first.contains("Subject: =?Windows-1252?Q?Hello_Zo=EB?=")) << first.constData();
    EXPECT_TRUE(first.contains("Dear Zo=EB,")) << first.constData();
    const QByteArray third = peer.message(2);
    EXPECT_TRUE(third.contains("Subject: =?utf-8?Q?Hello_=C5=81ucja?=")) << third.constData();
    EXPECT_TRUE(third.contains("Dear =C5=81ucja,")) << third.constData();
    // Sending is not saving: the composed message is still offered for saving.
    boxes.answer(QMessageBox::No);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Do you want to save the changes?")});
}

QByteArray Png(Qt::GlobalColor colour) {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

// Preview, Send and Export hand the mail component a copy of the body: the saved file of a document with
// unsaved edits stays byte for byte as it was, so the close's No still throws the edits away. Each
// message carries the edits and both pictures, found beside the document by their relative names.
TEST(Campaign, PreviewSendAndExportLeaveTheSavedDocumentAsItWas) {
    RegisterAreaWindows(); // as the program's start does: the export window comes from its area
    sendingtest::MakeGroup(1);
    sendingtest::SmtpPeer peer;
    sendingtest::StoreAccount(peer.port());
    testenv::MessageBoxRecorder boxes;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    testenv::WriteFile(folder.filePath(QStringLiteral("logo.png")), Png(Qt::red));
    testenv::WriteFile(folder.filePath(QStringLiteral("added.png")), Png(Qt::blue));
    const QByteArray saved = "<html><body><p>As saved</p><img src=\"logo.png\"></body></html>";
    const QString letter = testenv::WriteFile(folder.filePath(QStringLiteral("letter.htm")), saved);
    QStringList opened;
    SetFileOpenerForTesting([&opened](const QString& path) {
        opened << path;
        return true;
    });

    MainForm form;
    form.show();
    ASSERT_TRUE(form.editor()->LoadDocument(letter));
    form.SetSubject(QStringLiteral("Letter"));
    form.editor()->DOM().pasteHTML(QStringLiteral("<p>Edited later</p><img src=\"added.png\">"));
    ASSERT_TRUE(form.editor()->IsDirty());

    // Both pictures travel embedded, and the edits with them.
    auto carriesTheEdits = [](const QByteArray& message) {
        return message.contains("Edited later") && message.count("Content-Type: image/png") == 2;
    };

    form.ExecuteCommand(CommandId::Preview);
    ASSERT_EQ(opened, QStringList{TempFolder() + QStringLiteral("Preview.eml")})
        << boxes.last().toStdString();
    EXPECT_TRUE(carriesTheEdits(testenv::ReadFile(opened[0]))) << testenv::ReadFile(opened[0]).constData();
    EXPECT_EQ(testenv::ReadFile(letter), saved) << "Preview";

    WhenModal("SendMailForm1", [&](QDialog* d) {
        Click(d, "SendButton");
        Click(d, "CancelButton");
    });
    Click(&form, "SendButton");
    ASSERT_EQ(1, peer.messageCount()) << boxes.texts().join('\n').toStdString();
    EXPECT_TRUE(carriesTheEdits(peer.message(0))) << peer.message(0).constData();
    EXPECT_EQ(testenv::ReadFile(letter), saved) << "Send";

    const QString exported = folder.filePath(QStringLiteral("exported.eml"));
    WhenModal("ExtraForm3", [&](QDialog* d) {
        Type(d, "FilePathTextBox", exported);
        Click(d, "ExportButton");
    });
    form.ExecuteCommand(CommandId::ExportEmail);
    EXPECT_TRUE(carriesTheEdits(testenv::ReadFile(exported))) << boxes.texts().join('\n').toStdString();
    EXPECT_EQ(testenv::ReadFile(letter), saved) << "Export";
    SetFileOpenerForTesting(nullptr);

    EXPECT_TRUE(form.editor()->IsDirty());
    EXPECT_EQ(form.editor()->CurrentDocumentPath(), letter);
    const qsizetype asked = boxes.texts().size();
    boxes.answer(QMessageBox::No);
    EXPECT_TRUE(form.close());
    ASSERT_EQ(boxes.texts().size(), asked + 1);
    EXPECT_EQ(boxes.texts().last(), QStringLiteral("Do you want to save the changes?"));
    EXPECT_EQ(testenv::ReadFile(letter), saved);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("letter_files"))));
}

} // namespace
