// Message files that are hard on the extract and import tools: thousands of parts of one name, a large
// text body; and how often the tools make the disk catch up.
#include "core/Paths.h"
#include "tests/support/ProcessMeasures.h"
#include "tests/support/TestComposer.h"
#include "tests/support/TestEnvironment.h"
#include "tools/MessageExtract.h"
#include "tools/forms/MessageImport.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <atomic>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

std::atomic<int> syncCalls{0};

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

// Every way of making a file durable is counted on its way to the C library.
extern "C" int fsync(int fd) {
    ++syncCalls;
    static const auto next = Next<int (*)(int)>("fsync");
    return next(fd);
}
extern "C" int fdatasync(int fd) {
    ++syncCalls;
    static const auto next = Next<int (*)(int)>("fdatasync");
    return next(fd);
}
extern "C" int syncfs(int fd) {
    ++syncCalls;
    static const auto next = Next<int (*)(int)>("syncfs");
    return next(fd);
}

namespace {

using testenv::kSanitized;

// Processor time allowed per step: a second or two here, some times that under the sanitizers. A name
// probed against every file made before (ten thousand of one name) costs minutes. Waits for a busy disk
// are not processor time.
constexpr qint64 kCpuMsAllowed = kSanitized ? 40000 : 8000;

// Runs work and returns the growth of the peak resident memory, checking the processor time it took.
qint64 Measured(const std::function<void()>& work) {
    testenv::ResetPeakMemory();
    const qint64 before = testenv::StatusKb("VmRSS:");
    // creating files is the kernel's work: its time counts
    const qint64 cpu = testenv::ProcessorMilliseconds(true);
    work();
    EXPECT_LT(testenv::ProcessorMilliseconds(true) - cpu, kCpuMsAllowed) << "milliseconds of processor time";
    return (testenv::StatusKb("VmHWM:") - before) * 1024;
}

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

class HostileMessageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::ClearSettings();
        testenv::FreshDataPath();
        ASSERT_TRUE(dir.isValid());
        composer.format = QStringLiteral("HTML");
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    testenv::TestComposer composer; // without an editor: the body goes nowhere
};

TEST_F(HostileMessageFiles, ExtractAndImportNumberPartsOfOneNameInLinearTime) {
    const QString file = testenv::WriteFile(path(QStringLiteral("same.eml")), SameNamed(10000));
    const QString folder = path(QStringLiteral("attachments"));
    QDir().mkpath(folder);
    testenv::WriteFile(folder + QStringLiteral("/same.txt"), "mine");
    testenv::WriteFile(folder + QStringLiteral("/same (3).txt"), "mine too");
    ExtractRequest request;
    request.messageFile = file;
    request.attachmentsFolder = folder;
    ExtractOutcome outcome;
    Measured([&] { outcome = RunExtract(request); });
    EXPECT_EQ(QString(), outcome.stopText);
    EXPECT_EQ(QStringList(), outcome.notWritten);
    EXPECT_EQ(10002, QDir(folder).entryList(QDir::Files).size());
    EXPECT_EQ(QByteArray("mine"), testenv::ReadFile(folder + QStringLiteral("/same.txt")));
    EXPECT_EQ(QByteArray("mine too"), testenv::ReadFile(folder + QStringLiteral("/same (3).txt")));
    EXPECT_EQ(QByteArray("0"), testenv::ReadFile(folder + QStringLiteral("/same (2).txt")));
    EXPECT_EQ(QByteArray("9999"), testenv::ReadFile(folder + QStringLiteral("/same (10002).txt")));

    MessageImportOutcome imported;
    Measured([&] { imported = ImportMessageIntoComposer(file, composer); });
    EXPECT_TRUE(imported.done);
    ASSERT_EQ(10000, composer.attachments.size());
    const QSet<QString> distinct(composer.attachments.begin(), composer.attachments.end());
    EXPECT_EQ(10000, distinct.size());
    EXPECT_EQ(QByteArray("9999"), testenv::ReadFile(composer.attachments.at(9999)));
}

// Extracted parts go into new files under names nobody has: nothing is replaced, so nothing needs
// flushing file by file; the outputs are made durable together at the end.
TEST_F(HostileMessageFiles, ExtractMakesItsFilesDurableOnceNotPerPart) {
    ExtractRequest request;
    request.messageFile = testenv::WriteFile(path(QStringLiteral("same.eml")), SameNamed(2000));
    request.attachmentsFolder = path(QStringLiteral("attachments"));
    request.bodyFolder = path(QStringLiteral("body"));
    request.recipientsFile = path(QStringLiteral("recipients.txt"));
    request.timestampsFile = path(QStringLiteral("timestamps.txt"));
    syncCalls = 0;
    const ExtractOutcome outcome = RunExtract(request);
    EXPECT_EQ(QStringList(), outcome.notWritten);
    EXPECT_EQ(2000, QDir(request.attachmentsFolder).entryList(QDir::Files).size());
    EXPECT_LE(syncCalls.load(), 5) << "calls that wait for the disk";
}

// A large text body costs less than three times the file, in extract (Body.txt) and import alike.
TEST_F(HostileMessageFiles, LargeTextBodyCostsLessThanThreeTimesItsSize) {
    const QByteArray line = "The quick brown fox jumps over the lazy dog \xc3\xa9t\xc3\xa9\r\n";
    const QByteArray bytes =
        "Subject: big\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
        line.repeated(600000);
    const QString file = testenv::WriteFile(path(QStringLiteral("big.eml")), bytes);
    ExtractRequest request;
    request.messageFile = file;
    request.bodyFolder = path(QStringLiteral("body"));
    const qint64 extractGrowth = Measured([&] { EXPECT_EQ(QStringList(), RunExtract(request).notWritten); });
    EXPECT_EQ(line.repeated(600000) + "\r\n",
              testenv::ReadFile(request.bodyFolder + QStringLiteral("/Body.txt")));

    MessageImportOutcome imported;
    const qint64 importGrowth = Measured([&] { imported = ImportMessageIntoComposer(file, composer); });
    EXPECT_TRUE(imported.done);
    EXPECT_EQ(QStringLiteral("Text"), composer.format);
    if (!kSanitized) {
        EXPECT_LT(extractGrowth, 3 * bytes.size()) << "bytes of memory to extract " << bytes.size();
        EXPECT_LT(importGrowth, 3 * bytes.size()) << "bytes of memory to import " << bytes.size();
    }
}

} // namespace
