#include "mail/Smtp.h"

#include "mail/DataBlock.h"
#include "mail/FileContent.h"
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

// MAIL FROM with the delivery-status return (-1: none) and the 8-bit body parameter.
QByteArray MailCommand(const QString& from, qint32 dsnReturn, bool eightBitBody) {
    QByteArray mail = "MAIL FROM:<" + from.toUtf8() + ">";
    if (dsnReturn == Smtp::DsnReturnHeaders)
        mail += " RET=HDRS";
    else if (dsnReturn == Smtp::DsnReturnFull)
        mail += " RET=FULL";
    if (eightBitBody)
        mail += " BODY=8BITMIME";
    return mail;
}

// The NOTIFY parameter of every RCPT TO ("" when none is asked for).
QByteArray NotifyParameter(qint32 dsnNotify) {
    if (dsnNotify <= 0)
        return QByteArray();
    QByteArrayList words;
    if (dsnNotify & Smtp::DsnSuccess)
        words += "SUCCESS";
    if (dsnNotify & Smtp::DsnFailure)
        words += "FAILURE";
    if (dsnNotify & Smtp::DsnDelay)
        words += "DELAY";
    return words.isEmpty() ? QByteArray() : " NOTIFY=" + words.join(',');
}

bool HasEightBit(const QList<QByteArray>& pieces) {
    for (const QByteArray& bytes : pieces) {
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return true;
        }
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

bool Smtp::BeginOperation() {
    if (m_busy)
        return false;
    m_busy = true;
    m_cancelled = false;
    // Every operation lets the caller's events through at its first wait, however fast the server:
    // a handler that is due when a message starts (a Cancel) is heard during that message.
    if (m_conv)
        m_conv->lastEventsMs = -1;
    return true;
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
    if (!BeginOperation())
        return Code(SendStatus::Exception);
    m_keepOpen = true;
    SendStatus rc = SendStatus::Ok;
    if (m_conv && m_conv->overflow) {
        rc = SendStatus::BadResponse;
        m_conv->broken = true;
    } else if (!IsConnected()) {
        rc = OpenConversation();
    }
    m_connectFailure = rc;
    EndOperation();
    return Code(rc);
}

qint32 Smtp::Disconnect(qint32 flags) {
    Q_UNUSED(flags)
    if (!BeginOperation())
        return Code(SendStatus::Exception);
    m_keepOpen = false;
    m_connectFailure = SendStatus::Ok;
    SendStatus rc = SendStatus::Ok;
    if (m_conv && m_conv->overflow)
        rc = SendStatus::BadResponse;
    else if (IsConnected())
        rc = CloseConversation();
    m_conv.reset();
    EndOperation();
    return Code(rc);
}

qint32 Smtp::Send() {
    if (!BeginOperation())
        return Code(SendStatus::Exception);
    SendStatus rc = SendStatus::Ok;
    if (m_keepOpen && m_connectFailure != SendStatus::Ok)
        rc = m_connectFailure;
    else if (m_conv && m_conv->overflow)
        rc = m_conv->Fail(SendStatus::BadResponse);
    else if (!ValidEnvelopeAddress(m_spec.fromAddress))
        rc = SendStatus::SenderRefused;
    else if (m_spec.recipients.isEmpty())
        rc = SendStatus::RecipientRefused;
    for (const Recipient& r : std::as_const(m_spec.recipients)) {
        if (rc == SendStatus::Ok && !ValidEnvelopeAddress(r.address))
            rc = SendStatus::RecipientRefused;
    }
    if (rc == SendStatus::Ok)
        rc = StatusOf(m_attachError);
    QList<QByteArray> message;
    if (rc == SendStatus::Ok) {
        qint32 composed = 0;
        message = ComposeMessagePieces(m_spec, &composed, false, *m_files);
        if (composed != 0)
            rc = StatusOf(composed);
        else if (message.isEmpty())
            rc = SendStatus::MessageProblem;
    }
    bool oneShot = false;
    if (rc == SendStatus::Ok && !IsConnected()) {
        m_conv.reset();
        rc = OpenConversation();
        oneShot = !m_keepOpen;
        // A lost connection is opened again once; when that fails the server is not tried again.
        if (m_keepOpen && rc != SendStatus::Ok && rc != SendStatus::Cancelled)
            m_connectFailure = rc;
    }
    if (rc == SendStatus::Ok)
        rc = Transaction(std::move(message));
    if (oneShot && IsConnected()) {
        // The message's fate is decided by its own transaction; a failing QUIT is only logged.
        CloseConversation();
        m_conv.reset();
    }
    EndOperation();
    return Code(rc);
}

SendStatus Smtp::OpenConversation() {
    QStringList servers;
    for (const QString& s : m_servers.split(u';')) {
        if (!s.trimmed().isEmpty())
            servers += s.trimmed();
    }
    if (servers.isEmpty())
        return SendStatus::NoServer;
    if (m_port < 1 || m_port > 65535)
        return SendStatus::ConnectFailed;
    SendStatus rc = SendStatus::ConnectFailed;
    for (const QString& host : std::as_const(servers)) {
        m_conv.reset();
        rc = OpenServer(host);
        // A refused log-in or a cancel is the same on the next server: only a connect failure moves on.
        if (rc == SendStatus::Ok || rc == SendStatus::Cancelled || rc == SendStatus::AuthFailed ||
            rc == SendStatus::AuthModeUnsupported || rc == SendStatus::AuthProtocolError)
            break;
    }
    if (rc != SendStatus::Ok && m_conv)
        m_conv->broken = true;
    return rc;
}

SendStatus Smtp::OpenServer(const QString& host) {
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
        const SendStatus rc = c.Wait([&] { return done; }, m_resolveTimeout, SendStatus::ResolveTimedOut,
                                     SendStatus::ResolveFailed);
        if (rc != SendStatus::Ok) {
            QHostInfo::abortHostLookup(id);
            return rc;
        }
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            emit ConnectLog(QStringLiteral("Could not resolve %1.\r\n").arg(host), 0);
            return SendStatus::ResolveFailed;
        }
        addresses = info.addresses();
    }

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_extraCas.isEmpty())
        tls.addCaCertificates(m_extraCas);
    c.socket.setSslConfiguration(tls);
    const bool implicitTls = m_port == 465;

    SendStatus rc = SendStatus::ConnectFailed;
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
            m_connectTimeout, SendStatus::ConnectTimedOut, SendStatus::ConnectFailed);
        if (rc == SendStatus::Ok || rc == SendStatus::Cancelled || rc == SendStatus::ConnectTimedOut)
            break;
        emit ConnectLog(QStringLiteral("Connection failed: %1\r\n").arg(c.socket.errorString()), 0);
        c.socket.abort();
    }
    if (rc != SendStatus::Ok)
        return rc;
    c.socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);

    SmtpReply greeting;
    rc = c.ReadReply(greeting);
    if (rc != SendStatus::Ok)
        return rc;
    if (greeting.code != 220)
        return c.Fail(SendStatus::GreetingRefused);
    c.greeting = greeting.Text();
    c.serverReply = c.greeting;

    rc = Hello(c);
    if (rc != SendStatus::Ok)
        return rc;

    if (c.startTls && !c.socket.isEncrypted()) {
        SmtpReply reply;
        rc = c.Command("STARTTLS", reply);
        if (rc != SendStatus::Ok)
            return rc;
        if (reply.code != 220)
            return c.Fail(SendStatus::ConnectFailed);
        c.in.clear(); // nothing sent before the hand-shake may count as an answer after it
        c.socket.startClientEncryption();
        rc = c.Wait([&] { return c.socket.isEncrypted(); }, m_connectTimeout, SendStatus::ConnectTimedOut,
                    SendStatus::ConnectFailed);
        if (rc != SendStatus::Ok) {
            emit ConnectLog(QStringLiteral("TLS failed: %1\r\n").arg(c.socket.errorString()), 0);
            return rc;
        }
        emit ConnectLog(QStringLiteral("TLS started (%1).\r\n").arg(c.socket.sessionCipher().name()), 0);
        rc = Hello(c);
        if (rc != SendStatus::Ok)
            return rc;
    }

    if (m_authMode != AuthNone) {
        rc = Authenticate(c);
        if (rc != SendStatus::Ok)
            return c.Fail(rc);
    }
    return SendStatus::Ok;
}

