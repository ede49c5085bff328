// The update window's states against a loopback web server: what each answer shows, the download that
// opens the installer in the browser, Return on the focused button and Close during the fetch.
#include "tests/support/TimeBounds.h"
#include "tests/tools/HttpTestServer.h"
#include "tools/UpdateCheck.h"
#include "tools/forms/UpdateForm.h"
#include "ui/ShellOpener.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using testenv::EndedLongBeforeItsTimeOut;
using toolstest::HttpAnswer;
using toolstest::HttpTestServer;

namespace {

// The window against the loopback web server, with the browser replaced by a recorder.
class UpdateWindow : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("VELANTO_TEST_MAKER_HOST", server.hostAndPort());
        SetUpdateFetchTimeoutForTesting(400);
        SetWebPageOpenerForTesting([this](const QString& url) {
            opened << url;
            return true;
        });
    }
    void TearDown() override {
        qunsetenv("VELANTO_TEST_MAKER_HOST");
        SetUpdateFetchTimeoutForTesting(30000);
        SetWebPageOpenerForTesting({});
    }
    void publish(const HttpAnswer& answer) { server.serve("/download-ost/setup.upd", answer); }
    static QString label(UpdateForm& form, int i) {
        return form.findChild<QLabel*>(QStringLiteral("Label%1").arg(i))->text();
    }
    static QPushButton* check(UpdateForm& form) {
        return form.findChild<QPushButton*>(QStringLiteral("CheckButton"));
    }

    HttpTestServer server;
    QStringList opened;
};

TEST_F(UpdateWindow, OpensReadyToCheck) {
    UpdateForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Check for Updates"));
    EXPECT_EQ(label(form, 1),
              QStringLiteral(
                  "Would you like to check the Internet to see if a newer version of Velanto is available?"));
    EXPECT_EQ(label(form, 2), QStringLiteral("Click Check to continue."));
    EXPECT_EQ(label(form, 3), QString());
    EXPECT_EQ(check(form)->text(), QStringLiteral("Check"));
    EXPECT_TRUE(check(form)->isEnabled());
}

TEST_F(UpdateWindow, NewerVersionThenDownloadOpensTheInstaller) {
    publish({HttpAnswer::Complete, 200, "14.1+12", 0});
    UpdateForm form;
    check(form)->click();
    EXPECT_EQ(form.State(), UpdateState::NewerFound);
    EXPECT_EQ(label(form, 1),
              QStringLiteral("There is a newer version of Velanto available than the one currently "
                             "installed on your system."));
    EXPECT_EQ(label(form, 2), QStringLiteral("Version 14.1 is 12 MB in size."));
    EXPECT_EQ(label(form, 3), QStringLiteral("Click Download to proceed with the update or Close to quit."));
    EXPECT_EQ(check(form)->text(), QStringLiteral("Download"));
    EXPECT_TRUE(check(form)->isEnabled());
    EXPECT_EQ(form.findChild<QProgressBar*>(QStringLiteral("ProgressBar"))->value(), 10000);
    EXPECT_TRUE(opened.isEmpty());

    check(form)->click();
    EXPECT_EQ(form.State(), UpdateState::DownloadStarted);
    EXPECT_EQ(label(form, 1), QStringLiteral("Download in progress."));
    EXPECT_EQ(label(form, 2), QStringLiteral("Please click Close to quit."));
    EXPECT_FALSE(check(form)->isEnabled());
    EXPECT_EQ(check(form)->text(), QStringLiteral("Download"));
    EXPECT_EQ(opened, QStringList{QStringLiteral("http://") + QString::fromLatin1(server.hostAndPort()) +
                                  QStringLiteral("/download-ost/setup.exe")});
    EXPECT_EQ(server.requestedPaths, QList<QByteArray>{"/download-ost/setup.upd"}); // nothing downloaded here

    UpdateForm again; // a new showing starts over
    EXPECT_EQ(check(again)->text(), QStringLiteral("Check"));
}

