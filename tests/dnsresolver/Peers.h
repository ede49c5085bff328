#pragma once
// The real peers of the DNS tests, all on 127.0.0.1 inside the test's network namespace: dnsmasq serving
// MX and CNAME records on port 53, a responder answering with canned (hostile) bytes on UDP and TCP port
// 53, and a whois server on port 43.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace dnstest {

class Dnsmasq {
public:
    ~Dnsmasq() { Stop(); }
    // Starts dnsmasq with the records given as its options; waits until it answers.
    bool Start(const std::vector<std::string>& records, std::string* error);
    void Stop();

private:
    pid_t m_pid = -1;
};

class CannedResponder {
public:
    using Reply = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& query)>;
    // Several datagrams in answer to one query, sent in order.
    using Replies = std::function<std::vector<std::vector<uint8_t>>(const std::vector<uint8_t>& query)>;
    ~CannedResponder() { Stop(); }
    // Also listens on TCP port 53 (call before Start): each connection reads one query behind its length
    // and gets the bytes stream(query) gives, as they are (Framed() makes a whole answer); no bytes at
    // all keep the connection silent until the client closes it.
    bool ListenTcp(Reply stream);
    bool Start(Reply reply);
    bool Start(Replies replies);
    void Stop();
    int queries() const { return m_queries.load(); }
    int tcpConnections() const { return m_tcpConnections.load(); }

private:
    void Run();
    void ServeTcp(int client);
    Replies m_replies;
    Reply m_stream;
    int m_fd = -1;
    int m_tcpFd = -1;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<int> m_queries{0};
    std::atomic<int> m_tcpConnections{0};
};

class WhoisPeer {
public:
    enum class Mode { Reply, Silent, Flood, CloseAtOnce, ResetAtOnce, Trickle };
    ~WhoisPeer() { Stop(); }
    bool Start(Mode mode, std::string reply = {});
    void Stop();
    // The request lines received so far.
    std::vector<std::string> requests();
    int connections() const { return m_connections.load(); }

private:
    void Run();
    void Serve(int client);
    Mode m_mode = Mode::Reply;
    std::string m_reply;
    int m_fd = -1;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::atomic<int> m_connections{0};
};

// An MX query for a name, as a client would send it (for building canned replies).
std::vector<uint8_t> EncodeName(const std::string& dotted);

} // namespace dnstest
