#pragma once
// Builds DNS replies byte by byte for the tests, including hostile ones.
#include <cstdint>
#include <string>
#include <vector>

namespace dnstest {

using Bytes = std::vector<uint8_t>;

inline Bytes Name(const std::string& dotted) {
    Bytes out;
    size_t pos = 0;
    while (!dotted.empty() && pos <= dotted.size()) {
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

inline Bytes Pointer(size_t offset) {
    return {static_cast<uint8_t>(0xC0 | (offset >> 8)), static_cast<uint8_t>(offset & 0xFF)};
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A reply to the query: its question repeated, the header's answer count and response code as given.
inline Bytes Reply(const Bytes& query, uint16_t answerCount, uint8_t responseCode = 0) {
    Bytes r = query;
    if (r.size() < 12)
        r.resize(12);
    r[2] = 0x81;
    r[3] = static_cast<uint8_t>(0x80 | (responseCode & 0x0F));
    r[6] = static_cast<uint8_t>(answerCount >> 8);
    r[7] = static_cast<uint8_t>(answerCount & 0xFF);
    return r;
}

// One resource record: owner, type, class IN, a TTL, and the RDATA with its length.
inline Bytes Record(const Bytes& owner, uint16_t type, const Bytes& rdata) {
    Bytes r = owner;
    r.insert(r.end(),
             {static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type & 0xFF), 0, 1, 0, 0, 0x0E, 0x10,
              static_cast<uint8_t>(rdata.size() >> 8), static_cast<uint8_t>(rdata.size() & 0xFF)});
    return r + rdata;
}

inline Bytes Mx(uint16_t preference, const Bytes& exchange) {
    return Bytes{static_cast<uint8_t>(preference >> 8), static_cast<uint8_t>(preference & 0xFF)} + exchange;
}

// A message as TCP carries it: behind its length in two bytes.
inline Bytes Framed(const Bytes& message) {
    return Bytes{static_cast<uint8_t>(message.size() >> 8), static_cast<uint8_t>(message.size() & 0xFF)} +
           message;
}

// The query the component sends for a domain.
inline Bytes Query(const std::string& domain) {
    return Bytes{0x01, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00} + Name(domain) +
           Bytes{0x00, 0x0F, 0x00, 0x01};
}

// The hostile replies every reader must survive, each with the number of hosts it must yield.
struct HostileCase {
    const char* what;
    Bytes (*make)(const Bytes& query);
    int hosts;
};

inline const std::vector<HostileCase>& HostileReplies() {
    static const std::vector<HostileCase> cases = {
        {"truncated in the middle of a record",
         [](const Bytes& q) {
             Bytes r = Reply(q, 2) + Record(Pointer(12), 15, Mx(10, Name("mx1.example.test"))) +
                       Record(Pointer(12), 15, Mx(20, Name("mx2.example.test")));
             r.resize(r.size() - 7);
             return r;
         },
         1},
        {"truncated inside the header",
         [](const Bytes& q) {
             Bytes r = Reply(q, 1);
             r.resize(7);
             return r;
         },
         0},
        {"compression loop in the owner name",
         [](const Bytes& q) {
             return Reply(q, 1) + Record(Pointer(q.size()), 15, Mx(10, Name("mx.example.test")));
         },
         0},
        {"two pointers pointing at each other",
         [](const Bytes& q) {
             // Record 1 is sound but carries a spare pointer after its exchange; record 2's exchange points
             // back at that spare pointer, which points forward at record 2's exchange again.
             const Bytes ok = Name("ok.example.test");
             const size_t spare = q.size() + 2 + 10 + 2 + ok.size();
             const size_t exchange2 = spare + 2 + 2 + 10 + 2;
             return Reply(q, 2) + Record(Pointer(12), 15, Mx(5, ok) + Pointer(exchange2)) +
                    Record(Pointer(12), 15, Mx(10, Pointer(spare)));
         },
         1},
        {"forward pointer",
         [](const Bytes& q) {
             Bytes r = Reply(q, 1);
             const size_t recordStart = r.size();
             // owner(2) + fixed(10) + preference(2) + pointer(2): the pointer leads past itself.
             return r + Record(Pointer(12), 15, Mx(10, Pointer(recordStart + 16))) + Name("mx.example.test");
         },
         0},
        {"answer count 65535 with one record",
         [](const Bytes& q) {
             return Reply(q, 65535) + Record(Pointer(12), 15, Mx(10, Name("mx.example.test")));
         },
         1},
        {"a 512-byte name chain",
         [](const Bytes& q) {
             std::string longName;
             for (int i = 0; i < 255; ++i)
                 longName += i ? ".a" : "a"; // 255 labels: 511 octets with the terminator
             return Reply(q, 1) + Record(Pointer(12), 15, Mx(10, Name(longName)));
         },
         0},
        {"label length with one top bit set",
         [](const Bytes& q) {
             return Reply(q, 1) + Record(Pointer(12), 15, Mx(10, Bytes{0x40, 'a', 0}));
         },
         0},
        {"record length beyond the datagram",
         [](const Bytes& q) {
             Bytes r = Reply(q, 1) + Record(Pointer(12), 15, Mx(10, Name("mx.example.test")));
             r[q.size() + 2 + 8] = 0xFF; // RDLENGTH high byte
             return r;
         },
         0},
    };
    return cases;
}

} // namespace dnstest
