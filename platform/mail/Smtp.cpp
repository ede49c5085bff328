#include "platform/mail/Smtp.h"

#include "app/GetComputerName.h"
#include "platform/mail/MimeComposer.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <gsasl.h>

#include <functional>

// What every failure returns (the send-status codes the caller turns into text):
//
//   code  failure
//   ----  -------------------------------------------------------------------------------------------
//     1   an operation called while another operation of the same object runs (re-entrant call)
//     4   the message cannot be composed; DATA refused, or the message refused after its final "."
//     5   greeting other than 220; EHLO and HELO both refused
//     6   QUIT not answered with 221 (refused, time-out, connection lost)
//     7   empty or malformed sender address; MAIL FROM refused
//     8   no recipient; malformed recipient address; any RCPT TO refused
//     9   connection refused or failed; port outside 1..65535; TLS refused or failed (STARTTLS answer
//         other than 220, hand-shake error, certificate not trusted)
//    10   an attachment or related image cannot be opened (missing, a folder, no permission)
//    11   an attachment or related image cannot be read
//    15   no mail server given (empty server list)
//    16   connection lost or socket error during the conversation (e.g. server closes mid-DATA)
//    17   host name cannot be resolved
//    18   a reply that is not SMTP (garbage, no reply code, longer than 64 KiB or 1000 lines)
//    20   Cancel() or ResetSession() while the operation ran
//    21   host look-up timed out
//    22   TCP connect or TLS hand-shake timed out
//    24   authentication refused by the server (535, 534, 530, 454, ...)
//    25   the chosen mechanism is not offered (or the server has no ESMTP, or the mode is unknown)
//    26   authentication protocol error (bad challenge, SASL failure, 500/501/502 during AUTH)
//    27   no reply within the reply time-out (no progress for that long while sending the message)
//
// After a refused MAIL or RCPT the transaction is reset with RSET so the next message can go. After
// 16, 18, 20 and 27 the connection is in an unknown state and is dropped; the next Send opens a new one.

namespace mail {

namespace {

constexpr qsizetype kMaxReplyBytes = 64 * 1024;
constexpr int kMaxReplyLines = 1000;

Gsasl* SaslContext() {
    static Gsasl* ctx = [] {
        Gsasl* c = nullptr;
        return gsasl_init(&c) == GSASL_OK ? c : nullptr;
    }();
    return ctx;
}

// Header texts never carry a raw line break: any CR / LF run becomes one space.
QString OneLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool inBreak = false;
    for (QChar c : text) {
        if (c == u'\r' || c == u'\n') {
            if (!inBreak)
                out += u' ';
            inBreak = true;
            continue;
        }
        inBreak = false;
        out += c;
    }
    return out;
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

// The message as DATA carries it: every line ended by CR LF, a leading "." doubled, then ".".
QByteArray DataBlock(const QByteArray& message) {
    QByteArray out;
    out.reserve(message.size() + message.size() / 64 + 8);
    bool lineStart = true;
    const char* p = message.constData();
    const qsizetype n = message.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < n && p[i + 1] == '\n')
                ++i;
            out.append("\r\n", 2);
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.')
            out.append('.');
        out.append(c);
        lineStart = false;
    }
    if (!lineStart)
        out.append("\r\n", 2);
    out.append(".\r\n", 3);
    return out;
}

bool HasEightBit(const QByteArray& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

} // namespace

struct SmtpReply {
    int code = 0;
    QStringList lines;
    QString Text() const { return lines.join(QStringLiteral("\r\n")); }
    // The text after the code of the last line ("334 abc" -> "abc").
    QString LastArgument() const { return lines.isEmpty() ? QString() : lines.last().mid(4); }
};

// One TCP/TLS conversation with one server. Lives only inside the Smtp object that owns it.
class SmtpConversation {
public:
    enum class Phase { Connecting, Handshake, Talking };

    explicit SmtpConversation(Smtp& owner) : o(owner) {
        // Only bytes we write extend a wait: a server that trickles its reply a byte at a time must
        // not hold the conversation beyond the reply time-out.
        QObject::connect(&socket, &QSslSocket::readyRead, &socket, [this] {
            in.append(socket.readAll());
            Wake();
        });
        QObject::connect(&socket, &QSslSocket::connected, &socket, [this] { Wake(); });
        QObject::connect(&socket, &QSslSocket::encrypted, &socket, [this] { Wake(); });
        QObject::connect(&socket, &QSslSocket::disconnected, &socket, [this] {
            lost = true;
            Wake();
        });
        QObject::connect(&socket, &QSslSocket::errorOccurred, &socket,
                         [this](QAbstractSocket::SocketError e) {
                             socketError = e;
                             if (e != QAbstractSocket::SocketTimeoutError)
                                 lost = true;
                             Wake();
                         });
        QObject::connect(&socket, &QSslSocket::bytesWritten, &socket, [this](qint64 n) {
            ++activity;
            if (progressMax > 0) {
                progressDone = qMin<qint64>(progressDone + n, progressMax);
                emit o.Progress(qint32(progressDone), qint32(progressMax));
            }
        });
    }

