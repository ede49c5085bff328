// The module's frame: the four exports, the class factory, the lock count, the registry script, the type
// library and the version block.
#include "com/Registrar.h"
#include "com/TypeLib.h"
#include "com/VersionInfo.h"
#include "dnsresolver/KelvorinDns.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>

namespace trivex {

using namespace com;

namespace {

std::atomic<LONG> g_lockCount{0};

std::string& VersionText() {
    static std::string text;
    return text;
}

// The version block, kept in its own section so it can be read from the file (see com/VersionInfo.h).
#define TRIVEX_STRINGS                                                                                       \
    "FileDescription\0Kelvorin DNS Object\0"                                                                 \
    "FileVersion\0"                                                                                          \
    "1, 0, 0, 1\0"                                                                                           \
    "InternalName\0Kelvorin DNS\0"                                                                           \
    "OriginalFilename\0trivex.DLL\0"                                                                         \
    "ProductName\0Kelvorin DNS Object\0"                                                                     \
    "ProductVersion\0"                                                                                       \
    "1, 0, 0, 1\0"                                                                                           \
    "CompanyName\0Kelvorin\0"                                                                                \
    "LegalCopyright\0Copyright (C) Kelvorin\0"

struct VersionBlock {
    uint32_t magic, fileMS, fileLS, productMS, productLS, fileType, fileOS;
    char strings[sizeof(TRIVEX_STRINGS) + 1];
};

__attribute__((used, section(".velanto_version"))) const VersionBlock kVersionBlock = {
    kVersionMagic, 0x00010000, 0x00000001, 0x00010000, 0x00000001, kFileTypeDll, 0x00000004, TRIVEX_STRINGS};

std::string ModulePath() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<const void*>(&kVersionBlock), &info) || !info.dli_fname)
        return {};
    char* full = ::realpath(info.dli_fname, nullptr);
    if (!full)
        return info.dli_fname;
    std::string path = full;
    std::free(full);
    return path;
}

// The module entry point: the version text is read from the module file once, when it is loaded.
__attribute__((constructor)) void ModuleLoaded() {
    if (!VersionText().empty())
        return;
    const std::string path = ModulePath();
    if (path.empty() || path.size() > 4096)
        return;
    std::optional<FileVersionInfo> info = GetFileVersionInfo(path);
    if (!info)
        return;
    char text[64];
    std::snprintf(text, sizeof text, "%d, %d, %d, %d", static_cast<int>(info->fileVersionMS >> 16),
                  static_cast<int>(info->fileVersionMS & 0xFFFF), static_cast<int>(info->fileVersionLS >> 16),
                  static_cast<int>(info->fileVersionLS & 0xFFFF));
    VersionText() = text;
}

constexpr char kRegistryScript[] = R"(HKCR
{
    Kelvorin.DNS.1 = s 'Kelvorin DNS Object'
    {
        CLSID = s '{D94A2B33-B840-11D1-8042-00AA00336A3E}'
    }
    Kelvorin.DNS = s 'Kelvorin DNS Object'
    {
        CurVer = s 'Kelvorin.DNS.1'
    }
    NoRemove CLSID
    {
        ForceRemove {D94A2B33-B840-11D1-8042-00AA00336A3E} = s 'Kelvorin DNS Object'
        {
            ProgID = s 'Kelvorin.DNS.1'
            VersionIndependentProgID = s 'Kelvorin.DNS'
            ForceRemove Programmable
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            ForceRemove 'Implemented Categories'
            {
                ForceRemove {7DD95801-9882-11CF-9FA9-00AA006C42C4}
                ForceRemove {7DD95802-9882-11CF-9FA9-00AA006C42C4}
            }
        }
    }
}
)";

class ClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the module; its references count as module locks.
    ULONG AddRef() override {
        ModuleLock();
        return 2;
    }
    ULONG Release() override {
        ModuleUnlock();
        return 1;
    }
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
        return KelvorinDns::Create(outer, iid, object);
    }
    HRESULT LockServer(LONG lock) override {
        if (lock)
            ModuleLock();
        else
            ModuleUnlock();
        return S_OK;
    }
};

