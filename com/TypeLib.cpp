#include "com/TypeLib.h"

#include "com/FileTrust.h"

#include <charconv>

namespace com {

namespace {
constexpr std::string_view kHeader = "VELANTO-TYPELIB 1";
// A type library is small; anything larger is refused.
constexpr size_t kMaxTypeLibBytes = 1u << 20;

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> out;
    size_t pos = 0;
    for (;;) {
        const size_t next = s.find(sep, pos);
        if (next == std::string_view::npos) {
            out.push_back(s.substr(pos));
            return out;
        }
        out.push_back(s.substr(pos, next - pos));
        pos = next + 1;
    }
}

template <typename T>
std::optional<T> Number(std::string_view s) {
    T value{};
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || ptr != s.data() + s.size() || s.empty())
        return std::nullopt;
    return value;
}

char KindLetter(MemberKind k) {
    return k == MemberKind::Method ? 'm' : k == MemberKind::PropertyGet ? 'g' : 'p';
}

bool FoldEqual(std::u16string_view a, std::string_view b) {
    // Member names are ASCII; other characters must match exactly.
    const std::u16string wide = Utf16FromUtf8(b);
    if (a.size() != wide.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = wide[i];
        if (x >= u'A' && x <= u'Z')
            x = static_cast<char16_t>(x - u'A' + u'a');
        if (y >= u'A' && y <= u'Z')
            y = static_cast<char16_t>(y - u'A' + u'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string TypeLibFilePath(const std::string& registryPath, const TypeLibDesc& lib) {
    const size_t slash = registryPath.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : registryPath.substr(0, slash);
    return dir + "/typelib/" + GuidToString(lib.libid) + "-" + std::to_string(lib.major) + "." +
           std::to_string(lib.minor) + ".tlb";
}

} // namespace

size_t MemberDesc::InCount() const {
    size_t n = 0;
    for (const ParamDesc& p : params)
        n += p.retval ? 0 : 1;
    return n;
}

const ParamDesc* MemberDesc::Retval() const {
    for (const ParamDesc& p : params)
        if (p.retval)
            return &p;
    return nullptr;
}

std::string SerializeTypeLib(const TypeLibDesc& lib) {
    std::string out(kHeader);
    out += "\nlibrary\t" + lib.name + "\t" + GuidToString(lib.libid) + "\t" + std::to_string(lib.major) +
           "\t" + std::to_string(lib.minor) + "\t" + lib.help + "\n";
    out += "coclass\t" + lib.coclassName + "\t" + GuidToString(lib.clsid) + "\t" + lib.coclassHelp + "\n";
    out += "interface\t" + lib.interfaceName + "\t" + GuidToString(lib.iid) + "\t" + (lib.dual ? "1" : "0") +
           "\t" + lib.interfaceHelp + "\n";
    for (const MemberDesc& m : lib.members) {
        out += "member\t" + m.name + "\t" + std::to_string(m.dispid) + "\t" + KindLetter(m.kind) + "\t" +
               m.help + "\t";
        for (size_t i = 0; i < m.params.size(); ++i) {
            if (i)
                out += ',';
            out += m.params[i].name + ":" + std::to_string(m.params[i].vt) + ":" +
                   (m.params[i].retval ? "r" : "i");
        }
        out += "\n";
    }
    return out;
}

std::optional<TypeLibDesc> ParseTypeLib(std::string_view text) {
    std::vector<std::string_view> lines = Split(text, '\n');
    if (lines.empty() || lines[0] != kHeader)
        return std::nullopt;
    TypeLibDesc lib;
    bool haveLibrary = false, haveClass = false, haveInterface = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        const std::vector<std::string_view> f = Split(lines[i], '\t');
        if (f[0] == "library" && f.size() == 6) {
            auto libid = ParseGuid(f[2]);
            auto major = Number<uint16_t>(f[3]);
            auto minor = Number<uint16_t>(f[4]);
            if (!libid || !major || !minor)
                return std::nullopt;
            lib.name = f[1];
            lib.libid = *libid;
            lib.major = *major;
            lib.minor = *minor;
            lib.help = f[5];
            haveLibrary = true;
        } else if (f[0] == "coclass" && f.size() == 4) {
            auto clsid = ParseGuid(f[2]);
            if (!clsid)
                return std::nullopt;
            lib.coclassName = f[1];
            lib.clsid = *clsid;
            lib.coclassHelp = f[3];
            haveClass = true;
        } else if (f[0] == "interface" && f.size() == 5) {
            auto iid = ParseGuid(f[2]);
            if (!iid)
                return std::nullopt;
            lib.interfaceName = f[1];
            lib.iid = *iid;
            lib.dual = f[3] == "1";
            lib.interfaceHelp = f[4];
            haveInterface = true;
        } else if (f[0] == "member" && f.size() == 6) {
            MemberDesc m;
            m.name = f[1];
            auto dispid = Number<DISPID>(f[2]);
            if (!dispid || m.name.empty())
                return std::nullopt;
            m.dispid = *dispid;
            if (f[3] == "m")
                m.kind = MemberKind::Method;
            else if (f[3] == "g")
                m.kind = MemberKind::PropertyGet;
            else if (f[3] == "p")
                m.kind = MemberKind::PropertyPut;
            else
                return std::nullopt;
            m.help = f[4];
            if (!f[5].empty()) {
                for (std::string_view p : Split(f[5], ',')) {
                    const std::vector<std::string_view> parts = Split(p, ':');
                    auto vt = parts.size() == 3 ? Number<VARTYPE>(parts[1]) : std::nullopt;
                    if (!vt || (parts[2] != "r" && parts[2] != "i"))
                        return std::nullopt;
                    m.params.push_back({std::string(parts[0]), *vt, parts[2] == "r"});
                }
            }
            lib.members.push_back(std::move(m));
        } else {
            return std::nullopt;
        }
    }
    if (!haveLibrary || !haveClass || !haveInterface)
        return std::nullopt;
    return lib;
}

