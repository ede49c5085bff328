#include "com/FileTrust.h"

#include <cerrno>
#include <deque>
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace com {

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

void Descriptor::reset(int fd) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

std::string IgnoringNote(const std::string& path, const char* fault) {
    return "velanto-com: ignoring " + path + ": " + fault;
}

namespace {
// As many links as the kernel follows in one lookup.
constexpr int kMaxLinks = 40;

enum class FolderRule { OnTheWay, ModuleFolder, RegistryFolder };

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::deque<std::string> Parts(const std::string& path) {
    std::deque<std::string> parts;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > pos)
            parts.push_back(path.substr(pos, slash - pos));
        pos = slash + 1;
    }
    return parts;
}

bool OwnedByUserOrRoot(const struct stat& st) {
    return st.st_uid == ::getuid() || st.st_uid == 0;
}

// Whether the group holds this user alone: the user's primary group, named as the user, with no other
// member listed (a user private group). Its write bit then lets no one else in; a shared primary group
// ("users") does not count.
bool GroupOfUserAlone(gid_t gid) {
    if (gid != ::getgid())
        return false;
    std::vector<char> buffer(16384);
    passwd account{};
    passwd* foundAccount = nullptr;
    int rc;
    while ((rc = ::getpwuid_r(::getuid(), &account, buffer.data(), buffer.size(), &foundAccount)) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || !foundAccount || !account.pw_name)
        return false;
    const std::string user = account.pw_name;
    group entry{};
    group* foundGroup = nullptr;
    while ((rc = ::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &foundGroup)) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || !foundGroup || !entry.gr_name || user != entry.gr_name)
        return false;
    for (char** member = entry.gr_mem; member && *member; ++member)
        if (user != *member)
            return false;
    return true;
}

const char* FolderFault(const struct stat& st, FolderRule rule) {
    if (!S_ISDIR(st.st_mode))
        return "it is not a folder";
    if (!OwnedByUserOrRoot(st))
        return "it belongs to another user";
    const bool sticky = (st.st_mode & S_ISVTX) != 0;
    const bool others = (st.st_mode & S_IWOTH) != 0;
    const bool group = (st.st_mode & S_IWGRP) != 0;
    switch (rule) {
    case FolderRule::OnTheWay:
        if (others && !sticky)
            return "others can write to it";
        if (group && !sticky && !GroupOfUserAlone(st.st_gid))
            return "group or others can write to it";
        return nullptr;
    case FolderRule::ModuleFolder:
        if (others)
            return "others can write to it";
        if (group && !GroupOfUserAlone(st.st_gid))
            return "group or others can write to it";
        return nullptr;
    case FolderRule::RegistryFolder:
        return others || group ? "group or others can write to it" : nullptr;
    }
    return nullptr;
}

const char* FileFault(const struct stat& st) {
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    if (!OwnedByUserOrRoot(st))
        return "it belongs to another user";
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return "group or others can write to it";
    return nullptr;
}

TrustedFolder Refused(const std::string& path, const char* fault, bool missing = false) {
    TrustedFolder out;
    out.path = path;
    out.missing = missing;
    out.why = IgnoringNote(path, fault);
    return out;
}
} // namespace

