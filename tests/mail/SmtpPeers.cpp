#include "tests/mail/SmtpPeers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <unistd.h>

namespace smtptest {

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool WaitForListener(quint16 port, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200)) {
            s.abort();
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

PythonPeer::PythonPeer(const QStringList& options) {
    QStringList args{QStringLiteral(MAIL_TEST_PEERS "/smtp_peer.py"), QStringLiteral("--dir"), m_dir.path()};
    args += options;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process.waitForStarted(5000))
        return;
    QDeadlineTimer deadline(15000);
    QByteArray out;
    while (!deadline.hasExpired() && !out.contains('\n')) {
        m_process.waitForReadyRead(200);
        out += m_process.readAllStandardOutput();
    }
    if (out.startsWith("PORT "))
        m_port = quint16(out.mid(5).trimmed().toUInt());
}

PythonPeer::~PythonPeer() {
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

// The peer numbers its files 1, 2, ... for its whole life; clear() removes them, so read what is there.
static QStringList Numbered(const QString& folder, const QString& suffix) {
    QStringList names = QDir(folder).entryList({QStringLiteral("*") + suffix}, QDir::Files);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.section(u'.', 0, 0).toInt() < b.section(u'.', 0, 0).toInt();
    });
    return names;
}

QList<QJsonObject> PythonPeer::envelopes() const {
    QList<QJsonObject> out;
    for (const QString& name : Numbered(m_dir.path(), QStringLiteral(".json"))) {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            out.append(QJsonDocument::fromJson(f.readAll()).object());
    }
    return out;
}

QList<QByteArray> PythonPeer::messages() const {
    QList<QByteArray> out;
    for (const QString& name : Numbered(m_dir.path(), QStringLiteral(".eml"))) {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            out.append(f.readAll());
    }
    return out;
}

QStringList PythonPeer::commands() const {
    QFile f(m_dir.filePath(QStringLiteral("commands.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

void PythonPeer::clear() {
    QDir dir(m_dir.path());
    for (const QString& name : dir.entryList(QDir::Files))
        dir.remove(name);
}

SinkPeer::SinkPeer(const QStringList& extraOptions) {
    const quint16 port = FreePort();
    QStringList args;
    if (getuid() == 0)
        args << QStringLiteral("-u") << QStringLiteral("nobody");
    args += extraOptions;
    args << QStringLiteral("127.0.0.1:%1").arg(port) << QStringLiteral("64");
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral("/usr/sbin/smtp-sink"), args);
    if (m_process.waitForStarted(5000) && WaitForListener(port, 5000))
        m_port = port;
}

SinkPeer::~SinkPeer() {
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

static QByteArray DefaultAnswer(const QByteArray& line) {
    if (line == "QUIT")
        return "221 bye\r\n";
    if (line == "DATA")
        return "354 go on\r\n";
    return "250 OK\r\n";
}

FakeServer::FakeServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            ++connections;
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            if (greeting == Close) {
                s->disconnectFromHost();
                continue;
            }
            if (greeting != Silence)
                s->write(greeting);
            auto buffer = std::make_shared<QByteArray>();
            connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
                buffer->append(s->readAll());
                // The lines are taken from the front in one pass: a message of many short lines must
                // not cost a move of the whole buffer per line.
                qsizetype from = 0;
                qsizetype nl;
                while ((nl = buffer->indexOf("\r\n", from)) >= 0) {
                    const QByteArray line = buffer->mid(from, nl - from);
                    from = nl + 2;
                    received.append(line);
                    const QByteArray reply = answer ? answer(line) : DefaultAnswer(line);
                    if (reply == Close) {
                        s->disconnectFromHost();
                        return;
                    }
                    if (reply != Silence)
                        s->write(reply);
                }
                buffer->remove(0, from);
            });
        }
    });
}

} // namespace smtptest
