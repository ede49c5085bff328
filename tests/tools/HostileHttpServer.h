#pragma once
// A web server on 127.0.0.1 that answers every request in one hostile way, as fast as the client takes
// it, on a thread of its own (so it keeps sending while the client's thread is busy). It counts what it
// managed to send and sees when the client gives up the connection.
#include <QtGlobal>

#include <atomic>
#include <thread>

namespace toolstest {

class HostileHttpServer {
public:
    enum class Kind {
        EndlessChunked, // 200 with chunked transfer, chunks without end
        EndlessHeader,  // a status line, then one header line that never ends
        Drip,           // a status line, then one header byte every 100 ms, never done
        GzipBomb,       // 200 with a gzip body of zeros: a megabyte on the wire inflates to a gigabyte
    };
    explicit HostileHttpServer(Kind kind);
    ~HostileHttpServer();
    HostileHttpServer(const HostileHttpServer&) = delete;
    HostileHttpServer& operator=(const HostileHttpServer&) = delete;

    quint16 port() const { return m_port; }
    qint64 bytesSent() const { return m_sent; }
    int connections() const { return m_connections; }
    // The client closed (or reset) the connection it was sent to.
    bool peerClosed() const { return m_peerClosed; }
    // Bytes sent when that happened.
    qint64 bytesSentWhenClosed() const { return m_sentWhenClosed; }

private:
    void run();
    void serve(int fd);
    bool sendAll(int fd, const char* data, qint64 size);

    Kind m_kind;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::atomic<qint64> m_sentWhenClosed{-1};
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_peerClosed{false};
    std::thread m_thread;
};

} // namespace toolstest
