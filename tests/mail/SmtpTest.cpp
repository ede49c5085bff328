// The SMTP class against real peers (aiosmtpd, smtp-sink) and scripted fakes on 127.0.0.1.
#include "mail/Smtp.h"
#include "mail/MimeComposer.h"
#include "tests/mail/SmtpPeers.h"
#include "tests/support/BlockedOpens.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using mail::Smtp;
using namespace smtptest;

namespace {

const QString kUser = QStringLiteral("joe");
const QString kPassword = QStringLiteral("S3cret!pw");

std::unique_ptr<Smtp> MakeSmtp(quint16 port, QString* log = nullptr) {
    auto smtp = std::make_unique<Smtp>();
    smtp->SetTimeouts(3000, 3000, 3000);
    smtp->SetMailServer(QStringLiteral("127.0.0.1"));
    smtp->SetPort(port);
    smtp->SetClientHostName(QStringLiteral("client.test"));
    smtp->SetFromName(QStringLiteral("Sender"));
    smtp->SetFromAddress(QStringLiteral("sender@sender.test"));
    smtp->SetBodyFormat(0);
    smtp->SetCharset(QStringLiteral("utf-8"));
    if (log)
        QObject::connect(smtp.get(), &Smtp::ConnectLog, [log](const QString& text, qint32) { *log += text; });
    return smtp;
}

void Message(Smtp& smtp, const QString& to, const QString& subject, const QString& body) {
    smtp.AddRecipient(QStringLiteral("Someone"), to, mail::RecipientKind::To);
    smtp.SetSubject(subject);
    smtp.SetBodyText(body);
}

QString Header(const QJsonObject& env, const char* name) {
    const QJsonArray values =
        env.value(QStringLiteral("headers")).toObject().value(QLatin1String(name)).toArray();
    return values.isEmpty() ? QString() : values.first().toString();
}

QStringList Strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& x : v.toArray())
        out += x.isArray() ? Strings(x).join(u' ') : x.toString();
    return out;
}

class SmtpPeerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        full = new PythonPeer({QStringLiteral("--user"), kUser, QStringLiteral("--password"), kPassword,
                               QStringLiteral("--pipelining"), QStringLiteral("--dsn"),
                               QStringLiteral("--refuse-mail"), QStringLiteral("refused@sender.test"),
                               QStringLiteral("--refuse-rcpt"), QStringLiteral("nobody@rcpt.test"),
                               QStringLiteral("--drop-rcpt"), QStringLiteral("drop@rcpt.test")});
        plain = new PythonPeer({});
    }
    static void TearDownTestSuite() {
        delete full;
        delete plain;
        full = plain = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(full->ok() && plain->ok()) << "aiosmtpd peer did not start";
        full->clear();
        plain->clear();
    }
    static PythonPeer* full;  // authentication, PIPELINING, DSN, refusals, drop in DATA
    static PythonPeer* plain; // aiosmtpd as it comes: no PIPELINING, no DSN, no AUTH
};

PythonPeer* SmtpPeerTest::full = nullptr;
PythonPeer* SmtpPeerTest::plain = nullptr;

} // namespace

