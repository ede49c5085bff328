#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the update check: one answer per path, and the ways a web
// server can misbehave (stall, announce more than it sends, send without end).
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QTcpServer>

class QTcpSocket;

namespace toolstest {

struct HttpAnswer {
    enum Kind {
        Complete,      // status line, headers with Content-Length, the body
        NoLength,      // the body without Content-Length, ended by closing the connection
        Stall,         // reads the request and never answers
        ShortOfLength, // announces Content-Length bytes but sends only the body given, then waits
        Endless,       // 200 without Content-Length, then data for as long as the client reads
    };
    Kind kind = Complete;
    int status = 200;
    QByteArray body;
    qint64 announcedLength = 0; // ShortOfLength only
};

class HttpTestServer : public QObject {
public:
    HttpTestServer();
    quint16 port() const { return m_server.serverPort(); }
    QByteArray hostAndPort() const;
    void serve(const QByteArray& path, const HttpAnswer& answer) { m_answers.insert(path, answer); }
    QList<QByteArray> requestedPaths;
    qint64 endlessBytesWritten = 0;

private:
    void answer(QTcpSocket* socket, const QByteArray& path);
    QTcpServer m_server;
    QHash<QByteArray, HttpAnswer> m_answers;
};

} // namespace toolstest