TrustedFolder OpenTrustedFolder(const std::string& folder, FileTrustKind kind) {
    if (folder.empty() || folder[0] != '/')
        return Refused(folder, "its path is not absolute");
    // The folders opened so far, the root first: ".." goes back to one already checked.
    std::vector<std::pair<Descriptor, std::string>> opened;
    opened.emplace_back(Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)), "/");
    struct stat st {};
    if (!opened.back().first.valid() || ::fstat(opened.back().first.get(), &st) != 0)
        return Refused("/", "it cannot be examined");
    if (const char* fault = FolderFault(st, FolderRule::OnTheWay))
        return Refused("/", fault);
    std::deque<std::string> pending = Parts(folder);
    int links = 0;
    while (!pending.empty()) {
        const std::string part = std::move(pending.front());
        pending.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            if (opened.size() > 1)
                opened.pop_back();
            continue;
        }
        const std::string here = Join(opened.back().second, part);
        Descriptor next(::openat(opened.back().first.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid())
            return errno == ENOENT ? Refused(here, "it does not exist", true)
                                   : Refused(here, "it cannot be examined");
        if (::fstat(next.get(), &st) != 0)
            return Refused(here, "it cannot be examined");
        if (S_ISLNK(st.st_mode)) {
            // Only its owner can change where a link leads: a link of another user is never followed.
            if (!OwnedByUserOrRoot(st))
                return Refused(here, "it is a symbolic link of another user");
            if (++links > kMaxLinks)
                return Refused(here, "it leads through too many symbolic links");
            char target[4096];
            const ssize_t n = ::readlinkat(next.get(), "", target, sizeof target);
            if (n <= 0 || static_cast<size_t>(n) >= sizeof target)
                return Refused(here, "it cannot be examined");
            const std::string to(target, static_cast<size_t>(n));
            if (to[0] == '/')
                opened.resize(1);
            std::deque<std::string> followed = Parts(to);
            pending.insert(pending.begin(), followed.begin(), followed.end());
            continue;
        }
        if (const char* fault = FolderFault(st, FolderRule::OnTheWay))
            return Refused(here, fault);
        opened.emplace_back(std::move(next), here);
    }
    // The folder the file lies in, held to the rules of what it holds.
    const FolderRule own =
        kind == FileTrustKind::Module ? FolderRule::ModuleFolder : FolderRule::RegistryFolder;
    if (::fstat(opened.back().first.get(), &st) != 0)
        return Refused(opened.back().second, "it cannot be examined");
    if (const char* fault = FolderFault(st, own))
        return Refused(opened.back().second, fault);
    TrustedFolder out;
    out.fd = std::move(opened.back().first);
    out.path = std::move(opened.back().second);
    return out;
}

TrustedFile OpenTrustedFileIn(const TrustedFolder& folder, const std::string& name) {
    TrustedFile out;
    const std::string path = Join(folder.path, name);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        out.why = IgnoringNote(path, "it is not a regular file");
        return out;
    }
    // Not blocking: a FIFO planted in its place would otherwise hold the open until someone writes to it.
    out.fd.reset(
        ::openat(folder.fd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!out.fd.valid()) {
        out.missing = errno == ENOENT;
        out.why = IgnoringNote(path, errno == ENOENT  ? "it does not exist"
                                     : errno == ELOOP ? "it is a symbolic link"
                                                      : "it cannot be examined");
        return out;
    }
    struct stat st {};
    const char* fault = ::fstat(out.fd.get(), &st) != 0 ? "it cannot be examined" : FileFault(st);
    if (fault) {
        out.fd.reset();
        out.why = IgnoringNote(path, fault);
        return out;
    }
    const int flags = ::fcntl(out.fd.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(out.fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return out;
}

TrustedFile OpenTrustedFile(const std::string& path, FileTrustKind kind) {
    TrustedFile out;
    if (path.empty() || path[0] != '/') {
        out.why = IgnoringNote(path, "its path is not absolute");
        return out;
    }
    const size_t slash = path.find_last_of('/');
    const TrustedFolder folder =
        OpenTrustedFolder(slash == 0 ? std::string("/") : path.substr(0, slash), kind);
    if (!folder.fd.valid()) {
        out.why = folder.why;
        // A registry file that is not there has nothing to refuse, whatever lies above it: no note.
        struct stat st {};
        out.missing = folder.missing ||
                      (kind == FileTrustKind::Registry && ::lstat(path.c_str(), &st) != 0 && errno == ENOENT);
        return out;
    }
    return OpenTrustedFileIn(folder, path.substr(slash + 1));
}

TrustedModule LoadTrustedModule(const std::string& path) {
    TrustedModule out;
    TrustedFile module = OpenTrustedFile(path, FileTrustKind::Module);
    if (!module.fd.valid()) {
        out.refused = true;
        out.why = std::move(module.why);
        return out;
    }
    const std::string checked = "/proc/self/fd/" + std::to_string(module.fd.get());
    out.handle = ::dlopen(checked.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!out.handle) {
        const char* error = ::dlerror();
        out.why = "velanto-com: the module " + path + " cannot be loaded: " + (error ? error : "?");
        return out;
    }
    // The loader knows the module by that name from now on, and would take another module opened later
    // under the same number for this one.
    (void)module.fd.release();
    return out;
}

std::optional<std::string> ReadDescriptor(int fd, size_t limit) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return text;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > limit)
            return std::nullopt;
    }
}

} // namespace com
