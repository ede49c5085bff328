#include "tools/MessageFiles.h"

#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/Message.h"
#include "mail/MimeSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <optional>
#include <unistd.h>

QString MessageFileErrorText(mail::MessageFileResult result) {
    switch (result) {
    case mail::MessageOk:
        return QString();
    case mail::MessageOutOfMemory:
        return QStringLiteral("Error 14: Out of memory.");
    case mail::MessageException:
        return QStringLiteral("Error 206: Exception.");
    case mail::MessageBinhexError:
        return QStringLiteral("Error 257: There was an error decoding a BINHEX message.");
    case mail::MessageFileIoError:
        return QStringLiteral("Error 258: File IO error.");
    case mail::MessageNoBoundary:
        return QStringLiteral("Error 259: Could not find boundry mark.");
    case mail::MessageUnknownEncoding:
        return QStringLiteral("Error 275: Encoding method unknown.");
    case mail::MessageBinhexCrcError:
        return QStringLiteral("Error 1002: BINHEX CRC error.");
    }
    return QString(); // a result the component added later
}

QString MessageFileFailureText(mail::MessageFileResult result) {
    const QString text = MessageFileErrorText(result);
    if (result != mail::MessageOk && text.isEmpty())
        return MessageFileErrorText(mail::MessageException);
    return text;
}

qint32 MessageImportFlags(bool withWorkFolder) {
    const bool extended = GetSetting(Setting::AccountExtended) == QLatin1String("1");
    return (withWorkFolder ? 2 : 0) + (extended ? 8 : 0);
}

qint32 BodyPartFromChoice(bool html, bool rtf, bool xml) {
    return html ? mail::BodyPartHtml : rtf ? mail::BodyPartRtf : xml ? mail::BodyPartXml : mail::BodyPartText;
}

QString WorkFolderName(const QDateTime& when) {
    return when.toString(QStringLiteral("MM-dd-yyyy_HH-mm-ss"));
}

QString MakeWorkFolder(const QDateTime& when) {
    const QString temp = TempFolder();
    const QString name = WorkFolderName(when);
    static const QRegularExpression earlier(QStringLiteral("^\\d\\d-\\d\\d-\\d{4}_\\d\\d-\\d\\d-\\d\\d$"));
    const QFileInfoList entries = QDir(temp).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName() != name && earlier.match(entry.fileName()).hasMatch() && !entry.isSymLink())
            QDir(entry.absoluteFilePath()).removeRecursively();
    }
    QDir dir(temp);
    if (!dir.exists(name) && !dir.mkdir(name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return QString();
    const QFileInfo made(temp + name);
    if (!made.isDir() || made.isSymLink())
        return QString();
    return temp + name;
}

FolderNames::FolderNames(const QString& folder) : folder_(folder) {
    // broken links and special files included: a name they have is taken
    const QStringList present =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : present)
        names_.Take(name);
}

QString FolderNames::Claim(const QString& partName, const QString& fallback) {
    return names_.Claim(mail::SafePartName(partName, fallback));
}

QString FreeFileNameIn(const QString& folder, const QString& partName, const QString& fallback) {
    return FolderNames(folder).Claim(partName, fallback);
}

bool IsDirectlyInside(const QString& folder, const QString& path) {
    const QString root = QFileInfo(folder).canonicalFilePath();
    const QFileInfo info(path);
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    return !root.isEmpty() && parent == root && info.fileName() != QLatin1String("..") &&
           info.fileName() != QLatin1String(".");
}

bool MakeFolderPath(const QString& folder) {
    QString path = QDir::cleanPath(QDir().absoluteFilePath(folder));
    QStringList missing;
    while (!QFileInfo(path).isDir()) {
        missing.prepend(path);
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        path.truncate(slash);
    }
    for (const QString& made : missing) {
        if (!QDir().mkdir(made, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
            !QFileInfo(made).isDir())
            return false;
    }
    return true;
}

QString SavePartInto(FolderNames& names, const mail::BodyPart& part, int index) {
    const QString& folder = names.Folder();
    if (!MakeFolderPath(folder))
        return QString();
    const QString fallback =
        QStringLiteral("part%1%2").arg(index + 1).arg(mail::ExtensionForType(part.PartContentType()));
    for (const QString& wanted : {part.PartFileName(), fallback}) {
        // A name someone else took meanwhile is passed over for the next one.
        for (int attempt = 0; attempt < 3; ++attempt) {
            const QString path = QDir(folder).filePath(names.Claim(wanted, fallback));
            if (!IsDirectlyInside(folder, path))
                break;
            if (part.SaveToNewFile(path))
                return path;
            const QFileInfo there(path);
            if (!there.exists() && !there.isSymLink())
                break; // refused for another reason: the fallback name may do
        }
    }
    return QString();
}

namespace {

// Copies one file into a new file, in blocks (a large picture is never held whole), without the flush
// to disk QFile::copy makes for each file. An incomplete copy is removed.
bool CopyIntoNewFile(const QString& source, const QString& target) {
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) ||
        !out.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        ok = in.error() == QFileDevice::NoError && out.write(block) == block.size();
    }
    out.close();
    if (ok && out.error() == QFileDevice::NoError)
        return true;
    out.remove();
    return false;
}

} // namespace

bool CopyFolderContents(const QString& source, const QString& destination, bool overwrite) {
    const QDir from(source);
    if (!from.exists() || !MakeFolderPath(destination))
        return false;
    bool ok = true;
    std::optional<FolderNames> names;
    if (!overwrite)
        names.emplace(destination);
    const QFileInfoList entries =
        from.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink())
            continue;
        const QString name = names ? names->Claim(entry.fileName(), entry.fileName()) : entry.fileName();
        const QString target = QDir(destination).filePath(name);
        if (entry.isDir()) {
            ok = CopyFolderContents(entry.absoluteFilePath(), target, overwrite) && ok;
            continue;
        }
        const QFileInfo existing(target);
        if (existing.isSymLink() || existing.isDir()) {
            ok = false; // never write through a link or over a folder
            continue;
        }
        if (existing.exists())
            QFile::remove(target);
        ok = CopyIntoNewFile(entry.absoluteFilePath(), target) && ok;
    }
    return ok;
}

QString CopyBodyFolderInto(const QString& bodyFolder, const QString& destination) {
    if (!MakeFolderPath(destination))
        return QString();
    const QString name = QFileInfo(bodyFolder).fileName();
    QString target = QDir(destination).filePath(name);
    const QFileInfo there(target);
    if ((there.exists() || there.isSymLink()) && (!there.isDir() || there.isSymLink()))
        target = QDir(destination).filePath(FreeFileNameIn(destination, name, name));
    return CopyFolderContents(bodyFolder, target) && SyncFileSystemOf(target) ? target : QString();
}

bool SyncFileSystemOf(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

QString NotWrittenText(const QStringList& paths) {
    return QStringLiteral("These could not be written:") + QLatin1Char('\n') + paths.join(QLatin1Char('\n'));
}
