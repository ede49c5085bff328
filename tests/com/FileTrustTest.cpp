// The trust rules themselves, on hostile trees of files built where this test may plant files of another
// user on an ordinary account too: a child process in a user and mount namespace of its own (run as root,
// it first becomes an ordinary user), whose root is a fresh tmpfs. Inside, this user is uid 1000 with its
// own group, and the files of the host appear as another user's.
#include "com/FileTrust.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace com;

namespace {

constexpr char kSkip[] = "skip: ";

std::string Failed(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Writes the file, made with that mode (0: one that exists, as those of /proc).
bool WriteFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
    const int fd =
        ::open(path.c_str(), mode ? O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC : O_WRONLY | O_CLOEXEC, mode);
    const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    return (fd < 0 || ::close(fd) == 0) && ok && (!mode || ::chmod(path.c_str(), mode) == 0);
}

// A folder with that mode, holding a module.so only its owner can write.
bool Folder(const std::string& path, mode_t mode) {
    return ::mkdir(path.c_str(), 0700) == 0 && WriteFile(path + "/module.so", "ELF") &&
           ::chmod(path.c_str(), mode) == 0;
}

// The name of a link of another user in the overlay at folder (its lower layer is the host's), or "".
std::string LinkOfAnotherUser(const std::string& folder) {
    std::string found;
    DIR* d = ::opendir(folder.c_str());
    for (const dirent* e = d ? ::readdir(d) : nullptr; e && found.empty(); e = ::readdir(d)) {
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) &&
            st.st_uid != ::getuid())
            found = e->d_name;
    }
    if (d)
        ::closedir(d);
    return found;
}

// In the child: becomes uid 1000 of a new user namespace with a tmpfs of its own as the root, holding the
// trees below. The text is empty when it is ready, else why it cannot be.
std::string EnterHostileWorld(std::string* link) {
    const uid_t uid = ::geteuid() == 0 ? 4242 : ::geteuid();
    const gid_t gid = ::geteuid() == 0 ? 4242 : ::getegid();
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 ||
                             ::prctl(PR_SET_DUMPABLE, 1) != 0))
        return Failed("cannot become an ordinary user");
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return Failed("the kernel lets no ordinary user make a user namespace");
    if (!WriteFile("/proc/self/setgroups", "deny", 0) ||
        !WriteFile("/proc/self/uid_map", "1000 " + std::to_string(uid) + " 1", 0) ||
        !WriteFile("/proc/self/gid_map", "1000 " + std::to_string(gid) + " 1", 0))
        return Failed("cannot map the user into its namespace");
    const std::string r = "/tmp";
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", r.c_str(), "tmpfs", 0, "mode=0755") != 0)
        return Failed("cannot mount a tmpfs in a user namespace");
    // The root is this user's; what the host lends keeps the host's owners, who are other users here.
    const bool made =
        ::mkdir((r + "/etc").c_str(), 0755) == 0 &&
        WriteFile(r + "/etc/passwd", "tester:x:1000:1000::/:/bin/sh\n") && Folder(r + "/ok", 0755) &&
        Folder(r + "/open", 0777) && Folder(r + "/open/lib", 0755) && Folder(r + "/sticky", 01777) &&
        Folder(r + "/sticky/lib", 0755) && Folder(r + "/group", 0775) && Folder(r + "/group/lib", 0755) &&
        WriteFile(r + "/ok/groupw.so", "", 0664) &&
        ::symlink("module.so", (r + "/ok/link.so").c_str()) == 0 &&
        ::symlink("ok", (r + "/mine").c_str()) == 0 && ::mkfifo((r + "/ok/fifo").c_str(), 0600) == 0 &&
        WriteFile(r + "/ok/device", "") && ::mkdir((r + "/theirs").c_str(), 0755) == 0 &&
        ::mkdir((r + "/up").c_str(), 0755) == 0 && ::mkdir((r + "/work").c_str(), 0755) == 0 &&
        ::mkdir((r + "/foreign").c_str(), 0755) == 0;
    if (!made)
        return Failed("cannot build the trees");
    if (::mount("/dev/null", (r + "/ok/device").c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount("/usr", (r + "/foreign").c_str(), nullptr, MS_BIND, nullptr) != 0)
        return Failed("cannot lend the host's files");
    for (const char* lower : {"/usr/bin", "/usr/lib", "/etc", "/usr/sbin"}) {
        const std::string options =
            std::string("lowerdir=") + lower + ",upperdir=" + r + "/up,workdir=" + r + "/work";
        if (::mount("overlay", (r + "/theirs").c_str(), "overlay", 0, options.c_str()) != 0)
            return Failed("the kernel mounts no overlay in a user namespace");
        if (!(*link = LinkOfAnotherUser(r + "/theirs")).empty())
            break;
        ::umount((r + "/theirs").c_str());
    }
    if (link->empty())
        return "the host lends no link of another user";
    if (::chroot(r.c_str()) != 0 || ::chdir("/") != 0)
        return Failed("cannot enter the tmpfs");
    return {};
}