SendStatus Smtp::Hello(SmtpConversation& c) {
    // EHLO is always tried: STARTTLS and PIPELINING are only offered there.
    const QByteArray name =
        m_clientHostName.isEmpty() ? QByteArray("localhost") : m_clientHostName.toLatin1();
    SmtpReply reply;
    SendStatus rc = c.Command("EHLO " + name, reply);
    if (rc != SendStatus::Ok)
        return rc;
    if (reply.code == 250) {
        c.esmtp = true;
        c.ReadCapabilities(reply);
    } else {
        c.esmtp = false;
        c.ReadCapabilities(SmtpReply());
        rc = c.Command("HELO " + name, reply);
        if (rc != SendStatus::Ok)
            return rc;
        if (reply.code != 250)
            return c.Fail(SendStatus::GreetingRefused);
    }
    // The greeting, then the answer of the last hello (after STARTTLS the one on the encrypted channel).
    c.serverReply = c.greeting + QStringLiteral("\r\n") + reply.Text();
    return SendStatus::Ok;
}

SendStatus Smtp::Authenticate(SmtpConversation& c) {
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
        return SendStatus::AuthModeUnsupported;
    }
    if (!c.esmtp || !c.authMechanisms.contains(QLatin1String(mechanism))) {
        emit ConnectLog(
            QStringLiteral("The server does not offer AUTH %1.\r\n").arg(QLatin1String(mechanism)), 0);
        return SendStatus::AuthModeUnsupported;
    }
    Gsasl* ctx = SaslContext();
    if (!ctx || !gsasl_client_support_p(ctx, mechanism))
        return SendStatus::AuthModeUnsupported;
    Gsasl_session* session = nullptr;
    if (gsasl_client_start(ctx, mechanism, &session) != GSASL_OK)
        return SendStatus::AuthProtocolError;
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
    SendStatus rc = c.Command(QByteArray("AUTH ") + mechanism, reply);
    for (int round = 0; rc == SendStatus::Ok; ++round) {
        if (reply.code == 235)
            return SendStatus::Ok;
        if (reply.code == 504)
            return SendStatus::AuthModeUnsupported;
        if (reply.code == 500 || reply.code == 501 || reply.code == 502)
            return SendStatus::AuthProtocolError;
        if (reply.code != 334)
            return SendStatus::AuthFailed;
        if (round > 10)
            return SendStatus::AuthProtocolError;
        char* out = nullptr;
        const int step = gsasl_step64(session, reply.LastArgument().trimmed().toLatin1().constData(), &out);
        if (step != GSASL_OK && step != GSASL_NEEDS_MORE) {
            gsasl_free(out);
            c.Command("*", reply);
            return SendStatus::AuthProtocolError;
        }
        const QByteArray response(out ? out : "");
        gsasl_free(out);
        rc = c.Command(response, reply, QStringLiteral("***"));
    }
    return rc;
}