// A send run: one connection, two messages with ClearMessage between them, then Disconnect.
TEST_F(SmtpPeerTest, TwoMessagesAfterClearMessageKeepHeadersAndCarryOneRecipientEach) {
    QString log;
    auto smtp = MakeSmtp(full->port(), &log);
    smtp->AddHeader(QStringLiteral("X-Mailer"), QStringLiteral("Torvale Velanto Ostrel 1.0"));
    smtp->SetPriority(QStringLiteral("1"));
    ASSERT_EQ(smtp->Connect(0), 0) << log.toStdString();
    EXPECT_TRUE(smtp->GetServerReply().startsWith(QStringLiteral("220 ")));
    EXPECT_TRUE(smtp->GetServerReply().contains(QStringLiteral("250-PIPELINING")));

    Message(*smtp, QStringLiteral("first@rcpt.test"), QStringLiteral("One"), QStringLiteral("Hello one"));
    qint32 lastValue = -1, lastMax = -1;
    QObject::connect(smtp.get(), &Smtp::Progress, [&](qint32 v, qint32 m) {
        lastValue = v;
        lastMax = m;
    });
    EXPECT_EQ(smtp->Send(), 0) << log.toStdString();
    EXPECT_GT(lastMax, 0);
    EXPECT_EQ(lastValue, lastMax);
    smtp->ClearMessage(3);
    EXPECT_TRUE(smtp->Spec().recipients.isEmpty());
    Message(*smtp, QStringLiteral("second@rcpt.test"), QStringLiteral("Two"), QStringLiteral("Hello two"));
    EXPECT_EQ(smtp->Send(), 0) << log.toStdString();
    EXPECT_TRUE(smtp->IsConnected());
    // The end of a run: ResetSession keeps a healthy connection, so Disconnect still says QUIT.
    smtp->ResetSession();
    EXPECT_EQ(smtp->Disconnect(0), 0);
    EXPECT_FALSE(smtp->IsConnected());
    EXPECT_EQ(smtp->Disconnect(0), 0) << "no connection: nothing to terminate";

    const auto envs = full->envelopes();
    ASSERT_EQ(envs.size(), 2);
    EXPECT_EQ(Strings(envs[0].value(QStringLiteral("rcpt_tos"))),
              QStringList{QStringLiteral("first@rcpt.test")});
    EXPECT_EQ(Strings(envs[1].value(QStringLiteral("rcpt_tos"))),
              QStringList{QStringLiteral("second@rcpt.test")});
    for (const auto& env : envs) {
        EXPECT_EQ(env.value(QStringLiteral("mail_from")).toString(), QStringLiteral("sender@sender.test"));
        EXPECT_EQ(Header(env, "x-mailer"), QStringLiteral("Torvale Velanto Ostrel 1.0"));
        EXPECT_EQ(env.value(QStringLiteral("helo")).toString(), QStringLiteral("client.test"));
        EXPECT_TRUE(env.value(QStringLiteral("defects")).toArray().isEmpty());
    }
    EXPECT_EQ(Header(envs[1], "subject"), QStringLiteral("Two"));
    EXPECT_EQ(envs[1].value(QStringLiteral("body")).toString().trimmed(), QStringLiteral("Hello two"));
    EXPECT_EQ(full->commands().count(QStringLiteral("QUIT")), 1);
    // One transaction per message, no RSET needed between accepted messages.
    EXPECT_EQ(full->commands().count(QStringLiteral("RSET")), 0);
}

// The envelope goes in one write when the server offers PIPELINING, command by command otherwise; DSN
// parameters only go to a server that offers DSN.
TEST_F(SmtpPeerTest, PipeliningAndDsnFollowWhatTheServerOffers) {
    for (PythonPeer* peer : {full, plain}) {
        QString log;
        auto smtp = MakeSmtp(peer->port(), &log);
        smtp->SetDsnNotify(Smtp::DsnFailure | Smtp::DsnSuccess | Smtp::DsnDelay);
        smtp->SetDsnReturn(Smtp::DsnReturnHeaders);
        Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
        smtp->AddRecipient(QStringLiteral("Copy"), QStringLiteral("b@rcpt.test"), mail::RecipientKind::Cc);
        ASSERT_EQ(smtp->Send(), 0) << log.toStdString();
        const auto envs = peer->envelopes();
        ASSERT_EQ(envs.size(), 1);
        EXPECT_EQ(Strings(envs[0].value(QStringLiteral("rcpt_tos"))),
                  (QStringList{QStringLiteral("a@rcpt.test"), QStringLiteral("b@rcpt.test")}));
        const qsizetype mailAt = log.indexOf(QStringLiteral("MAIL FROM:<sender@sender.test>"));
        const qsizetype secondRcptAt = log.indexOf(QStringLiteral("RCPT TO:<b@rcpt.test>"));
        const qsizetype mailReplyAt = log.indexOf(QStringLiteral("250 OK"), mailAt);
        ASSERT_GE(mailAt, 0);
        if (peer == full) {
            EXPECT_LT(secondRcptAt, mailReplyAt) << "both RCPT written before the MAIL reply\n"
                                                 << log.toStdString();
            EXPECT_EQ(Strings(envs[0].value(QStringLiteral("dsn_mail"))),
                      QStringList{QStringLiteral("RET=HDRS")});
            EXPECT_EQ(Strings(envs[0].value(QStringLiteral("dsn_rcpt"))),
                      (QStringList{QStringLiteral("NOTIFY=SUCCESS,FAILURE,DELAY"),
                                   QStringLiteral("NOTIFY=SUCCESS,FAILURE,DELAY")}));
        } else {
            EXPECT_GT(secondRcptAt, mailReplyAt) << "RCPT only after the MAIL reply\n" << log.toStdString();
            EXPECT_FALSE(log.contains(QStringLiteral("NOTIFY=")));
            EXPECT_FALSE(log.contains(QStringLiteral("RET=")));
        }
        // Send without Connect carries the whole conversation and closes it.
        EXPECT_FALSE(smtp->IsConnected());
        EXPECT_TRUE(peer->commands().contains(QStringLiteral("QUIT")));
    }
}

