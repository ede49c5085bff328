// MXLookup and MXServerList, called by name, against dnsmasq and a responder of canned bytes, both on
// 127.0.0.1 port 53 inside the test's network namespace.
#include "tests/dnsresolver/Bounded.h"
#include "tests/dnsresolver/Harness.h"
#include "tests/dnsresolver/NetNamespace.h"
#include "tests/dnsresolver/Peers.h"
#include "tests/dnsresolver/ReplyBuilder.h"
#include "tests/support/TimeBounds.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <mutex>
#include <set>

using namespace com;
using namespace dnstest;

namespace {
int Lookup(LateBound& dns, const std::string& servers, const std::string& domain) {
    return Number(dns, u"MXLookup", {Variant::String(servers), Variant::String(domain)});
}

std::vector<std::string> ServerList(LateBound& dns, int count) {
    std::vector<std::string> hosts;
    for (int i = 1; i <= count; ++i)
        hosts.push_back(Text(dns, u"MXServerList", {Variant::Long(i)}));
    return hosts;
}

// A lookup no reply answers: one question, one wait of the whole time-out, no hosts. The time-out is long
// enough that a stall of a loaded machine does not pass for a second wait.
void ExpectNoHostsAfterTheTimeOut(LateBound& dns, const CannedResponder& responder) {
    ASSERT_EQ(dns.Put(u"Timeout", Variant::Long(5)), S_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Lookup(dns, "127.0.0.1", "example.test"), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(testenv::EndedByItsTimeOut(
        std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 5000));
    EXPECT_EQ(responder.queries(), 1) << "one question, one wait";
}

std::string Numbered(const char* prefix, int i, const char* domain) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%02d.%s", prefix, i, domain);
    return text;
}

// A reply listing count exchangers, prefix00.test up with preferences 0 up, each record 26 bytes.
Bytes Exchangers(const Bytes& query, int count, const char* prefix) {
    Bytes r = Reply(query, static_cast<uint16_t>(count));
    for (int i = 0; i < count; ++i)
        r = r + Record(Pointer(12), 15, Mx(static_cast<uint16_t>(i), Name(Numbered(prefix, i, "test"))));
    return r;
}

class MxWithDnsmasq : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_NET_NAMESPACE();
        std::vector<std::string> records = {
            "--mx-host=example.test,mail-b.example.test,20", "--mx-host=example.test,mail-a.example.test,10",
            "--mx-host=example.test,mail-c.example.test,30", "--host-record=example.test,127.0.0.5",
            "--cname=alias.test,example.test"};
        // Forty exchangers are more than the 512 bytes dnsmasq puts into a datagram: it sets the
        // truncation bit there and answers in full over TCP. Given in reverse, so the sort is seen.
        for (int i = 39; i >= 0; --i)
            records.push_back("--mx-host=many.test," + Numbered("mx", i, "many.test") + "," +
                              std::to_string(i));
        std::string error;
        ASSERT_TRUE(m_dnsmasq.Start(records, &error)) << error;
    }
    Dnsmasq m_dnsmasq;
};
} // namespace

TEST_F(MxWithDnsmasq, ListsExchangersByPreference) {
    LateBound dns = CreateDns();
    ASSERT_EQ(Lookup(dns, "127.0.0.1", "example.test"), 3);
    EXPECT_EQ(ServerList(dns, 3), (std::vector<std::string>{"mail-a.example.test", "mail-b.example.test",
                                                            "mail-c.example.test"}));
    EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(0)}), "[ERROR] Invalid Parameter.");
    EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(4)}), "[ERROR] Invalid Parameter.");
    EXPECT_EQ(Number(dns, u"GetSystemError"), 87);
    // The next lookup resets the last error and replaces the list.
    EXPECT_EQ(Lookup(dns, "127.0.0.1", "example.test"), 3);
    EXPECT_EQ(Number(dns, u"GetSystemError"), 0);
}