HRESULT RegisterTypeLib(const TypeLibDesc& lib, const std::string& registryPath) {
    RegistryTransaction tx(registryPath);
    if (!tx.ok())
        return REGDB_E_READREGDB;
    const std::string file = TypeLibFilePath(registryPath, lib);
    MakeRegistryFolder(file.substr(0, file.find_last_of('/')));
    // Readable by all: the registry folder it lies in decides who reaches it.
    if (!WriteFileAtomically(file, SerializeTypeLib(lib), 0644))
        return TYPE_E_CANTLOADLIBRARY;
    const std::string key = "TypeLib\\" + GuidToString(lib.libid) + "\\" + std::to_string(lib.major) + "." +
                            std::to_string(lib.minor);
    Registry& reg = tx.registry();
    reg.SetValue(key, "", lib.help);
    reg.SetValue(key + "\\0\\linux", "", file);
    reg.SetValue(key + "\\FLAGS", "", "0");
    const size_t slash = file.find_last_of('/');
    reg.SetValue(key + "\\HELPDIR", "", file.substr(0, slash));
    const std::string iface = "Interface\\" + GuidToString(lib.iid);
    reg.SetValue(iface, "", lib.interfaceName);
    reg.SetValue(iface + "\\TypeLib", "", GuidToString(lib.libid));
    reg.SetValue(iface + "\\TypeLib", "Version", std::to_string(lib.major) + "." + std::to_string(lib.minor));
    return tx.Commit() ? S_OK : REGDB_E_WRITEREGDB;
}

HRESULT LoadRegTypeLib(const GUID& libid, uint16_t major, uint16_t minor, TypeLibDesc* out,
                       const std::string& registryPath) {
    if (!out)
        return E_POINTER;
    std::optional<Registry> reg = ReadRegistry(registryPath);
    if (!reg)
        return TYPE_E_LIBNOTREGISTERED;
    const std::string key =
        "TypeLib\\" + GuidToString(libid) + "\\" + std::to_string(major) + "." + std::to_string(minor);
    std::optional<std::string> file = reg->GetValue(key + "\\0\\linux");
    if (!file || file->empty())
        return TYPE_E_LIBNOTREGISTERED;
    // The description decides how arguments reach the module: only a file no other user can write, read
    // from the descriptor it was checked on.
    const TrustedFile checked = OpenTrustedFile(*file, FileTrustKind::Registry);
    if (!checked.fd.valid()) {
        if (!checked.missing)
            AddRegistryNote(checked.why);
        return TYPE_E_CANTLOADLIBRARY;
    }
    std::optional<std::string> text = ReadDescriptor(checked.fd.get(), kMaxTypeLibBytes);
    if (!text)
        return TYPE_E_CANTLOADLIBRARY;
    std::optional<TypeLibDesc> lib = ParseTypeLib(*text);
    if (!lib || !(lib->libid == libid))
        return TYPE_E_CANTLOADLIBRARY;
    *out = std::move(*lib);
    return S_OK;
}

