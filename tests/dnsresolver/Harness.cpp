#include "tests/dnsresolver/Harness.h"

#include "com/Creation.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace dnstest {

std::string BinDir() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    std::string self(path, static_cast<size_t>(n));
    return self.substr(0, self.find_last_of('/'));
}

std::string ModulePath() {
    return BinDir() + "/libtrivex.so";
}

int RunRegisterTool(bool unregister) {
    std::string tool = BinDir() + "/velanto-regsvr";
    std::string module = ModulePath();
    std::string flag = unregister ? "-u" : "-s";
    std::string silent = "-s";
    char* argv[] = {tool.data(), flag.data(), silent.data(), module.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void EnsureRegistered() {
    static bool done = false;
    if (done)
        return;
    ASSERT_EQ(RunRegisterTool(false), 0);
    done = true;
}

void* ModuleExport(const char* name) {
    void* module = com::LoadModule(ModulePath());
    EXPECT_NE(module, nullptr);
    return module ? ::dlsym(module, name) : nullptr;
}

com::LateBound CreateDns() {
    EnsureRegistered();
    com::LateBound dns;
    EXPECT_EQ(dns.Create("Kelvorin.DNS.1"), com::S_OK);
    return dns;
}

std::string Text(com::LateBound& dns, std::u16string_view member, std::vector<com::Variant> args) {
    com::Variant result;
    EXPECT_EQ(dns.Method(member, args, &result), com::S_OK);
    EXPECT_EQ(result.type(), com::VT_BSTR);
    return result.toUtf8();
}

int Number(com::LateBound& dns, std::u16string_view member, std::vector<com::Variant> args) {
    com::Variant result;
    EXPECT_EQ(dns.Method(member, args, &result), com::S_OK);
    EXPECT_EQ(result.type(), com::VT_I4);
    return result.toLong();
}

std::string TextProperty(com::LateBound& dns, std::u16string_view property) {
    com::Variant result;
    EXPECT_EQ(dns.Get(property, &result), com::S_OK);
    return result.toUtf8();
}

int NumberProperty(com::LateBound& dns, std::u16string_view property) {
    com::Variant result;
    EXPECT_EQ(dns.Get(property, &result), com::S_OK);
    return result.toLong();
}

} // namespace dnstest
