// A campaign set up and sent from the main window alone, as a new user would: the account in the
// Email Manager, a group with recipients in the Group Manager, a message, then Send.
#include "app/MainForm.h"
#include "editor/HtmlEditor.h"
#include "tests/sending/SendingFixture.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
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

} // namespace