TEST_F(MxWithDnsmasq, FortyExchangersAreAllListed) {
    LateBound dns = CreateDns();
    ASSERT_EQ(Lookup(dns, "127.0.0.1", "many.test"), 40);
    const std::vector<std::string> hosts = ServerList(dns, 40);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(hosts[static_cast<size_t>(i)], Numbered("mx", i, "many.test"));
    EXPECT_EQ(Number(dns, u"GetSystemError"), 0);
}

TEST_F(MxWithDnsmasq, FollowsACanonicalName) {
    LateBound dns = CreateDns();
    ASSERT_EQ(Lookup(dns, "127.0.0.1", "alias.test"), 3);
    EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(1)}), "mail-a.example.test");
}

TEST_F(MxWithDnsmasq, RefusalsAndUnknownDomainsGiveNoHosts) {
    LateBound dns = CreateDns();
    EXPECT_EQ(Lookup(dns, "127.0.0.1", "unknown.test"), 0);
    EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(1)}), "[ERROR] Invalid Parameter.");
    // Not a valid name: nothing is sent, no hosts.
    EXPECT_EQ(Lookup(dns, "127.0.0.1", "a..test"), 0);
    EXPECT_EQ(Lookup(dns, "127.0.0.1", std::string(64, 'x') + ".test"), 0);
}

TEST_F(MxWithDnsmasq, ServerTextPicksWhomToAsk) {
    LateBound dns = CreateDns();
    // 127.0.0.9 has no name, so its reverse check fails and the next server is asked.
    EXPECT_EQ(Lookup(dns, "127.0.0.9, 127.0.0.1", "example.test"), 3);
    EXPECT_EQ(Lookup(dns, " 127.0.0.9,,127.0.0.1 ", "example.test"), 3);
    // The search ends at a token that is no address.
    EXPECT_EQ(Lookup(dns, "127.0.0.9, dns.example.test, 127.0.0.1", "example.test"), 0);
    // Every server failing.
    EXPECT_EQ(Lookup(dns, "127.0.0.9 127.0.0.10", "example.test"), -5);
    EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(1)}), "[ERROR] Invalid Parameter.");
    // The first server answers: the second is never asked (it would fail anyway).
    EXPECT_EQ(Lookup(dns, "127.0.0.1,127.0.0.9", "example.test"), 3);
}

TEST(MxCanned, HostileRepliesFinishWithTheirResult) {
    REQUIRE_NET_NAMESPACE();
    for (const HostileCase& c : HostileReplies()) {
        CannedResponder responder;
        ASSERT_TRUE(responder.Start([&c](const Bytes& query) { return c.make(query); })) << c.what;
        LateBound dns = CreateDns();
        // A datagram too short to answer the query is not the reply: the lookup waits on for it.
        ASSERT_EQ(dns.Put(u"Timeout", Variant::Long(2)), S_OK);
        // In a child under a bound (Bounded.h): a reply the reader loops on fails here, naming the case.
        int hosts = -1;
        EXPECT_TRUE(EndsInTime(
            c.what, [&dns] { return Lookup(dns, "127.0.0.1", "example.test"); }, &hosts));
        EXPECT_EQ(hosts, c.hosts) << c.what;
        EXPECT_EQ(responder.queries(), 1) << c.what;
    }
}

