#pragma once
// Servers the SMTP tests talk to, all on 127.0.0.1: the aiosmtpd peer script, Postfix's smtp-sink and a
// scripted fake of our own for the misbehaving servers.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace smtptest {

// tests/mail/peers/smtp_peer.py under /usr/bin/python3.
class PythonPeer {
public:
    explicit PythonPeer(const QStringList& options);
    ~PythonPeer();
    bool ok() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString folder() const { return m_dir.path(); }
    // Accepted messages so far: the JSON summaries and the raw bytes, in arrival order.
    QList<QJsonObject> envelopes() const;
    QList<QByteArray> messages() const;
    QStringList commands() const;
    void clear();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// /usr/sbin/smtp-sink on a free port (PIPELINING, no authentication).
class SinkPeer {
public:
    explicit SinkPeer(const QStringList& extraOptions = {});
    ~SinkPeer();
    bool ok() const { return m_port != 0; }
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// A free TCP port on 127.0.0.1 (bound and released again).
quint16 FreePort();

// Waits (running the event loop) until something accepts connections on 127.0.0.1:port.
bool WaitForListener(quint16 port, int timeoutMs);

// A server of our own, driven by the test: greeting on connect, then one answer per received line.
// answer() returns the bytes to send back; Close closes the connection instead.
class FakeServer : public QObject {
public:
    static inline const QByteArray Close = QByteArrayLiteral("<close>");
    static inline const QByteArray Silence = QByteArrayLiteral("<silence>");

    FakeServer();
    quint16 port() const { return m_server.serverPort(); }
    QByteArray greeting = "220 fake.test ESMTP\r\n";
    std::function<QByteArray(const QByteArray& line)> answer;
    QList<QByteArray> received; // the lines the client sent, without CR LF
    int connections = 0;        // connections accepted so far

private:
    QTcpServer m_server;
};

} // namespace smtptest
