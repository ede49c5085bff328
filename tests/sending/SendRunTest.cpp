// The send run against a real SMTP server on 127.0.0.1.
#include "sending/SendRun.h"
#include "core/Database.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/WriteSendStatus.h"
#include "sending/HistoryStore.h"
#include "tests/sending/SendingFixture.h"

#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

using namespace sendingtest;

TEST(SendRun, SendsOnePersonalisedMessagePerRecipientOverOneConnection) {
    MakeGroup(3);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRun run;
    const QDateTime start(QDate(2026, 12, 8), QTime(1, 31, 5));
    EXPECT_EQ(run.run(HtmlInput(), PartialRange{}, start), SendRun::End::Normal);

    ASSERT_EQ(peer.messageCount(), 3);
    const int connection = peer.envelope(0).value(QStringLiteral("peer")).toInt();
    for (int i = 0; i < 3; ++i) {
        const QString n = QString::number(i + 1);
        const QJsonObject env = peer.envelope(i);
        EXPECT_EQ(env.value(QStringLiteral("to")).toArray().size(), 1);
        EXPECT_EQ(env.value(QStringLiteral("to")).toArray().at(0).toString(),
                  QStringLiteral("r%1@example.test").arg(n));
        EXPECT_EQ(env.value(QStringLiteral("peer")).toInt(), connection);
        const QByteArray msg = peer.message(i);
        EXPECT_TRUE(msg.contains(("Subject: Offer for First" + n + "\r\n").toUtf8())) << msg.constData();
        EXPECT_TRUE(msg.contains(("Dear First" + n + " Last" + n).toUtf8()));
        EXPECT_TRUE(msg.contains("X-Mailer: Torvale Velanto Ostrel 14.0\r\n"));
        EXPECT_FALSE(msg.contains("$*Merge"));
    }
    EXPECT_EQ(peer.quits(), QStringList{QString::number(connection)});

    const QString log = run.log();
    EXPECT_TRUE(log.startsWith(
        QStringLiteral("Personal Sending process has been started.\r\nSending to 3 recipients.\r\n\r\n")));
    EXPECT_EQ(log.count(QStringLiteral("Message sent successfully.\r\n\r\n")), 3);
    EXPECT_TRUE(log.endsWith(QStringLiteral(
        "Personal Sending process has been completed.\r\n3 messages sent during process.\r\n")));
    EXPECT_FALSE(log.contains(QStringLiteral("failed during process")));
    EXPECT_EQ(run.sentCount(), 3);

    // History: the first recipient's message and the whole log plus CR LF, private to the user.
    const QString base = HistoryFolder() + QStringLiteral("12-08-2026_01-31-05_Offer for MergeFirstName");
    EXPECT_EQ(run.historyBase(), base);
    const QByteArray eml = ReadAll(base + QStringLiteral(".eml"));
    EXPECT_TRUE(eml.contains("Subject: Offer for First1\r\n"));
    EXPECT_TRUE(eml.contains("r1@example.test"));
    EXPECT_FALSE(eml.contains("r2@example.test"));
    EXPECT_EQ(ReadAll(base + QStringLiteral(".txt")), (log + QStringLiteral("\r\n")).toUtf8());
    EXPECT_EQ(QFile::permissions(base + QStringLiteral(".txt")) & 0x0077, 0);
    EXPECT_EQ(QFile::permissions(base + QStringLiteral(".eml")) & 0x0077, 0);
}

TEST(SendRun, RefusedRecipientCountsAsOneFailureAndTheRunGoesOn) {
    MakeGroup(3);
    SmtpPeer peer({QStringLiteral("r2@example.test")});
    StoreAccount(peer.port());
    SaveSetting(Sections::Account, Keys::ToField, QStringLiteral("First Name"));
    SendRun run;
    run.run(HtmlInput(), PartialRange{});

    EXPECT_EQ(peer.messageCount(), 2);
    EXPECT_TRUE(peer.message(0).contains("To: First1 <r1@example.test>")) << peer.message(0).constData();
    const QString log = run.log();
    EXPECT_EQ(log.count(QStringLiteral("Error 8: ")), 1);
    EXPECT_TRUE(log.contains(SmtpResultText(8) + QStringLiteral("\r\n\r\n")));
    EXPECT_TRUE(log.endsWith(QStringLiteral("2 messages sent during process.\r\n"
                                            "1 messages failed during process.\r\n")));
    EXPECT_EQ(peer.quits().size(), 1);
}

TEST(SendRun, ClosedPortLogsTheConnectErrorAndOnlyFailures) {
    MakeGroup(3);
    StoreAccount(ClosedPort());
    SendRun run;
    EXPECT_EQ(run.run(HtmlInput(), PartialRange{}), SendRun::End::Normal);
    const QString log = run.log();
    // The connect failure, then each message's own failure.
    EXPECT_EQ(log.count(QStringLiteral("\nError ")), 4) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Message sent successfully.")));
    EXPECT_FALSE(log.contains(QStringLiteral("sent during process")));
    EXPECT_TRUE(log.endsWith(QStringLiteral("completed.\r\n3 messages failed during process.\r\n")));
    EXPECT_EQ(ReadAll(run.historyBase() + QStringLiteral(".txt")), (log + QStringLiteral("\r\n")).toUtf8());
}