ClassFactory* Factory() {
    // Made on first use; the guard keeps two threads from making two.
    static std::mutex guard;
    static ClassFactory* factory = nullptr;
    std::lock_guard<std::mutex> lock(guard);
    if (!factory)
        factory = new ClassFactory;
    return factory;
}

} // namespace

void ModuleLock() {
    g_lockCount.fetch_add(1);
}
void ModuleUnlock() {
    g_lockCount.fetch_sub(1);
}
LONG ModuleLockCount() {
    return g_lockCount.load();
}
const std::string& ModuleVersionText() {
    return VersionText();
}

const TypeLibDesc& KelvorinTypeLib() {
    static const TypeLibDesc lib = [] {
        TypeLibDesc d;
        d.name = "KelvorinDNSLib";
        d.libid = LIBID_KelvorinDNSLib;
        d.major = 1;
        d.minor = 0;
        d.help = "Kelvorin DNS 1.0 Type Library";
        d.coclassName = "KelvorinDNS";
        d.clsid = CLSID_KelvorinDNS;
        d.coclassHelp = "Kelvorin DNS Object";
        d.interfaceName = "IKelvorinDNS";
        d.iid = IID_IKelvorinDNS;
        d.interfaceHelp = "IKelvorinDNS Interface";
        d.dual = true;
        using K = MemberKind;
        d.members = {
            {"GetIPFromName",
             1,
             K::Method,
             {{"strHostName", VT_BSTR, false}, {"rVal", VT_BSTR, true}},
             "method GetIPFromName"},
            {"GetNameFromIP",
             2,
             K::Method,
             {{"strIP", VT_BSTR, false}, {"rVal", VT_BSTR, true}},
             "method GetNameFromIP"},
            {"Timeout", 3, K::PropertyGet, {{"pVal", VT_I4, true}}, "property Timeout"},
            {"Timeout", 3, K::PropertyPut, {{"", VT_I4, false}}, "property Timeout"},
            {"Whois",
             4,
             K::Method,
             {{"strDomain", VT_BSTR, false}, {"bsInfo", VT_BSTR, true}},
             "method Whois"},
            {"MXLookup",
             6,
             K::Method,
             {{"strDNSServer", VT_BSTR, false}, {"strDomain", VT_BSTR, false}, {"nCount", VT_I4, true}},
             "method MXLookup"},
            {"MXServerList",
             7,
             K::Method,
             {{"nIndex", VT_I4, false}, {"Server", VT_BSTR, true}},
             "method MXServerList"},
            {"WhoisServer", 8, K::PropertyGet, {{"pVal", VT_BSTR, true}}, "property WhoisServer"},
            {"WhoisServer", 8, K::PropertyPut, {{"", VT_BSTR, false}}, "property WhoisServer"},
            {"GetSystemError", 10, K::Method, {{"nError", VT_I4, true}}, "method GetSystemError"},
            {"Version", 12, K::PropertyGet, {{"pVal", VT_BSTR, true}}, "property Version"},
        };
        return d;
    }();
    return lib;
}

} // namespace trivex

using namespace com;

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID& clsid,
                                                                            const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!(clsid == trivex::CLSID_KelvorinDNS))
        return CLASS_E_CLASSNOTAVAILABLE;
    return trivex::Factory()->QueryInterface(iid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return trivex::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    const std::string path = trivex::ModulePath();
    if (path.empty())
        return E_UNEXPECTED;
    HRESULT hr = UpdateRegistryFromScript(trivex::kRegistryScript, {{"MODULE", path}}, true);
    if (Failed(hr))
        return hr;
    return RegisterTypeLib(trivex::KelvorinTypeLib());
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    // Failures are ignored; the type library registration stays.
    (void)UpdateRegistryFromScript(trivex::kRegistryScript, {}, false);
    return S_OK;
}
