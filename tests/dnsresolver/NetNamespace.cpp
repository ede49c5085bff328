#include "tests/dnsresolver/NetNamespace.h"

#include <cstdlib>
#include <cstring>
#include <net/if.h>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace dnstest {

namespace {
constexpr char kMarker[] = "VELANTO_DNS_TEST_NETNS";
constexpr char kUnshare[] = "/usr/bin/unshare";

std::string& Reason() {
    static std::string reason;
    return reason;
}

bool BringLoopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
    if (ok && !(ifr.ifr_flags & IFF_UP)) {
        ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP | IFF_RUNNING);
        ok = ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    }
    ::close(fd);
    return ok;
}

// Whether `unshare <flags> true` works here, without changing this process.
bool UnshareWorks(const char* flags) {
    if (::access(kUnshare, X_OK) != 0) {
        Reason() = "no /usr/bin/unshare";
        return false;
    }
    char arg0[] = "unshare", arg2[] = "/bin/true";
    std::string arg1 = flags;
    char* argv[] = {arg0, arg1.data(), arg2, nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, kUnshare, nullptr, nullptr, argv, environ) != 0) {
        Reason() = "cannot start unshare";
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Reason() = std::string("unshare ") + flags + " failed (namespaces disabled?)";
        return false;
    }
    return true;
}

// Runs before main: the executable starts again inside a fresh user and network namespace.
__attribute__((constructor)) void EnterNetNamespace(int argc, char** argv, char**) {
    const char* marker = std::getenv(kMarker);
    if (marker && std::strcmp(marker, "inside") == 0) {
        if (!BringLoopbackUp())
            Reason() = "loopback could not be brought up";
        return;
    }
    if (marker) { // "outside": a previous attempt failed
        Reason() = marker;
        return;
    }
    // A user namespace made without privilege maps this user alone: root's folders, the root folder
    // first, show there as belonging to no one known, so the component's module and registry below them
    // are rightly refused inside it. Only root keeps its folders its own in the namespace; a user runs the
    // tests that need no network.
    if (::geteuid() != 0) {
        Reason() = "only root can make a network namespace in which the system's folders are still root's";
        ::setenv(kMarker, Reason().c_str(), 1);
        return;
    }
    // Where user namespaces are turned off (some CI containers), root can still make the network
    // namespace alone.
    const char* flags = "-rn";
    if (!UnshareWorks(flags)) {
        if (!UnshareWorks("-n")) {
            ::setenv(kMarker, Reason().c_str(), 1);
            return;
        }
        Reason().clear();
        flags = "-n";
    }
    ::setenv(kMarker, "inside", 1);
    // The executable's own path: "/proc/self/exe" would name unshare once it runs.
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        Reason() = "cannot find the test executable";
        ::setenv(kMarker, Reason().c_str(), 1);
        return;
    }
    self[length] = 0;
    std::vector<char*> args;
    char arg0[] = "unshare", arg2[] = "--";
    std::string arg1 = flags;
    args.push_back(arg0);
    args.push_back(arg1.data());
    args.push_back(arg2);
    args.push_back(self);
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execv(kUnshare, args.data());
    Reason() = "exec of unshare failed";
    ::setenv(kMarker, Reason().c_str(), 1);
}
} // namespace

bool InNetNamespace() {
    const char* marker = std::getenv(kMarker);
    return marker && std::strcmp(marker, "inside") == 0 && Reason().empty();
}

std::string NamespaceUnavailableReason() {
    return Reason();
}

} // namespace dnstest