// A refused MAIL or RCPT resets the transaction, and the next message on the same connection still goes.
TEST_F(SmtpPeerTest, RefusedSenderOrRecipientResetsAndTheNextMessageGoes) {
    QString log;
    auto smtp = MakeSmtp(full->port(), &log);
    ASSERT_EQ(smtp->Connect(0), 0);

    smtp->SetFromAddress(QStringLiteral("refused@sender.test"));
    Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->Send(), 7);
    smtp->ClearMessage(3);
    smtp->SetFromAddress(QStringLiteral("sender@sender.test"));
    Message(*smtp, QStringLiteral("nobody@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->Send(), 8);
    smtp->ClearMessage(3);
    Message(*smtp, QStringLiteral("good@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->Send(), 0) << log.toStdString();
    EXPECT_EQ(smtp->Disconnect(0), 0);

    EXPECT_EQ(full->commands().count(QStringLiteral("RSET")), 2);
    const auto envs = full->envelopes();
    ASSERT_EQ(envs.size(), 1);
    EXPECT_EQ(Strings(envs[0].value(QStringLiteral("rcpt_tos"))),
              QStringList{QStringLiteral("good@rcpt.test")});
}

// A server that closes in the middle of DATA: 16, and the next Send opens a new connection.
TEST_F(SmtpPeerTest, ServerClosingInDataGivesSocketErrorAndTheRunGoesOn) {
    QString log;
    auto smtp = MakeSmtp(full->port(), &log);
    ASSERT_EQ(smtp->Connect(0), 0);
    Message(*smtp, QStringLiteral("drop@rcpt.test"), QStringLiteral("S"), QString(200000, u'x'));
    EXPECT_EQ(smtp->Send(), 16) << log.toStdString();
    EXPECT_FALSE(smtp->IsConnected());
    smtp->ClearMessage(3);
    Message(*smtp, QStringLiteral("after@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->Send(), 0) << log.toStdString();
    EXPECT_TRUE(smtp->IsConnected()) << "a Send after Connect keeps the connection it had to reopen";
    EXPECT_EQ(smtp->Disconnect(0), 0);
    EXPECT_EQ(full->envelopes().size(), 1);
}

// Every mechanism against a peer that checks the credentials; the secret never reaches the log.
TEST_F(SmtpPeerTest, AuthenticationMechanismsAndTheirFailures) {
    const QByteArray secretB64 = kPassword.toUtf8().toBase64();
    for (qint32 mode : {Smtp::AuthLogin, Smtp::AuthCramMd5}) {
        QString log;
        auto smtp = MakeSmtp(full->port(), &log);
        smtp->SetUserName(kUser);
        smtp->SetPassword(kPassword);
        smtp->SetAuthMode(mode);
        smtp->EnableEsmtp(1);
        ASSERT_EQ(smtp->Connect(0), 0) << mode << log.toStdString();
        Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
        EXPECT_EQ(smtp->Send(), 0);
        EXPECT_EQ(smtp->Disconnect(0), 0);
        EXPECT_TRUE(log.contains(QStringLiteral("235")));
        EXPECT_TRUE(log.contains(QStringLiteral("***")));
        EXPECT_FALSE(log.contains(kPassword));
        EXPECT_FALSE(log.contains(QString::fromLatin1(secretB64)));
        EXPECT_FALSE(log.contains(QString::fromLatin1(kUser.toUtf8().toBase64())));

        auto wrong = MakeSmtp(full->port(), &log);
        wrong->SetUserName(kUser);
        wrong->SetPassword(QStringLiteral("wrong"));
        wrong->SetAuthMode(mode);
        EXPECT_EQ(wrong->Connect(0), 24) << mode;
    }
    auto envs = full->envelopes();
    ASSERT_EQ(envs.size(), 2);
    EXPECT_TRUE(envs[0].value(QStringLiteral("authenticated")).toBool());

    // A mechanism the server does not offer, and a server without AUTH at all.
    auto ntlm = MakeSmtp(full->port());
    ntlm->SetUserName(kUser);
    ntlm->SetPassword(kPassword);
    ntlm->SetAuthMode(Smtp::AuthNtlm);
    EXPECT_EQ(ntlm->Connect(0), 25);
    auto none = MakeSmtp(plain->port());
    none->SetUserName(kUser);
    none->SetPassword(kPassword);
    none->SetAuthMode(Smtp::AuthLogin);
    EXPECT_EQ(none->Connect(0), 25);
}

// Dot-stuffing and line ends: lines that begin with "." and bare LF / CR line breaks arrive intact.
TEST_F(SmtpPeerTest, DotStuffingAndLineEndsSurviveTheTrip) {
    auto smtp = MakeSmtp(full->port());
    smtp->SetBodyEncoding(mail::EncodingNone);
    const QString body = QStringLiteral(".hidden\n..two\n.\nend\rlast");
    Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("Dots"), body);
    ASSERT_EQ(smtp->Send(), 0);
    const auto raw = full->messages();
    ASSERT_EQ(raw.size(), 1);
    EXPECT_TRUE(raw[0].contains("\r\n.hidden\r\n..two\r\n.\r\nend\r\nlast")) << raw[0].toStdString();
    EXPECT_EQ(full->envelopes()[0].value(QStringLiteral("body")).toString().trimmed(),
              QStringLiteral(".hidden\r\n..two\r\n.\r\nend\r\nlast"));
}

// Header values with line breaks stay one header; unreadable attachments fail the message before any
// server is contacted; an empty attachment path is ignored.
TEST_F(SmtpPeerTest, HeadersStayOneLineAndBadAttachmentsNeverSend) {
    QTemporaryDir dir;
    auto smtp = MakeSmtp(full->port());
    smtp->AddHeader(QStringLiteral("X-Test"), QStringLiteral("a\r\nBcc: evil@evil.test"));
    smtp->AddHeader(QStringLiteral("Bad Name"), QStringLiteral("x"));
    Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("Sub\r\nject"), QStringLiteral("B"));
    EXPECT_EQ(smtp->AttachFile(QString(), QString(), mail::AttachBase64), 0);
    EXPECT_TRUE(smtp->Spec().attachments.isEmpty());
    ASSERT_EQ(smtp->Send(), 0);
    const auto env = full->envelopes().value(0);
    EXPECT_TRUE(Header(env, "bcc").isEmpty());
    EXPECT_TRUE(Header(env, "x-test").startsWith(QStringLiteral("a ")));
    EXPECT_TRUE(Header(env, "bad name").isEmpty());
    EXPECT_EQ(Strings(env.value(QStringLiteral("rcpt_tos"))), QStringList{QStringLiteral("a@rcpt.test")});

    full->clear();
    smtp->ClearMessage(3);
    Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->AttachFileSimple(dir.filePath(QStringLiteral("missing.pdf")), 0), 10);
    EXPECT_EQ(smtp->Send(), 10);
    smtp->ClearMessage(3);
    Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->AttachFile(dir.path(), QString(), mail::AttachBase64), 10) << "a folder is no attachment";
    EXPECT_EQ(smtp->Send(), 10);
    EXPECT_TRUE(full->commands().isEmpty()) << "no server was contacted";

    // No sender, no recipient, a recipient that would inject a command.
    auto bad = MakeSmtp(full->port());
    bad->SetFromAddress(QString());
    Message(*bad, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(bad->Send(), 7);
    bad->SetFromAddress(QStringLiteral("sender@sender.test"));
    bad->ClearMessage(3);
    EXPECT_EQ(bad->Send(), 8);
    bad->AddRecipient(QString(), QStringLiteral("a@rcpt.test>\r\nRSET"), mail::RecipientKind::To);
    EXPECT_EQ(bad->Send(), 8);
}

// Cancel from a handler of ConnectLog while Send runs: 20, nothing delivered, the next Send goes.
TEST_F(SmtpPeerTest, CancelFromConnectLogDuringSend) {
    auto smtp = MakeSmtp(full->port());
    ASSERT_EQ(smtp->Connect(0), 0);
    bool armed = true;
    QObject::connect(smtp.get(), &Smtp::ConnectLog, [&](const QString& text, qint32) {
        if (armed && text.startsWith(QStringLiteral("DATA"))) {
            armed = false;
            // A nested operation is refused while one runs.
            EXPECT_EQ(smtp->Disconnect(0), 1);
            smtp->Cancel();
        }
    });
    Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->Send(), 20);
    EXPECT_TRUE(full->envelopes().isEmpty());
    EXPECT_EQ(smtp->Send(), 0) << "after a cancel the next Send works on a new connection";
    EXPECT_EQ(smtp->Disconnect(0), 0);
    EXPECT_EQ(full->envelopes().size(), 1);
}

// deleteLater from a handler while an operation runs is held back until the operation has returned.
TEST_F(SmtpPeerTest, DeleteLaterDuringAnOperationWaitsForItsEnd) {
    QPointer<Smtp> smtp = MakeSmtp(full->port()).release();
    QObject::connect(smtp.data(), &Smtp::ConnectLog, smtp.data(), [&](const QString&, qint32) {
        smtp->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    EXPECT_EQ(smtp->Connect(0), 0);
    ASSERT_FALSE(smtp.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(smtp.isNull());
}

// A self-signed certificate for 127.0.0.1 in dir: {certificate, key}.
static QStringList MakeCertificate(const QTemporaryDir& dir) {
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), key,
                   QStringLiteral("-out"), cert});
    if (!openssl.waitForFinished(10000) || openssl.exitCode() != 0)
        return {};
    return {cert, key};
}

// STARTTLS is used whenever offered; the certificate must be trusted, otherwise the connect fails.
TEST(SmtpTls, StartTlsWhenOfferedAndCertificateChecked) {
    QTemporaryDir dir;
    const QStringList files = MakeCertificate(dir);
    ASSERT_EQ(files.size(), 2);
    const QString cert = files[0], key = files[1];
    PythonPeer peer({QStringLiteral("--tls"), cert, key, QStringLiteral("--user"), kUser,
                     QStringLiteral("--password"), kPassword});
    ASSERT_TRUE(peer.ok());

    QString log;
    auto untrusted = MakeSmtp(peer.port(), &log);
    EXPECT_EQ(untrusted->Connect(0), 9) << log.toStdString();

    log.clear();
    auto smtp = MakeSmtp(peer.port(), &log);
    smtp->AddCaCertificates(QSslCertificate::fromPath(cert));
    smtp->SetUserName(kUser);
    smtp->SetPassword(kPassword);
    smtp->SetAuthMode(Smtp::AuthLogin);
    ASSERT_EQ(smtp->Connect(0), 0) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("TLS started")));
    EXPECT_LT(log.indexOf(QStringLiteral("TLS started")), log.indexOf(QStringLiteral("AUTH LOGIN")));
    Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->Send(), 0);
    EXPECT_EQ(smtp->Disconnect(0), 0);
    EXPECT_EQ(peer.envelopes().size(), 1);
}

