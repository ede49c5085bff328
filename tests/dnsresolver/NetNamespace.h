#pragma once
// The DNS tests run inside a network namespace of their own (made with `unshare -rn`, loopback up), so
// their peers can listen on 127.0.0.1 ports 53 and 43 and nothing reaches the machine's network. The
// test executable re-executes itself that way before main; where namespaces are not available, or the
// tests do not run as root (see NetNamespace.cpp), it runs outside and the peer tests skip.
#include <string>

namespace dnstest {

bool InNetNamespace();
// Why the tests run outside a namespace (empty when inside).
std::string NamespaceUnavailableReason();

} // namespace dnstest

// Skips the current test with a clear message when the namespace could not be made.
#define REQUIRE_NET_NAMESPACE()                                                                              \
    do {                                                                                                     \
        if (!dnstest::InNetNamespace())                                                                      \
            GTEST_SKIP() << "network namespaces are unavailable here ("                                      \
                         << dnstest::NamespaceUnavailableReason()                                            \
                         << "); this test needs its own loopback for ports 53 and 43";                       \
    } while (0)
