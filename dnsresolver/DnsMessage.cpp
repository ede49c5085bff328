#include "dnsresolver/DnsMessage.h"

#include <random>
#include <sys/random.h>
#include <utility>

namespace trivex {

namespace {
constexpr size_t kMaxNameOctets = 255;
constexpr size_t kHeaderSize = 12;
constexpr uint16_t kTypeCname = 5;
constexpr uint16_t kTypeMx = 15;

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
} // namespace

std::optional<std::vector<uint8_t>> BuildMxQuery(std::string_view domain, uint16_t id) {
    std::vector<uint8_t> q = {0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    q[0] = static_cast<uint8_t>(id >> 8);
    q[1] = static_cast<uint8_t>(id & 0xFF);
    size_t nameOctets = 1; // the final zero byte
    size_t pos = 0;
    for (;;) {
        size_t dot = domain.find('.', pos);
        if (dot == std::string_view::npos)
            dot = domain.size();
        const size_t length = dot - pos;
        if (length == 0 || length > 63)
            return std::nullopt;
        nameOctets += length + 1;
        if (nameOctets > kMaxNameOctets)
            return std::nullopt;
        q.push_back(static_cast<uint8_t>(length));
        q.insert(q.end(), domain.begin() + static_cast<std::ptrdiff_t>(pos),
                 domain.begin() + static_cast<std::ptrdiff_t>(dot));
        if (dot == domain.size())
            break;
        pos = dot + 1;
    }
    q.push_back(0);
    q.insert(q.end(), {0x00, 0x0F, 0x00, 0x01});
    return q;
}

uint16_t RandomQueryId() {
    uint16_t id = 0;
    if (::getrandom(&id, sizeof id, 0) == static_cast<ssize_t>(sizeof id))
        return id;
    std::random_device device;
    return static_cast<uint16_t>(device());
}

bool AnswersQuery(const uint8_t* reply, size_t size, const std::vector<uint8_t>& query) {
    if (!reply || query.size() <= kHeaderSize || size < query.size())
        return false;
    if (reply[0] != query[0] || reply[1] != query[1] || !(reply[2] & 0x80) || Read16(reply + 4) != 1)
        return false;
    // The question as sent: its length bytes (at most 63) and the type and class bytes of an MX query
    // are no letters, so folding letters alone compares the name without regard to case and the rest
    // exactly.
    const auto fold = [](uint8_t c) {
        return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c - 'A' + 'a') : c;
    };
    for (size_t i = kHeaderSize; i < query.size(); ++i)
        if (fold(reply[i]) != fold(query[i]))
            return false;
    return true;
}

bool ReplyIsCut(const uint8_t* reply, size_t size, size_t datagramSize) {
    constexpr uint8_t kTruncated = 0x02; // TC, in the third byte of the header
    return datagramSize > size || (reply && size > 2 && (reply[2] & kTruncated));
}

std::optional<std::string> ReadDnsName(const uint8_t* reply, size_t size, size_t pos, size_t* next) {
    std::string name;
    size_t octets = 1; // the terminating zero
    // Every pointer must lead before the start of the part of the name being read, so each jump goes
    // strictly backwards and no chain of pointers can repeat.
    size_t partStart = pos;
    bool jumped = false;
    for (;;) {
        if (pos >= size)
            return std::nullopt;
        const uint8_t length = reply[pos];
        if (length == 0) {
            if (!jumped && next)
                *next = pos + 1;
            return name;
        }
        const uint8_t top = length & 0xC0;
        if (top == 0xC0) {
            if (pos + 1 >= size)
                return std::nullopt;
            const size_t target = static_cast<size_t>(((length & 0x3F) << 8) | reply[pos + 1]);
            if (target >= partStart)
                return std::nullopt;
            if (!jumped && next)
                *next = pos + 2;
            jumped = true;
            pos = target;
            partStart = target;
            continue;
        }
        if (top != 0)
            return std::nullopt;
        octets += length + 1u;
        if (octets > kMaxNameOctets || pos + 1 + length > size)
            return std::nullopt;
        if (!name.empty())
            name += '.';
        name.append(reinterpret_cast<const char*>(reply + pos + 1), length);
        pos += 1 + length;
    }
}

ReplyOutcome ReadMxReply(const uint8_t* reply, size_t size, size_t queryLength, std::vector<MxEntry>* list) {
    ReplyOutcome out;
    // No reply, or one too short for a header, reads as a reply without answers.
    if (!reply || size < kHeaderSize)
        return out;
    out.responseCode = reply[3] & 0x0F;
    if (out.responseCode != 0)
        return out;
    const uint16_t answers = Read16(reply + 6);
    if (answers == 0)
        return out;

    // One record: owner name, then TYPE, CLASS, TTL, RDLENGTH and the RDATA, all inside the bytes received.
    struct Record {
        uint16_t type;
        size_t rdata;
        size_t rdlength;
        size_t end;
    };
    auto readRecord = [&](size_t pos) -> std::optional<Record> {
        size_t after = 0;
        if (!ReadDnsName(reply, size, pos, &after))
            return std::nullopt;
        if (after + 10 > size)
            return std::nullopt;
        const size_t rdlength = Read16(reply + after + 8);
        const size_t rdata = after + 10;
        if (rdata + rdlength > size)
            return std::nullopt;
        return Record{Read16(reply + after), rdata, rdlength, rdata + rdlength};
    };

    std::optional<Record> first = readRecord(queryLength);
    if (!first)
        return out;
    if (first->type == kTypeCname) {
        std::optional<std::string> canonical = ReadDnsName(reply, size, first->rdata);
        if (canonical) {
            out.restart = true;
            out.canonicalName = std::move(*canonical);
        }
        return out;
    }
    if (first->type != kTypeMx)
        return out;

    // The answer count is only a bound on the loop: the list grows with what is actually read.
    size_t pos = queryLength;
    for (uint32_t i = 0; i < answers; ++i) {
        std::optional<Record> record = readRecord(pos);
        if (!record)
            break;
        pos = record->end;
        if (record->type != kTypeMx)
            continue;
        if (record->rdlength < 3)
            break;
        const uint16_t preference = Read16(reply + record->rdata);
        std::optional<std::string> exchange = ReadDnsName(reply, size, record->rdata + 2);
        if (!exchange)
            break;
        if (exchange->empty())
            continue;
        list->push_back({std::move(*exchange), preference});
    }
    return out;
}

void SortMxList(std::vector<MxEntry>& list) {
    for (size_t b = list.size(); b-- > 1;) {
        size_t m = b;
        for (size_t k = b; k-- > 0;) {
            if (list[k].preference > list[m].preference)
                m = k;
        }
        if (m != b)
            std::swap(list[m], list[b]);
    }
}

} // namespace trivex
