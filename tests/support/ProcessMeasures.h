#pragma once
// What the tests of hostile input measure of their own process (resident memory, processor time), and
// the small file helpers they share.
#include <QByteArray>
#include <QString>

namespace testenv {

// A build with AddressSanitizer: every step some times slower, freed memory held back.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// A field of /proc/self/status in kilobytes ("VmRSS:", "VmHWM:"); 0 when unreadable.
qint64 StatusKb(const char* field);

// Starts a new peak of resident memory (VmHWM) from the present size.
void ResetPeakMemory();

// Processor time of this process in user mode, with the time the kernel spent for it when asked.
qint64 ProcessorMilliseconds(bool withKernel = false);

} // namespace testenv