    ~SmtpConversation() {
        socket.disconnect();
        socket.abort();
    }

    void Wake() {
        if (loop)
            loop->quit();
    }

    bool Alive() const { return !broken && !lost && socket.state() == QAbstractSocket::ConnectedState; }

    // Runs the caller's event loop until ready() holds. Returns 0, 20 (cancel), failCode when the
    // connection fails, or timeoutCode when nothing happened for timeoutMs.
    qint32 Wait(const std::function<bool()>& ready, int timeoutMs, qint32 timeoutCode, qint32 failCode) {
        QDeadlineTimer deadline(timeoutMs);
        quint64 seen = activity;
        for (;;) {
            if (o.m_cancelled)
                return Fail(20);
            if (ready())
                return 0;
            if (lost || socketError != QAbstractSocket::UnknownSocketError)
                return Fail(failCode);
            if (activity != seen) {
                seen = activity;
                deadline.setRemainingTime(timeoutMs);
            }
            if (deadline.hasExpired())
                return Fail(timeoutCode);
            QEventLoop waitLoop;
            QTimer timer;
            timer.setSingleShot(true);
            QObject::connect(&timer, &QTimer::timeout, &waitLoop, &QEventLoop::quit);
            timer.start(int(qMax<qint64>(1, deadline.remainingTime())));
            loop = &waitLoop;
            waitLoop.exec();
            loop = nullptr;
        }
    }

    qint32 Fail(qint32 code) {
        broken = true;
        return code;
    }

    enum class Parse { Incomplete, Complete, Garbage };

