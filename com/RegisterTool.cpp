// velanto-regsvr: registers or unregisters an in-process component by calling its exports.
//   velanto-regsvr [-u] [-s] [--system] [--prefix DIR] module.so
// -u unregisters, -s prints nothing on success. Without --system the component is registered for the
// user who runs the tool (the class registry under $XDG_DATA_HOME). --system registers it for every user
// in the machine-wide registry under the prefix the tool is installed in (DIR/share with --prefix DIR,
// which implies --system): what `cmake --install` does.
#include "com/Com.h"
#include "com/FileTrust.h"
#include "com/Registry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

void Usage() {
    std::fprintf(stderr, "usage: velanto-regsvr [-u] [-s] [--system] [--prefix DIR] module\n");
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/')
        return path;
    char* full = ::realpath(path.c_str(), nullptr);
    if (!full)
        return path;
    std::string out = full;
    std::free(full);
    return out;
}

// The module's path as given, from the working folder when relative: its links are left for the trust
// checks to judge (resolving them first would hide a link of another user).
std::string InWorkingFolder(const std::string& path) {
    if (path[0] == '/')
        return path;
    char* folder = ::getcwd(nullptr, 0);
    if (!folder)
        return path;
    std::string out = std::string(folder) + "/" + path;
    std::free(folder);
    return out;
}

void ExplainFailure(com::HRESULT hr, const std::string& registry) {
    // The registry file is what the user can repair: name it.
    if (hr == com::REGDB_E_READREGDB)
        std::fprintf(
            stderr,
            "velanto-regsvr: the class registry %s cannot be read (damaged, not trusted, or locked by "
            "another registration); it is left as it is: move it aside and register again\n",
            registry.c_str());
    else if (hr == com::REGDB_E_WRITEREGDB)
        std::fprintf(stderr, "velanto-regsvr: the class registry %s cannot be written\n", registry.c_str());
}

} // namespace

int main(int argc, char** argv) {
    bool unregister = false, silent = false, system = false;
    std::string module, prefix;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-u") || !std::strcmp(argv[i], "/u")) {
            unregister = true;
        } else if (!std::strcmp(argv[i], "-s") || !std::strcmp(argv[i], "/s")) {
            silent = true;
        } else if (!std::strcmp(argv[i], "--system")) {
            system = true;
        } else if (!std::strcmp(argv[i], "--prefix") && i + 1 < argc) {
            system = true;
            prefix = Absolute(argv[++i]);
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            Usage();
            return 2;
        } else {
            module = argv[i];
        }
    }
    if (module.empty()) {
        Usage();
        return 2;
    }
    module = InWorkingFolder(module);
    if (system) {
        if (prefix.empty())
            prefix = com::ExecutablePrefix(); // the prefix the tool itself is installed in
        // The module carries its own copy of the registry code: it learns the target from the environment.
        ::setenv(com::kMachineRegistryVariable,
                 (prefix == "/" ? std::string() : prefix).append("/share").c_str(), 1);
    } else {
        ::unsetenv(com::kMachineRegistryVariable);
    }
    const std::string registry = com::Registry::DefaultPath();
    if (registry.empty()) {
        std::fprintf(stderr, "velanto-regsvr: there is no user class registry: neither HOME nor the account "
                             "database gives a home folder; register for every user with --system\n");
        return 1;
    }
    std::string why;
    if (!com::TrustedRegistryFile(registry, &why)) {
        std::fprintf(stderr, "velanto-regsvr: %s\n", why.c_str());
        return 1;
    }
    // The tool runs as root for an install: a module another user could have changed would run their code
    // as root. Loading alone runs a module's code, so one that is not trusted is not even loaded.
    const com::TrustedModule loaded = com::LoadTrustedModule(module);
    if (!loaded.handle) {
        if (loaded.refused)
            std::fprintf(stderr, "velanto-regsvr: refusing to run %s: %s\n", module.c_str(),
                         loaded.why.c_str());
        else
            std::fprintf(stderr, "velanto-regsvr: %s\n", loaded.why.c_str());
        return 1;
    }
    const char* exportName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<com::DllRegisterServerFn>(::dlsym(loaded.handle, exportName));
    if (!fn) {
        std::fprintf(stderr, "velanto-regsvr: %s has no %s\n", module.c_str(), exportName);
        return 1;
    }
    const com::HRESULT hr = fn();
    if (com::Failed(hr)) {
        std::fprintf(stderr, "velanto-regsvr: %s in %s failed: 0x%08X\n", exportName, module.c_str(),
                     static_cast<unsigned>(hr));
        ExplainFailure(hr, registry);
        return 1;
    }
    if (!silent)
        std::printf("%s in %s succeeded (class registry %s).\n", exportName, module.c_str(),
                    registry.c_str());
    return 0;
}
