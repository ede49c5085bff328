// The technical-support window: its account and topics, the attachment buttons, the request it sends
// through aiosmtpd on 127.0.0.1, the online form after a failed send, and Cancel during a send.
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/WriteSendStatus.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TimeBounds.h"
#include "tests/tools/SupportMailFixture.h"
#include "tools/MakerSite.h"
#include "tools/forms/SupportForm.h"
#include "ui/ShellOpener.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using toolstest::BodyOf;
using toolstest::HeaderOf;
using toolstest::SupportMail;

namespace {

// The window, with message boxes, the file dialog and the browser answered by the test.
class SupportWindow : public SupportMail {
protected:
    void SetUp() override {
        SupportMail::SetUp();
        SetWebPageOpenerForTesting([this](const QString& url) {
            opened << url;
            return true;
        });
    }
    void TearDown() override {
        SetWebPageOpenerForTesting({});
        SupportMail::TearDown();
    }
    template <typename T>
    T* find(SupportForm& form, const char* name) {
        return form.findChild<T*>(QString::fromLatin1(name));
    }
    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers files;
    QStringList opened;
};

TEST_F(SupportWindow, OpensWithTheAccountAndTopicsAndRefusesABlankDescription) {
    SupportForm form(MessagePriority::Normal, false);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Technical Support"));
    EXPECT_EQ(find<QLineEdit>(form, "NameTextBox")->text(), QStringLiteral("Ada Sender"));
    EXPECT_EQ(find<QLineEdit>(form, "EmailTextBox")->text(), QStringLiteral("ada@example.test"));
    auto* topics = find<QComboBox>(form, "TopicComboBox");
    ASSERT_EQ(topics->count(), 5);
    EXPECT_EQ(topics->itemText(4), QStringLiteral("Product Idea and Suggestion"));
    EXPECT_EQ(topics->currentText(), QStringLiteral("Support Request"));
    EXPECT_TRUE(find<QCheckBox>(form, "CheckBox1")->isChecked());
    EXPECT_TRUE(find<QCheckBox>(form, "CheckBox2")->isChecked());
    EXPECT_FALSE(find<QCheckBox>(form, "CheckBox3")->isChecked());

    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("    "));
    find<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Please enter your description.")});
    EXPECT_TRUE(find<QPushButton>(form, "OKButton")->isEnabled());
    EXPECT_TRUE(peer.envelopes().isEmpty());

    // Add takes the chosen file, a second Add replaces it, a cancelled dialog keeps it, Remove empties.
    auto* attachment = find<QLineEdit>(form, "AttachmentTextBox");
    files.answer(QStringLiteral("/tmp/a.txt"));
    files.answer(QStringLiteral("/tmp/b.txt"));
    files.answer(QString());
    for (int i = 0; i < 3; ++i)
        find<QPushButton>(form, "AddButton")->click();
    EXPECT_EQ(attachment->text(), QStringLiteral("/tmp/b.txt"));
    EXPECT_EQ(files.seen().front().title, QStringLiteral("Technical Support"));
    find<QPushButton>(form, "RemoveButton")->click();
    EXPECT_EQ(attachment->text(), QString());
}

// Return in a box of the window sends nothing and opens nothing: no file dialog from the "+" button.
TEST_F(SupportWindow, ReturnInABoxPressesNoButton) {
    SupportForm form(MessagePriority::Normal, false);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("Help."));
    for (const char* box : {"NameTextBox", "EmailTextBox", "AttachmentTextBox"}) {
        find<QLineEdit>(form, box)->setFocus();
        QTest::keyClick(find<QLineEdit>(form, box), Qt::Key_Return);
        EXPECT_TRUE(files.seen().empty()) << box;
    }
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(find<QPushButton>(form, "OKButton")->isEnabled());
}

