#include "dnsresolver/Network.h"

#include "dnsresolver/MxTransport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace trivex {

namespace {
constexpr size_t kInputBuffer = 500;  // input texts: at most 499 bytes
constexpr size_t kWhoisBuffer = 4000; // reply: at most 3,999 bytes
constexpr int32_t kHostNotFound = 11001;
constexpr int32_t kInvalidArgument = 10022;
constexpr int32_t kTimedOut = 10060;
constexpr int32_t kRefused = 10061;
constexpr uint32_t kInvalidAddress = 0xFFFFFFFFu;

std::string Format(const char* format, const std::string& server, int32_t number) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, format, server.c_str(), number);
    return buffer;
}

std::string FormatNumber(const char* format, int32_t number) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, number);
    return buffer;
}

LookupResult Failure(std::string text, int32_t error) {
    return {std::move(text), true, error};
}

LookupResult SocketFailure(int err) {
    const int32_t n = SocketErrorFromErrno(err);
    return Failure(FormatNumber("[ERROR] Creating Socket: Error# %d\n", n), n);
}

LookupResult LookupFailure(int32_t n) {
    return Failure(FormatNumber("[ERROR] Could not Look up Host: Error# %d\n", n), n);
}

// A socket closed when the member ends.
class Socket {
public:
    explicit Socket(int type) : m_fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

    void SetTimeouts(int32_t timeoutMs) {
        // Zero (or less) is no time-out; large values are clamped, never wrapped.
        timeval tv{};
        if (timeoutMs > 0) {
            tv.tv_sec = timeoutMs / 1000;
            tv.tv_usec = (timeoutMs % 1000) * 1000;
        }
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }

private:
    int m_fd;
};

// The host entry's first IPv4 address by name.
bool ResolveName(const std::string& host, in_addr* address, int32_t* error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || !result) {
        *error = SocketErrorFromResolver(rc == 0 ? EAI_NONAME : rc, errno);
        return false;
    }
    *address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    ::freeaddrinfo(result);
    return true;
}

// The official name for an IPv4 address (a reverse lookup that must find a name).
bool ResolveAddress(uint32_t networkOrder, std::string* name, int32_t* error) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = networkOrder;
    char host[NI_MAXHOST];
    const int rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                                 NI_NAMEREQD);
    if (rc != 0) {
        *error = SocketErrorFromResolver(rc, errno);
        return false;
    }
    *name = host;
    return true;
}

bool FitsInput(const std::string& text, size_t room) {
    return text.size() < room;
}

} // namespace

int32_t SocketErrorFromErrno(int err) {
    switch (err) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
    case EAGAIN:
    case ETIMEDOUT:
        return kTimedOut;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EMSGSIZE:
        return 10040;
    case EPROTONOSUPPORT:
        return 10043;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
    case EPIPE:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ECONNREFUSED:
        return kRefused;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    default:
        return 10000 + (err > 0 && err < 1000 ? err : 0);
    }
}

int32_t SocketErrorFromResolver(int gaiResult, int err) {
    switch (gaiResult) {
    case 0:
        return 0;
    case EAI_NONAME:
        return kHostNotFound;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return 11004;
#endif
    case EAI_AGAIN:
        return 11002;
    case EAI_FAIL:
        return 11003;
    case EAI_MEMORY:
        return 10055;
    case EAI_SYSTEM:
        return SocketErrorFromErrno(err);
    default:
        return 11003;
    }
}

long SendOnce(int fd, const void* data, size_t size) {
    return static_cast<long>(::send(fd, data, size, MSG_NOSIGNAL));
}

int EffectiveWaitMs(int32_t timeoutMs) {
    return timeoutMs > 0 ? timeoutMs : INT_MAX;
}

LookupResult GetIPFromName(const std::string& host, int32_t timeoutMs) {
    Socket socket(SOCK_STREAM);
    if (socket.fd() < 0)
        return SocketFailure(errno);
    socket.SetTimeouts(timeoutMs);
    if (!FitsInput(host, kInputBuffer))
        return LookupFailure(kHostNotFound);
    in_addr address{};
    int32_t error = 0;
    if (!ResolveName(host, &address, &error))
        return LookupFailure(error);
    char text[INET_ADDRSTRLEN];
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return {text, false, 0};
}

