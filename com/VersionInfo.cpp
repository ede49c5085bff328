#include "com/VersionInfo.h"

#include <cstdio>
#include <cstring>
#include <elf.h>
#include <vector>

namespace com {

namespace {
uint32_t Le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(u[0]) | (uint32_t(u[1]) << 8) | (uint32_t(u[2]) << 16) | (uint32_t(u[3]) << 24);
}

class File {
public:
    explicit File(const std::string& path) : m_f(std::fopen(path.c_str(), "rb")) {}
    ~File() {
        if (m_f)
            std::fclose(m_f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool ok() const { return m_f != nullptr; }
    bool Read(uint64_t offset, void* out, size_t size) {
        if (offset > static_cast<uint64_t>(INT64_MAX))
            return false;
        return ::fseeko(m_f, static_cast<off_t>(offset), SEEK_SET) == 0 &&
               std::fread(out, 1, size, m_f) == size;
    }

private:
    FILE* m_f;
};
} // namespace

std::optional<FileVersionInfo> ParseVersionBlock(std::string_view block) {
    if (block.size() < 28 || Le32(block.data()) != kVersionMagic)
        return std::nullopt;
    FileVersionInfo info;
    info.fileVersionMS = Le32(block.data() + 4);
    info.fileVersionLS = Le32(block.data() + 8);
    info.productVersionMS = Le32(block.data() + 12);
    info.productVersionLS = Le32(block.data() + 16);
    info.fileType = Le32(block.data() + 20);
    info.fileOS = Le32(block.data() + 24);
    size_t pos = 28;
    for (;;) {
        const size_t keyEnd = block.find('\0', pos);
        if (keyEnd == std::string_view::npos)
            return std::nullopt;
        if (keyEnd == pos)
            return info;
        const size_t valueEnd = block.find('\0', keyEnd + 1);
        if (valueEnd == std::string_view::npos)
            return std::nullopt;
        info.strings[std::string(block.substr(pos, keyEnd - pos))] =
            std::string(block.substr(keyEnd + 1, valueEnd - keyEnd - 1));
        pos = valueEnd + 1;
    }
}

std::optional<FileVersionInfo> GetFileVersionInfo(const std::string& path) {
    File file(path);
    if (!file.ok())
        return std::nullopt;
    Elf64_Ehdr eh;
    if (!file.Read(0, &eh, sizeof eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
        eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shnum == 0 ||
        eh.e_shnum > 4096 || eh.e_shstrndx >= eh.e_shnum)
        return std::nullopt;
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    if (!file.Read(eh.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr)))
        return std::nullopt;
    const Elf64_Shdr& names = sections[eh.e_shstrndx];
    if (names.sh_size == 0 || names.sh_size > (1u << 20))
        return std::nullopt;
    std::string nameTable(names.sh_size, '\0');
    if (!file.Read(names.sh_offset, nameTable.data(), nameTable.size()))
        return std::nullopt;
    for (const Elf64_Shdr& s : sections) {
        if (s.sh_name >= nameTable.size() || std::strcmp(nameTable.c_str() + s.sh_name, kVersionSection) != 0)
            continue;
        if (s.sh_type == SHT_NOBITS || s.sh_size == 0 || s.sh_size > 65536)
            return std::nullopt;
        std::string block(s.sh_size, '\0');
        if (!file.Read(s.sh_offset, block.data(), block.size()))
            return std::nullopt;
        return ParseVersionBlock(block);
    }
    return std::nullopt;
}

} // namespace com
