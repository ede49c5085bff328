#pragma once
// Creating components the registry names: ProgID -> CLSID (through CurVer when the ProgID is version
// independent) -> InprocServer32 -> the module loaded with dlopen -> DllGetClassObject -> the class factory.
// Modules stay loaded for the life of the process, as objects they made may outlive any one call.
// The registry read is HKEY_CLASSES_ROOT as the user sees it (see com/Registry.h) unless a file is named;
// what it left out, and a module refused as untrusted, are told by RegistryNotes().
#include "com/Com.h"
#include "com/Registry.h"

#include <string>

namespace com {

// CO_E_CLASSSTRING when the ProgID is not registered.
HRESULT CLSIDFromProgID(const std::string& progId, CLSID* clsid, const std::string& registryPath = {});

// REGDB_E_CLASSNOTREG when the class has no InprocServer32, CO_E_DLLNOTFOUND when the module cannot be
// loaded, CO_E_ERRORINDLL when it lacks DllGetClassObject.
HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** object,
                         const std::string& registryPath = {});

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object,
                         const std::string& registryPath = {});

HRESULT CreateObjectByProgID(const std::string& progId, const IID& iid, void** object,
                             const std::string& registryPath = {});

// The module loaded for a path (loading it when needed, through LoadTrustedModule); nullptr when it
// cannot be loaded or is not trusted (a module another user can write would run their code in ours).
void* LoadModule(const std::string& path);

} // namespace com