LookupResult GetNameFromIP(const std::string& ip, int32_t timeoutMs) {
    Socket socket(SOCK_STREAM);
    if (socket.fd() < 0)
        return SocketFailure(errno);
    socket.SetTimeouts(timeoutMs);
    if (!FitsInput(ip, kInputBuffer))
        return LookupFailure(kHostNotFound);
    // Not tested on purpose: a text that is no address is looked up as 255.255.255.255.
    const uint32_t address = ::inet_addr(ip.c_str());
    std::string name;
    int32_t error = 0;
    if (!ResolveAddress(address, &name, &error))
        return LookupFailure(error);
    return {name, false, 0};
}

LookupResult Whois(const std::string& domain, const std::string& server, int32_t timeoutMs, uint16_t port) {
    Socket socket(SOCK_STREAM);
    if (socket.fd() < 0)
        return SocketFailure(errno);
    socket.SetTimeouts(timeoutMs);

    // A query must be one line that fits the request buffer with its CR LF; anything else would let the
    // caller smuggle further lines to the server.
    if (domain.size() + 2 >= kInputBuffer || domain.find_first_of("\r\n") != std::string::npos)
        return Failure(
            Format("[ERROR] Client: Cannot do lookup on [%s]: Error %d\r\n", server, kInvalidArgument),
            kInvalidArgument);

    in_addr address{};
    int32_t error = 0;
    if (!FitsInput(server, kInputBuffer) || !ResolveName(server, &address, &error)) {
        std::string name;
        int32_t reverseError = 0;
        const uint32_t numeric = ::inet_addr(server.c_str());
        if (!FitsInput(server, kInputBuffer) || !ResolveAddress(numeric, &name, &reverseError))
            return LookupFailure(reverseError ? reverseError : kHostNotFound);
        address.s_addr = numeric;
    }

    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr = address;
    int rc;
    do
        rc = ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int connectErrno = errno;
        // A blocking connect cut short by the send time-out reports "in progress": it timed out.
        const int32_t n = SocketErrorFromErrno(connectErrno == EINPROGRESS ? ETIMEDOUT : connectErrno);
        // A reset that meets the connect itself came after the hand-shake: the server took the
        // connection and dropped it at once, which is the lookup failing, as when the reset meets the
        // query a moment later. A refused connection reports ECONNREFUSED instead.
        if (connectErrno == ECONNRESET)
            return Failure(Format("[ERROR] Client: Cannot do lookup on [%s]: Error %d\r\n", server, n), n);
        if (n == kTimedOut)
            return Failure(
                Format("[ERROR] Client: Cannot connect to [%s]: Error %d\r\nA connection attempt failed "
                       "because the connected party did not properly respond\r\n after a period of time, "
                       "or established connection failed because connected host has failed to respond.\r\n",
                       server, n),
                n);
        if (n == kRefused)
            return Failure(
                Format("[ERROR] Client: Cannot connect to [%s]: Error %d\r\nNo connection could be made "
                       "because the target machine actively refused it.\r\n This usually results from "
                       "trying to connect to a service that is inactive on the foreign host.\r\n- i.e. "
                       "one with no server application running. \r\n",
                       server, n),
                n);
        return Failure(Format("[ERROR] Client: Cannot connect to [%s]: Error %d\r\n", server, n), n);
    }

    // One send; its result is not examined. A peer that has gone must not end the caller's process.
    const std::string request = domain + "\r\n";
    (void)SendOnce(socket.fd(), request.data(), request.size());

    // Each receive waits at most the time-out, and so does the whole reply: a server that sends a byte now
    // and then cannot hold the caller for one time-out per byte.
    char reply[kWhoisBuffer];
    size_t received = 0;
    int lastErrno = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received < kWhoisBuffer - 1) {
        if (timeoutMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            pollfd pfd{socket.fd(), POLLIN, 0};
            const int ready = left > 0 ? ::poll(&pfd, 1, static_cast<int>(left)) : 0;
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0) {
                lastErrno = ETIMEDOUT;
                break;
            }
        }
        const ssize_t n = ::recv(socket.fd(), reply + received, kWhoisBuffer - 1 - received, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            lastErrno = errno;
            break;
        }
        if (n == 0)
            break;
        received += static_cast<size_t>(n);
    }
    if (received == 0) {
        const int32_t n = SocketErrorFromErrno(lastErrno);
        if (n == kTimedOut)
            return Failure(
                Format("[ERROR] Client: Cannot do lookup on [%s]: Error %d\r\nA connection attempt failed "
                       "because the connected party did not properly respond\r\n after a period of time, "
                       "or established connection failed because connected host has failed to respond.\r\n",
                       server, n),
                n);
        return Failure(Format("[ERROR] Client: Cannot do lookup on [%s]: Error %d\r\n", server, n), n);
    }
    // The text ends at the first zero byte of the reply.
    const size_t length = ::strnlen(reply, received);
    return {std::string(reply, length), false, 0};
}

