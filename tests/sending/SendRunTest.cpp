// The send run against a real SMTP server on 127.0.0.1.
#include "sending/SendRun.h"
#include "core/Database.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/WriteSendStatus.h"
#include "sending/HistoryStore.h"
#include "sending/MergeMacros.h"
#include "tests/sending/SendingFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    EXPECT_FALSE(log.contains(QStringLiteral("cancelled")));
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
    EXPECT_EQ(HistoryCancelNote(base + QStringLiteral(".txt")), QString());
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
    // A history folder the run has to make again is the user's alone, whatever the umask.
    QDir(HistoryFolder()).removeRecursively();
    const mode_t mask = ::umask(0);
    EXPECT_EQ(run.run(HtmlInput(), PartialRange{}), SendRun::End::Normal);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(0, ::stat(QFile::encodeName(HistoryFolder()).constData(), &st));
    EXPECT_EQ(0700u, st.st_mode & 0777u);
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
    // A stored order that is more than column names (here a query) is ignored, and the log says so: the
    // range counts in the order of adding.
    {
        Connection db;
        ASSERT_TRUE(db.Open());
        ASSERT_EQ(1,
                  db.ExecuteWrite(QStringLiteral(
                      "UPDATE [Groups] SET [SortSQL] = '[G-Email] DESC, (SELECT count(*) FROM [Groups])'")));
    }
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
    EXPECT_TRUE(
        run.log().contains(QStringLiteral("The group's sort order was ignored: \"(SELECT count(*) FROM "
                                          "[Groups])\" is not a column")))
        << run.log().toStdString();
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
    EXPECT_TRUE(log.endsWith(QStringLiteral("The sending process was cancelled before recipient #1.\r\n"
                                            "Personal Sending process has been completed.\r\n")))
        << log.toStdString();
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
    EXPECT_TRUE(run.log().endsWith(QStringLiteral("The sending process was cancelled after recipient #1; "
                                                  "#2 and later were not sent.\r\n"
                                                  "Personal Sending process has been completed.\r\n"
                                                  "1 messages sent during process.\r\n")))
        << run.log().toStdString();

    SendRun last;
    QObject::connect(&last, &SendRun::recipientStarted, &last, [&last](qint32 position) {
        if (position == 3)
            last.requestCancel();
    });
    EXPECT_EQ(last.run(HtmlInput(), PartialRange{}), SendRun::End::Cancelled);
    EXPECT_EQ(peer.messageCount(), 4);
    EXPECT_EQ(last.sentCount(), 3);
    EXPECT_TRUE(last.log().contains(QStringLiteral("cancelled after recipient #3.\r\n")));

    // In a partial run the position counts in the whole group: a cancel before the range's first
    // message points at the recipient before it, one after a message at that message's recipient.
    MakeGroup(5);
    StoreAccount(peer.port());
    SendRun partial;
    QObject::connect(&partial, &SendRun::logAppended, &partial, [&partial](const QString& text) {
        if (text.startsWith(QStringLiteral("Connecting to")))
            partial.requestCancel();
    });
    EXPECT_EQ(partial.run(HtmlInput(), PartialRange{true, 3, 4}), SendRun::End::Cancelled);
    EXPECT_TRUE(partial.log().contains(
        QStringLiteral("\r\nThe sending process was cancelled after recipient #2; #3 and later were not "
                       "sent.\r\n")))
        << partial.log().toStdString();
    SendRun inRange;
    QObject::connect(&inRange, &SendRun::overallValue, &inRange, [&inRange](qint32 handled) {
        if (handled == 1)
            QTimer::singleShot(0, &inRange, [&inRange] { inRange.requestCancel(); });
    });
    EXPECT_EQ(inRange.run(HtmlInput(), PartialRange{true, 3, 4}), SendRun::End::Cancelled);
    EXPECT_EQ(inRange.sentCount(), 1);
    EXPECT_TRUE(inRange.log().contains(
        QStringLiteral("cancelled after recipient #3; #4 and later were not sent.\r\n")));
    EXPECT_EQ(ReadAll(inRange.historyBase() + QStringLiteral(".txt")),
              (inRange.log() + QStringLiteral("\r\n")).toUtf8());
    EXPECT_EQ(HistoryCancelNote(inRange.historyBase() + QStringLiteral(".txt")),
              QStringLiteral("Cancelled after recipient #3; #4 and later were not sent"));
}

