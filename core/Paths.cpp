#include "core/Paths.h"

#include "core/PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString& programFolderOverride() {
    static QString folder;
    return folder;
}

QString& dataPath() {
    static QString path;
    return path;
}

// A folder we own, that is a real folder (not a link) and that only we can enter.
bool isPrivateFolder(QString path) {
    // "dir/" would make lstat follow a link named dir.
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    struct stat st {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

} // namespace

QString ProgramFolder() {
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    // Installed, the executable sits in <prefix>/bin and what it ships in <prefix>/share/velanto; run from
    // the build tree, everything lies beside the executable.
    const QString bin = QCoreApplication::applicationDirPath();
    const QString installed =
        QDir::cleanPath(bin + QStringLiteral("/../") + QLatin1String(kInstalledDataFolder));
    return withSlash(QFileInfo(installed).isDir() ? installed : bin);
}

void SetProgramFolderForTesting(const QString& folder) {
    programFolderOverride() = withSlash(folder);
}

QString DataPath() {
    return dataPath();
}

void SetDataPath(const QString& folder) {
    dataPath() = withSlash(folder);
}

QString ResolveDataPath(const QString& appDataFolder, const QString& programFolder, QString* wrongFolder,
                        QStringList* tried) {
    // The folders hold the recipient database and the history: private to the user from the start, and
    // never one someone else made or pointed elsewhere with a link.
    const auto refuse = [wrongFolder](QString folder) {
        folder.chop(1);
        if (wrongFolder)
            *wrongFolder = folder;
        return QString();
    };
    QStringList triedFolders;
    if (!appDataFolder.isEmpty()) {
        const QString torvale = withSlash(appDataFolder) + QStringLiteral("Torvale/");
        const QString path = torvale + QStringLiteral("Velanto Ostrel/");
        triedFolders << path.chopped(1);
        for (const QString& folder : {torvale, path}) {
            const FolderState state = MakePrivateFolder(folder);
            if (state == FolderState::NotOurs)
                return refuse(folder);
            if (state != FolderState::Ready)
                break;
            if (folder == path)
                return path;
        }
    }
    // No application-data folder, or one in which ours cannot be made: the program folder's own.
    const QString fallback = withSlash(programFolder) + QStringLiteral("Application Data/");
    const FolderState state = MakePrivateFolder(fallback);
    if (state == FolderState::NotOurs)
        return refuse(fallback);
    if (state == FolderState::CantMake) {
        // A path returned here would only let the windows open on a database that is not there.
        if (tried)
            *tried = triedFolders << fallback.chopped(1);
        return QString();
    }
    return fallback;
}

QString TempFolder() {
    static QString folder;
    static std::unique_ptr<QTemporaryDir> fallback;
    // Checked again on every use: the folder may have been removed, or replaced by a link.
    if (!folder.isEmpty() && isPrivateFolder(folder))
        return folder;
    const QString wanted = QDir::tempPath() + QStringLiteral("/velanto-") + QString::number(getuid());
    ::mkdir(QFile::encodeName(wanted).constData(), 0700);
    if (isPrivateFolder(wanted)) {
        folder = withSlash(wanted);
    } else {
        // Someone else's folder, or a link planted in our way: never write there.
        fallback = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/velanto-XXXXXX"));
        folder = withSlash(fallback->path());
    }
    return folder;
}

QString UserDatabasePath() {
    return DataPath() + QStringLiteral("Group.mdb");
}