TEST_F(UpdateWindow, EveryOtherAnswerEndsUpToDateOrFailed) {
    struct Case {
        HttpAnswer answer;
        UpdateState state;
    } cases[] = {
        {{HttpAnswer::Complete, 200, "14.0.3", 0}, UpdateState::Failed},  // no "+"
        {{HttpAnswer::Complete, 200, "14+12", 0}, UpdateState::UpToDate}, // 14 is 14.0
        {{HttpAnswer::Complete, 200, "abc+12", 0}, UpdateState::Failed},
        {{HttpAnswer::Complete, 200, QByteArray(40 * 1024, '9') + "+1", 0}, UpdateState::Failed},
        {{HttpAnswer::Complete, 404, "14.1+12", 0}, UpdateState::Failed},
        {{HttpAnswer::Stall, 200, {}, 0}, UpdateState::Failed},
    };
    for (const Case& c : cases) {
        publish(c.answer);
        UpdateForm form;
        check(form)->click();
        EXPECT_EQ(form.State(), c.state) << c.answer.body.left(20).constData();
        EXPECT_FALSE(check(form)->isEnabled());
        if (c.state == UpdateState::UpToDate) {
            EXPECT_EQ(label(form, 2), QStringLiteral("Please click Close to quit."));
            EXPECT_EQ(label(form, 3), QString());
        } else {
            EXPECT_EQ(label(form, 1), QStringLiteral("Velanto update failed."));
            EXPECT_EQ(label(form, 3), QStringLiteral("Please click Close to quit."));
        }
    }
    EXPECT_TRUE(opened.isEmpty());
}

// The window grows with its texts: every line of the longest state shows whole, even the published
// size with the line end it came with.
TEST_F(UpdateWindow, EveryTextShowsWhole) {
    publish({HttpAnswer::Complete, 200, "14.1+12\r\n", 0});
    UpdateForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    check(form)->click();
    ASSERT_EQ(form.State(), UpdateState::NewerFound);
    QApplication::processEvents();
    for (int i = 1; i <= 3; ++i) {
        auto* l = form.findChild<QLabel*>(QStringLiteral("Label%1").arg(i));
        EXPECT_GE(l->height(), l->heightForWidth(l->width())) << i;
    }
}

// Return presses the button that has the focus in every state: Check, Download, then Close.
TEST_F(UpdateWindow, ReturnPressesTheFocusedButton) {
    publish({HttpAnswer::Complete, 200, "14.1+12", 0});
    UpdateForm form;
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const auto pressReturn = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); };
    pressReturn();
    EXPECT_EQ(form.State(), UpdateState::NewerFound);
    pressReturn();
    EXPECT_EQ(form.State(), UpdateState::DownloadStarted);
    EXPECT_EQ(opened.size(), 1);
    pressReturn();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(UpdateWindow, RemoteTextIsShownAsPlainText) {
    publish({HttpAnswer::Complete, 200, "14.1+<b>12</b><img src=x>", 0});
    UpdateForm form;
    check(form)->click();
    auto* label2 = form.findChild<QLabel*>(QStringLiteral("Label2"));
    EXPECT_EQ(label2->textFormat(), Qt::PlainText);
    EXPECT_EQ(label2->text(), QStringLiteral("Version 14.1 is <b>12</b><img src=x> MB in size."));
}

TEST_F(UpdateWindow, CloseDuringTheFetchEndsItAndClosesTheWindow) {
    publish({HttpAnswer::Stall, 200, {}, 0});
    SetUpdateFetchTimeoutForTesting(30000);
    UpdateForm form;
    form.show();
    QTimer::singleShot(100, &form,
                       [&] { form.findChild<QPushButton*>(QStringLiteral("CloseButton"))->click(); });
    QElapsedTimer clock;
    clock.start();
    check(form)->click();
    EXPECT_TRUE(EndedLongBeforeItsTimeOut(clock.elapsed(), 30000));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

} // namespace