// Postfix's smtp-sink: many pipelined messages over one connection.
TEST(SmtpSink, ManyMessagesOverOneConnection) {
    if (!QFileInfo::exists(QStringLiteral("/usr/sbin/smtp-sink")))
        GTEST_SKIP() << "smtp-sink is missing: the test command installs postfix only where no other mail "
                        "server is installed, as postfix would replace it";
    SinkPeer sink;
    ASSERT_TRUE(sink.ok());
    QString log;
    auto smtp = MakeSmtp(sink.port(), &log);
    ASSERT_EQ(smtp->Connect(0), 0) << log.toStdString();
    EXPECT_TRUE(smtp->GetServerReply().contains(QStringLiteral("PIPELINING")));
    for (int i = 0; i < 50; ++i) {
        Message(*smtp, QStringLiteral("r%1@rcpt.test").arg(i), QStringLiteral("S %1").arg(i),
                QStringLiteral("B"));
        ASSERT_EQ(smtp->Send(), 0) << i;
        smtp->ClearMessage(3);
    }
    EXPECT_EQ(smtp->Disconnect(0), 0);
}

// Port 465 speaks TLS from the first byte. Binding it needs root; elsewhere the case is skipped.
TEST(SmtpTls, ImplicitTlsOnPort465) {
    QTemporaryDir dir;
    const QStringList files = MakeCertificate(dir);
    ASSERT_EQ(files.size(), 2);
    PythonPeer peer({QStringLiteral("--implicit-tls"), files[0], files[1], QStringLiteral("--port"),
                     QStringLiteral("465")});
    if (!peer.ok())
        GTEST_SKIP() << "127.0.0.1:465 cannot be bound here";
    QString log;
    auto untrusted = MakeSmtp(465, &log);
    EXPECT_EQ(untrusted->Connect(0), 9);
    auto smtp = MakeSmtp(465, &log);
    smtp->AddCaCertificates(QSslCertificate::fromPath(files[0]));
    ASSERT_EQ(smtp->Connect(0), 0) << log.toStdString();
    Message(*smtp, QStringLiteral("a@rcpt.test"), QStringLiteral("S"), QStringLiteral("B"));
    EXPECT_EQ(smtp->Send(), 0);
    EXPECT_EQ(smtp->Disconnect(0), 0);
    EXPECT_EQ(peer.envelopes().size(), 1);
}

