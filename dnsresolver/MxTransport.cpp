#include "dnsresolver/MxTransport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trivex {

namespace {
// Waits for the events on the socket until the deadline; whether they came.
bool WaitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0)
            return false;
        pollfd pfd{fd, events, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0;
    }
}

// Reads exactly size bytes before the deadline; false when the peer ended, failed or was too slow.
bool ReadFull(int fd, uint8_t* data, size_t size, Deadline deadline) {
    size_t done = 0;
    while (done < size) {
        if (!WaitFor(fd, POLLIN, deadline))
            return false;
        const ssize_t n = ::recv(fd, data + done, size - done, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

class StreamSocket {
public:
    StreamSocket() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~StreamSocket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

bool Connect(int fd, uint32_t server, uint16_t port, Deadline deadline) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = server;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    return WaitFor(fd, POLLOUT, deadline) && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
           error == 0;
}

bool SendAll(int fd, const std::vector<uint8_t>& bytes, Deadline deadline) {
    size_t done = 0;
    while (done < bytes.size()) {
        if (!WaitFor(fd, POLLOUT, deadline))
            return false;
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
} // namespace

Deadline DeadlineAfter(int32_t timeoutMs) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : INT_MAX);
}

size_t ReceiveReply(int fd, const std::vector<uint8_t>& query, Deadline deadline, uint8_t (&reply)[kMaxReply],
                    size_t* datagramSize) {
    *datagramSize = 0;
    for (;;) {
        if (!WaitFor(fd, POLLIN, deadline))
            return 0;
        // With MSG_TRUNC the result is the datagram's own length, also when it did not fit.
        const ssize_t n = ::recv(fd, reply, kMaxReply, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0) // refused (nothing listens there), or another error: no reply will come
            return 0;
        const size_t read = std::min(static_cast<size_t>(n), kMaxReply);
        if (AnswersQuery(reply, read, query)) {
            *datagramSize = static_cast<size_t>(n);
            return read;
        }
    }
}

std::optional<std::vector<uint8_t>> AskOverTcp(uint32_t server, uint16_t port,
                                               const std::vector<uint8_t>& query, Deadline deadline) {
    StreamSocket socket;
    if (socket.fd() < 0 || query.size() > 0xFFFF || !Connect(socket.fd(), server, port, deadline))
        return std::nullopt;
    std::vector<uint8_t> framed = {static_cast<uint8_t>(query.size() >> 8),
                                   static_cast<uint8_t>(query.size() & 0xFF)};
    framed.insert(framed.end(), query.begin(), query.end());
    uint8_t length[2];
    if (!SendAll(socket.fd(), framed, deadline) || !ReadFull(socket.fd(), length, 2, deadline))
        return std::nullopt;
    // The two length bytes bound the answer to 65,535 bytes.
    std::vector<uint8_t> answer(static_cast<size_t>(length[0] << 8 | length[1]));
    if (answer.empty() || !ReadFull(socket.fd(), answer.data(), answer.size(), deadline) ||
        !AnswersQuery(answer.data(), answer.size(), query))
        return std::nullopt;
    return answer;
}

} // namespace trivex
