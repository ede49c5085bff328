#pragma once
// Work that must end, run in a child process under a bound on its processor time. A loop without end (a
// compression loop followed for ever) then fails the test with its case named, instead of holding the
// whole run until the test runner's time-out. Plain C++: the sanitizer build of the reply tests uses it
// too.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace dnstest {

// Runs work in a child process and gives its exit code (0 to 255, what work returned) in *result.
inline ::testing::AssertionResult EndsInTime(const std::string& what, const std::function<int()>& work,
                                             int* result = nullptr) {
    // A parse takes microseconds, a lookup a little more, under the sanitizers too: seconds of processor
    // time only a loop spends. A loaded machine does not inflate processor time.
    constexpr rlim_t kCpuSeconds = 5;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return ::testing::AssertionFailure() << what << ": no process to run it in";
    if (child == 0) {
        const rlimit limit{kCpuSeconds, kCpuSeconds + 1};
        ::setrlimit(RLIMIT_CPU, &limit);
        ::_exit(work() & 0xFF);
    }
    // Work that waits instead (a lookup waits for its reply) is given a minute.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return ::testing::AssertionFailure() << what << ": did not end within a minute";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU || signal == SIGKILL)
            return ::testing::AssertionFailure()
                   << what << ": did not end within " << kCpuSeconds << " s of processor time";
        return ::testing::AssertionFailure() << what << ": ended by signal " << signal;
    }
    if (result)
        *result = WEXITSTATUS(status);
    return ::testing::AssertionSuccess();
}

} // namespace dnstest
