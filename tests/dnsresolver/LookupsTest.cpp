// Name and address lookups and whois, called by name on an object made by ProgID, against a whois
// server of the test on 127.0.0.1 port 43 inside the test's network namespace.
#include "dnsresolver/Network.h"
#include "tests/dnsresolver/Harness.h"
#include "tests/dnsresolver/NetNamespace.h"
#include "tests/dnsresolver/Peers.h"
#include "tests/support/TimeBounds.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <unistd.h>

using namespace com;
using namespace dnstest;

namespace {
using testenv::EndedByItsTimeOut;
using testenv::EndedLongBeforeItsTimeOut;

qint64 MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

const std::string kTimedOutTail =
    "A connection attempt failed because the connected party did not properly respond\r\n after a period of "
    "time, "
    "or established connection failed because connected host has failed to respond.\r\n";

LateBound WhoisClient(int timeoutSeconds = 5) {
    LateBound dns = CreateDns();
    EXPECT_EQ(dns.Put(u"WhoisServer", Variant::String("127.0.0.1")), S_OK);
    EXPECT_EQ(dns.Put(u"Timeout", Variant::Long(timeoutSeconds)), S_OK);
    return dns;
}
} // namespace

TEST(DnsLookups, NamesAndAddressesThroughTheSystemResolver) {
    REQUIRE_NET_NAMESPACE();
    LateBound dns = CreateDns();
    EXPECT_EQ(Text(dns, u"GetIPFromName", {Variant::String("localhost")}), "127.0.0.1");
    EXPECT_EQ(Text(dns, u"GetNameFromIP", {Variant::String("127.0.0.1")}), "localhost");
    EXPECT_EQ(Number(dns, u"GetSystemError"), 0);
}

TEST(DnsLookups, FailedLookupsGiveTheErrorTextAndKeepTheNumber) {
    REQUIRE_NET_NAMESPACE();
    LateBound dns = CreateDns();
    const std::regex lookupError(R"(\[ERROR\] Could not Look up Host: Error# (\d+)\n)");
    std::smatch m;
    const std::string byName = Text(dns, u"GetIPFromName", {Variant::String("no-such-host.invalid")});
    ASSERT_TRUE(std::regex_match(byName, m, lookupError)) << byName;
    const int number = std::stoi(m[1]);
    EXPECT_GE(number, 11001);
    EXPECT_LE(number, 11004);
    EXPECT_EQ(Number(dns, u"GetSystemError"), number);

    // A success afterwards leaves the earlier number in place.
    EXPECT_EQ(Text(dns, u"GetIPFromName", {Variant::String("localhost")}), "127.0.0.1");
    EXPECT_EQ(Number(dns, u"GetSystemError"), number);

    // Text that is no address is looked up as 255.255.255.255, which has no name here.
    const std::string byAddress = Text(dns, u"GetNameFromIP", {Variant::String("not an address")});
    EXPECT_TRUE(std::regex_match(byAddress, m, lookupError)) << byAddress;

    // Names too long for any host are refused, not cut to a different name.
    const std::string tooLong = Text(dns, u"GetIPFromName", {Variant::String(std::string(600, 'a'))});
    EXPECT_EQ(tooLong, "[ERROR] Could not Look up Host: Error# 11001\n");
}

TEST(DnsLookups, WhoisReturnsTheServersReply) {
    REQUIRE_NET_NAMESPACE();
    WhoisPeer peer;
    ASSERT_TRUE(peer.Start(WhoisPeer::Mode::Reply, "Domain Name: EXAMPLE.TEST\r\nRegistrar: Test\r\n"));
    LateBound dns = WhoisClient();
    EXPECT_EQ(Text(dns, u"Whois", {Variant::String("example.test")}),
              "Domain Name: EXAMPLE.TEST\r\nRegistrar: Test\r\n");
    EXPECT_EQ(peer.requests(), std::vector<std::string>{"example.test\r\n"});
    EXPECT_EQ(Number(dns, u"GetSystemError"), 0);
}

TEST(DnsLookups, WhoisRepliesAreCutAtTheBufferAndAtAZeroByte) {
    REQUIRE_NET_NAMESPACE();
    struct Case {
        const char* what;
        WhoisPeer::Mode mode;
        std::string reply;
        std::string expected;
    } cases[] = {
        {"exactly 4000 bytes", WhoisPeer::Mode::Reply, std::string(4000, 'x'), std::string(3999, 'x')},
        {"3999 bytes", WhoisPeer::Mode::Reply, std::string(3999, 'y'), std::string(3999, 'y')},
        {"a zero byte inside", WhoisPeer::Mode::Reply, std::string("before\0after", 12), "before"},
        {"10 MB", WhoisPeer::Mode::Flood, {}, std::string(3999, 'w')},
    };
    for (const Case& c : cases) {
        WhoisPeer peer;
        ASSERT_TRUE(peer.Start(c.mode, c.reply)) << c.what;
        LateBound dns = WhoisClient(30);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Text(dns, u"Whois", {Variant::String("example.test")}), c.expected) << c.what;
        // A full buffer or the server's close ends the reply; nothing waits for the time-out.
        EXPECT_TRUE(EndedLongBeforeItsTimeOut(MillisecondsSince(start), 30000)) << c.what;
    }
}