    // Takes one complete reply from the front of the input, if there is one.
    Parse TryParse(SmtpReply& reply) {
        qsizetype pos = 0;
        QStringList lines;
        for (;;) {
            const qsizetype nl = in.indexOf('\n', pos);
            if (nl < 0)
                break;
            QByteArray line = in.mid(pos, nl - pos);
            if (line.endsWith('\r'))
                line.chop(1);
            pos = nl + 1;
            const bool codeOk = line.size() >= 3 && std::isdigit(uchar(line[0])) &&
                                std::isdigit(uchar(line[1])) && std::isdigit(uchar(line[2]));
            if (!codeOk || (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
                return Parse::Garbage;
            lines.append(QString::fromUtf8(line));
            if (lines.size() > kMaxReplyLines)
                return Parse::Garbage;
            if (line.size() == 3 || line[3] == ' ') {
                reply.code = line.left(3).toInt();
                reply.lines = lines;
                in.remove(0, pos);
                return Parse::Complete;
            }
        }
        return in.size() > kMaxReplyBytes ? Parse::Garbage : Parse::Incomplete;
    }

    qint32 ReadReply(SmtpReply& reply) {
        Parse state = Parse::Incomplete;
        const qint32 rc = Wait(
            [&] {
                state = TryParse(reply);
                return state != Parse::Incomplete;
            },
            o.m_replyTimeout, 27, 16);
        if (rc != 0)
            return rc;
        if (state == Parse::Garbage) {
            emit o.ConnectLog(QStringLiteral("The server's reply is not SMTP.\r\n"), 0);
            return Fail(18);
        }
        emit o.ConnectLog(secretReply && reply.code == 334 ? QStringLiteral("334 ***\r\n")
                                                           : reply.Text() + QStringLiteral("\r\n"),
                          reply.code);
        return 0;
    }

    // Writes one command line; logText replaces the line in the log (for secrets).
    void Write(const QByteArray& line, const QString& logText = QString()) {
        socket.write(line + "\r\n");
        emit o.ConnectLog((logText.isNull() ? QString::fromUtf8(line) : logText) + QStringLiteral("\r\n"), 0);
    }

    qint32 Command(const QByteArray& line, SmtpReply& reply, const QString& logText = QString()) {
        if (o.m_cancelled)
            return Fail(20);
        Write(line, logText);
        return ReadReply(reply);
    }

    void ReadCapabilities(const SmtpReply& ehlo) {
        authMechanisms.clear();
        pipelining = dsn = eightBitMime = startTls = false;
        for (qsizetype i = 1; i < ehlo.lines.size(); ++i) {
            const QString line = ehlo.lines[i].mid(4).trimmed().toUpper();
            const QString keyword = line.section(u' ', 0, 0);
            if (keyword == u"PIPELINING")
                pipelining = true;
            else if (keyword == u"DSN")
                dsn = true;
            else if (keyword == u"8BITMIME")
                eightBitMime = true;
            else if (keyword == u"STARTTLS")
                startTls = true;
            else if (keyword == u"AUTH" || keyword.startsWith(u"AUTH="))
                authMechanisms += line.mid(5).split(u' ', Qt::SkipEmptyParts);
        }
    }

    Smtp& o;
    QSslSocket socket;
    QByteArray in;
    QEventLoop* loop = nullptr;
    quint64 activity = 0;
    bool lost = false;
    bool broken = false;
    bool secretReply = false;
    QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
    qint64 progressDone = 0;
    qint64 progressMax = 0;
    QString host;
    QString greeting;
    QString serverReply;
    bool esmtp = false;
    bool pipelining = false;
    bool dsn = false;
    bool eightBitMime = false;
    bool startTls = false;
    QStringList authMechanisms;
};

Smtp::Smtp(QObject* parent) : QObject(parent), m_clientHostName(GetLocalComputerName()) {}

Smtp::~Smtp() = default;

// --- Message -------------------------------------------------------------------------------------------

void Smtp::SetSubject(const QString& subject) {
    m_spec.subject = OneLine(subject);
}
QString Smtp::GetBodyText() const {
    return m_spec.bodyText;
}
void Smtp::SetBodyText(const QString& text) {
    m_spec.bodyText = text;
}
void Smtp::SetFromName(const QString& name) {
    m_spec.fromName = OneLine(name);
}
void Smtp::SetFromAddress(const QString& address) {
    m_spec.fromAddress = OneLine(address).trimmed();
}
void Smtp::SetBodyFormat(qint32 format) {
    m_spec.bodyFormat = format == 1 ? 1 : 0;
}

void Smtp::AddRecipient(const QString& name, const QString& address, qint32 kind) {
    Recipient r;
    r.name = OneLine(name);
    r.address = OneLine(address).trimmed();
    r.kind = kind == 2 ? 2 : 1;
    m_spec.recipients.append(r);
}

void Smtp::SetPriority(const QString& priority) {
    m_spec.priority = (priority == u"1" || priority == u"3" || priority == u"5") ? priority : QString();
}

void Smtp::AddHeader(const QString& name, const QString& value) {
    // A header name is printable ASCII without ":" or blanks; anything else would break the header block.
    if (name.isEmpty())
        return;
    for (QChar c : name) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || c == u':')
            return;
    }
    m_spec.headers.append({name, OneLine(value)});
}

void Smtp::SetCharset(const QString& charset) {
    m_spec.charset = charset;
}

void Smtp::SetBodyEncoding(qint32 encoding) {
    if (encoding >= EncodingNone && encoding <= EncodingBase64)
        m_spec.bodyEncoding = encoding;
}

void Smtp::SetPartEncoding(qint32 encoding) {
    if (encoding >= EncodingNone && encoding <= EncodingBase64)
        m_spec.partEncoding = encoding;
}

void Smtp::SetBoundaryPrefix(const QString& prefix) {
    m_spec.boundaryPrefix = prefix;
}
void Smtp::SetOptionFlags(qint32 flags) {
    m_spec.optionFlags = flags;
}

qint32 Smtp::AttachFile(const QString& path, const QString& name, qint32 encoding) {
    Q_UNUSED(name) // the part is named after the file
    if (path.trimmed().isEmpty())
        return 0;
    Attachment a;
    a.path = path;
    a.encoding = (encoding == AttachQuotedPrintable || encoding == AttachNone) ? encoding : AttachBase64;
    m_spec.attachments.append(a);
    // The attachment stays in the message even when it cannot be read now: Send then fails with the same
    // code instead of sending the message without it.
    QFile file(path);
    qint32 rc = 0;
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        rc = 10;
    else if (file.read(1).isNull() && file.error() != QFileDevice::NoError)
        rc = 11;
    if (rc != 0 && m_attachError == 0)
        m_attachError = rc;
    return rc;
}

