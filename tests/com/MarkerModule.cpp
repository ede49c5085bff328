// A module that tells when its code runs: loading it and each export it serves append a word to the file
// VELANTO_TEST_MARKER names.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
void Mark(const char* word) {
    const char* path = std::getenv("VELANTO_TEST_MARKER");
    if (FILE* f = path ? std::fopen(path, "a") : nullptr) {
        std::fprintf(f, "%s ", word);
        std::fclose(f);
    }
}

__attribute__((constructor)) void Loaded() {
    Mark("loaded");
}
} // namespace

extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer() {
    Mark("registered");
    return 0;
}

extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer() {
    Mark("unregistered");
    return 0;
}
