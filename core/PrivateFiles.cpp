#include "core/PrivateFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A new file, 0600 whatever the umask; refused when the name exists (also as a link).
int createExclusive(const QString& path) {
    int fd;
    do
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

bool EnsurePrivateFile(const QString& path) {
    const int fd = createExclusive(path);
    if (fd >= 0)
        return ::close(fd) == 0;
    if (errno != EEXIST)
        return false;
    // Only a file that is not private yet is changed (one left behind by an older copy of the program).
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return (st.st_mode & 0777) == 0600 || ::chmod(QFile::encodeName(path).constData(), 0600) == 0;
}

bool CopyToNewPrivateFile(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const int fd = createExclusive(target);
    if (fd < 0)
        return false;
    bool ok = true;
    QByteArray block;
    while (ok && !in.atEnd()) {
        block = in.read(1 << 20);
        ok = in.error() == QFileDevice::NoError && writeAll(fd, block.constData(), block.size());
    }
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (!ok)
        QFile::remove(target);
    return ok;
}

FolderState MakePrivateFolder(const QString& folder) {
    QString path = folder;
    // "dir/" would make lstat follow a link named dir.
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QByteArray name = QFile::encodeName(path);
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash > 0)
        QDir().mkpath(path.left(slash));
    if (::mkdir(name.constData(), 0700) == 0)
        return ::chmod(name.constData(), 0700) == 0 ? FolderState::Ready : FolderState::CantMake;
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return FolderState::CantMake;
    if (S_ISLNK(st.st_mode) || (S_ISDIR(st.st_mode) && st.st_uid != ::getuid()))
        return FolderState::NotOurs;
    if (!S_ISDIR(st.st_mode))
        return FolderState::CantMake;
    return (st.st_mode & 0777) == 0700 || ::chmod(name.constData(), 0700) == 0 ? FolderState::Ready
                                                                               : FolderState::CantMake;
}

bool ReplaceWithPrivateFile(const QString& path, std::initializer_list<QByteArrayView> pieces) {
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC); // 0600, a name nobody has
    if (fd < 0)
        return false;
    bool ok = true;
    for (QByteArrayView piece : pieces)
        ok = ok && writeAll(fd, piece.data(), piece.size());
    ok = ok && ::fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}