qint32 Smtp::AttachFileSimple(const QString& path, qint32 flags) {
    Q_UNUSED(flags)
    return AttachFile(path, QString(), AttachBase64);
}

qint32 Smtp::ImportBodyFile(const QString& path, qint32 mode) {
    return mail::ImportBodyFile(m_spec, path, mode);
}

qint32 Smtp::ReplaceMergeField(const QString& macro, const QString& value, qint32 flags) {
    Q_UNUSED(flags)
    return mail::ReplaceMergeField(m_spec, macro, value);
}

QString Smtp::EncodeHeaderText(const QString& text, const QString& charset, qint32 mode, qint32 flags) {
    Q_UNUSED(flags)
    return mail::EncodeHeaderText(text, charset, mode);
}

qint32 Smtp::SaveMessageFile(const QString& path) {
    if (path.isEmpty())
        return 10;
    return mail::SaveMessageFile(m_spec, path);
}

void Smtp::ClearMessage(qint32 what) {
    if (what & 1)
        m_spec.recipients.clear();
    if (what & 2) {
        m_spec.attachments.clear();
        m_spec.related.clear();
        m_spec.bodyText.clear();
        m_spec.htmlBody.clear();
        m_spec.textAlternative = false;
        m_spec.subject.clear();
        m_attachError = 0;
    }
}

// --- Connection settings -------------------------------------------------------------------------------

void Smtp::SetClientHostName(const QString& name) {
    QString clean;
    for (QChar c : name) {
        if (c.unicode() > 0x20 && c.unicode() < 0x7f)
            clean += c;
    }
    m_clientHostName = clean;
}

void Smtp::SetMailServer(const QString& servers) {
    m_servers = servers;
}
void Smtp::SetPort(qint32 port) {
    m_port = port;
}
void Smtp::SetUserName(const QString& userName) {
    m_userName = userName;
}
void Smtp::SetPassword(const QString& password) {
    m_password = password;
}
void Smtp::SetAuthMode(qint32 mode) {
    m_authMode = mode;
}
void Smtp::EnableEsmtp(qint32 enable) {
    m_esmtp = enable != 0;
}
void Smtp::SetDsnNotify(qint32 notify) {
    m_dsnNotify = notify;
}
void Smtp::SetDsnReturn(qint32 ret) {
    m_dsnReturn = ret;
}
void Smtp::SetThreadMode(qint32 mode) {
    m_threadMode = mode;
}

void Smtp::SetTimeouts(int resolveMs, int connectMs, int replyMs) {
    m_resolveTimeout = resolveMs;
    m_connectTimeout = connectMs;
    m_replyTimeout = replyMs;
}

void Smtp::AddCaCertificates(const QList<QSslCertificate>& certificates) {
    m_extraCas += certificates;
}

bool Smtp::IsConnected() const {
    return m_conv && m_conv->Alive();
}

QString Smtp::GetServerReply() const {
    return m_conv ? m_conv->serverReply : QString();
}

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
    const qint32 rc = IsConnected() ? 0 : OpenConversation();
    EndOperation();
    return rc;
}

qint32 Smtp::Disconnect(qint32 flags) {
    Q_UNUSED(flags)
    if (BeginOperation() != 0)
        return 1;
    m_keepOpen = false;
    const qint32 rc = IsConnected() ? CloseConversation() : 0;
    m_conv.reset();
    EndOperation();
    return rc;
}

qint32 Smtp::Send() {
    if (BeginOperation() != 0)
        return 1;
    qint32 rc = 0;
    if (!ValidEnvelopeAddress(m_spec.fromAddress))
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
    }
    if (rc == 0)
        rc = Transaction(message);
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

qint32 Smtp::Transaction(const QByteArray& message) {
    SmtpConversation& c = *m_conv;
    QByteArray mail = "MAIL FROM:<" + m_spec.fromAddress.toUtf8() + ">";
    if (c.dsn && m_dsnReturn == DsnReturnHeaders)
        mail += " RET=HDRS";
    else if (c.dsn && m_dsnReturn == DsnReturnFull)
        mail += " RET=FULL";
    if (c.eightBitMime && HasEightBit(message))
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
    const QByteArray data = DataBlock(message);
    c.progressDone = 0;
    c.progressMax = data.size();
    emit Progress(0, qint32(data.size()));
    if (m_cancelled) {
        c.progressMax = 0;
        return c.Fail(20);
    }
    c.socket.write(data);
    emit ConnectLog(QStringLiteral("(%1 bytes of message)\r\n.\r\n").arg(data.size() - 3), 0);
    rc = c.ReadReply(reply);
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
