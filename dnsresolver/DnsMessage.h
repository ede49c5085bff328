#pragma once
// The MX query datagram and the reading of its reply (RFC 1035 message format). No sockets here: the
// reader works on the bytes received and nothing else, so hostile replies can be checked directly.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trivex {

struct MxEntry {
    std::string host;
    uint16_t preference = 0;
};

// Longest reply datagram read; of a longer one the first bytes are read, and the reply is asked for again
// over TCP.
constexpr size_t kMaxReply = 1000;
// A chain of canonical names longer than this ends the lookup with no hosts.
constexpr int kMaxCnameRestarts = 8;

// The query for the domain's MX records under the given id, or nothing for a domain that is no valid name
// (an empty part, a part over 63 bytes, a name over 255 octets): such a domain is never sent.
std::optional<std::vector<uint8_t>> BuildMxQuery(std::string_view domain, uint16_t id);

// A fresh id for a query, unpredictable to anyone who might forge its reply.
uint16_t RandomQueryId();

// Whether a datagram is the reply to the query: its id, the reply bit, one question, and the question the
// query asked (the name compared without regard to letter case, as servers may echo it in another case).
// Anything else is another party's datagram, or a forgery, and is not read.
bool AnswersQuery(const uint8_t* reply, size_t size, const std::vector<uint8_t>& query);

// Whether the reply read (size bytes of a datagram of datagramSize bytes) is only the first part of the
// server's answer: its truncation bit is set, or the datagram was longer than what was read.
bool ReplyIsCut(const uint8_t* reply, size_t size, size_t datagramSize);

// Reads the name at pos. On success *next is the position after the name in the record (after the first
// pointer, when there is one). Malformed names (bad length byte, a read outside the bytes, over 255 octets,
// a pointer that does not point before the name it continues) give nothing.
std::optional<std::string> ReadDnsName(const uint8_t* reply, size_t size, size_t pos, size_t* next = nullptr);

struct ReplyOutcome {
    bool restart = false;      // follow canonicalName with the same server
    std::string canonicalName; // when restarting
    uint32_t responseCode = 0; // the reply's non-zero response code, else 0
};

// Reads a reply to a query of queryLength bytes; appends the exchangers to *list (unsorted).
ReplyOutcome ReadMxReply(const uint8_t* reply, size_t size, size_t queryLength, std::vector<MxEntry>* list);

// Ascending preference, by the selection sort that works from the end (not stable: equal preferences
// may change order the way the callers of this component have always seen them).
void SortMxList(std::vector<MxEntry>& list);

} // namespace trivex
