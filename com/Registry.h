#pragma once
// The per-user class registry: keys with a default value and named values, stored in one text file under
// XDG_DATA_HOME. Key paths use "\" between parts and compare without regard to letter case. Changes are
// made in memory and written back atomically (temporary file beside it, then rename) under a file lock,
// so two registrations at once never lose each other's keys and a failed write keeps the old file.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace com {

class Registry {
public:
    // $XDG_DATA_HOME (else ~/.local/share) + "/velanto-com/classes.reg".
    static std::string DefaultPath();

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

// A read-only snapshot of the registry file (no lock held afterwards).
std::optional<Registry> ReadRegistry(const std::string& path = Registry::DefaultPath());

} // namespace com
