// Files read whole are regular files, whatever is swapped in under their name; private folders are 0700.
#include "core/PrivateFiles.h"
#include "core/RegularFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A pipe and a document change names as fast as they can while the document is opened again and again:
// some opens find the pipe after the name looked like the document. Each is refused, none blocks.
TEST(RegularFile, APipeSwappedInAfterTheNameCheckIsRefusedWithoutBlocking) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray doc = QFile::encodeName(dir.path() + QStringLiteral("/doc.txt"));
    const QByteArray other = QFile::encodeName(dir.path() + QStringLiteral("/other"));
    QFile file(QString::fromUtf8(doc));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("text") == 4);
    file.close();
    ASSERT_EQ(::mkfifo(other.constData(), 0600), 0);
    std::atomic<int> progress = 0, blocked = 0;
    std::atomic<bool> done = false;
    std::thread swapper([&] {
        int seen = -1;
        auto since = std::chrono::steady_clock::now();
        while (!done) {
            ::renameat2(AT_FDCWD, doc.constData(), AT_FDCWD, other.constData(), RENAME_EXCHANGE);
            const auto now = std::chrono::steady_clock::now();
            if (progress != seen) {
                seen = progress;
                since = now;
            } else if (now - since > std::chrono::seconds(2)) {
                // The reader is stuck: a writer's open of the pipe succeeds only while it waits in an open.
                for (const QByteArray& name : {doc, other}) {
                    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                    struct stat st {};
                    blocked += fd >= 0 && ::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
                    if (fd >= 0)
                        ::close(fd);
                }
                since = now;
            }
        }
    });
    int regular = 0, refused = 0, other_kind = 0;
    for (; progress < 20000; ++progress) {
        qint64 size = -1;
        const int fd = OpenRegularFile(QString::fromUtf8(doc), &size);
        struct stat st {};
        if (fd < 0)
            ++refused;
        else if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && size == 4)
            ++regular;
        else
            ++other_kind;
        if (fd >= 0)
            ::close(fd);
    }
    done = true;
    swapper.join();
    EXPECT_EQ(other_kind, 0);
    EXPECT_EQ(blocked, 0);
    EXPECT_GT(regular, 0);
    EXPECT_GT(refused, 0);
}

TEST(PrivateFolder, IsMadeOrMade0700AndNeverThroughALink) {
    struct Case {
        const char* what;
        int mode; // of the folder there before, or kNone, kLink (to a folder 0755), kFile
        FolderState state;
    };
    enum { kNone = -1, kLink = -2, kFile = -3 };
    const Case cases[] = {
        {"new", kNone, FolderState::Ready},      {"0755", 0755, FolderState::Ready},
        {"0777", 0777, FolderState::Ready},      {"0711", 0711, FolderState::Ready},
        {"a link", kLink, FolderState::NotOurs}, {"a file", kFile, FolderState::CantMake},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray target = QFile::encodeName(dir.path() + QStringLiteral("/target"));
    ASSERT_EQ(::mkdir(target.constData(), 0755), 0);
    ASSERT_EQ(::chmod(target.constData(), 0755), 0);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = dir.path() + QStringLiteral("/private%1").arg(++n);
        const QByteArray name = QFile::encodeName(folder);
        const bool made =
            c.mode >= 0
                ? ::mkdir(name.constData(), 0700) == 0 && ::chmod(name.constData(), mode_t(c.mode)) == 0
            : c.mode == kLink ? ::symlink(target.constData(), name.constData()) == 0
            : c.mode == kFile ? ::close(::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)) == 0
                              : true;
        ASSERT_TRUE(made);
        EXPECT_EQ(MakePrivateFolder(folder), c.state);
        struct stat st {};
        ASSERT_EQ(::lstat(name.constData(), &st), 0);
        if (c.state == FolderState::Ready) {
            EXPECT_EQ(st.st_mode & 07777, 0700u);
        }
        ASSERT_EQ(::stat(target.constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0755u) << "the folder a link leads to was changed";
    }
}

} // namespace