// A datagram that does not answer our query (another id, no reply bit, another question) is someone
// else's, or forged: it is dropped and the wait goes on, so the reply to our query is still taken. Each
// query carries an id of its own, which a forger cannot know in advance.
TEST(MxCanned, OnlyTheReplyToOurQueryIsRead) {
    REQUIRE_NET_NAMESPACE();
    // Each forged datagram names a host of its own, so one that was taken shows which.
    const auto forged = [](const Bytes& query) {
        const auto listing = [](Bytes reply, const char* host) {
            return reply + Record(Pointer(12), 15, Mx(1, Name(host)));
        };
        Bytes wrongId = listing(Reply(query, 1), "wrong-id.test");
        wrongId[0] ^= 0x5A;
        Bytes notReply = listing(Reply(query, 1), "not-a-reply.test");
        notReply[2] &= 0x7F;
        const Bytes otherQuestion =
            Bytes(query.begin(), query.begin() + 12) + Name("other.test") + Bytes{0, 15, 0, 1};
        Bytes otherType = query, otherClass = query;
        otherType[otherType.size() - 3] = 1;   // A
        otherClass[otherClass.size() - 1] = 3; // CH
        return std::vector<Bytes>{wrongId, notReply, listing(Reply(otherQuestion, 1), "other-name.test"),
                                  listing(Reply(otherType, 1), "other-type.test"),
                                  listing(Reply(otherClass, 1), "other-class.test")};
    };
    std::mutex mutex;
    std::set<int> ids;
    CannedResponder responder;
    // The forged datagrams first, then the reply, its question in other letters' case, as servers may
    // echo it.
    ASSERT_TRUE(responder.Start(CannedResponder::Replies([&](const Bytes& query) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ids.insert(query[0] << 8 | query[1]);
        }
        Bytes echoed = query;
        for (size_t i = 12; i + 4 < echoed.size(); ++i)
            echoed[i] = static_cast<uint8_t>(std::toupper(echoed[i]));
        std::vector<Bytes> out = forged(query);
        out.push_back(Reply(echoed, 1) + Record(Pointer(12), 15, Mx(1, Name("right.test"))));
        return out;
    })));
    LateBound dns = CreateDns();
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(Lookup(dns, "127.0.0.1", "example.test"), 1);
        EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(1)}), "right.test");
    }
    responder.Stop();
    EXPECT_GE(ids.size(), 2u) << "eight queries, all with the same id";

    // Forged datagrams alone: the lookup waits out its time-out for the reply and finds no hosts.
    CannedResponder forger;
    ASSERT_TRUE(forger.Start(CannedResponder::Replies(forged)));
    ExpectNoHostsAfterTheTimeOut(dns, forger);
}

// A reply cut short (truncation bit, or a datagram longer than the 1,000 bytes read) is asked again of
// the same server over TCP, within the same time-out. When that fails, what arrived is listed and the last
// error says the list is incomplete (10040, message too long).
TEST(MxCanned, ACutReplyIsAskedAgainOverTcp) {
    REQUIRE_NET_NAMESPACE();
    enum class Tcp { Refused, Whole, OtherId, CutShort, Silent };
    const struct Case {
        const char* what;
        int udpHosts; // 50 exchangers make a datagram of 1,330 bytes
        bool truncationBit;
        Tcp tcp;
        int hosts;
        int lastError;
    } cases[] = {
        {"a whole reply", 3, false, Tcp::Whole, 3, 0},
        {"truncation bit", 2, true, Tcp::Whole, 40, 0},
        {"longer than read", 50, false, Tcp::Whole, 40, 0},
        {"truncation bit, TCP refused", 2, true, Tcp::Refused, 2, 10040},
        // The 37 whole records of the first 1,000 bytes.
        {"longer than read, TCP refused", 50, false, Tcp::Refused, 37, 10040},
        {"TCP answer under another id", 2, true, Tcp::OtherId, 2, 10040},
        {"TCP answer cut short", 2, true, Tcp::CutShort, 2, 10040},
        {"TCP silent", 2, true, Tcp::Silent, 2, 10040},
    };
    for (const Case& c : cases) {
        CannedResponder responder;
        if (c.tcp != Tcp::Refused) {
            ASSERT_TRUE(responder.ListenTcp([&c](const Bytes& query) {
                Bytes whole = Framed(Exchangers(query, 40, "tcp"));
                if (c.tcp == Tcp::OtherId)
                    whole[2] ^= 0x5A;
                if (c.tcp == Tcp::CutShort)
                    whole.resize(whole.size() - 1);
                return c.tcp == Tcp::Silent ? Bytes() : whole;
            })) << c.what;
        }
        ASSERT_TRUE(responder.Start([&c](const Bytes& query) {
            Bytes r = Exchangers(query, c.udpHosts, "udp");
            if (c.truncationBit)
                r[2] |= 0x02;
            return r;
        })) << c.what;
        LateBound dns = CreateDns();
        ASSERT_EQ(dns.Put(u"Timeout", Variant::Long(5)), S_OK);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Lookup(dns, "127.0.0.1", "example.test"), c.hosts) << c.what;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(Number(dns, u"GetSystemError"), c.lastError) << c.what;
        EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(1)}), c.hosts == 40 ? "tcp00.test" : "udp00.test")
            << c.what;
        const bool cut = c.truncationBit || c.udpHosts == 50;
        EXPECT_EQ(responder.tcpConnections(), cut && c.tcp != Tcp::Refused ? 1 : 0) << c.what;
        EXPECT_EQ(responder.queries(), 1) << c.what;
        if (c.tcp == Tcp::Silent) {
            EXPECT_TRUE(testenv::EndedByItsTimeOut(
                std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 5000))
                << c.what;
        }
    }
}