struct Case {
    const char* path; // {link}: the link of another user
    FileTrustKind kind;
    const char* members; // of the user's own group, besides the user
    const char* note;    // what is ignoring and why; nullptr: opened
};

// Replaces the first from in text.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    if (const size_t at = text.find(from); at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// What each case gave, one line each: "opened" or the note, naming the link as the case does.
std::string Outcomes(const std::string& link, const Case* cases, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        if (!WriteFile("/etc/group", std::string("tester:x:1000:") + cases[i].members + "\n"))
            return Failed("cannot write the group file");
        const TrustedFile file = OpenTrustedFile(Replaced(cases[i].path, "{link}", link), cases[i].kind);
        out += (file.fd.valid() ? std::string("opened") : Replaced(file.why, "/" + link, "/{link}")) + "\n";
    }
    return out;
}

// Runs the cases in the hostile world; each line of the answer, or kSkip and the reason.
std::string RunInHostileWorld(const Case* cases, size_t count) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return kSkip + std::string("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::string link;
        std::string answer = EnterHostileWorld(&link);
        answer = answer.empty() ? Outcomes(link, cases, count) : kSkip + answer;
        const bool sent = ::write(fds[1], answer.data(), answer.size()) == ssize_t(answer.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    std::string answer;
    // A check that blocks (in an open of a FIFO) never answers: the deadline ends the wait.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) {
            ::kill(child, SIGKILL);
            answer += "\nthe checks did not end";
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        answer.append(buffer, size_t(n));
    }
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return answer;
}

TEST(FileTrust, OpensOnlyWhatNoOtherUserCouldHaveChanged) {
    constexpr auto M = FileTrustKind::Module;
    const Case cases[] = {
        {"/ok/module.so", M, "", nullptr},
        {"/ok/module.so", FileTrustKind::Registry, "", nullptr},
        {"/mine/module.so", M, "", nullptr}, // a link of the user's own is followed
        {"/open/module.so", M, "", "/open: others can write to it"},
        {"/open/lib/module.so", M, "", "/open: others can write to it"},
        {"/sticky/lib/module.so", M, "", nullptr}, // as /tmp: no one renames what is not theirs there
        {"/sticky/module.so", M, "", "/sticky: others can write to it"},
        // The user's own group: write by the group lets no one else in only while it holds the user alone.
        {"/group/module.so", M, "", nullptr},
        {"/group/module.so", M, "tester", nullptr},
        {"/group/module.so", M, "tester,mallory", "/group: group or others can write to it"},
        {"/group/lib/module.so", M, "mallory", "/group: group or others can write to it"},
        {"/group/module.so", FileTrustKind::Registry, "", "/group: group or others can write to it"},
        {"/ok/groupw.so", M, "", "/ok/groupw.so: group or others can write to it"},
        {"/foreign/lib/module.so", M, "", "/foreign: it belongs to another user"},
        {"/theirs/{link}/module.so", M, "", "/theirs/{link}: it is a symbolic link of another user"},
        {"/ok/link.so", M, "", "/ok/link.so: it is a symbolic link"},
        // ".." goes back to the folder already checked, and the path named is the one walked.
        {"/ok/../open/module.so", M, "", "/open: others can write to it"},
        {"/mine/../../ok/module.so", M, "", nullptr},
        {"/ok/..", M, "", "/ok/..: it is not a regular file"},
        {"/ok/fifo", M, "", "/ok/fifo: it is not a regular file"},
        {"/ok/device", M, "", "/ok/device: it is not a regular file"},
    };
    const std::string answer = RunInHostileWorld(cases, std::size(cases));
    if (answer.rfind(kSkip, 0) == 0)
        GTEST_SKIP() << answer;
    size_t at = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const size_t end = answer.find('\n', at);
        ASSERT_NE(end, std::string::npos) << answer;
        EXPECT_EQ(answer.substr(at, end - at),
                  c.note ? "velanto-com: ignoring " + std::string(c.note) : "opened")
            << "members: " << c.members;
        at = end + 1;
    }
}

} // namespace