// Only regular files are attachments: a named pipe would block the open until some writer comes, and
// a device or a link to one would be read without end. Each fails as "cannot be opened", also when a
// regular file is swapped for one of them between AttachFile and the message's composition.
TEST(SmtpAttachments, SpecialFilesFailAtOnceAndAreNeverRead) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const testenv::BlockedOpens blocked(fifo);
    const QString zeroLink = dir.filePath(QStringLiteral("zero.bin"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zeroLink));

    const struct {
        QString path;
        const char* what;
    } cases[] = {
        {fifo, "named pipe"}, {QStringLiteral("/dev/zero"), "device"}, {zeroLink, "link to a device"}};
    for (const auto& c : cases) {
        Smtp smtp;
        EXPECT_EQ(smtp.AttachFile(c.path, QString(), mail::AttachBase64), 10) << c.what;
        EXPECT_EQ(smtp.ImportBodyFile(c.path, mail::ImportHtmlOnly), 1)
            << c.what << ": an HTML body is no special file either";
        EXPECT_EQ(blocked.count(), 0) << c.what;
    }

    // Attached while regular, then replaced before the message is composed.
    const QString swapped = dir.filePath(QStringLiteral("report.pdf"));
    for (const QString& target : {QStringLiteral("/dev/zero"), fifo}) {
        QFile f(swapped);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4\n");
        f.close();
        Smtp smtp;
        smtp.SetFromAddress(QStringLiteral("a@b.test"));
        smtp.AddRecipient(QString(), QStringLiteral("c@d.test"), mail::RecipientKind::To);
        smtp.SetBodyText(QStringLiteral("x"));
        ASSERT_EQ(smtp.AttachFile(swapped, QString(), mail::AttachBase64), 0);
        ASSERT_TRUE(QFile::remove(swapped));
        ASSERT_TRUE(QFile::link(target, swapped));
        EXPECT_EQ(smtp.SaveMessageFile(dir.filePath(QStringLiteral("out.eml"))), 10) << target.toStdString();
        EXPECT_EQ(blocked.count(), 0) << target.toStdString();
        QFile::remove(swapped);
    }
}

