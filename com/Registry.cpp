#include "com/Registry.h"

#include "com/FileTrust.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace com {

namespace {
constexpr std::string_view kHeader = "VELANTO-REGISTRY 1";
// A registry is small; anything larger is refused.
constexpr size_t kMaxRegistryBytes = 64u << 20;

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i >= s.size())
            return std::nullopt;
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

// Normalises "A\\B\" to "A\B": no empty parts.
std::string CleanPath(std::string_view key) {
    std::string out;
    size_t i = 0;
    while (i < key.size()) {
        size_t j = key.find('\\', i);
        if (j == std::string_view::npos)
            j = key.size();
        if (j > i) {
            if (!out.empty())
                out += '\\';
            out.append(key.substr(i, j - i));
        }
        i = j + 1;
    }
    return out;
}

bool MachineWideRegistration() {
    const char* dir = std::getenv(kMachineRegistryVariable);
    return dir && *dir == '/';
}

bool MakeDirs(const std::string& dir, mode_t mode) {
    if (dir.empty())
        return true;
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash), mode))
        return false;
    if (::mkdir(dir.c_str(), mode) != 0)
        return errno == EEXIST;
    // The umask must not take the read bits every user needs, nor add any.
    return ::chmod(dir.c_str(), mode) == 0;
}

thread_local std::vector<std::string> t_notes;

std::string DirOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}
} // namespace

std::string Registry::UserPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    else if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir && *account->pw_dir)
        base = std::string(account->pw_dir) + "/.local/share";
    else // no home at all: no user registry, never one in a folder other users can reach
        return {};
    return base + "/velanto-com/classes.reg";
}

std::vector<std::string> Registry::MachinePaths() {
    std::vector<std::string> folders;
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    const std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t end = list.find(':', pos);
        if (end == std::string::npos)
            end = list.size();
        std::string folder = list.substr(pos, end - pos);
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        // Relative folders are ignored, as the XDG rules say.
        if (!folder.empty() && folder[0] == '/')
            folders.push_back(folder);
        pos = end + 1;
    }
    const std::string prefix = ExecutablePrefix();
    if (!prefix.empty())
        folders.push_back(prefix == "/" ? std::string("/share") : prefix + "/share");
    std::vector<std::string> paths;
    for (const std::string& folder : folders) {
        const std::string path = folder + "/velanto-com/classes.reg";
        bool seen = false;
        for (const std::string& p : paths)
            seen = seen || p == path;
        if (!seen)
            paths.push_back(path);
    }
    return paths;
}

std::string Registry::DefaultPath() {
    if (MachineWideRegistration())
        return std::string(std::getenv(kMachineRegistryVariable)) + "/velanto-com/classes.reg";
    return UserPath();
}

std::string Registry::NoUserRegistryNote() {
    return "velanto-com: there is no user class registry: neither HOME nor the account database gives a "
           "home folder, so only the machine-wide registry is read";
}

bool Registry::KeyExists(std::string_view key) const {
    return m_keys.count(Fold(CleanPath(key))) > 0;
}

void Registry::CreateKey(std::string_view key) {
    const std::string path = CleanPath(key);
    size_t pos = 0;
    while (pos <= path.size() && !path.empty()) {
        size_t next = path.find('\\', pos);
        if (next == std::string::npos)
            next = path.size();
        const std::string part = path.substr(0, next);
        auto [it, inserted] = m_keys.try_emplace(Fold(part));
        if (inserted)
            it->second.path = part;
        pos = next + 1;
    }
}

bool Registry::DeleteTree(std::string_view key) {
    const std::string folded = Fold(CleanPath(key));
    if (folded.empty())
        return false;
    const bool existed = m_keys.erase(folded) > 0;
    const std::string prefix = folded + "\\";
    auto it = m_keys.lower_bound(prefix);
    while (it != m_keys.end() && it->first.compare(0, prefix.size(), prefix) == 0)
        it = m_keys.erase(it);
    return existed;
}

