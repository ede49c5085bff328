// The update check: the version rule, the reading of the update file, the fetch against a loopback web
// server (good, malformed, oversized, refused and stalled answers) and the window's states.
#include "tools/UpdateCheck.h"
#include "tests/support/TimeBounds.h"
#include "tests/tools/HttpTestServer.h"
#include "tools/MakerSite.h"
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

using testenv::EndedByItsTimeOut;
using testenv::EndedLongBeforeItsTimeOut;
using toolstest::HttpAnswer;
using toolstest::HttpTestServer;

namespace {

struct VersionCase {
    const char* installed;
    const char* published;
    const char* expected;
};

TEST(CompareVersion, FollowsTheTwoFieldRuleAndLeadingNumber) {
    const VersionCase cases[] =
        {
            {"14.0", "14.1", "SiteVersion"},
            {"14.0", "14.0.3", "SameVersion"}, // both become 140
            {"3.10", "3.9", "MyVersion"},      // 310 against 39
            {"14.0", "15", "MyVersion"},       // 140 against 15: no dot, no reduction
            {"14.0", "abc", "MyVersion"},      // not a number: 0
            {"14.0", "", "MyVersion"},
            {"14.0", " 1 4.1", "SiteVersion"}, // blanks inside the number are ignored
            {"14.0", "14.1\n", "SiteVersion"}, // a line feed too
            {"14.0", "\t14.0", "SameVersion"},
            {"14.0", "14.0\r", "SameVersion"}, // a carriage return ends the number
            {"14.0", "14.0x9", "SameVersion"}, // the number at the start counts
            {"14.0", "1.4e2", "SiteVersion"},  // "1" + "4e2" reads as 14e2 = 1400
            {"4", "4", "SameVersion"},
            {"4", "5", "SiteVersion"},
            {"14.0", "-14.1", "MyVersion"},
            {"0.0", "abc", "SameVersion"},
        };
    for (const VersionCase& c : cases) {
        const QString installed = QString::fromLatin1(c.installed);
        const QString published = QString::fromLatin1(c.published);
        const QString expected = QString::fromLatin1(c.expected);
        EXPECT_EQ(CompareVersion(installed, published), expected) << c.installed << " vs " << c.published;
    }
}

TEST(UpdateFile, IsCutAtPlusAndKeepsItsFieldsAsTheyStand) {
    struct Case {
        QByteArray bytes;
        bool ok;
        QString published;
        QString size;
    } cases[] = {
        {"14.1+12", true, "14.1", "12"},
        {"14.1+12+x", true, "14.1", "12"},
        {"14.1+12\r\n", true, "14.1", "12\r\n"},
        {" 14.1 + 12", true, " 14.1 ", " 12"},
        {"14.1", false, {}, {}},
        {"", false, {}, {}},
        {"+", true, "", ""},
        {"14.1+\xb5", true, "14.1", QString(QChar(0xb5))},
        {"14.1+\x80", true, "14.1", QString(QChar(0x20ac))}, // the euro sign of Windows-1252
    };
    for (const Case& c : cases) {
        const UpdateFileFields f = ParseUpdateFile(c.bytes);
        EXPECT_EQ(f.ok, c.ok) << c.bytes.constData();
        if (c.ok) {
            EXPECT_EQ(f.published, c.published);
            EXPECT_EQ(f.size, c.size);
        }
    }
}

TEST(UpdateView, ALineEndInTheFileShowsInTheSizeAndFailedFetchesAreNeverRead) {
    UpdateFetchResult ok;
    ok.outcome = UpdateFetchResult::Ok;
    ok.body = "14.1+12\r\n";
    const UpdateView v = ViewForAnswer(ok, QStringLiteral("14.0"));
    EXPECT_EQ(v.state, UpdateState::NewerFound);
    EXPECT_EQ(v.label2, QStringLiteral("Version 14.1 is 12\r\n MB in size."));

    for (const auto outcome :
         {UpdateFetchResult::NetworkError, UpdateFetchResult::HttpError, UpdateFetchResult::TooLarge,
          UpdateFetchResult::TimedOut, UpdateFetchResult::Aborted}) {
        UpdateFetchResult failed;
        failed.outcome = outcome;
        failed.body = "99.0+1";
        EXPECT_EQ(ViewForAnswer(failed, QStringLiteral("14.0")).state, UpdateState::Failed) << outcome;
    }
}

class UpdateFetch : public ::testing::Test {
protected:
    QUrl url(const char* path) {
        return QUrl(QStringLiteral("http://") + QString::fromLatin1(server.hostAndPort()) +
                    QLatin1String(path));
    }
    HttpTestServer server;
};

TEST_F(UpdateFetch, TakesOnlyComplete2xxAnswersWithinTheLimit) {
    server.serve("/ok", {HttpAnswer::Complete, 200, "14.1+12", 0});
    server.serve("/exact", {HttpAnswer::Complete, 200, QByteArray(MaxUpdateFileBytes, '1'), 0});
    server.serve("/big", {HttpAnswer::Complete, 200, QByteArray(40 * 1024, '1'), 0});
    server.serve("/big-unannounced", {HttpAnswer::NoLength, 200, QByteArray(40 * 1024, '1'), 0});
    server.serve("/missing", {HttpAnswer::Complete, 404, "14.1+12", 0});
    server.serve("/error", {HttpAnswer::Complete, 500, "14.1+12", 0});
    server.serve("/moved", {HttpAnswer::Complete, 304, "", 0});
    struct Case {
        const char* path;
        UpdateFetchResult::Outcome outcome;
    } cases[] = {
        {"/ok", UpdateFetchResult::Ok},
        {"/exact", UpdateFetchResult::Ok},
        {"/big", UpdateFetchResult::TooLarge},
        {"/big-unannounced", UpdateFetchResult::TooLarge},
        {"/missing", UpdateFetchResult::HttpError},
        {"/error", UpdateFetchResult::HttpError},
        {"/moved", UpdateFetchResult::HttpError},
    };
    for (const Case& c : cases) {
        UpdateFetcher fetcher(5000);
        const UpdateFetchResult r = fetcher.Fetch(url(c.path));
        EXPECT_EQ(r.outcome, c.outcome) << c.path;
        if (c.outcome != UpdateFetchResult::Ok) {
            EXPECT_TRUE(r.body.isEmpty()) << c.path;
        }
    }
    UpdateFetcher fetcher(5000);
    EXPECT_EQ(fetcher.Fetch(url("/ok")).body, QByteArray("14.1+12"));
}

TEST_F(UpdateFetch, RefusesAnOversizedAnswerWithoutWaitingForAllOfIt) {
    // The server announces 40 KB, sends a little and then waits: the fetch must not wait for the rest.
    server.serve("/announced", {HttpAnswer::ShortOfLength, 200, "14.1+12", 40 * 1024});
    server.serve("/endless", {HttpAnswer::Endless, 200, {}, 0});
    for (const char* path : {"/announced", "/endless"}) {
        UpdateFetcher fetcher(30000);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(fetcher.Fetch(url(path)).outcome, UpdateFetchResult::TooLarge) << path;
        EXPECT_TRUE(EndedLongBeforeItsTimeOut(clock.elapsed(), 30000)) << path;
    }
    EXPECT_LT(server.endlessBytesWritten, 4 * 1024 * 1024);
}

TEST_F(UpdateFetch, EndsAStalledOrUnreachableServerAtTheTimeOut) {
    server.serve("/stall", {HttpAnswer::Stall, 200, {}, 0});
    UpdateFetcher fetcher(2000);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(fetcher.Fetch(url("/stall")).outcome, UpdateFetchResult::TimedOut);
    EXPECT_TRUE(EndedByItsTimeOut(clock.elapsed(), 2000));

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    EXPECT_EQ(fetcher.Fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(port))).outcome,
              UpdateFetchResult::NetworkError);
}

TEST_F(UpdateFetch, AbortFromAHandlerEndsTheFetch) {
    server.serve("/stall", {HttpAnswer::Stall, 200, {}, 0});
    UpdateFetcher fetcher(30000);
    QTimer::singleShot(100, [&] { fetcher.Abort(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(fetcher.Fetch(url("/stall")).outcome, UpdateFetchResult::Aborted);
    EXPECT_TRUE(EndedLongBeforeItsTimeOut(clock.elapsed(), 30000));
    EXPECT_FALSE(fetcher.IsRunning());
}

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
        {{HttpAnswer::Complete, 200, "14.0.3", 0}, UpdateState::Failed}, // no "+"
        {{HttpAnswer::Complete, 200, "14.0.3+12", 0}, UpdateState::UpToDate},
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
