#pragma once
// The MX query's trips to one server: the reply datagram over UDP, and, for a reply that did not fit a
// datagram, the same query again over TCP (RFC 7766: each message behind its length in two bytes). Both
// end by one deadline, the caller's time-out for the attempt.
#include "dnsresolver/DnsMessage.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace trivex {

using Deadline = std::chrono::steady_clock::time_point;

// The end of a wait of timeoutMs (zero or less: the longest wait a poll can express).
Deadline DeadlineAfter(int32_t timeoutMs);

// Waits until the deadline for the reply to the query on the connected UDP socket and reads at most
// kMaxReply bytes of it into reply; the bytes read, or 0 when none came (which reads as a reply without
// answers). *datagramSize is the length the datagram had, which is more than was read when it was longer.
// Datagrams that do not answer the query are dropped and the wait goes on: they cannot end it early, nor
// stand in for the reply.
size_t ReceiveReply(int fd, const std::vector<uint8_t>& query, Deadline deadline, uint8_t (&reply)[kMaxReply],
                    size_t* datagramSize);

// Asks the server (IPv4, network byte order) the query over TCP. The whole answer when one that answers
// the query arrived before the deadline; nothing when the connection failed, ended early, or brought
// another party's reply.
std::optional<std::vector<uint8_t>> AskOverTcp(uint32_t server, uint16_t port,
                                               const std::vector<uint8_t>& query, Deadline deadline);

} // namespace trivex
