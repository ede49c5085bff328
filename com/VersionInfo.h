#pragma once
// Version information stored in a module file: a block in the ELF section ".velanto_version" holding the
// fixed fields (file and product version as two 32-bit words each, file type, target system) and a string
// table. Readable from the file alone, without loading the module.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace com {

struct FileVersionInfo {
    uint32_t fileVersionMS = 0; // major << 16 | minor
    uint32_t fileVersionLS = 0; // build << 16 | revision
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
    uint32_t fileType = 0;
    uint32_t fileOS = 0;
    std::map<std::string, std::string> strings;
};

constexpr char kVersionSection[] = ".velanto_version";
constexpr uint32_t kVersionMagic = 0x31495656; // "VVI1"
constexpr uint32_t kFileTypeDll = 2;

// Parses the block: magic, six 32-bit little-endian fields, then "key\0value\0" pairs ended by an empty key.
std::optional<FileVersionInfo> ParseVersionBlock(std::string_view block);
// Finds and parses the block in an ELF file.
std::optional<FileVersionInfo> GetFileVersionInfo(const std::string& path);

} // namespace com