bool Registry::HasSubKeys(std::string_view key) const {
    const std::string prefix = Fold(CleanPath(key)) + "\\";
    auto it = m_keys.lower_bound(prefix);
    return it != m_keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

bool Registry::DeleteKeyIfLeaf(std::string_view key) {
    if (HasSubKeys(key))
        return false;
    return m_keys.erase(Fold(CleanPath(key))) > 0;
}

std::vector<std::string> Registry::SubKeys(std::string_view key) const {
    const std::string clean = CleanPath(key);
    const std::string prefix = clean.empty() ? std::string() : Fold(clean) + "\\";
    std::vector<std::string> out;
    for (auto it = m_keys.lower_bound(prefix); it != m_keys.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0)
            break;
        const std::string rest = it->second.path.substr(prefix.size());
        if (rest.find('\\') == std::string::npos)
            out.push_back(rest);
    }
    return out;
}

void Registry::SetValue(std::string_view key, std::string_view name, std::string_view value) {
    CreateKey(key);
    Key& k = m_keys[Fold(CleanPath(key))];
    k.values[Fold(name)] = {std::string(name), std::string(value)};
}

std::optional<std::string> Registry::GetValue(std::string_view key, std::string_view name) const {
    auto it = m_keys.find(Fold(CleanPath(key)));
    if (it == m_keys.end())
        return std::nullopt;
    auto v = it->second.values.find(Fold(name));
    if (v == it->second.values.end())
        return std::nullopt;
    return v->second.second;
}

bool Registry::DeleteValue(std::string_view key, std::string_view name) {
    auto it = m_keys.find(Fold(CleanPath(key)));
    return it != m_keys.end() && it->second.values.erase(Fold(name)) > 0;
}

std::string Registry::Serialize() const {
    std::string out(kHeader);
    out += '\n';
    for (const auto& [folded, key] : m_keys) {
        out += "K\t" + Escape(key.path) + '\n';
        for (const auto& [vfold, value] : key.values)
            out += "V\t" + Escape(value.first) + '\t' + Escape(value.second) + '\n';
    }
    return out;
}

bool Registry::Parse(std::string_view text) {
    m_keys.clear();
    if (text.empty())
        return true;
    size_t pos = 0;
    bool first = true;
    std::string current;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            first = false;
            if (line != kHeader) {
                m_keys.clear();
                return false;
            }
            continue;
        }
        if (line.empty())
            continue;
        const size_t tab1 = line.find('\t');
        if (tab1 == std::string_view::npos) {
            m_keys.clear();
            return false;
        }
        const std::string_view tag = line.substr(0, tab1);
        const std::string_view rest = line.substr(tab1 + 1);
        if (tag == "K") {
            std::optional<std::string> path = Unescape(rest);
            if (!path || CleanPath(*path).empty()) {
                m_keys.clear();
                return false;
            }
            current = CleanPath(*path);
            CreateKey(current);
        } else if (tag == "V" && !current.empty()) {
            const size_t tab2 = rest.find('\t');
            std::optional<std::string> name =
                tab2 == std::string_view::npos ? std::nullopt : Unescape(rest.substr(0, tab2));
            std::optional<std::string> value =
                tab2 == std::string_view::npos ? std::nullopt : Unescape(rest.substr(tab2 + 1));
            if (!name || !value) {
                m_keys.clear();
                return false;
            }
            SetValue(current, *name, *value);
        } else {
            m_keys.clear();
            return false;
        }
    }
    return true;
}

void Registry::Overlay(const Registry& over) {
    for (const auto& [folded, key] : over.m_keys)
        m_keys[folded] = key;
}

