#pragma once
// Opening a file that no other user could have written, so that what is checked is what is read or loaded.
// The path is walked from the root one folder at a time, each folder opened relative to the one before and
// examined through its own descriptor, and the file is opened once, never through a symbolic link, and
// examined through that descriptor. Nothing is looked up by name again afterwards, so a folder or file
// swapped while the checks run is either seen by them or not used at all.
//
// Every folder on the way (as ssh's strict modes have it): owned by this user or root, and writable by
// others only when it is sticky (as /tmp is: no one may rename what is not theirs there). Group write is
// allowed where the folder is sticky or its group holds this user alone (a user private group, as under a
// umask of 002). A symbolic link on the way is followed only when this user or root owns it. The file's
// own folder and the file are held to the rules of what they hold (see FileTrustKind).
#include <cstddef>
#include <optional>
#include <string>

namespace com {

// A file descriptor closed when it goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : m_fd(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

enum class FileTrustKind {
    // A class registry file or a type library: its folder is one we make 0700, so neither group nor
    // others may write it; a missing file is no fault (there is nothing to read), even below a
    // folder that would be refused.
    Registry,
    // A module to load: its path must be absolute and name an existing file; its folder may be written by
    // the user's own group (a build tree under a umask of 002), never by others, sticky or not.
    Module,
};

// A checked folder: an O_PATH descriptor to open its files by, and its path with links resolved. When it
// is not to be used: missing when it (or a folder above it) does not exist, and why naming the path at
// fault and the reason.
struct TrustedFolder {
    Descriptor fd;
    std::string path;
    bool missing = false;
    std::string why;
};

// A checked file, open for reading; or, as above, missing and why.
struct TrustedFile {
    Descriptor fd;
    bool missing = false;
    std::string why;
};

TrustedFolder OpenTrustedFolder(const std::string& folder, FileTrustKind kind);
// Opens name in the checked folder without following a link, and examines it.
TrustedFile OpenTrustedFileIn(const TrustedFolder& folder, const std::string& name);
// Both in one: the folder part of path, then its last part.
TrustedFile OpenTrustedFile(const std::string& path, FileTrustKind kind);

// A module loaded only if trusted (OpenTrustedFile with FileTrustKind::Module), and then exactly the file
// that was checked, through its descriptor: the path may lead elsewhere by then. Loading runs the module's
// code (its constructors), so nothing of a module that is refused ever runs. The descriptor stays open
// while the module is loaded, which is for the life of the process. handle is null when the module is
// refused (refused set) or cannot be loaded; why then names the path and the reason.
struct TrustedModule {
    void* handle = nullptr;
    bool refused = false;
    std::string why;
};
TrustedModule LoadTrustedModule(const std::string& path);

// Reads the whole file from its descriptor; nothing when reading fails or it holds more than limit bytes.
std::optional<std::string> ReadDescriptor(int fd, size_t limit);

// The note for a path that is not used: "velanto-com: ignoring PATH: FAULT".
std::string IgnoringNote(const std::string& path, const char* fault);

} // namespace com