// A cancel while a recipient's message goes out aborts it: that recipient was not sent (it counts as
// failed), and the cancel line names the one before it as the last dealt with and it as the first to
// resume from, in the whole group's positions also for a partial run.
TEST(SendRun, CancelDuringAMessageNamesItAsTheFirstNotSent) {
    MakeGroup(4);
    SmtpPeer peer;
    StoreAccount(peer.port());
    const struct {
        PartialRange range;
        qint32 cancelledAt;
        const char* line;
    } cases[] = {
        {{}, 2, "cancelled after recipient #1; #2 and later were not sent."},
        {{}, 1, "cancelled before recipient #1."},
        {{true, 2, 3}, 3, "cancelled after recipient #2; #3 and later were not sent."},
        {{}, 4, "cancelled after recipient #3; #4 and later were not sent."},
    };
    int delivered = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SendRun run;
        qint32 current = 0;
        QObject::connect(&run, &SendRun::recipientStarted, &run, [&current](qint32 p) { current = p; });
        QObject::connect(&run, &SendRun::messageProgress, &run, [&](qint32 value, qint32) {
            if (value == 0 && current == c.cancelledAt)
                run.requestCancel(); // the message's content is about to go out
        });
        EXPECT_EQ(run.run(TextInput(), c.range), SendRun::End::Cancelled);
        const qint32 before = c.cancelledAt - (c.range.enabled ? c.range.from : 1);
        EXPECT_EQ(run.sentCount(), before);
        EXPECT_EQ(run.failedCount(), 1);
        delivered += before;
        EXPECT_EQ(peer.messageCount(), delivered);
        const QString log = run.log();
        EXPECT_TRUE(log.contains(QStringLiteral("\r\nThe sending process was ") + QLatin1String(c.line) +
                                 QStringLiteral("\r\nPersonal Sending process has been completed.\r\n")))
            << log.toStdString();
        const QString mark = QLatin1String(c.line).chopped(1);
        EXPECT_EQ(HistoryCancelNote(run.historyBase() + QStringLiteral(".txt")),
                  QStringLiteral("C") + mark.mid(1));
    }
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

// Every message of a run gets the whole message afresh (the component clears body and attachments after
// each): its own plain text, the attachment, the priority and the read receipt to the sender. The window
// follows the run by its signals.
TEST(SendRun, EveryMessageCarriesTheBodyAttachmentPriorityAndReceipt) {
    MakeGroup(3);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SaveSetting(Sections::Account, Keys::AttachmentEncoding, QStringLiteral("Base 64"));
    const QString file = TempFolder() + QStringLiteral("price list.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("prices\n");
    }
    SendRunInput in = TextInput();
    in.priority = MessagePriority::High;
    in.readReceipt = true;
    in.attachments = {file};
    SendRun run;
    qint32 maximum = -1;
    QList<qint32> started, handled;
    QStringList subjects;
    QObject::connect(&run, &SendRun::overallMaximum, [&](qint32 m) { maximum = m; });
    QObject::connect(&run, &SendRun::recipientStarted, [&](qint32 p) { started << p; });
    QObject::connect(&run, &SendRun::overallValue, [&](qint32 v) { handled << v; });
    QObject::connect(&run, &SendRun::subjectPersonalised, [&](const QString& s) { subjects << s; });
    EXPECT_EQ(run.run(in, PartialRange{}), SendRun::End::Normal);

    ASSERT_EQ(peer.messageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        const QByteArray msg = peer.message(i);
        EXPECT_TRUE(msg.contains("Subject: Note for First" + n + "\r\n")) << msg.constData();
        EXPECT_TRUE(msg.contains("Dear First" + n + ",\r\nthe note."));
        EXPECT_FALSE(msg.contains("text/html"));
        EXPECT_TRUE(msg.contains("From: Sender Name <sender@example.test>\r\n")) << msg.constData();
        EXPECT_TRUE(msg.contains("X-Priority: 1 (Highest)\r\n"));
        EXPECT_TRUE(msg.contains("Disposition-Notification-To: sender@example.test\r\n"));
        EXPECT_EQ(msg.count("price list.txt"), 2) << "the name in Content-Type and Content-Disposition";
        EXPECT_TRUE(msg.contains(QByteArray("prices\n").toBase64()));
        EXPECT_EQ(peer.envelope(i).value(QStringLiteral("from")).toString(),
                  QStringLiteral("sender@example.test"));
    }
    EXPECT_EQ(maximum, 3);
    EXPECT_EQ(started, (QList<qint32>{1, 2, 3}));
    EXPECT_EQ(handled, (QList<qint32>{0, 1, 2, 3}));
    EXPECT_EQ(subjects, (QStringList{QStringLiteral("Note for First1"), QStringLiteral("Note for First2"),
                                     QStringLiteral("Note for First3")}));
}