// An attachment is encoded once for all the messages (and their saved copies) of one SMTP object, and
// again when the file changes on disk, even to the same size and modification time, or its encoding.
TEST(SmtpAttachments, EncodedOnceWhileTheFileStaysTheSame) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.bin"));
    auto write = [&path](char fill) {
        QFile f(path);
        const QDateTime when = QFileInfo(path).lastModified();
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100000, fill) + '\0');
        f.close();
        if (when.isValid())
            f.setFileTime(when, QFileDevice::FileModificationTime);
    };
    write('a');
    struct Step {
        char rewrite; // 0: the file stays
        qint32 encoding;
        int encodings; // new encodings for this message and its saved copy
    };
    const Step steps[] = {{0, mail::AttachBase64, 1},
                          {0, mail::AttachBase64, 0},
                          {'b', mail::AttachBase64, 1},
                          {0, mail::AttachQuotedPrintable, 1},
                          {0, mail::AttachQuotedPrintable, 0}};
    Smtp smtp;
    smtp.SetFromAddress(QStringLiteral("a@b.test"));
    char content = 'a';
    for (const Step& s : steps) {
        if (s.rewrite) {
            write(s.rewrite);
            content = s.rewrite;
        }
        const qint64 before = mail::AttachmentEncodings();
        smtp.AddRecipient(QString(), QStringLiteral("c@d.test"), mail::RecipientKind::To);
        smtp.SetBodyText(QStringLiteral("x"));
        ASSERT_EQ(smtp.AttachFile(path, QString(), s.encoding), 0);
        const QString eml = dir.filePath(QStringLiteral("out.eml"));
        ASSERT_EQ(smtp.SaveMessageFile(eml), 0);
        ASSERT_EQ(smtp.SaveMessageFile(eml), 0);
        EXPECT_EQ(mail::AttachmentEncodings() - before, s.encodings) << &s - steps;
        QFile f(eml);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        const QByteArray run(57, content);
        EXPECT_TRUE(saved.contains(s.encoding == mail::AttachBase64 ? run.toBase64() : run)) << &s - steps;
        smtp.ClearMessage(3);
    }
}

