#include "tests/tools/HostileMessages.h"

#include "tests/support/ProcessMeasures.h"

#include <gtest/gtest.h>

namespace toolstest {

namespace {

constexpr qint64 kCpuMsAllowed = testenv::kSanitized ? 40000 : 8000;

} // namespace

QByteArray SameNamed(int attachments) {
    QByteArray m = "Subject: same\r\nTo: bob@example.org\r\n"
                   "Received: from a by b; Tue, 8 Dec 2026 10:11:12 +0000\r\nMIME-Version: 1.0\r\n"
                   "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
                   "--m\r\nContent-Type: text/plain\r\n\r\nbody\r\n";
    for (int i = 0; i < attachments; ++i)
        m += "--m\r\nContent-Type: application/octet-stream\r\n"
             "Content-Disposition: attachment; filename=\"same.txt\"\r\n\r\n" +
             QByteArray::number(i) + "\r\n";
    return m + "--m--\r\n";
}

QByteArray InlinePictures(int pictures) {
    QByteArray html, parts;
    for (int i = 0; i < pictures; ++i) {
        const QByteArray id = "p" + QByteArray::number(i);
        html += "<img src=\"cid:" + id + "\">\n";
        parts += "--r\r\nContent-Type: image/png\r\nContent-ID: <" + id +
                 ">\r\nContent-Disposition: inline; filename=\"pic.png\"\r\n\r\n" + id + "\r\n";
    }
    return "Subject: pictures\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
           "--r\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" +
           html + "\r\n" + parts + "--r--\r\n";
}

QByteArray LargeTextLines() {
    const QByteArray line = "The quick brown fox jumps over the lazy dog \xc3\xa9t\xc3\xa9\r\n";
    return line.repeated(600000);
}

QByteArray LargeTextMessage() {
    return "Subject: big\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
           LargeTextLines();
}

qint64 Measured(const std::function<void()>& work) {
    testenv::ResetPeakMemory();
    const qint64 before = testenv::StatusKb("VmRSS:");
    // creating files is the kernel's work: its time counts
    const qint64 cpu = testenv::ProcessorMilliseconds(true);
    work();
    EXPECT_LT(testenv::ProcessorMilliseconds(true) - cpu, kCpuMsAllowed) << "milliseconds of processor time";
    return (testenv::StatusKb("VmHWM:") - before) * 1024;
}

} // namespace toolstest
