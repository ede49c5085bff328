#pragma once
// The C++ harness: registers the built module into this test's own registry file (XDG_DATA_HOME) with
// the register tool, creates the DNS object by ProgID and calls its members by name.
#include "com/LateBound.h"

#include <string>

namespace dnstest {

std::string BinDir();
std::string ModulePath();
// Runs the register tool on the module; its exit code.
int RunRegisterTool(bool unregister);
// Registers once per process (asserts on failure).
void EnsureRegistered();

// One of the loaded module's exports (nullptr when missing).
void* ModuleExport(const char* name);
template <typename Fn>
Fn Export(const char* name) {
    return reinterpret_cast<Fn>(ModuleExport(name));
}

// A fresh DNS object made by ProgID, or an invalid one when creation failed.
com::LateBound CreateDns();

// Member calls by name; the text or number the member returned.
std::string Text(com::LateBound& dns, std::u16string_view member, std::vector<com::Variant> args = {});
int Number(com::LateBound& dns, std::u16string_view member, std::vector<com::Variant> args = {});
std::string TextProperty(com::LateBound& dns, std::u16string_view property);
int NumberProperty(com::LateBound& dns, std::u16string_view property);

} // namespace dnstest
