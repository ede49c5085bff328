// The update check: the version rule, the reading of the update file, the views of its states and the
// fetch against a loopback web server (good, malformed, oversized, refused and stalled answers).
#include "tools/UpdateCheck.h"
#include "tests/support/TimeBounds.h"
#include "tests/tools/HttpTestServer.h"

#include <QElapsedTimer>
#include <QTcpServer>
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

TEST(CompareVersion, ComparesDottedNumbersPartByPart) {
    const VersionCase cases[] = {
        {"14.0", "14.1", "SiteVersion"},
        {"14.0", "15", "SiteVersion"}, // a missing part counts as 0
        {"14.0", "1.41", "MyVersion"},
        {"14.0", "14", "SameVersion"},
        {"14", "14.0.0", "SameVersion"},
        {"14.0", "14.0.3", "SiteVersion"},
        {"3.10", "3.9", "MyVersion"}, // 10 against 9, not text order
        {"3.9", "3.10", "SiteVersion"},
        {"14.0", "014.00", "SameVersion"},
        {"14.0", "99999999999999999999999.0", "SiteVersion"}, // no overflow
        {"14.0", "14.00000000000000000000001", "SiteVersion"},
        {"4", "5", "SiteVersion"},
        {"14.0", "+14.1", "SiteVersion"},
        {"14.0", "-15", "MyVersion"},
        {"14.0", "14.-1", "MyVersion"},
        {"14.-1", "14.-2", "MyVersion"}, // -2 is below -1
        {"0.0", "-0.0", "SameVersion"},
        // A part that does not begin with a number counts as 0, and only the number at its start counts.
        {"14.0", "abc", "MyVersion"},
        {"14.0", "", "MyVersion"},
        {"0.0", "abc", "SameVersion"},
        {"14.0", "14.x.1", "SiteVersion"},
        {"14.0", "14.0x9", "SameVersion"},
        {"14.0", "14.0\r", "SameVersion"}, // a carriage return ends the number
        {"14.0", "1.4e2", "MyVersion"},    // no exponent reaches across a dot
        // Blanks, tabs and line feeds anywhere are ignored.
        {"14.0", " 1 4.1", "SiteVersion"},
        {"14.0", "14.1\n", "SiteVersion"},
        {"14.0", "\t14 .\n0", "SameVersion"},
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

} // namespace