RegistryTransaction::RegistryTransaction(std::string path, int lockWaitMs) : m_path(std::move(path)) {
    t_notes.clear();
    if (m_path.empty()) {
        t_notes.push_back(Registry::NoUserRegistryNote());
        return;
    }
    if (!MakeRegistryFolder(DirOf(m_path)))
        return;
    // The folder is opened once and checked; the lock and the file are opened in it, never by path again.
    const TrustedFolder folder = OpenTrustedFolder(DirOf(m_path), FileTrustKind::Registry);
    if (!folder.fd.valid()) {
        t_notes.push_back(folder.why);
        return;
    }
    const std::string name = m_path.substr(m_path.find_last_of('/') + 1);
    m_lockFd =
        ::openat(folder.fd.get(), (name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockWaitMs);
    while (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // A file someone else could have written is never read, nor replaced; a missing one reads as empty.
    const TrustedFile file = OpenTrustedFileIn(folder, name);
    if (!file.fd.valid() && !file.missing) {
        t_notes.push_back(file.why);
        return;
    }
    std::optional<std::string> text =
        file.missing ? std::string() : ReadDescriptor(file.fd.get(), kMaxRegistryBytes);
    m_ok = text && m_registry.Parse(*text);
}

RegistryTransaction::~RegistryTransaction() {
    if (m_lockFd >= 0) {
        ::flock(m_lockFd, LOCK_UN);
        ::close(m_lockFd);
    }
}

bool RegistryTransaction::Commit() {
    // The machine-wide file is read by every user; the user's own by the user alone.
    return m_ok &&
           WriteFileAtomically(m_path, m_registry.Serialize(), MachineWideRegistration() ? 0644 : 0600);
}

namespace {
// One file, read from the descriptor it was checked on; a missing one reads as empty.
std::optional<Registry> ReadTrustedFile(const std::string& path) {
    const TrustedFile file = OpenTrustedFile(path, FileTrustKind::Registry);
    if (!file.fd.valid() && !file.missing) {
        t_notes.push_back(file.why);
        return std::nullopt;
    }
    std::optional<std::string> text =
        file.missing ? std::string() : ReadDescriptor(file.fd.get(), kMaxRegistryBytes);
    Registry r;
    if (!text || !r.Parse(*text)) {
        t_notes.push_back(IgnoringNote(path, "it cannot be read as a class registry"));
        return std::nullopt;
    }
    return r;
}
} // namespace

std::optional<Registry> ReadRegistry(const std::string& path) {
    t_notes.clear();
    if (!path.empty())
        return ReadTrustedFile(path);
    // Least important first, so each file overlays the ones below it.
    const std::vector<std::string> machine = Registry::MachinePaths();
    Registry merged;
    for (auto it = machine.rbegin(); it != machine.rend(); ++it)
        if (std::optional<Registry> r = ReadTrustedFile(*it))
            merged.Overlay(*r);
    const std::string user = Registry::UserPath();
    if (user.empty())
        t_notes.push_back(Registry::NoUserRegistryNote());
    else if (std::optional<Registry> r = ReadTrustedFile(user))
        merged.Overlay(*r);
    return merged;
}

const std::vector<std::string>& RegistryNotes() {
    return t_notes;
}

void AddRegistryNote(std::string note) {
    t_notes.push_back(std::move(note));
}

bool TrustedRegistryFile(const std::string& path, std::string* why) {
    const TrustedFile file = OpenTrustedFile(path, FileTrustKind::Registry);
    if (!file.fd.valid() && !file.missing && why)
        *why = file.why;
    return file.fd.valid() || file.missing;
}

std::string ExecutablePrefix() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    std::string path(buffer, static_cast<size_t>(n));
    for (int up = 0; up < 2; ++up) { // <prefix>/bin/<name>
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return {};
        path.resize(slash);
    }
    return path.empty() ? std::string("/") : path;
}

bool MakeRegistryFolder(const std::string& dir) {
    return MakeDirs(dir, MachineWideRegistration() ? 0755 : 0700);
}

bool WriteFileAtomically(const std::string& path, const std::string& text, unsigned mode) {
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::fchmod(fd, static_cast<mode_t>(mode));
    size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(tmp.c_str());
    return false;
}

} // namespace com