// A document sent to many recipients is imported once and its bodies put back for each of them: every
// recipient's message is the one a fresh import of the same file would have made, with that
// recipient's values only, in both import modes.
TEST(SmtpBodies, PutBackBodyMatchesAFreshImportForEachRecipient) {
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("logo.png"));
    const QString html = dir.filePath(QStringLiteral("body.htm"));
    for (const auto& [path, bytes] :
         {std::pair{picture, QByteArray("\x89PNG\r\n\x1a\n")},
          std::pair{html,
                    QByteArray("<html><body><p>Dear $*MergeFirstName*$,</p><img src=\"logo.png\">"
                               "<img src=\"gone.png\"><p>$*MergeFirstName*$ &amp; co</p></body></html>")}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const QString macro = QStringLiteral("$*MergeFirstName*$");
    for (const qint32 mode : {mail::ImportHtmlOnly, mail::ImportHtmlWithText}) {
        Smtp fresh, reused;
        ASSERT_EQ(reused.ImportBodyFile(html, mode), mail::ImportOk);
        const mail::MessageBody body = reused.TakeBody();
        for (const QString& name : {QStringLiteral("Ann <&>"), QStringLiteral("Bob"), QString()}) {
            ASSERT_EQ(fresh.ImportBodyFile(html, mode), mail::ImportOk);
            reused.PutBody(body);
            fresh.ReplaceMergeField(macro, name);
            reused.ReplaceMergeField(macro, name);
            const mail::MessageSpec& a = fresh.Spec();
            const mail::MessageSpec& b = reused.Spec();
            EXPECT_EQ(b.htmlBody, a.htmlBody) << mode;
            EXPECT_EQ(b.bodyText, a.bodyText) << mode;
            EXPECT_EQ(b.textAlternative, a.textAlternative) << mode;
            EXPECT_EQ(b.leftOutPictures, a.leftOutPictures) << mode;
            ASSERT_EQ(b.related.size(), 1) << mode;
            EXPECT_EQ(b.related[0].contentId, a.related[0].contentId) << mode;
            EXPECT_FALSE(b.htmlBody.contains(macro)) << mode;
            fresh.ClearMessage(3);
            reused.ClearMessage(3);
        }
    }
}