TEST(SendRun, PartialRangeSendsExactlyThoseRecipients) {
    MakeGroup(5);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRun run;
    EXPECT_EQ(run.run(HtmlInput(), PartialRange{true, 2, 3}), SendRun::End::Normal);
    ASSERT_EQ(peer.messageCount(), 2);
    EXPECT_EQ(peer.envelope(0).value(QStringLiteral("to")).toArray().at(0).toString(),
              QStringLiteral("r2@example.test"));
    EXPECT_EQ(peer.envelope(1).value(QStringLiteral("to")).toArray().at(0).toString(),
              QStringLiteral("r3@example.test"));
    EXPECT_TRUE(
        run.log().contains(QStringLiteral("Partial Sending to 2 recipients (from #2 to #3).\r\n\r\n")));
    // The history message is the first message the run built, the partial range's first recipient.
    EXPECT_TRUE(ReadAll(run.historyBase() + QStringLiteral(".eml")).contains("r2@example.test"));
}

TEST(SendRun, MergeValuesNeverBreakTheSubjectHeader) {
    MakeGroup(1);
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(QStringLiteral("UPDATE [Emails] SET [G-FirstName] = 'Ann' || char(13) || char(10) || "
                                       "'Bcc: victim@example.test'"));
    }
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRun run;
    run.run(HtmlInput(QStringLiteral("Hi $*MergeFirstName*$ and $*mergefirstname*$")), PartialRange{});
    ASSERT_EQ(peer.messageCount(), 1);
    const QByteArray msg = peer.message(0);
    EXPECT_TRUE(msg.contains("Subject: Hi Ann Bcc: victim@example.test and $*mergefirstname*$\r\n"))
        << msg.constData();
    const QByteArray header = msg.left(msg.indexOf("\r\n\r\n"));
    EXPECT_FALSE(header.contains("\r\nBcc:")) << msg.constData();
    EXPECT_EQ(peer.envelope(0).value(QStringLiteral("to")).toArray().size(), 1);
}

TEST(SendRun, CancelDuringConnectSendsNothing) {
    MakeGroup(3);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRun run;
    QObject::connect(&run, &SendRun::logAppended, &run, [&run](const QString& text) {
        if (text.startsWith(QStringLiteral("Connecting to")))
            run.requestCancel();
    });
    EXPECT_EQ(run.run(HtmlInput(), PartialRange{}), SendRun::End::Cancelled);
    EXPECT_EQ(peer.messageCount(), 0);
    const QString log = run.log();
    EXPECT_TRUE(log.contains(SmtpResultText(20) + QStringLiteral("\r\n\r\n"))) << log.toStdString();
    EXPECT_TRUE(log.endsWith(QStringLiteral("Personal Sending process has been completed.\r\n")));
    EXPECT_FALSE(QFile::exists(run.historyBase() + QStringLiteral(".eml")));
    EXPECT_EQ(ReadAll(run.historyBase() + QStringLiteral(".txt")), (log + QStringLiteral("\r\n")).toUtf8());
}

// A cancel ends the run at the next row whenever it comes: while the run yields between two messages
// (no further message starts), or while the last message goes out (still a cancel end: no shutdown).
TEST(SendRun, CancelBetweenMessagesOrDuringTheLastOneEndsAsCancelled) {
    MakeGroup(3);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRun run;
    QObject::connect(&run, &SendRun::overallValue, &run, [&run](qint32 handled) {
        if (handled == 1) // posted now, seen only when the run yields after this message
            QTimer::singleShot(0, &run, [&run] { run.requestCancel(); });
    });
    EXPECT_EQ(run.run(HtmlInput(), PartialRange{}), SendRun::End::Cancelled);
    EXPECT_EQ(peer.messageCount(), 1);
    EXPECT_EQ(run.sentCount(), 1);
    EXPECT_TRUE(run.log().endsWith(QStringLiteral("1 messages sent during process.\r\n")));

    SendRun last;
    QObject::connect(&last, &SendRun::recipientStarted, &last, [&last](qint32 position) {
        if (position == 3)
            last.requestCancel();
    });
    EXPECT_EQ(last.run(HtmlInput(), PartialRange{}), SendRun::End::Cancelled);
    EXPECT_EQ(peer.messageCount(), 4);
    EXPECT_EQ(last.sentCount(), 3);
}

// An empty group still connects and ends normally: the size line says 0, no count line, a history log
// and no history message. A "TextPart" that names no rule sends the HTML message without a body.
TEST(SendRun, EmptyGroupAndUnknownTextPart) {
    MakeGroup(0);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRun run;
    EXPECT_EQ(run.run(HtmlInput(), PartialRange{}), SendRun::End::Normal);
    const QString log = run.log();
    EXPECT_TRUE(log.startsWith(
        QStringLiteral("Personal Sending process has been started.\r\nSending to 0 recipients.\r\n\r\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("QUIT"))) << "the run connected";
    EXPECT_TRUE(log.endsWith(QStringLiteral("\r\nPersonal Sending process has been completed.\r\n")));
    EXPECT_FALSE(log.contains(QStringLiteral("during process")));
    EXPECT_TRUE(QFile::exists(run.historyBase() + QStringLiteral(".txt")));
    EXPECT_FALSE(QFile::exists(run.historyBase() + QStringLiteral(".eml")));

    MakeGroup(1);
    StoreAccount(peer.port());
    SaveSetting(Sections::Account, Keys::TextPart, QStringLiteral("2"));
    EXPECT_EQ(run.run(HtmlInput(), PartialRange{}), SendRun::End::Normal);
    ASSERT_EQ(peer.messageCount(), 1);
    EXPECT_FALSE(peer.message(0).contains("Dear First1"));
    EXPECT_FALSE(peer.message(0).contains("text/html"));
    EXPECT_FALSE(run.log().contains(QStringLiteral("Error ")));
    EXPECT_EQ(run.sentCount(), 1);
}
