#include "mail/Smtp.h"

#include "mail/DataBlock.h"
#include "mail/MimeComposer.h"
#include "mail/SmtpConversation.h"

#include <QEvent>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslCipher>
#include <QSslConfiguration>

#include <gsasl.h>

#include <utility>

// The SMTP object's operations: connect, greet, authenticate, send, quit (the result codes are listed
// in Smtp.cpp).

namespace mail {

namespace {

Gsasl* SaslContext() {
    static Gsasl* ctx = [] {
        Gsasl* c = nullptr;
        return gsasl_init(&c) == GSASL_OK ? c : nullptr;
    }();
    return ctx;
}

bool ValidEnvelopeAddress(const QString& address) {
    if (address.isEmpty())
        return false;
    for (QChar c : address) {
        if (c.unicode() <= 0x20 || c == u'<' || c == u'>' || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

bool HasEightBit(const QByteArray& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

} // namespace

// --- Operations ----------------------------------------------------------------------------------------

bool Smtp::event(QEvent* e) {
    if (e->type() == QEvent::DeferredDelete && m_busy) {
        m_deletePending = true;
        return true;
    }
    return QObject::event(e);
}

qint32 Smtp::BeginOperation() {
    if (m_busy)
        return 1;
    m_busy = true;
    m_cancelled = false;
    return 0;
}

void Smtp::EndOperation() {
    if (m_conv && (m_resetPending || m_conv->broken || m_conv->lost))
        m_conv.reset();
    m_resetPending = false;
    m_busy = false;
    if (m_deletePending) {
        m_deletePending = false;
        deleteLater();
    }
}

void Smtp::Cancel() {
    if (!m_busy)
        return;
    m_cancelled = true;
    if (m_conv)
        m_conv->Wake();
}

void Smtp::ResetSession() {
    if (m_busy) {
        m_resetPending = true;
        Cancel();
        return;
    }
    m_cancelled = false;
    if (m_conv && !m_conv->Alive())
        m_conv.reset();
}

qint32 Smtp::Connect(qint32 flags) {
    Q_UNUSED(flags)
    if (BeginOperation() != 0)
        return 1;
    m_keepOpen = true;
    qint32 rc = 0;
    if (m_conv && m_conv->overflow) {
        rc = 18;
        m_conv->broken = true;
    } else if (!IsConnected()) {
        rc = OpenConversation();
    }
    m_connectFailure = rc;
    EndOperation();
    return rc;
}

qint32 Smtp::Disconnect(qint32 flags) {
    Q_UNUSED(flags)
    if (BeginOperation() != 0)
        return 1;
    m_keepOpen = false;
    m_connectFailure = 0;
    qint32 rc = 0;
    if (m_conv && m_conv->overflow)
        rc = 18;
    else if (IsConnected())
        rc = CloseConversation();
    m_conv.reset();
    EndOperation();
    return rc;
}

qint32 Smtp::Send() {
    if (BeginOperation() != 0)
        return 1;
    qint32 rc = 0;
    if (m_keepOpen && m_connectFailure != 0)
        rc = m_connectFailure;
    else if (m_conv && m_conv->overflow)
        rc = m_conv->Fail(18);
    else if (!ValidEnvelopeAddress(m_spec.fromAddress))
        rc = 7;
    else if (m_spec.recipients.isEmpty())
        rc = 8;
    for (const Recipient& r : std::as_const(m_spec.recipients)) {
        if (rc == 0 && !ValidEnvelopeAddress(r.address))
            rc = 8;
    }
    if (rc == 0)
        rc = m_attachError;
    QByteArray message;
    if (rc == 0) {
        qint32 composed = 0;
        message = ComposeMessage(m_spec, &composed);
        if (composed != 0)
            rc = composed;
        else if (message.isEmpty())
            rc = 4;
    }
    bool oneShot = false;
    if (rc == 0 && !IsConnected()) {
        m_conv.reset();
        rc = OpenConversation();
        oneShot = !m_keepOpen;
        // A lost connection is opened again once; when that fails the server is not tried again.
        if (m_keepOpen && rc != 0 && rc != 20)
            m_connectFailure = rc;
    }
    if (rc == 0)
        rc = Transaction(std::move(message));
    if (oneShot && IsConnected()) {
        // The message's fate is decided by its own transaction; a failing QUIT is only logged.
        CloseConversation();
        m_conv.reset();
    }
    EndOperation();
    return rc;
}

qint32 Smtp::OpenConversation() {
    QStringList servers;
    for (const QString& s : m_servers.split(u';')) {
        if (!s.trimmed().isEmpty())
            servers += s.trimmed();
    }
    if (servers.isEmpty())
        return 15;
    if (m_port < 1 || m_port > 65535)
        return 9;
    qint32 rc = 9;
    for (const QString& host : std::as_const(servers)) {
        m_conv.reset();
        rc = OpenServer(host);
        if (rc == 0 || rc == 20 || rc == 24 || rc == 25 || rc == 26)
            break;
    }
    if (rc != 0 && m_conv)
        m_conv->broken = true;
    return rc;
}

qint32 Smtp::OpenServer(const QString& host) {
    m_conv = std::make_unique<SmtpConversation>(*this);
    SmtpConversation& c = *m_conv;
    c.host = host;

    // Host look-up, bounded by its own time-out.
    QList<QHostAddress> addresses;
    QHostAddress literal;
    if (literal.setAddress(host)) {
        addresses.append(literal);
    } else {
        bool done = false;
        QHostInfo info;
        QObject context;
        const int id = QHostInfo::lookupHost(host, &context, [&](const QHostInfo& result) {
            info = result;
            done = true;
            c.Wake();
        });
        const qint32 rc = c.Wait([&] { return done; }, m_resolveTimeout, 21, 17);
        if (rc != 0) {
            QHostInfo::abortHostLookup(id);
            return rc;
        }
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            emit ConnectLog(QStringLiteral("Could not resolve %1.\r\n").arg(host), 0);
            return 17;
        }
        addresses = info.addresses();
    }

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_extraCas.isEmpty())
        tls.addCaCertificates(m_extraCas);
    c.socket.setSslConfiguration(tls);
    const bool implicitTls = m_port == 465;

    qint32 rc = 9;
    for (const QHostAddress& address : std::as_const(addresses)) {
        emit ConnectLog(
            QStringLiteral("Connecting to %1 (%2) port %3.\r\n").arg(host, address.toString()).arg(m_port),
            0);
        c.lost = false;
        c.socketError = QAbstractSocket::UnknownSocketError;
        c.broken = false;
        if (implicitTls)
            c.socket.connectToHostEncrypted(address.toString(), quint16(m_port), host);
        else
            c.socket.connectToHost(address, quint16(m_port));
        rc = c.Wait(
            [&] {
                return c.socket.state() == QAbstractSocket::ConnectedState &&
                       (!implicitTls || c.socket.isEncrypted());
            },
            m_connectTimeout, 22, 9);
        if (rc == 0 || rc == 20 || rc == 22)
            break;
        emit ConnectLog(QStringLiteral("Connection failed: %1\r\n").arg(c.socket.errorString()), 0);
        c.socket.abort();
    }
    if (rc != 0)
        return rc;
    c.socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);

    SmtpReply greeting;
    rc = c.ReadReply(greeting);
    if (rc != 0)
        return rc;
    if (greeting.code != 220)
        return c.Fail(5);
    c.greeting = greeting.Text();
    c.serverReply = c.greeting;

    rc = Hello(c);
    if (rc != 0)
        return rc;

    if (c.startTls && !c.socket.isEncrypted()) {
        SmtpReply reply;
        rc = c.Command("STARTTLS", reply);
        if (rc != 0)
            return rc;
        if (reply.code != 220)
            return c.Fail(9);
        c.in.clear(); // nothing sent before the hand-shake may count as an answer after it
        c.socket.startClientEncryption();
        rc = c.Wait([&] { return c.socket.isEncrypted(); }, m_connectTimeout, 22, 9);
        if (rc != 0) {
            emit ConnectLog(QStringLiteral("TLS failed: %1\r\n").arg(c.socket.errorString()), 0);
            return rc;
        }
        emit ConnectLog(QStringLiteral("TLS started (%1).\r\n").arg(c.socket.sessionCipher().name()), 0);
        rc = Hello(c);
        if (rc != 0)
            return rc;
    }

    if (m_authMode != AuthNone) {
        rc = Authenticate(c);
        if (rc != 0)
            return c.Fail(rc);
    }
    return 0;
}

qint32 Smtp::Hello(SmtpConversation& c) {
    // EHLO is always tried: STARTTLS and PIPELINING are only offered there.
    const QByteArray name =
        m_clientHostName.isEmpty() ? QByteArray("localhost") : m_clientHostName.toLatin1();
    SmtpReply reply;
    qint32 rc = c.Command("EHLO " + name, reply);
    if (rc != 0)
        return rc;
    if (reply.code == 250) {
        c.esmtp = true;
        c.ReadCapabilities(reply);
    } else {
        c.esmtp = false;
        c.ReadCapabilities(SmtpReply());
        rc = c.Command("HELO " + name, reply);
        if (rc != 0)
            return rc;
        if (reply.code != 250)
            return c.Fail(5);
    }
    // The greeting, then the answer of the last hello (after STARTTLS the one on the encrypted channel).
    c.serverReply = c.greeting + QStringLiteral("\r\n") + reply.Text();
    return 0;
}

qint32 Smtp::Authenticate(SmtpConversation& c) {
    const char* mechanism = nullptr;
    switch (m_authMode) {
    case AuthLogin:
        mechanism = "LOGIN";
        break;
    case AuthCramMd5:
        mechanism = "CRAM-MD5";
        break;
    case AuthNtlm:
        mechanism = "NTLM";
        break;
    default:
        return 25;
    }
    if (!c.esmtp || !c.authMechanisms.contains(QLatin1String(mechanism))) {
        emit ConnectLog(
            QStringLiteral("The server does not offer AUTH %1.\r\n").arg(QLatin1String(mechanism)), 0);
        return 25;
    }
    Gsasl* ctx = SaslContext();
    if (!ctx || !gsasl_client_support_p(ctx, mechanism))
        return 25;
    Gsasl_session* session = nullptr;
    if (gsasl_client_start(ctx, mechanism, &session) != GSASL_OK)
        return 26;
    const std::unique_ptr<Gsasl_session, void (*)(Gsasl_session*)> guard(session, gsasl_finish);
    gsasl_property_set(session, GSASL_AUTHID, m_userName.toUtf8().constData());
    gsasl_property_set(session, GSASL_PASSWORD, m_password.toUtf8().constData());
    gsasl_property_set(session, GSASL_SERVICE, "smtp");
    gsasl_property_set(session, GSASL_HOSTNAME, c.host.toUtf8().constData());

    c.secretReply = true;
    const struct SecretOff {
        SmtpConversation& c;
        ~SecretOff() { c.secretReply = false; }
    } secretOff{c};

    SmtpReply reply;
    qint32 rc = c.Command(QByteArray("AUTH ") + mechanism, reply);
    for (int round = 0; rc == 0; ++round) {
        if (reply.code == 235)
            return 0;
        if (reply.code == 504)
            return 25;
        if (reply.code == 500 || reply.code == 501 || reply.code == 502)
            return 26;
        if (reply.code != 334)
            return 24;
        if (round > 10)
            return 26;
        char* out = nullptr;
        const int step = gsasl_step64(session, reply.LastArgument().trimmed().toLatin1().constData(), &out);
        if (step != GSASL_OK && step != GSASL_NEEDS_MORE) {
            gsasl_free(out);
            c.Command("*", reply);
            return 26;
        }
        const QByteArray response(out ? out : "");
        gsasl_free(out);
        rc = c.Command(response, reply, QStringLiteral("***"));
    }
    return rc;
}

qint32 Smtp::Transaction(QByteArray message) {
    SmtpConversation& c = *m_conv;
    const bool eightBit = HasEightBit(message);
    if (eightBit && !c.eightBitMime) {
        // A server without 8BITMIME may mangle 8-bit text: the message goes quoted-printable instead.
        qint32 rc = 0;
        message = QByteArray();
        message = ComposeMessage(m_spec, &rc, true);
        if (rc != 0 || message.isEmpty())
            return rc != 0 ? rc : 4;
    }
    QByteArray mail = "MAIL FROM:<" + m_spec.fromAddress.toUtf8() + ">";
    if (c.dsn && m_dsnReturn == DsnReturnHeaders)
        mail += " RET=HDRS";
    else if (c.dsn && m_dsnReturn == DsnReturnFull)
        mail += " RET=FULL";
    if (c.eightBitMime && eightBit)
        mail += " BODY=8BITMIME";
    QByteArray notify;
    if (c.dsn && m_dsnNotify > 0) {
        QByteArrayList words;
        if (m_dsnNotify & DsnSuccess)
            words += "SUCCESS";
        if (m_dsnNotify & DsnFailure)
            words += "FAILURE";
        if (m_dsnNotify & DsnDelay)
            words += "DELAY";
        if (!words.isEmpty())
            notify = " NOTIFY=" + words.join(',');
    }
    QList<QByteArray> rcpts;
    for (const Recipient& r : std::as_const(m_spec.recipients))
        rcpts += "RCPT TO:<" + r.address.toUtf8() + ">" + notify;

    bool mailOk = false;
    bool rcptOk = true;
    qint32 rc = 0;
    SmtpReply reply;
    if (c.pipelining) {
        // One write for the whole envelope, then the replies in order.
        c.Write(mail);
        for (const QByteArray& r : std::as_const(rcpts))
            c.Write(r);
        rc = c.ReadReply(reply);
        mailOk = rc == 0 && reply.code == 250;
        for (qsizetype i = 0; rc == 0 && i < rcpts.size(); ++i) {
            rc = c.ReadReply(reply);
            rcptOk = rcptOk && reply.code >= 250 && reply.code <= 252;
        }
    } else {
        rc = c.Command(mail, reply);
        mailOk = rc == 0 && reply.code == 250;
        for (qsizetype i = 0; rc == 0 && mailOk && rcptOk && i < rcpts.size(); ++i) {
            rc = c.Command(rcpts[i], reply);
            rcptOk = rc == 0 && reply.code >= 250 && reply.code <= 252;
        }
    }
    if (rc != 0)
        return rc;
    if (!mailOk || !rcptOk) {
        rc = c.Command("RSET", reply);
        return rc != 0 ? rc : (!mailOk ? 7 : 8);
    }

    rc = c.Command("DATA", reply);
    if (rc != 0)
        return rc;
    if (reply.code != 354) {
        rc = c.Command("RSET", reply);
        return rc != 0 ? rc : 4;
    }
    DataBlock data(message);
    const qint64 size = data.size();
    c.progressDone = 0;
    c.progressMax = size;
    emit Progress(0, qint32(size));
    if (m_cancelled) {
        c.progressMax = 0;
        return c.Fail(20);
    }
    // A piece at a time, the next one when the socket has taken most of the last: the socket never
    // buffers a second copy of a large message.
    for (;;) {
        c.socket.write(data.next(kDataPiece));
        if (data.atEnd())
            break;
        rc = c.Wait([&c] { return c.socket.bytesToWrite() < kDataPiece / 2; }, m_replyTimeout, 27, 16);
        if (rc != 0) {
            c.progressMax = 0;
            return rc;
        }
    }
    emit ConnectLog(QStringLiteral("(%1 bytes of message)\r\n.\r\n").arg(size - 3), 0);
    // Once the whole message is out, a cancel no longer decides: a message the server accepts is sent.
    rc = c.ReadReply(reply, true);
    c.progressMax = 0;
    if (rc != 0)
        return rc;
    return reply.code == 250 ? 0 : 4;
}

qint32 Smtp::CloseConversation() {
    SmtpConversation& c = *m_conv;
    SmtpReply reply;
    const qint32 rc = c.Command("QUIT", reply);
    c.socket.disconnectFromHost();
    c.broken = true;
    if (rc == 20)
        return 20;
    return rc == 0 && reply.code == 221 ? 0 : 6;
}

} // namespace mail
