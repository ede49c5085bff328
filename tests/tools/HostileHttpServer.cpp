#include "tests/tools/HostileHttpServer.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

namespace toolstest {

namespace {

// Deflated megabytes of zeros, each flushed whole: the first with the gzip header, then one that may be
// repeated as often as wanted (each starts afresh at a byte boundary).
struct Zeros {
    QByteArray first;
    QByteArray next;
};

Zeros GzipZeros() {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    QByteArray zeros(1 << 20, '\0');
    const auto megabyte = [&] {
        QByteArray out(1 << 16, '\0');
        z.next_in = reinterpret_cast<Bytef*>(zeros.data());
        z.avail_in = uInt(zeros.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, Z_FULL_FLUSH);
        out.truncate(out.size() - z.avail_out);
        return out;
    };
    Zeros result;
    result.first = megabyte();
    result.next = megabyte();
    deflateEnd(&z);
    return result;
}

} // namespace

HostileHttpServer::HostileHttpServer(Kind kind) : m_kind(kind) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

HostileHttpServer::~HostileHttpServer() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

void HostileHttpServer::run() {
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_connections;
        // A small send buffer of our own: what the count says was sent has nearly all reached the client.
        const int small = 64 * 1024;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        serve(fd);
        ::close(fd);
    }
}

// Waits (a short while at a time, so a stop is seen) until the socket takes more, then sends it all.
bool HostileHttpServer::sendAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        if (m_stop)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            m_sentWhenClosed = m_sent.load();
            m_peerClosed = true;
            return false;
        }
        m_sent += n;
        data += n;
        size -= n;
    }
    return true;
}

void HostileHttpServer::serve(int fd) {
    // The request head, whatever it says.
    QByteArray request;
    while (!m_stop && !request.contains("\r\n\r\n") && request.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, n);
    }
    // A head, then one block over and over (a chunk, more of the header line, one byte of it).
    QByteArray head = "HTTP/1.1 200 OK\r\n";
    QByteArray block;
    int pauseMs = 0;
    switch (m_kind) {
    case Kind::EndlessChunked:
        head += "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n";
        block = "4000\r\n" + QByteArray(0x4000, '9') + "\r\n";
        break;
    case Kind::EndlessHeader:
        head += "X-Padding: ";
        block = QByteArray(0x10000, 'a');
        break;
    case Kind::GzipBomb: {
        const Zeros zeros = GzipZeros();
        head +=
            "Content-Type: text/plain\r\nContent-Encoding: gzip\r\nConnection: close\r\n\r\n" + zeros.first;
        block = zeros.next;
        break;
    }
    case Kind::Drip:
        head += "X-Slow: ";
        block = "d";
        pauseMs = 100;
        break;
    }
    if (!sendAll(fd, head.constData(), head.size()))
        return;
    while (sendAll(fd, block.constData(), block.size())) {
        for (int waited = 0; waited < pauseMs && !m_stop; waited += 50)
            ::usleep(50 * 1000);
    }
}

} // namespace toolstest