TEST_F(SupportWindow, ASentRequestKeepsTheInputsLocked) {
    SupportForm form(MessagePriority::Low, false);
    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("  It crashes.  "));
    find<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(boxes.texts(),
              QStringList{QStringLiteral("Your message has been successfully sent to Torvale.\n"
                                         "Please click Cancel to quit.")});
    EXPECT_EQ(boxes.seen().front().icon, QMessageBox::Information);
    EXPECT_EQ(find<QPlainTextEdit>(form, "DescriptionTextBox")->toPlainText(), QStringLiteral("It crashes."));
    EXPECT_FALSE(find<QPushButton>(form, "OKButton")->isEnabled());
    EXPECT_FALSE(find<QPlainTextEdit>(form, "DescriptionTextBox")->isEnabled());
    EXPECT_TRUE(find<QPushButton>(form, "CancelButton")->isEnabled());
    ASSERT_EQ(peer.envelopes().size(), 1);
    const QJsonObject e = peer.envelopes().first();
    EXPECT_EQ(HeaderOf(e, "subject"),
              QStringLiteral("Support Request - Torvale Velanto Ostrel Edition 14.0"));
    EXPECT_TRUE(HeaderOf(e, "x-priority").startsWith(u'5'));
    const QString body = BodyOf(e);
    EXPECT_TRUE(body.contains(QStringLiteral("---System Information---\nOperating System: ")));
    EXPECT_TRUE(body.contains(QStringLiteral("\nHome Folder: ") + QDir::homePath() + u'\n'));
    EXPECT_TRUE(body.contains(QStringLiteral("\nMounted File Systems:\n/")));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(SupportWindow, AFailedSendOffersTheOnlineFormAndUnlocksTheInputs) {
    SaveSetting(QString::fromLatin1(Sections::Account), QStringLiteral("Port"),
                QString::number(smtptest::FreePort()));
    SupportForm form(MessagePriority::Normal, false);
    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("No connection."));
    boxes.answer(QMessageBox::Ok);
    boxes.answer(QMessageBox::Yes);
    find<QPushButton>(form, "OKButton")->click();
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.seen()[0].text, GetSendErrorText(9));
    EXPECT_EQ(boxes.seen()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes.seen()[1].text,
              QStringLiteral("Sending your support request to Torvale failed.\n"
                             "Would you like to visit the online support form instead?"));
    EXPECT_EQ(opened, QStringList{OnlineSupportUrl()});
    EXPECT_TRUE(find<QPushButton>(form, "OKButton")->isEnabled());
    EXPECT_TRUE(find<QLineEdit>(form, "AttachmentTextBox")->isEnabled());

    // An attachment that cannot be read stops the next try before anything is sent; No opens nothing.
    SaveSetting(QString::fromLatin1(Sections::Account), QStringLiteral("Port"), QString::number(peer.port()));
    find<QLineEdit>(form, "AttachmentTextBox")->setText(QStringLiteral("/nonexistent/velanto/file.log"));
    boxes.answer(QMessageBox::Ok);
    boxes.answer(QMessageBox::No);
    find<QPushButton>(form, "OKButton")->click();
    ASSERT_EQ(boxes.seen().size(), 4u);
    EXPECT_EQ(boxes.seen()[2].text, GetSendErrorText(10));
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(peer.envelopes().isEmpty());
}

TEST_F(SupportWindow, CancelWhileSendingStopsTheConversationAndClosesWithoutResult) {
    smtptest::FakeServer silent;
    silent.greeting = smtptest::FakeServer::Silence;
    SaveSetting(QString::fromLatin1(Sections::Account), QStringLiteral("Port"),
                QString::number(silent.port()));
    SupportForm form(MessagePriority::Normal, false);
    form.show();
    find<QPlainTextEdit>(form, "DescriptionTextBox")->setPlainText(QStringLiteral("Hangs."));
    QTimer::singleShot(100, &form, [&] {
        EXPECT_TRUE(form.IsSending());
        EXPECT_TRUE(find<QPushButton>(form, "CancelButton")->isEnabled());
        find<QPushButton>(form, "CancelButton")->click();
        EXPECT_TRUE(form.isVisible()); // not while the send is still on the stack
    });
    QElapsedTimer clock;
    clock.start();
    find<QPushButton>(form, "OKButton")->click();
    // The silent server would hold the send for the mail component's reply time-out of 60 s; the cancel
    // ends it when it comes.
    EXPECT_TRUE(testenv::EndedLongBeforeItsTimeOut(clock.elapsed(), 60000));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_TRUE(opened.isEmpty());
}

} // namespace