MxResolver ParseServerList(const std::string& serverText) {
    MxResolver resolver;
    size_t pos = 0;
    while (pos < serverText.size()) {
        const size_t start = serverText.find_first_not_of(" ,", pos);
        if (start == std::string::npos)
            break;
        size_t end = serverText.find_first_of(" ,", start);
        if (end == std::string::npos)
            end = serverText.size();
        const std::string token = serverText.substr(start, end - start);
        resolver.servers.push_back(::inet_addr(token.c_str()));
        pos = end;
    }
    return resolver;
}

int32_t QueryMx(MxResolver& resolver, std::string domain, int32_t timeoutMs, uint16_t port) {
    resolver.error = 0;
    resolver.incomplete = false;
    resolver.list.clear();
    // No server at all: nothing can be asked (the same outcome as every server failing).
    if (resolver.servers.empty()) {
        resolver.error = 5;
        return -1;
    }
    size_t i = 0;
    if (resolver.servers[0] == kInvalidAddress) {
        resolver.error = 1;
        return 0;
    }
    int restarts = 0;
    for (;;) {
        bool serverFailed = false;
        {
            Socket socket(SOCK_DGRAM);
            std::string name;
            int32_t error = 0;
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(port);
            sa.sin_addr.s_addr = resolver.servers[i];
            if (socket.fd() < 0 || !ResolveAddress(resolver.servers[i], &name, &error) ||
                ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
                serverFailed = true;
            } else {
                std::optional<std::vector<uint8_t>> query = BuildMxQuery(domain, RandomQueryId());
                if (!query)
                    return 0; // a domain that is no valid name is never sent
                (void)SendOnce(socket.fd(), query->data(), query->size());

                const Deadline deadline = DeadlineAfter(timeoutMs);
                uint8_t reply[kMaxReply] = {};
                size_t datagramSize = 0;
                const size_t received = ReceiveReply(socket.fd(), *query, deadline, reply, &datagramSize);
                // A reply that did not fit is asked for whole over TCP, in what is left of the time-out;
                // without that answer the part that came is listed, and said to be a part.
                const bool cut = received > 0 && ReplyIsCut(reply, received, datagramSize);
                const std::optional<std::vector<uint8_t>> whole =
                    cut ? AskOverTcp(resolver.servers[i], port, *query, deadline) : std::nullopt;
                resolver.incomplete = cut && !whole;
                const ReplyOutcome outcome =
                    whole ? ReadMxReply(whole->data(), whole->size(), query->size(), &resolver.list)
                          : ReadMxReply(reply, received, query->size(), &resolver.list);
                resolver.error = outcome.responseCode;
                if (outcome.restart) {
                    if (++restarts > kMaxCnameRestarts)
                        return 0;
                    domain = outcome.canonicalName;
                    resolver.list.clear();
                    continue;
                }
                const int32_t count = static_cast<int32_t>(resolver.list.size());
                if (count >= 2)
                    SortMxList(resolver.list);
                return count;
            }
        }
        if (serverFailed) {
            ++i;
            if (i >= resolver.servers.size()) {
                resolver.error = 5;
                return -1;
            }
            if (resolver.servers[i] == kInvalidAddress) {
                resolver.error = 1;
                return 0;
            }
        }
    }
}

} // namespace trivex
