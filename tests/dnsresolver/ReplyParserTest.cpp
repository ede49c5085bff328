// The MX query and the reply reader on bytes alone. This file is also built with AddressSanitizer and
// UndefinedBehaviorSanitizer (ctest label "hostile"), so every hostile reply is read under them.
#include "dnsresolver/DnsMessage.h"
#include "tests/dnsresolver/Bounded.h"
#include "tests/dnsresolver/ReplyBuilder.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace trivex;
using namespace dnstest;

namespace {
// The reply copied into a block of exactly its size, so a read past the end is a sanitizer error.
struct Exact {
    explicit Exact(const Bytes& b) : size(b.size()), data(new uint8_t[b.size() ? b.size() : 1]) {
        std::copy(b.begin(), b.end(), data.get());
    }
    size_t size;
    std::unique_ptr<uint8_t[]> data;
};

// Whether the parse ends: it runs first in a child under a bound on its processor time (Bounded.h). One
// that does not fails the test naming the case, and is not run here.
bool Ends(const std::string& what, const std::function<void()>& parse) {
    const ::testing::AssertionResult ended = EndsInTime(what, [&parse] {
        parse();
        return 0;
    });
    EXPECT_TRUE(ended);
    return ended;
}

std::vector<MxEntry> ReadAll(const std::string& what, const Bytes& reply, size_t queryLength,
                             ReplyOutcome* outcome = nullptr) {
    Exact exact(reply);
    std::vector<MxEntry> list;
    if (!Ends(what, [&] {
            std::vector<MxEntry> scratch;
            ReadMxReply(exact.data.get(), exact.size, queryLength, &scratch);
        }))
        return list;
    const ReplyOutcome o = ReadMxReply(exact.data.get(), exact.size, queryLength, &list);
    if (outcome)
        *outcome = o;
    return list;
}

std::vector<std::string> Hosts(const std::vector<MxEntry>& list) {
    std::vector<std::string> out;
    for (const MxEntry& e : list)
        out.push_back(e.host);
    return out;
}
} // namespace

TEST(DnsQuery, CarriesTheDomainAsLabels) {
    std::optional<Bytes> q = BuildMxQuery("example.com", 0x0100);
    ASSERT_TRUE(q);
    const Bytes expected = {0x01, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 7,    'e',  'x',  'a',  'm',  'p',  'l',  'e',
                            3,    'c',  'o',  'm',  0,    0x00, 0x0F, 0x00, 0x01};
    EXPECT_EQ(*q, expected);
    EXPECT_EQ(q->size(), 16 + Name("example.com").size());
}

TEST(DnsQuery, DomainsThatAreNoValidNameAreNeverSent) {
    const std::string label63(63, 'a');
    // 4 labels of 63 bytes = 256 octets with lengths and terminator: one too many.
    const std::string name255 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
    const std::string name256 = label63 + "." + label63 + "." + label63 + "." + std::string(62, 'b');
    struct Case {
        std::string domain;
        bool valid;
    } cases[] = {
        {"example.com", true},
        {"a", true},
        {label63 + ".test", true},
        {name255, true},
        {label63 + "a.test", false},
        {name256, false},
        {"a..b", false},
        {".example.com", false},
        {"example.com.", false},
        {"", false},
        {".", false},
    };
    for (const Case& c : cases) {
        std::optional<Bytes> q = BuildMxQuery(c.domain, 0x0100);
        EXPECT_EQ(q.has_value(), c.valid) << c.domain.size() << " " << c.domain.substr(0, 20);
        if (q) {
            EXPECT_LE(q->size(), 271u);
        }
    }
}