TEST(MxCanned, CanonicalNameLoopEndsAfterBoundedRestarts) {
    REQUIRE_NET_NAMESPACE();
    CannedResponder responder;
    // Every answer says the name is an alias of itself.
    ASSERT_TRUE(responder.Start(
        [](const Bytes& query) { return Reply(query, 1) + Record(Pointer(12), 5, Pointer(12)); }));
    LateBound dns = CreateDns();
    EXPECT_EQ(Lookup(dns, "127.0.0.1", "loop.test"), 0);
    EXPECT_EQ(responder.queries(), 9); // the first query and eight restarts
}

TEST(MxCanned, EqualPreferencesKeepTheOrderCallersKnow) {
    REQUIRE_NET_NAMESPACE();
    CannedResponder responder;
    ASSERT_TRUE(responder.Start([](const Bytes& query) {
        return Reply(query, 3) + Record(Pointer(12), 15, Mx(30, Name("a.test"))) +
               Record(Pointer(12), 15, Mx(10, Name("b.test"))) +
               Record(Pointer(12), 15, Mx(10, Name("c.test")));
    }));
    LateBound dns = CreateDns();
    ASSERT_EQ(Lookup(dns, "127.0.0.1", "example.test"), 3);
    EXPECT_EQ(ServerList(dns, 3), (std::vector<std::string>{"c.test", "b.test", "a.test"}));
}

TEST(MxCanned, SilenceEndsAfterTheTimeoutWithNoHosts) {
    REQUIRE_NET_NAMESPACE();
    CannedResponder responder;
    ASSERT_TRUE(responder.Start([](const Bytes&) { return Bytes(); }));
    LateBound dns = CreateDns();
    ExpectNoHostsAfterTheTimeOut(dns, responder);
}

TEST(MxCanned, DomainsThatAreNoValidNameSendNothing) {
    REQUIRE_NET_NAMESPACE();
    CannedResponder responder;
    ASSERT_TRUE(responder.Start([](const Bytes& query) {
        return Reply(query, 1) + Record(Pointer(12), 15, Mx(1, Name("mx.test")));
    }));
    LateBound dns = CreateDns();
    std::string tooLong;
    for (int i = 0; i < 5; ++i)
        tooLong += std::string(60, 'n') + ".";
    tooLong += "test";
    for (const std::string& domain : {std::string("a..test"), std::string(".test"), std::string("test."),
                                      std::string(64, 'x') + ".test", tooLong, std::string()})
        EXPECT_EQ(Lookup(dns, "127.0.0.1", domain), 0) << domain;
    EXPECT_EQ(responder.queries(), 0);
    EXPECT_EQ(Lookup(dns, "127.0.0.1", std::string(63, 'x') + ".test"), 1);
    EXPECT_EQ(responder.queries(), 1);
}

TEST(MxCanned, SingleRootExchangeGivesNoHosts) {
    REQUIRE_NET_NAMESPACE();
    CannedResponder responder;
    ASSERT_TRUE(responder.Start(
        [](const Bytes& query) { return Reply(query, 1) + Record(Pointer(12), 15, Mx(0, Bytes{0})); }));
    LateBound dns = CreateDns();
    EXPECT_EQ(Lookup(dns, "127.0.0.1", "example.test"), 0);
}
