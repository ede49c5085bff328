#pragma once
// The class registry: keys with a default value and named values, stored in text files. As on Windows,
// HKEY_CLASSES_ROOT is a machine-wide part and a part of the user's own: "velanto-com/classes.reg" under
// each folder of $XDG_DATA_DIRS (and under the running program's own install prefix), overridden key by
// key by the user's file under $XDG_DATA_HOME. Key paths use "\" between parts and compare without regard
// to letter case. Changes are made in memory and written back atomically (temporary file beside it, then
// rename) under a file lock, so two registrations at once never lose each other's keys and a failed write
// keeps the old file.
//
// Trust: a registry file, or the folder holding it, that belongs to another user (only the user and root
// are trusted), that group or others can write, or that is not a plain file or folder, is ignored, as ssh
// ignores such files of its own, and so is one below a folder that others could change (see
// com/FileTrust.h); RegistryNotes() then says which and why. A file is read from the descriptor it was
// checked on.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace com {

// Set by the register tool for a registration for every user: the data folder (a prefix's "share") whose
// "velanto-com/classes.reg" registrations then write to. A module sees it through the environment, as it
// carries its own copy of this layer.
inline constexpr const char* kMachineRegistryVariable = "VELANTO_COM_MACHINE_DATA_DIR";

class Registry {
public:
    // The user's file: $XDG_DATA_HOME (else $HOME/.local/share, else the account's home folder's) +
    // "/velanto-com/classes.reg". Empty when there is no home folder at all: there is no user registry
    // then, never one in a folder shared with other users.
    static std::string UserPath();
    // The machine-wide files, most important first: under each absolute folder of $XDG_DATA_DIRS
    // (/usr/local/share:/usr/share when unset), then under the running program's own prefix
    // (<folder of the executable>/../share), so an installed program finds its prefix's registration.
    static std::vector<std::string> MachinePaths();
    // Where registrations write: the machine-wide file under $VELANTO_COM_MACHINE_DATA_DIR when the
    // register tool asked for one, else the user's file (empty when there is none).
    static std::string DefaultPath();
    // The text that says there is no user registry.
    static std::string NoUserRegistryNote();

    bool KeyExists(std::string_view key) const;
    // Creates the key and every missing parent.
    void CreateKey(std::string_view key);
    // Deletes the key, its values and every key below it. False when it did not exist.
    bool DeleteTree(std::string_view key);
    // Deletes the key only when no key lies below it.
    bool DeleteKeyIfLeaf(std::string_view key);
    bool HasSubKeys(std::string_view key) const;
    std::vector<std::string> SubKeys(std::string_view key) const;

    // The empty name is the key's default value. Setting a value creates the key.
    void SetValue(std::string_view key, std::string_view name, std::string_view value);
    std::optional<std::string> GetValue(std::string_view key, std::string_view name = {}) const;
    bool DeleteValue(std::string_view key, std::string_view name);

    std::string Serialize() const;
    // False for text that is not a registry file; the registry is then left empty.
    bool Parse(std::string_view text);
    // Lays a more important registry over this one: each of its keys, with all its values, replaces the
    // key of the same path here; keys only this one has stay.
    void Overlay(const Registry& over);

private:
    struct Key {
        std::string path;
        std::map<std::string, std::pair<std::string, std::string>> values; // folded name -> (name, value)
    };
    std::map<std::string, Key> m_keys; // folded path -> key
};

// Reads the file under an exclusive lock, lets the caller change it, and writes it back atomically
// when the change function returns true. A missing file reads as an empty registry.
class RegistryTransaction {
public:
    // Another registration holding the lock longer than lockWaitMs (hung, or stopped) makes ok() false
    // instead of blocking the caller without end.
    static constexpr int kLockWaitMs = 10000;
    explicit RegistryTransaction(std::string path = Registry::DefaultPath(), int lockWaitMs = kLockWaitMs);
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // False when the file could not be locked or read (an unreadable or corrupt file is never overwritten).
    bool ok() const { return m_ok; }
    Registry& registry() { return m_registry; }
    // Writes the file; false when writing failed (the old file then stays as it was).
    bool Commit();

private:
    std::string m_path;
    int m_lockFd = -1;
    bool m_ok = false;
    Registry m_registry;
};

// A read-only snapshot (no lock held afterwards). With a path: that file; nullopt when it cannot be
// read, is not a registry, or is not trusted. Without: HKEY_CLASSES_ROOT as this user sees it, the
// machine-wide files overlaid with the user's; files that cannot be read or trusted are left out.
std::optional<Registry> ReadRegistry(const std::string& path = {});

// What the last read or transaction of this thread left out, and why (one sentence each, naming the file).
const std::vector<std::string>& RegistryNotes();
void AddRegistryNote(std::string note);

// Whether a registry file may be trusted: it and its folder are a plain file and folder (no links) owned
// by this user or root that neither group nor others can write, below folders no one else could change
// (com/FileTrust.h). A missing one is trusted (there is nothing to read); *why names the path and the
// fault otherwise.
bool TrustedRegistryFile(const std::string& path, std::string* why);
// The prefix the running executable is installed in (<prefix>/bin/<name>); empty when unknown.
std::string ExecutablePrefix();
// Creates a registry folder and the missing ones above it: 0755 for the machine-wide registry (every
// user reads it), else 0700, whatever the umask.
bool MakeRegistryFolder(const std::string& dir);
// Replaces path with text, given that mode: a temporary file beside it, made durable, then renamed over
// it, so a failed write keeps the old file whole.
bool WriteFileAtomically(const std::string& path, const std::string& text, unsigned mode);

} // namespace com
