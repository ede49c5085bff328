#pragma once
// The component's network members without the COM frame: name and address lookups through the system
// resolver, whois over TCP port 43, and the MX lookup over UDP port 53. Errors carry the Windows Sockets
// numbers callers of this component know (10060 timed out, 10061 refused, 11001 host not found, ...).
#include "dnsresolver/DnsMessage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trivex {

// A member's outcome: its text, and the error number to store as last error (nothing stored when unset).
struct LookupResult {
    std::string text;
    bool failed = false;
    int32_t error = 0;
};

// The Windows Sockets number for an errno value and for a resolver (getaddrinfo) result.
int32_t SocketErrorFromErrno(int err);
int32_t SocketErrorFromResolver(int gaiResult, int err);

// Waits given in milliseconds: zero or less means no time-out of the caller's choosing (the longest wait
// a poll can express).
int EffectiveWaitMs(int32_t timeoutMs);

// Sends the bytes in one call; a peer that has gone gives an error, never a signal that ends the process.
long SendOnce(int fd, const void* data, size_t size);

LookupResult GetIPFromName(const std::string& host, int32_t timeoutMs);
LookupResult GetNameFromIP(const std::string& ip, int32_t timeoutMs);
LookupResult Whois(const std::string& domain, const std::string& server, int32_t timeoutMs,
                   uint16_t port = 43);

// The server table of one MX lookup: tokens of the server text split at blanks and commas, each converted
// like inet_addr (a rejected token becomes 255.255.255.255, which counts as invalid).
struct MxResolver {
    std::vector<uint32_t> servers; // network byte order
    uint32_t error = 0;            // 1 invalid server token, 5 no server could be asked, else a response code
    std::vector<MxEntry> list;
    // The reply was cut short and could not be had whole over TCP: list holds what arrived of it.
    bool incomplete = false;
};

MxResolver ParseServerList(const std::string& serverText);

// Runs the query; the count of hosts, or -1 when no server could be asked (error 5).
int32_t QueryMx(MxResolver& resolver, std::string domain, int32_t timeoutMs, uint16_t port = 53);

} // namespace trivex