HRESULT GetIDsOfNamesFrom(const TypeLibDesc& lib, char16_t** names, uint32_t count, DISPID* ids) {
    if (!names || !ids)
        return E_POINTER;
    if (count == 0)
        return S_OK;
    for (uint32_t i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (!names[0])
        return DISP_E_UNKNOWNNAME;
    const std::u16string_view name(names[0]);
    const MemberDesc* found = nullptr;
    for (const MemberDesc& m : lib.members) {
        if (FoldEqual(name, m.name)) {
            found = &m;
            break;
        }
    }
    if (!found)
        return DISP_E_UNKNOWNNAME;
    ids[0] = found->dispid;
    HRESULT hr = S_OK;
    for (uint32_t i = 1; i < count; ++i) {
        // Parameter names of a member: their DISPID is their position among the in-parameters.
        bool ok = false;
        DISPID position = 0;
        for (const ParamDesc& p : found->params) {
            if (p.retval)
                continue;
            if (names[i] && !p.name.empty() && FoldEqual(std::u16string_view(names[i]), p.name)) {
                ids[i] = position;
                ok = true;
                break;
            }
            ++position;
        }
        if (!ok)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

PreparedCall::~PreparedCall() {
    for (VARIANT& v : args)
        VariantClear(&v);
}

HRESULT PrepareInvoke(const TypeLibDesc& lib, DISPID id, uint16_t flags, const DISPPARAMS* params,
                      PreparedCall* call, uint32_t* argErr) {
    if (!params || !call)
        return E_INVALIDARG;
    if (params->cArgs > 0 && !params->rgvarg)
        return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    const MemberDesc* member = nullptr;
    for (const MemberDesc& m : lib.members) {
        if (m.dispid != id)
            continue;
        const bool wanted = (m.kind == MemberKind::Method && (flags & DISPATCH_METHOD)) ||
                            (m.kind == MemberKind::PropertyGet && (flags & DISPATCH_PROPERTYGET)) ||
                            (m.kind == MemberKind::PropertyPut && (flags & DISPATCH_PROPERTYPUT));
        if (wanted) {
            member = &m;
            break;
        }
    }
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    const size_t expected = member->InCount();
    if (params->cArgs != expected)
        return DISP_E_BADPARAMCOUNT;

    // Place every argument at its parameter position: positional ones come last in rgvarg (reversed),
    // named ones carry their position (a property put's value is named DISPID_PROPERTYPUT).
    std::vector<const VARIANT*> slots(expected, nullptr);
    std::vector<uint32_t> sourceIndex(expected, 0);
    const uint32_t named = params->cNamedArgs;
    for (uint32_t i = 0; i < named; ++i) {
        DISPID pos = params->rgdispidNamedArgs[i];
        if (pos == DISPID_PROPERTYPUT && member->kind == MemberKind::PropertyPut)
            pos = static_cast<DISPID>(expected) - 1;
        if (pos < 0 || static_cast<size_t>(pos) >= expected || slots[static_cast<size_t>(pos)]) {
            if (argErr)
                *argErr = i;
            return DISP_E_PARAMNOTFOUND;
        }
        slots[static_cast<size_t>(pos)] = &params->rgvarg[i];
        sourceIndex[static_cast<size_t>(pos)] = i;
    }
    // A put's value is normally named; a plain positional value is accepted as well.
    const uint32_t positional = params->cArgs - named;
    for (uint32_t k = 0; k < positional; ++k) {
        const uint32_t index = params->cArgs - 1 - k; // the first parameter is the last entry
        if (k >= expected || slots[k]) {
            if (argErr)
                *argErr = index;
            return DISP_E_BADPARAMCOUNT;
        }
        slots[k] = &params->rgvarg[index];
        sourceIndex[k] = index;
    }

    size_t position = 0;
    call->member = member;
    call->args.clear();
    for (const ParamDesc& p : member->params) {
        if (p.retval)
            continue;
        VARIANT converted;
        VariantInit(&converted);
        const HRESULT hr = VariantChangeType(&converted, slots[position], p.vt);
        if (Failed(hr)) {
            if (argErr)
                *argErr = sourceIndex[position];
            return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
        }
        call->args.push_back(converted);
        ++position;
    }
    return S_OK;
}

} // namespace com