SendStatus Smtp::Transaction(QList<QByteArray> message) {
    SmtpConversation& c = *m_conv;
    const bool eightBit = HasEightBit(message);
    if (eightBit && !c.eightBitMime) {
        // A server without 8BITMIME may mangle 8-bit text: the message goes quoted-printable instead.
        qint32 composed = 0;
        message.clear();
        message = ComposeMessagePieces(m_spec, &composed, true, *m_files);
        if (composed != 0 || message.isEmpty())
            return composed != 0 ? StatusOf(composed) : SendStatus::MessageProblem;
    }
    const QByteArray mail =
        MailCommand(m_spec.fromAddress, c.dsn ? m_dsnReturn : -1, c.eightBitMime && eightBit);
    const QByteArray notify = c.dsn ? NotifyParameter(m_dsnNotify) : QByteArray();
    QList<QByteArray> rcpts;
    for (const Recipient& r : std::as_const(m_spec.recipients))
        rcpts += "RCPT TO:<" + r.address.toUtf8() + ">" + notify;

    // With PIPELINING, DATA closes the envelope's group (RFC 2920) when there is one recipient: a
    // refused one leaves the server none, so even a server that answers DATA with 354 delivers
    // nothing. Several recipients keep DATA until their replies are in, so a refusal of some never
    // delivers an empty message to the others.
    const bool dataInGroup = c.pipelining && rcpts.size() == 1;
    bool mailOk = false;
    bool rcptOk = true;
    SendStatus rc = SendStatus::Ok;
    SmtpReply reply;
    if (c.pipelining) {
        // One write for the whole group, then the replies in order.
        c.Write(mail);
        for (const QByteArray& r : std::as_const(rcpts))
            c.Write(r);
        if (dataInGroup)
            c.Write("DATA");
        c.socket.flush();
        rc = c.ReadReply(reply);
        mailOk = rc == SendStatus::Ok && reply.code == 250;
        for (qsizetype i = 0; rc == SendStatus::Ok && i < rcpts.size(); ++i) {
            rc = c.ReadReply(reply);
            rcptOk = rcptOk && reply.code >= 250 && reply.code <= 252;
        }
    } else {
        rc = c.Command(mail, reply);
        mailOk = rc == SendStatus::Ok && reply.code == 250;
        for (qsizetype i = 0; rc == SendStatus::Ok && mailOk && rcptOk && i < rcpts.size(); ++i) {
            rc = c.Command(rcpts[i], reply);
            rcptOk = rc == SendStatus::Ok && reply.code >= 250 && reply.code <= 252;
        }
    }
    if (rc == SendStatus::Ok && dataInGroup)
        rc = c.ReadReply(reply);
    if (rc != SendStatus::Ok)
        return rc;
    if (!mailOk || !rcptOk) {
        // A server that opened the data anyway gets an empty message before the reset.
        if (dataInGroup && reply.code == 354) {
            rc = c.Command(".", reply);
            if (rc != SendStatus::Ok)
                return rc;
        }
        rc = c.Command("RSET", reply);
        if (rc != SendStatus::Ok)
            return rc;
        return !mailOk ? SendStatus::SenderRefused : SendStatus::RecipientRefused;
    }

    if (!dataInGroup) {
        rc = c.Command("DATA", reply);
        if (rc != SendStatus::Ok)
            return rc;
    }
    if (reply.code != 354) {
        rc = c.Command("RSET", reply);
        return rc != SendStatus::Ok ? rc : SendStatus::MessageProblem;
    }
    DataBlock data(message);
    const qint64 size = data.size();
    c.progressDone = 0;
    c.progressMax = size;
    emit Progress(0, qint32(size));
    if (m_cancelled) {
        c.progressMax = 0;
        return c.Fail(SendStatus::Cancelled);
    }
    // A piece at a time, the next one when the socket has taken most of the last: the socket never
    // buffers a second copy of a large message.
    for (;;) {
        c.socket.write(data.next(kDataPiece));
        c.socket.flush();
        if (data.atEnd())
            break;
        rc = c.Wait([&c] { return c.socket.bytesToWrite() < kDataPiece / 2; }, m_replyTimeout,
                    SendStatus::SocketTimeout, SendStatus::SocketError);
        if (rc != SendStatus::Ok) {
            c.progressMax = 0;
            return rc;
        }
    }
    emit ConnectLog(QStringLiteral("(%1 bytes of message)\r\n.\r\n").arg(size - 3), 0);
    // Once the whole message is out, a cancel no longer decides: a message the server accepts is sent.
    rc = c.ReadReply(reply, true);
    c.progressMax = 0;
    if (rc != SendStatus::Ok)
        return rc;
    return reply.code == 250 ? SendStatus::Ok : SendStatus::MessageProblem;
}

SendStatus Smtp::CloseConversation() {
    SmtpConversation& c = *m_conv;
    SmtpReply reply;
    const SendStatus rc = c.Command("QUIT", reply);
    c.socket.disconnectFromHost();
    c.broken = true;
    if (rc == SendStatus::Cancelled)
        return rc;
    return rc == SendStatus::Ok && reply.code == 221 ? SendStatus::Ok : SendStatus::QuitFailed;
}

} // namespace mail
