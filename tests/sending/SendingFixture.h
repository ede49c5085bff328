#pragma once
// Shared set-up of the sending tests: an SMTP peer on 127.0.0.1, a fresh database with one group, an
// account pointing at the peer, the message a run sends. No widgets: the logic tests use it too.
#include "sending/SendRun.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace sendingtest {

// python3-aiosmtpd behind tests/sending/peers/smtp_peer.py.
class SmtpPeer {
public:
    // Whether the peer offers delivery status notifications (and keeps the parameters it gets).
    enum class Dsn { NotOffered, Offered };

    // With a user, the peer asks for AUTH with that user and password.
    explicit SmtpPeer(const QStringList& refused = {}, const QString& user = QString(),
                      const QString& password = QString(), Dsn dsn = Dsn::NotOffered);
    ~SmtpPeer();
    quint16 port() const { return m_port; }
    // Stored messages in arrival order.
    int messageCount() const;
    QByteArray message(int index) const;   // from 0
    QJsonObject envelope(int index) const; // from, to, peer; with Dsn::Offered mail_dsn, rcpt_dsn
    QStringList quits() const;             // client ports that said QUIT
    int authAttempts() const;              // AUTH commands received
    QStringList authMechanisms() const;    // the mechanism each AUTH command named, in order

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// A port on 127.0.0.1 where nothing listens.
quint16 ClosedPort();

// A fresh data folder and settings; a group "Friends" with `count` recipients r1..rN@example.test whose
// first names are First1..FirstN and last names Last1..LastN. Returns the group id.
qint32 MakeGroup(int count, const QString& name = QStringLiteral("Friends"));

// Stores an account that sends to 127.0.0.1:port with plain headers.
void StoreAccount(quint16 port);

// An HTML message to the group "Friends" whose body greets the recipient by first and last name and
// names the address; written to the temporary folder when the run asks for it.
SendRunInput HtmlInput(const QString& subject = QStringLiteral("Offer for $*MergeFirstName*$"));

// A plain-text message to the group "Friends" that greets the recipient by first name.
SendRunInput TextInput();

// The file's bytes (empty when it cannot be read).
QByteArray ReadAll(const QString& path);

} // namespace sendingtest
