#pragma once
// The SMTP class of the mail library: builds one message at a time (through the MIME composer), talks
// SMTP to a server and saves messages as .eml files.
//
// Every operation is synchronous to its caller and returns its result code (0 = success, otherwise a
// send-status code, see the table in Smtp.cpp). While an operation waits on the network it runs a nested
// event loop, so the caller's windows keep working and the signals ConnectLog and Progress are delivered
// directly from inside the operation. Cancel() and ResetSession() may be called from any handler that
// runs meanwhile (a ConnectLog/Progress slot, a button click): the running operation then returns 20.
// Any other operation called while one runs returns 1 at once. deleteLater() while an operation runs is
// held back until the operation has returned; never delete the object directly from such a handler.
#include "mail/MessageSpec.h"
#include "mail/MimeComposer.h"
#include "mail/SendStatus.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>

#include <memory>

namespace mail {

class SmtpConversation;
class FileContentCache;

class Smtp : public QObject {
    Q_OBJECT
public:
    // Authentication modes of SetAuthMode.
    enum AuthMode : qint32 { AuthNone = 0, AuthLogin = 1, AuthCramMd5 = 2, AuthNtlm = 4 };
    // Bits of SetDsnNotify.
    enum DsnNotify : qint32 { DsnNotifyDefault = 0, DsnFailure = 1, DsnSuccess = 2, DsnDelay = 4 };
    // Values of SetDsnReturn.
    enum DsnReturn : qint32 { DsnReturnDefault = 0, DsnReturnHeaders = 1, DsnReturnFull = 2 };
    // The option bit that asks for the extended international character set support.
    static constexpr qint32 OptionExtendedCharset = 16;

    explicit Smtp(QObject* parent = nullptr);
    ~Smtp() override;

    // --- The message being built -------------------------------------------------------------------
    void SetSubject(const QString& subject);
    QString GetBodyText() const;
    void SetBodyText(const QString& text);
    void SetFromName(const QString& name);
    void SetFromAddress(const QString& address);
    void SetBodyFormat(qint32 format); // 1 HTML, 0 plain text
    void AddRecipient(const QString& name, const QString& address, RecipientKind kind);
    void SetPriority(const QString& priority); // "1", "3", "5"
    void AddHeader(const QString& name, const QString& value);
    void SetCharset(const QString& charset);
    void SetBodyEncoding(qint32 encoding); // 0 none, 1 quoted-printable, 2 base 64
    void SetPartEncoding(qint32 encoding); // same values
    void SetBoundaryPrefix(const QString& prefix);
    void SetOptionFlags(qint32 flags);
    // One attachment. An empty path is ignored (returns 0). A file that cannot be opened or read is
    // reported here (10 / 11) and again by Send, which never sends a message without its attachment.
    qint32 AttachFile(const QString& path, const QString& name, qint32 encoding); // 0, 64, 512
    qint32 AttachFileSimple(const QString& path, qint32 flags = 0);
    // HTML body from a file with its local images; mode 2 HTML only, 6 also the text alternative.
    // Returns 0, 1 opening failed, 2 reading failed, 3 invalid parameter, 101 the parser failed.
    ImportBodyResult ImportBodyFile(const QString& path, qint32 mode);
    // The bodies as they are now, and putting them back. A caller that sends one document to many
    // recipients imports it once and puts the bodies back before each recipient's merge fields, instead
    // of reading and parsing the same file for every message.
    MessageBody TakeBody() const;
    void PutBody(const MessageBody& body);
    // Replaces every occurrence of macro in every body of the message; returns 0, or 3 for an empty macro.
    qint32 ReplaceMergeField(const QString& macro, const QString& value, qint32 flags = 1);
    // RFC 2047 form of text (mode 1 Q, 2 B); "" or "ERR:..." on failure.
    QString EncodeHeaderText(const QString& text, const QString& charset, qint32 mode, qint32 flags = 0);
    // Writes the built message to path as an .eml file; 0, or a send-status code (4, 10, 11).
    qint32 SaveMessageFile(const QString& path);
    // After each sent message: what & 1 clears the recipients, what & 2 the attachments and bodies
    // (plain, HTML, related parts) and the subject. Sender, server, connection, priority, headers,
    // charset and encodings stay.
    void ClearMessage(qint32 what = 3);

