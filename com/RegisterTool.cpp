// velanto-regsvr: registers or unregisters an in-process component by calling its exports.
//   velanto-regsvr [-u] [-s] [--never-fail] module.so
// -u unregisters, -s prints nothing on success, --never-fail exits 0 even when registration fails (the
// build uses it, so a machine without a writable home still builds).
#include "com/Com.h"
#include "com/Registry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

int main(int argc, char** argv) {
    bool unregister = false, silent = false, neverFail = false;
    std::string module;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-u") || !std::strcmp(argv[i], "/u"))
            unregister = true;
        else if (!std::strcmp(argv[i], "-s") || !std::strcmp(argv[i], "/s"))
            silent = true;
        else if (!std::strcmp(argv[i], "--never-fail"))
            neverFail = true;
        else
            module = argv[i];
    }
    if (module.empty()) {
        std::fprintf(stderr, "usage: velanto-regsvr [-u] [-s] [--never-fail] module\n");
        return 2;
    }
    const int failure = neverFail ? 0 : 1;
    if (module[0] != '/') {
        char* full = ::realpath(module.c_str(), nullptr);
        if (full) {
            module = full;
            std::free(full);
        }
    }
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "velanto-regsvr: cannot load %s: %s\n", module.c_str(), ::dlerror());
        return failure;
    }
    const char* exportName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<com::DllRegisterServerFn>(::dlsym(handle, exportName));
    if (!fn) {
        std::fprintf(stderr, "velanto-regsvr: %s has no %s\n", module.c_str(), exportName);
        return failure;
    }
    const com::HRESULT hr = fn();
    if (com::Failed(hr)) {
        std::fprintf(stderr, "velanto-regsvr: %s in %s failed: 0x%08X\n", exportName, module.c_str(),
                     static_cast<unsigned>(hr));
        // The registry file is what the user can repair: name it.
        if (hr == com::REGDB_E_READREGDB)
            std::fprintf(
                stderr,
                "velanto-regsvr: the class registry %s cannot be read (damaged, or locked by another "
                "registration); it is left as it is: move it aside and register again\n",
                com::Registry::DefaultPath().c_str());
        else if (hr == com::REGDB_E_WRITEREGDB)
            std::fprintf(stderr, "velanto-regsvr: the class registry %s cannot be written\n",
                         com::Registry::DefaultPath().c_str());
        return failure;
    }
    if (!silent)
        std::printf("%s in %s succeeded.\n", exportName, module.c_str());
    return 0;
}
