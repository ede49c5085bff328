#include "tests/dnsresolver/Peers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace dnstest {

namespace {
sockaddr_in Loopback(uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

int BoundSocket(int type, uint16_t port) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa = Loopback(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        (type == SOCK_STREAM && ::listen(fd, 8) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True when something answers an MX query on 127.0.0.1:53 within the wait.
bool Answers(int waitMs) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa = Loopback(53);
    std::vector<uint8_t> q = {1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> name = EncodeName("probe.test");
    q.insert(q.end(), name.begin(), name.end());
    q.insert(q.end(), {0, 15, 0, 1});
    ::sendto(fd, q.data(), q.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    pollfd pfd{fd, POLLIN, 0};
    const bool ok = ::poll(&pfd, 1, waitMs) > 0;
    ::close(fd);
    return ok;
}

void StopThread(int stop[2], std::thread& thread, int& fd) {
    if (stop[1] >= 0) {
        const char c = 'x';
        (void)!::write(stop[1], &c, 1);
    }
    if (thread.joinable())
        thread.join();
    for (int i = 0; i < 2; ++i) {
        if (stop[i] >= 0)
            ::close(stop[i]);
        stop[i] = -1;
    }
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
} // namespace

std::vector<uint8_t> EncodeName(const std::string& dotted) {
    std::vector<uint8_t> out;
    size_t pos = 0;
    while (pos <= dotted.size() && !dotted.empty()) {
        size_t dot = dotted.find('.', pos);
        if (dot == std::string::npos)
            dot = dotted.size();
        out.push_back(static_cast<uint8_t>(dot - pos));
        out.insert(out.end(), dotted.begin() + static_cast<long>(pos),
                   dotted.begin() + static_cast<long>(dot));
        pos = dot + 1;
    }
    out.push_back(0);
    return out;
}

bool Dnsmasq::Start(const std::vector<std::string>& records, std::string* error) {
    std::vector<std::string> args = {"dnsmasq",
                                     "--keep-in-foreground",
                                     "--conf-file=/dev/null",
                                     "--port=53",
                                     "--listen-address=127.0.0.1",
                                     "--bind-interfaces",
                                     "--no-resolv",
                                     "--no-hosts",
                                     "--user=",
                                     "--group=",
                                     "--pid-file=",
                                     "--log-facility=/dev/null"};
    args.insert(args.end(), records.begin(), records.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const char* path = ::access("/usr/sbin/dnsmasq", X_OK) == 0 ? "/usr/sbin/dnsmasq" : "/usr/bin/dnsmasq";
    if (::posix_spawn(&m_pid, path, nullptr, nullptr, argv.data(), environ) != 0) {
        m_pid = -1;
        *error = "dnsmasq could not be started (package dnsmasq-base)";
        return false;
    }
    for (int i = 0; i < 50; ++i) {
        if (Answers(100))
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            *error = "dnsmasq exited at start";
            return false;
        }
    }
    *error = "dnsmasq did not answer within 5 s";
    Stop();
    return false;
}

void Dnsmasq::Stop() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

bool CannedResponder::Start(Reply reply) {
    return Start(Replies([reply = std::move(reply)](const std::vector<uint8_t>& query) {
        return std::vector<std::vector<uint8_t>>{reply(query)};
    }));
}

bool CannedResponder::Start(Replies replies) {
    m_replies = std::move(replies);
    m_fd = BoundSocket(SOCK_DGRAM, 53);
    if (m_fd < 0 || ::pipe2(m_stop, O_CLOEXEC) != 0)
        return false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool CannedResponder::ListenTcp(Reply stream) {
    m_stream = std::move(stream);
    m_tcpFd = BoundSocket(SOCK_STREAM, 53);
    return m_tcpFd >= 0;
}

void CannedResponder::Stop() {
    StopThread(m_stop, m_thread, m_fd);
    if (m_tcpFd >= 0)
        ::close(m_tcpFd);
    m_tcpFd = -1;
}

void CannedResponder::ServeTcp(int client) {
    ++m_tcpConnections;
    // The query behind its two-byte length, read with a bounded wait.
    std::vector<uint8_t> in;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while ((in.size() < 2 || in.size() < 2u + (in[0] << 8 | in[1])) &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{client, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0)
            continue;
        uint8_t buffer[512];
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        in.insert(in.end(), buffer, buffer + n);
    }
    if (in.size() < 2)
        return;
    const std::vector<uint8_t> out = m_stream(std::vector<uint8_t>(in.begin() + 2, in.end()));
    if (out.empty()) {
        // Say nothing until the client gives up (it closes) or the test ends.
        pollfd pfd[2] = {{client, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        ::poll(pfd, 2, 20000);
        return;
    }
    (void)!::send(client, out.data(), out.size(), MSG_NOSIGNAL);
}

void CannedResponder::Run() {
    for (;;) {
        pollfd pfd[3] = {{m_fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}, {m_tcpFd, POLLIN, 0}};
        if (::poll(pfd, m_tcpFd >= 0 ? 3 : 2, -1) < 0 && errno != EINTR)
            return;
        if (pfd[1].revents)
            return;
        if (m_tcpFd >= 0 && (pfd[2].revents & POLLIN)) {
            const int client = ::accept4(m_tcpFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                ServeTcp(client);
                ::close(client);
            }
        }
        if (!(pfd[0].revents & POLLIN))
            continue;
        uint8_t buffer[2048];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0)
            continue;
        ++m_queries;
        for (const std::vector<uint8_t>& answer : m_replies(std::vector<uint8_t>(buffer, buffer + n)))
            if (!answer.empty())
                ::sendto(m_fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                         fromLength);
    }
}

bool WhoisPeer::Start(Mode mode, std::string reply) {
    m_mode = mode;
    m_reply = std::move(reply);
    m_fd = BoundSocket(SOCK_STREAM, 43);
    if (m_fd < 0 || ::pipe2(m_stop, O_CLOEXEC) != 0)
        return false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void WhoisPeer::Stop() {
    StopThread(m_stop, m_thread, m_fd);
}

std::vector<std::string> WhoisPeer::requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void WhoisPeer::Run() {
    for (;;) {
        pollfd pfd[2] = {{m_fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        if (::poll(pfd, 2, -1) < 0 && errno != EINTR)
            return;
        if (pfd[1].revents)
            return;
        if (!(pfd[0].revents & POLLIN))
            continue;
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++m_connections;
        Serve(client);
        ::close(client);
    }
}

void WhoisPeer::Serve(int client) {
    if (m_mode == Mode::CloseAtOnce)
        return;
    if (m_mode == Mode::ResetAtOnce) {
        // Closing with a zero linger time resets the connection: the client's send then meets a dead peer.
        linger off{1, 0};
        ::setsockopt(client, SOL_SOCKET, SO_LINGER, &off, sizeof off);
        return;
    }
    // The request: one line, read with a bounded wait.
    std::string request;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (request.find("\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{client, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0)
            continue;
        char buffer[1024];
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<size_t>(n));
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
    }
    if (m_mode == Mode::Silent) {
        // Say nothing until the client gives up (it closes) or the test ends.
        pollfd pfd[2] = {{client, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        ::poll(pfd, 2, 20000);
        return;
    }
    if (m_mode == Mode::Trickle) {
        // One byte every 200 ms, each well within any receive time-out, until the client gives up.
        for (int i = 0; i < 100; ++i) {
            pollfd pfd[2] = {{client, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
            if (::poll(pfd, 2, 200) != 0 || ::send(client, "t", 1, MSG_NOSIGNAL) < 0)
                return;
        }
        return;
    }
    if (m_mode == Mode::Flood) {
        const std::string block(65536, 'w');
        for (int i = 0; i < 160; ++i) // 10 MB
            if (::send(client, block.data(), block.size(), MSG_NOSIGNAL) < 0)
                return;
        return;
    }
    size_t done = 0;
    while (done < m_reply.size()) {
        const ssize_t n = ::send(client, m_reply.data() + done, m_reply.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

} // namespace dnstest