TEST(DnsLookups, WhoisFailuresGiveTheirTexts) {
    REQUIRE_NET_NAMESPACE();
    {
        // Nobody listens on port 43.
        LateBound dns = WhoisClient();
        EXPECT_EQ(
            Text(dns, u"Whois", {Variant::String("example.test")}),
            "[ERROR] Client: Cannot connect to [127.0.0.1]: Error 10061\r\nNo connection could be made "
            "because "
            "the target machine actively refused it.\r\n This usually results from trying to connect to a "
            "service that is inactive on the foreign host.\r\n- i.e. one with no server application running. "
            "\r\n");
        EXPECT_EQ(Number(dns, u"GetSystemError"), 10061);
    }
    {
        // The server accepts and says nothing: one receive time-out.
        WhoisPeer peer;
        ASSERT_TRUE(peer.Start(WhoisPeer::Mode::Silent));
        LateBound dns = WhoisClient(5);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Text(dns, u"Whois", {Variant::String("example.test")}),
                  "[ERROR] Client: Cannot do lookup on [127.0.0.1]: Error 10060\r\n" + kTimedOutTail);
        EXPECT_TRUE(EndedByItsTimeOut(MillisecondsSince(start), 5000));
        EXPECT_EQ(peer.connections(), 1);
        EXPECT_EQ(Number(dns, u"GetSystemError"), 10060);
    }
    {
        // The server closes without a word: the short text with the current socket error (none).
        WhoisPeer peer;
        ASSERT_TRUE(peer.Start(WhoisPeer::Mode::CloseAtOnce));
        LateBound dns = WhoisClient();
        const std::string text = Text(dns, u"Whois", {Variant::String("example.test")});
        EXPECT_TRUE(text.rfind("[ERROR] Client: Cannot do lookup on [127.0.0.1]: Error ", 0) == 0) << text;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        // Repeated against a closed peer, the send must never end the process (no SIGPIPE).
        for (int i = 0; i < 5; ++i)
            Text(dns, u"Whois", {Variant::String(std::string(400, 'q'))});
        EXPECT_EQ(peer.connections(), 6);
    }
    {
        // The server resets the connection at once: whatever the send meets, the process lives on and the
        // caller gets a lookup text.
        WhoisPeer peer;
        ASSERT_TRUE(peer.Start(WhoisPeer::Mode::ResetAtOnce));
        LateBound dns = WhoisClient();
        for (int i = 0; i < 10; ++i) {
            const std::string text = Text(dns, u"Whois", {Variant::String(std::string(450, 'r'))});
            EXPECT_TRUE(text.rfind("[ERROR] Client: Cannot do lookup on [127.0.0.1]: Error ", 0) == 0)
                << text;
        }
        EXPECT_EQ(peer.connections(), 10);
    }
    {
        // A whois server name that cannot be resolved.
        LateBound dns = WhoisClient();
        EXPECT_EQ(dns.Put(u"WhoisServer", Variant::String("no-such-whois.invalid")), S_OK);
        const std::string text = Text(dns, u"Whois", {Variant::String("example.test")});
        EXPECT_TRUE(text.rfind("[ERROR] Could not Look up Host: Error# 110", 0) == 0) << text;
    }
}

TEST(DnsLookups, WhoisWaitsEndWithinTheTimeout) {
    REQUIRE_NET_NAMESPACE();
    {
        // A server whose queue of pending connections is full drops the handshake: the connect goes
        // unanswered and must end as the timed-out connect, not as some other number.
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(43);
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        ASSERT_EQ(::listen(listener, 0), 0);
        ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        LateBound dns = WhoisClient(5);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Text(dns, u"Whois", {Variant::String("example.test")}),
                  "[ERROR] Client: Cannot connect to [127.0.0.1]: Error 10060\r\n" + kTimedOutTail);
        // The system's own retries of the handshake take minutes to end the same way.
        EXPECT_TRUE(EndedByItsTimeOut(MillisecondsSince(start), 5000));
        EXPECT_EQ(Number(dns, u"GetSystemError"), 10060);
        ::close(filler);
        ::close(listener);
    }
    {
        // A server that keeps sending one byte just inside each receive time-out cannot hold the caller
        // for thousands of time-outs: the reply gathered within the time-out is the answer, some five of
        // the hundred bytes the server sends, one each 200 ms, while the caller stays.
        WhoisPeer peer;
        ASSERT_TRUE(peer.Start(WhoisPeer::Mode::Trickle));
        LateBound dns = WhoisClient(1);
        const std::string text = Text(dns, u"Whois", {Variant::String("example.test")});
        EXPECT_LT(text.size(), 50u);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_not_of('t'), std::string::npos) << text;
        EXPECT_EQ(Number(dns, u"GetSystemError"), 0);
    }
}

TEST(DnsLookups, WhoisRefusesQueriesThatAreNotOneLine) {
    REQUIRE_NET_NAMESPACE();
    WhoisPeer peer;
    ASSERT_TRUE(peer.Start(WhoisPeer::Mode::Reply, "reply"));
    LateBound dns = WhoisClient();
    for (const std::string& domain : {std::string("example.test\r\nsecond query"), std::string("a\nb"),
                                      std::string("a\rb"), std::string(498, 'd')}) {
        EXPECT_EQ(Text(dns, u"Whois", {Variant::String(domain)}),
                  "[ERROR] Client: Cannot do lookup on [127.0.0.1]: Error 10022\r\n");
        EXPECT_EQ(Number(dns, u"GetSystemError"), 10022);
    }
    EXPECT_EQ(peer.connections(), 0);
    // The longest query that fits still goes out.
    EXPECT_EQ(Text(dns, u"Whois", {Variant::String(std::string(497, 'd'))}), "reply");
}

TEST(DnsLookups, SendingToAPeerThatHasGoneIsAnErrorNotTheEnd) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ::close(pair[1]);
    // Without care this send raises SIGPIPE, which ends the whole program.
    errno = 0;
    EXPECT_EQ(trivex::SendOnce(pair[0], "example.test\r\n", 14), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(pair[0]);
}