TEST(DnsName, ReadsLabelsPointersAndRefusesMalformedNames) {
    // 0: "mail.example.test"; 19: "mx" + pointer to 5 ("example.test"); 24: pointer to 19.
    const Bytes message = Name("mail.example.test") + Bytes{2, 'm', 'x'} + Pointer(5) + Pointer(19);
    struct Case {
        const char* what;
        Bytes bytes;
        size_t pos;
        std::optional<std::string> name;
        size_t next;
    } cases[] = {
        {"plain", message, 0, "mail.example.test", 19},
        {"label then pointer", message, 19, "mx.example.test", 24},
        {"pointer to a pointer", message, 24, "mx.example.test", 26},
        {"root", Bytes{0}, 0, "", 1},
        {"pointer to itself", Pointer(0), 0, std::nullopt, 0},
        {"pointer forward", Pointer(2) + Name("a"), 0, std::nullopt, 0},
        {"pointer to the name's own start", Name("x") + Bytes{1, 'y'} + Pointer(3), 3, std::nullopt, 0},
        {"length past the end", Bytes{5, 'a', 'b'}, 0, std::nullopt, 0},
        {"no terminator", Bytes{1, 'a'}, 0, std::nullopt, 0},
        {"half a pointer", Bytes{1, 'a', 0xC0}, 0, std::nullopt, 0},
        {"top bits 01", Bytes{0x41, 'a', 0}, 0, std::nullopt, 0},
        {"top bits 10", Bytes{0x81, 'a', 0}, 0, std::nullopt, 0},
        {"start past the end", Bytes{0}, 1, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        Exact exact(c.bytes);
        size_t next = 0;
        if (!Ends(c.what, [&] { ReadDnsName(exact.data.get(), exact.size, c.pos, &next); }))
            continue;
        std::optional<std::string> name = ReadDnsName(exact.data.get(), exact.size, c.pos, &next);
        EXPECT_EQ(name, c.name) << c.what;
        if (name) {
            EXPECT_EQ(next, c.next) << c.what;
        }
    }
}

TEST(DnsName, LongestNamePassesAndOneOctetMoreFails) {
    const std::string label63(63, 'a');
    const std::string fits =
        label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b'); // 255 octets
    const std::string over = label63 + "." + label63 + "." + label63 + "." + std::string(62, 'b'); // 256
    for (const auto& [text, ok] : {std::pair{fits, true}, std::pair{over, false}}) {
        Exact exact(Name(text));
        const std::string what = std::to_string(text.size()) + " characters";
        if (Ends(what, [&] { ReadDnsName(exact.data.get(), exact.size, 0); })) {
            EXPECT_EQ(ReadDnsName(exact.data.get(), exact.size, 0).has_value(), ok) << what;
        }
    }
    // The limit also holds across pointers: 200 octets before the pointer plus 100 after it.
    const Bytes tail = Name(std::string(63, 't') + "." + std::string(35, 'u'));
    Bytes head;
    for (int i = 0; i < 3; ++i)
        head = head + Bytes{63} + Bytes(63, 'h');
    Exact joined(tail + Bytes(head.begin(), head.end()) + Pointer(0));
    if (Ends("over the limit across a pointer",
             [&] { ReadDnsName(joined.data.get(), joined.size, tail.size()); })) {
        EXPECT_FALSE(ReadDnsName(joined.data.get(), joined.size, tail.size()).has_value());
    }
}

TEST(DnsReply, OutcomeFollowsTheFirstAnswer) {
    const Bytes q = Query("example.test");
    ReplyOutcome o;
    // Refusal.
    EXPECT_TRUE(
        ReadAll("refusal", Reply(q, 1, 3) + Record(Pointer(12), 15, Mx(1, Name("mx.test"))), q.size(), &o)
            .empty());
    EXPECT_EQ(o.responseCode, 3u);
    EXPECT_FALSE(o.restart);
    // No answers; an empty or zeroed datagram.
    EXPECT_TRUE(ReadAll("no answers", Reply(q, 0), q.size(), &o).empty());
    EXPECT_TRUE(ReadAll("zeroed", Bytes(1000, 0), q.size(), &o).empty());
    EXPECT_TRUE(ReadAll("empty", Bytes(), q.size(), &o).empty());
    EXPECT_EQ(o.responseCode, 0u);
    // A CNAME first: restart with the canonical name (compressed against the question).
    ReadAll("canonical name",
            Reply(q, 1) + Record(Pointer(12), 5, Bytes{5, 'a', 'l', 'i', 'a', 's'} + Pointer(20)), q.size(),
            &o);
    EXPECT_TRUE(o.restart);
    EXPECT_EQ(o.canonicalName, "alias.test");
    // A CNAME whose target cannot be read: no restart.
    ReadAll("unreadable canonical name", Reply(q, 1) + Record(Pointer(12), 5, Pointer(500)), q.size(), &o);
    EXPECT_FALSE(o.restart);
    // Another type first: nothing.
    EXPECT_TRUE(ReadAll("another type first",
                        Reply(q, 2) + Record(Pointer(12), 1, Bytes{127, 0, 0, 1}) +
                            Record(Pointer(12), 15, Mx(1, Name("mx.test"))),
                        q.size())
                    .empty());
}

TEST(DnsReply, ListsExchangersAndSkipsWhatIsNoExchanger) {
    const Bytes q = Query("example.test");
    const Bytes reply = Reply(q, 5) + Record(Pointer(12), 15, Mx(10, Name("a.example.test"))) +
                        Record(Pointer(12), 15, Mx(0, Bytes{0})) +    // the root: not listed
                        Record(Pointer(12), 1, Bytes{192, 0, 2, 1}) + // not MX: skipped
                        Record(Pointer(12), 15, Mx(20, Bytes{1, 'b'} + Pointer(q.size() + 2 + 10 + 2 + 2))) +
                        Record(Pointer(12), 15, Mx(5, Name("c.example.test")));
    const std::vector<MxEntry> list = ReadAll("exchangers and others", reply, q.size());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(Hosts(list), (std::vector<std::string>{"a.example.test", "b.example.test", "c.example.test"}));
    EXPECT_EQ(list[1].preference, 20);

    // An exchange compressed against an earlier one at an offset above 255.
    const std::string longHost =
        std::string(60, 'p') + "." + std::string(60, 'q') + "." + std::string(60, 'r') + ".example.test";
    Bytes padded = Reply(q, 3) + Record(Pointer(12), 15, Mx(1, Name(longHost)));
    const size_t secondExchange = padded.size() + 2 + 10 + 2;
    padded = padded + Record(Pointer(12), 15, Mx(2, Name(std::string(60, 's') + ".far.test")));
    const size_t target = secondExchange + 61; // "far.test"
    ASSERT_GT(target, 255u);
    padded = padded + Record(Pointer(12), 15, Mx(3, Bytes{3, 'n', 'e', 'w'} + Pointer(target)));
    const std::vector<MxEntry> far = ReadAll("compressed above 255", padded, q.size());
    ASSERT_EQ(far.size(), 3u);
    EXPECT_EQ(far[0].host, longHost);
    EXPECT_EQ(far[2].host, "new.far.test");
}

// What AnswersQuery takes for the reply to a query, over UDP and TCP alike.
TEST(DnsReply, OnlyTheReplyToTheQueryIsTaken) {
    const Bytes q = Query("example.test");
    const Bytes reply = Reply(q, 1) + Record(Pointer(12), 15, Mx(1, Name("mx.test")));
    const auto with = [&reply](size_t at, uint8_t value) {
        Bytes r = reply;
        r[at] = value;
        return r;
    };
    const struct Case {
        const char* what;
        Bytes bytes;
        bool taken;
    } cases[] = {
        {"the reply", reply, true},
        {"its question in capitals", with(13, 'E'), true},
        {"the question alone", Bytes(reply.begin(), reply.begin() + static_cast<long>(q.size())), true},
        {"another id, high byte", with(0, q[0] ^ 0x01), false},
        {"another id, low byte", with(1, q[1] ^ 0x80), false},
        {"no reply bit", with(2, 0x01), false},
        {"no question", with(5, 0), false},
        {"two questions", with(5, 2), false},
        {"257 questions", with(4, 1), false},
        {"another name", with(13, 'f'), false},
        {"another type", with(q.size() - 3, 1), false},
        {"another class", with(q.size() - 1, 3), false},
        {"shorter than the question", Bytes(reply.begin(), reply.begin() + static_cast<long>(q.size()) - 1),
         false},
    };
    for (const Case& c : cases) {
        Exact exact(c.bytes);
        EXPECT_EQ(AnswersQuery(exact.data.get(), exact.size, q), c.taken) << c.what;
    }
}

// A reply is only the first part of the server's answer when its truncation bit says so or the datagram
// was longer than what was read of it.
TEST(DnsReply, ACutReplyIsToldByItsTruncationBitOrItsLength) {
    Bytes read = Reply(Query("example.test"), 0);
    read.resize(kMaxReply);
    const struct Case {
        const char* what;
        uint8_t flags;
        size_t datagram;
        bool cut;
    } cases[] = {
        {"whole", 0x81, kMaxReply, false},
        {"truncation bit", 0x83, kMaxReply, true},
        {"authoritative, not truncated", 0x85, kMaxReply, false},
        {"every other bit", static_cast<uint8_t>(~0x02), kMaxReply, false},
        {"one byte longer than read", 0x81, kMaxReply + 1, true},
    };
    for (const Case& c : cases) {
        read[2] = c.flags;
        Exact exact(read);
        EXPECT_EQ(ReplyIsCut(exact.data.get(), exact.size, c.datagram), c.cut) << c.what;
    }
}

TEST(DnsReply, HostileRepliesEndWithTheHostsReadBeforeTheFault) {
    const Bytes q = Query("example.test");
    for (const HostileCase& c : HostileReplies()) {
        const std::vector<MxEntry> list = ReadAll(c.what, c.make(q), q.size());
        EXPECT_EQ(static_cast<int>(list.size()), c.hosts) << c.what;
    }
}

TEST(DnsReply, SortOrdersByPreferenceTheWayCallersKnow) {
    struct Case {
        std::vector<std::pair<std::string, uint16_t>> in;
        std::vector<std::string> out;
    } cases[] = {
        {{{"A", 10}, {"B", 20}, {"C", 5}}, {"C", "A", "B"}},
        {{{"A", 30}, {"B", 10}, {"C", 10}}, {"C", "B", "A"}},
        {{{"A", 10}, {"B", 10}}, {"A", "B"}},
        {{{"A", 1}}, {"A"}},
        {{}, {}},
        {{{"A", 65535}, {"B", 0}, {"C", 65535}, {"D", 1}}, {"B", "D", "A", "C"}},
    };
    for (const Case& c : cases) {
        std::vector<MxEntry> list;
        for (const auto& [host, preference] : c.in)
            list.push_back({host, preference});
        SortMxList(list);
        EXPECT_EQ(Hosts(list), c.out);
    }
}
