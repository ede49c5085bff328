#include "com/Creation.h"

#include "com/FileTrust.h"

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace com {

namespace {
std::mutex& ModuleMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, void*>& Modules() {
    static std::map<std::string, void*> modules;
    return modules;
}
} // namespace

void* LoadModule(const std::string& path) {
    std::lock_guard<std::mutex> lock(ModuleMutex());
    auto it = Modules().find(path);
    if (it != Modules().end())
        return it->second;
    // Only absolute paths (a bare name would be searched along the library path), and only files no
    // other user can have written, below folders no other user can change.
    TrustedModule module = LoadTrustedModule(path);
    if (!module.handle) {
        AddRegistryNote(std::move(module.why));
        return nullptr;
    }
    Modules()[path] = module.handle;
    return module.handle;
}

HRESULT CLSIDFromProgID(const std::string& progId, CLSID* clsid, const std::string& registryPath) {
    if (!clsid)
        return E_POINTER;
    std::optional<Registry> reg = ReadRegistry(registryPath);
    if (!reg)
        return REGDB_E_READREGDB;
    std::string name = progId;
    // A version-independent ProgID points at the current one; one step is enough.
    for (int step = 0; step < 2; ++step) {
        if (name.empty() || name.find('\\') != std::string::npos)
            return CO_E_CLASSSTRING;
        if (std::optional<std::string> value = reg->GetValue(name + "\\CLSID")) {
            std::optional<GUID> g = ParseGuid(*value);
            if (!g)
                return CO_E_CLASSSTRING;
            *clsid = *g;
            return S_OK;
        }
        std::optional<std::string> current = reg->GetValue(name + "\\CurVer");
        if (!current)
            break;
        name = *current;
    }
    return CO_E_CLASSSTRING;
}

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** object, const std::string& registryPath) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    std::optional<Registry> reg = ReadRegistry(registryPath);
    if (!reg)
        return REGDB_E_READREGDB;
    std::optional<std::string> path = reg->GetValue("CLSID\\" + GuidToString(clsid) + "\\InprocServer32");
    if (!path || path->empty())
        return REGDB_E_CLASSNOTREG;
    void* module = LoadModule(*path);
    if (!module)
        return CO_E_DLLNOTFOUND;
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(::dlsym(module, "DllGetClassObject"));
    if (!getClassObject)
        return CO_E_ERRORINDLL;
    return getClassObject(clsid, iid, object);
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object,
                         const std::string& registryPath) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory), registryPath);
    if (Failed(hr))
        return hr;
    if (!factory)
        return E_UNEXPECTED;
    hr = factory->CreateInstance(outer, iid, object);
    factory->Release();
    return hr;
}

HRESULT CreateObjectByProgID(const std::string& progId, const IID& iid, void** object,
                             const std::string& registryPath) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    CLSID clsid;
    const HRESULT hr = CLSIDFromProgID(progId, &clsid, registryPath);
    if (Failed(hr))
        return hr;
    return CoCreateInstance(clsid, nullptr, iid, object, registryPath);
}

} // namespace com
