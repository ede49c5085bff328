#include "tests/tools/HttpTestServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace toolstest {

HttpTestServer::HttpTestServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto* request = new QByteArray;
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, socket, [request] { delete request; });
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
                const bool hadHead = request->contains("\r\n\r\n");
                *request += socket->readAll();
                if (hadHead || !request->contains("\r\n\r\n"))
                    return;
                const QByteArray path = request->left(request->indexOf("\r\n")).split(' ').value(1);
                requestedPaths.append(path);
                answer(socket, path);
            });
        }
    });
}

QByteArray HttpTestServer::hostAndPort() const {
    return "127.0.0.1:" + QByteArray::number(port());
}

void HttpTestServer::answer(QTcpSocket* socket, const QByteArray& path) {
    const HttpAnswer a = m_answers.value(path, HttpAnswer{HttpAnswer::Complete, 404, "not here", 0});
    const QByteArray statusLine =
        "HTTP/1.1 " + QByteArray::number(a.status) + (a.status == 200 ? " OK\r\n" : " Failed\r\n");
    switch (a.kind) {
    case HttpAnswer::Stall:
        return;
    case HttpAnswer::Complete:
        socket->write(statusLine + "Content-Type: text/plain\r\nContent-Length: " +
                      QByteArray::number(a.body.size()) + "\r\nConnection: close\r\n\r\n" + a.body);
        socket->disconnectFromHost();
        return;
    case HttpAnswer::NoLength:
        socket->write(statusLine + "Content-Type: text/plain\r\nConnection: close\r\n\r\n" + a.body);
        socket->disconnectFromHost();
        return;
    case HttpAnswer::ShortOfLength:
        socket->write(statusLine + "Content-Type: text/plain\r\nContent-Length: " +
                      QByteArray::number(a.announcedLength) + "\r\n\r\n" + a.body);
        return;
    case HttpAnswer::Endless: {
        socket->write(statusLine + "Content-Type: text/plain\r\nConnection: close\r\n\r\n");
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [this, socket] {
            if (socket->bytesToWrite() < 65536) {
                const QByteArray chunk(4096, 'x');
                socket->write(chunk);
                endlessBytesWritten += chunk.size();
            }
        });
        timer->start(1);
        return;
    }
    }
}

} // namespace toolstest