    // --- The connection --------------------------------------------------------------------------
    void SetClientHostName(const QString& name); // default GetLocalComputerName()
    // One server or several separated by ";", tried in order ("host" or "host:port").
    void SetMailServer(const QString& servers);
    void SetPort(qint32 port); // default 25; 465 means implicit TLS
    void SetUserName(const QString& userName);
    void SetPassword(const QString& password);
    void SetAuthMode(qint32 mode);
    void EnableEsmtp(qint32 enable);
    void SetDsnNotify(qint32 notify);
    void SetDsnReturn(qint32 ret);
    // 0 single, 1 second thread, 2 no thread: recorded; every mode runs the same synchronous way.
    void SetThreadMode(qint32 mode);

    // Opens the conversation: greeting, EHLO (HELO when refused), STARTTLS when offered, AUTH.
    qint32 Connect(qint32 flags = 0);
    // Sends the built message. On an object whose Connect was never called it opens the conversation,
    // sends and closes it again (QUIT) in this one call. After a Connect: over the open connection; a
    // connection that broke since is opened once more. After a Connect that failed (or such a re-opening
    // that failed), every Send fails at once with that code, without contacting the server, until the
    // next Connect or Disconnect: a wrong password or a dead server is not tried once per message.
    qint32 Send();
    // QUIT and close. 0 when there was no connection; 6 when QUIT failed; 18 when the server pushed
    // more than a reply's worth while the connection was idle (no QUIT is said then).
    qint32 Disconnect(qint32 flags = 0);
    // Makes the running operation return 20 as soon as possible. Safe from any handler.
    void Cancel();
    // Drops the connection state: a connection that is broken or busy is closed; a healthy idle
    // connection stays open so that a following Disconnect still says QUIT. Clears the server reply and
    // a pending cancel. Safe from any handler.
    void ResetSession();
    // The greeting and the EHLO/HELO answer of the open connection, CR LF between lines.
    QString GetServerReply() const;

    // --- Beyond the component's operations -------------------------------------------------------
    const MessageSpec& Spec() const { return m_spec; }
    qint32 ThreadMode() const { return m_threadMode; }
    bool IsConnected() const;
    bool IsBusy() const { return m_busy; }
    // Time-outs in milliseconds: host look-up (21), TCP connect and TLS hand-shake (22), each reply (27).
    void SetTimeouts(int resolveMs, int connectMs, int replyMs);
    // Extra trusted certificate authorities besides the system's store (tests use a private CA).
    void AddCaCertificates(const QList<QSslCertificate>& certificates);

signals:
    // One line of the conversation: client lines with code 0 (secrets hidden), server replies with
    // their reply code; connection events with code 0.
    void ConnectLog(const QString& text, qint32 code);
    // Bytes of the message written so far and the message size, during Send.
    void Progress(qint32 value, qint32 max);

protected:
    bool event(QEvent* e) override;

private:
    friend class SmtpConversation;
    // False when another operation of the object is still running.
    bool BeginOperation();
    void EndOperation();
    SendStatus OpenConversation();
    SendStatus OpenServer(const QString& host);
    SendStatus Hello(SmtpConversation& c);
    SendStatus Authenticate(SmtpConversation& c);
    SendStatus Transaction(QList<QByteArray> message);
    SendStatus CloseConversation();

    MessageSpec m_spec;
    QString m_clientHostName;
    QString m_servers;
    qint32 m_port = 25;
    QString m_userName;
    QString m_password;
    qint32 m_authMode = AuthNone;
    bool m_esmtp = false;
    qint32 m_dsnNotify = -1; // -1: not set, no NOTIFY parameter
    qint32 m_dsnReturn = -1; // -1: not set, no RET parameter
    qint32 m_threadMode = 1;
    qint32 m_attachError = 0; // first attachment failure since the last ClearMessage
    int m_resolveTimeout = 30000;
    int m_connectTimeout = 30000;
    int m_replyTimeout = 60000;
    QList<QSslCertificate> m_extraCas;
    // The attachments and pictures of the messages, each read and encoded once while it is unchanged.
    std::unique_ptr<FileContentCache> m_files;
    std::unique_ptr<SmtpConversation> m_conv;
    bool m_keepOpen = false;                      // Connect was called: a Send keeps the connection it opens
    SendStatus m_connectFailure = SendStatus::Ok; // the failed Connect that every Send returns
    bool m_busy = false;
    bool m_resetPending = false;
    bool m_cancelled = false;
    bool m_deletePending = false;
};

} // namespace mail
