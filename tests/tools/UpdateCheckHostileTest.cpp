// The update check against web servers that never stop: an endless chunked answer, a header line
// without end, an answer that drips in and a compressed bomb. The fetch must end at its cap or its
// time-out, stop taking bytes at once and hold no more than the cap meanwhile.
#include "tests/support/TimeBounds.h"
#include "tests/tools/HostileHttpServer.h"
#include "tests/tools/HttpTestServer.h"
#include "tools/UpdateCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using testenv::EndedByItsTimeOut;
using testenv::EndedLongBeforeItsTimeOut;
using toolstest::HostileHttpServer;
using toolstest::HttpAnswer;
using toolstest::HttpTestServer;

namespace {

qint64 statusField(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

struct Measured {
    UpdateFetchResult result;
    qint64 milliseconds = 0;
    qint64 extraMemory = 0; // peak resident memory above what was resident before the fetch
};

Measured fetch(const HostileHttpServer& server, int timeoutMs) {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5"); // the peak starts again from here
    refs.close();
    const qint64 before = statusField("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    UpdateFetcher fetcher(timeoutMs);
    Measured m;
    m.result =
        fetcher.Fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/download-ost/setup.upd").arg(server.port())));
    m.milliseconds = clock.elapsed();
    m.extraMemory = statusField("VmHWM:") - before;
    return m;
}

// One check against a web server that answers "14.1+12" at once.
Measured fetchFromAGoodServer(int timeoutMs) {
    HttpTestServer good;
    good.serve("/download-ost/setup.upd", {HttpAnswer::Complete, 200, "14.1+12", 0});
    QElapsedTimer clock;
    clock.start();
    UpdateFetcher fetcher(timeoutMs);
    Measured m;
    m.result = fetcher.Fetch(QUrl(
        QStringLiteral("http://%1/download-ost/setup.upd").arg(QString::fromLatin1(good.hostAndPort()))));
    m.milliseconds = clock.elapsed();
    return m;
}

// The client must give the connection up: the server sees it closed within the deadline.
bool closedWithin(const HostileHttpServer& server, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!server.peerClosed() && clock.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return server.peerClosed();
}

// A fetch of a 30 s time-out that the answer itself ended: nothing kept, the connection given up at
// once, and no more taken meanwhile than the cap of 32 KB plus what the sockets and the network thread
// hold in between (well under a megabyte), not what the server managed to send.
void ExpectGivenUpAtOnce(const HostileHttpServer& server, const Measured& m) {
    EXPECT_TRUE(m.result.body.isEmpty());
    EXPECT_TRUE(EndedLongBeforeItsTimeOut(m.milliseconds, 30000)) << "the answer ends it, not the time-out";
    ASSERT_TRUE(closedWithin(server, 10000));
    EXPECT_LT(server.bytesSentWhenClosed(), 8 << 20) << server.bytesSentWhenClosed() / 1e6 << " MB sent";
    EXPECT_LT(m.extraMemory, 16 << 20) << "peak " << m.extraMemory / 1e6 << " MB";
}

TEST(HostileUpdateAnswer, AnEndlessChunkedAnswerStopsAtTheCap) {
    HostileHttpServer server(HostileHttpServer::Kind::EndlessChunked);
    // The window's thread is busy for a moment (painting, a loaded machine) just as the answer pours in.
    QTimer::singleShot(0, [] { QThread::msleep(500); });
    const Measured m = fetch(server, 30000);
    EXPECT_EQ(m.result.outcome, UpdateFetchResult::TooLarge);
    ExpectGivenUpAtOnce(server, m);
}

TEST(HostileUpdateAnswer, ADrippingAnswerEndsAtTheTimeOutNotAfterIt) {
    HostileHttpServer server(HostileHttpServer::Kind::Drip);
    const Measured m = fetch(server, 2000);
    EXPECT_EQ(m.result.outcome, UpdateFetchResult::TimedOut);
    EXPECT_TRUE(EndedByItsTimeOut(m.milliseconds, 2000));
    EXPECT_TRUE(closedWithin(server, 10000));
    EXPECT_EQ(server.connections(), 1);
}

TEST(HostileUpdateAnswer, AHeaderWithoutEndEndsAtTheTimeOut) {
    // Qt's network thread reads a header to its end before it looks at anything else: the fetch must
    // not wait for that thread, neither at the time-out nor when it is over.
    {
        HostileHttpServer server(HostileHttpServer::Kind::EndlessHeader);
        const Measured m = fetch(server, 2000);
        EXPECT_EQ(m.result.outcome, UpdateFetchResult::TimedOut);
        EXPECT_TRUE(EndedByItsTimeOut(m.milliseconds, 2000)) << "the time-out covers the headers too";
        EXPECT_LT(m.extraMemory, 16 << 20) << "peak " << m.extraMemory / 1e6 << " MB";
    }
    // Once the server is gone, the thread reads what was already on its way and takes the next check.
    const Measured r = fetchFromAGoodServer(60000);
    EXPECT_EQ(r.result.outcome, UpdateFetchResult::Ok);
    EXPECT_EQ(r.result.body, QByteArray("14.1+12"));
}

// A megabyte of gzip that inflates to a gigabyte of zeros: the answer is refused as soon as its headers
// say it is compressed, never inflated past the cap nor waited on until the time-out.
TEST(HostileUpdateAnswer, ACompressedBombIsRefusedAtOnce) {
    HostileHttpServer server(HostileHttpServer::Kind::GzipBomb);
    const Measured m = fetch(server, 30000);
    EXPECT_EQ(m.result.outcome, UpdateFetchResult::NetworkError);
    ExpectGivenUpAtOnce(server, m);
}

// A check that gave up on a server still sending one endless header line leaves that connection
// behind: the next check, against a good server, must not wait behind it.
TEST(HostileUpdateAnswer, ANewCheckDoesNotWaitOnAnAbandonedOne) {
    HostileHttpServer hostile(HostileHttpServer::Kind::EndlessHeader);
    const Measured first = fetch(hostile, 2000);
    EXPECT_EQ(first.result.outcome, UpdateFetchResult::TimedOut);
    for (int check = 0; check < 2; ++check) {
        const Measured r = fetchFromAGoodServer(30000);
        EXPECT_EQ(r.result.outcome, UpdateFetchResult::Ok) << "check " << check;
        EXPECT_EQ(r.result.body, QByteArray("14.1+12"));
        EXPECT_TRUE(EndedLongBeforeItsTimeOut(r.milliseconds, 30000));
    }
    EXPECT_GT(hostile.bytesSent(), 0);
}

} // namespace