// Each of the macros brings its own column's value into the subject and the body.
TEST(SendRun, EveryMacroReachesTheMessageFromItsOwnColumn) {
    MakeGroup(1);
    QStringList expected;
    {
        Connection db;
        ASSERT_TRUE(db.Open());
        for (const MergeMacro& m : MergeMacros) {
            const QString column = QString::fromLatin1(m.column);
            if (column == QLatin1String("G-Email")) {
                expected << QStringLiteral("r1@example.test");
                continue;
            }
            expected << QStringLiteral("Value%1x").arg(expected.size() + 1, 2, 10, QLatin1Char('0'));
            ASSERT_EQ(db.ExecuteWrite(
                          QStringLiteral("UPDATE [Emails] SET [%1] = '%2'").arg(column, expected.last())),
                      1)
                << m.column;
        }
    }
    QString subject, body = QStringLiteral("<html><body>\n");
    for (const MergeMacro& m : MergeMacros) {
        subject += QString::fromLatin1(m.macro) + QLatin1Char(' ');
        body += QStringLiteral("<p>%1</p>\n").arg(QString::fromLatin1(m.macro));
    }
    body += QStringLiteral("</body></html>\n");
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRunInput in = HtmlInput(subject.trimmed());
    in.writeHtmlBody = [body] {
        const QString path = TempFolder() + QStringLiteral("AllMacros.htm");
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(body.toUtf8()) > 0 ? path
                                                                                                : QString();
    };
    SendRun run;
    EXPECT_EQ(run.run(in, PartialRange{}), SendRun::End::Normal);
    ASSERT_EQ(peer.messageCount(), 1);
    const QByteArray msg = peer.message(0);
    QByteArray header = msg.left(msg.indexOf("\r\n\r\n") + 2);
    header.replace("\r\n ", " ").replace("\r\n\t", "\t"); // unfolded
    EXPECT_TRUE(header.contains("Subject: " + expected.join(QLatin1Char(' ')).toUtf8() + "\r\n"))
        << header.constData();
    for (const QString& value : std::as_const(expected))
        EXPECT_TRUE(msg.contains("<p>" + value.toUtf8() + "</p>")) << value.toStdString();
    EXPECT_FALSE(msg.contains("$*Merge"));
}

// A body file that cannot be opened is logged for each message, and each goes out without its body,
// as the account's set-up says.
TEST(SendRun, BodyFileThatCannotBeOpenedIsLoggedForEachMessage) {
    MakeGroup(2);
    SmtpPeer peer;
    StoreAccount(peer.port());
    SendRunInput in = HtmlInput();
    in.writeHtmlBody = [] { return TempFolder() + QStringLiteral("gone.htm"); };
    SendRun run;
    EXPECT_EQ(run.run(in, PartialRange{}), SendRun::End::Normal);
    const QString log = run.log();
    EXPECT_EQ(log.count(QStringLiteral("Error 1: Failure opening file.\r\n\r\n")), 2) << log.toStdString();
    EXPECT_EQ(run.sentCount(), 2);
    ASSERT_EQ(peer.messageCount(), 2);
    EXPECT_FALSE(peer.message(1).contains("Dear"));
}
