// Message files that are hard on the extract tool: thousands of parts of one name, a large text body;
// and how often it makes the disk catch up. (The import of the same files into the composer is tested
// with the windows.)
#include "mail/Message.h"
#include "tests/support/ProcessMeasures.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/HostileMessages.h"
#include "tests/tools/MessageFileFixture.h"
#include "tools/MessageExtract.h"
#include "tools/MessageFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

std::atomic<int> syncCalls{0};
std::atomic<bool> flushFails{false}; // the disk reports an error when the file system is flushed

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
    if (flushFails) {
        errno = EIO;
        return -1;
    }
    static const auto next = Next<int (*)(int)>("syncfs");
    return next(fd);
}

namespace {

using testenv::kSanitized;
using toolstest::Measured;
using toolstest::SameNamed;

using HostileMessageFiles = toolstest::MessageFileFixture;

TEST_F(HostileMessageFiles, ExtractNumbersPartsOfOneNameInLinearTime) {
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

// The pictures of an HTML body are copied out of the work folder, by the extract and by the import into
// the composer: thousands of new files, made durable together once the copy is complete. When that
// fails, the copy does not count as written.
TEST_F(HostileMessageFiles, BodyPicturesAreCopiedWithOneFlushForAll) {
    const QString file =
        testenv::WriteFile(path(QStringLiteral("pictures.eml")), toolstest::InlinePictures(2000));
    ExtractRequest request;
    request.messageFile = file;
    request.bodyPart = mail::BodyPartHtml;
    request.bodyFolder = path(QStringLiteral("body"));
    syncCalls = 0;
    EXPECT_EQ(QStringList(), RunExtract(request).notWritten);
    EXPECT_LE(syncCalls.load(), 5) << "calls that wait for the disk";
    EXPECT_EQ(2001, QDir(request.bodyFolder + QStringLiteral("/Body1")).entryList(QDir::Files).size());

    mail::Message message;
    message.SetWorkFolder(path(QStringLiteral("work")));
    ASSERT_EQ(mail::MessageOk, message.ImportMessageFile(file, mail::BodyPartHtml, 2, 0));
    const QString imported = path(QStringLiteral("imported"));
    syncCalls = 0;
    const QString copy = CopyBodyFolderInto(message.GetHtmlBodyPath(), imported);
    EXPECT_EQ(imported + QStringLiteral("/Body1"), copy);
    EXPECT_EQ(1, syncCalls.load()) << "calls that wait for the disk";
    EXPECT_EQ(2001, QDir(copy).entryList(QDir::Files).size());
    EXPECT_EQ(QByteArray("p1999"), testenv::ReadFile(copy + QStringLiteral("/pic (2000).png")));

    flushFails = true;
    EXPECT_EQ(QString(), CopyBodyFolderInto(message.GetHtmlBodyPath(), imported));
    request.bodyFolder = path(QStringLiteral("body-again"));
    EXPECT_EQ(QStringList({request.bodyFolder}), RunExtract(request).notWritten);
    flushFails = false;
}

// A large text body costs less than three times the file to extract into Body.txt.
TEST_F(HostileMessageFiles, ExtractOfALargeTextBodyCostsLessThanThreeTimesItsSize) {
    const QByteArray bytes = toolstest::LargeTextMessage();
    ExtractRequest request;
    request.messageFile = testenv::WriteFile(path(QStringLiteral("big.eml")), bytes);
    request.bodyFolder = path(QStringLiteral("body"));
    const qint64 growth = Measured([&] { EXPECT_EQ(QStringList(), RunExtract(request).notWritten); });
    EXPECT_EQ(toolstest::LargeTextLines() + "\r\n",
              testenv::ReadFile(request.bodyFolder + QStringLiteral("/Body.txt")));
    if (!kSanitized) {
        EXPECT_LT(growth, 3 * bytes.size()) << "bytes of memory to extract " << bytes.size();
    }
}

} // namespace
