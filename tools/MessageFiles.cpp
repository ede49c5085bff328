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

QString MessageFileErrorText(qint32 result) {
    switch (result) {
    case 14:
        return QStringLiteral("Error 14: Out of memory.");
    case 206:
        return QStringLiteral("Error 206: Exception.");
    case 257:
        return QStringLiteral("Error 257: There was an error decoding a BINHEX message.");
    case 258:
        return QStringLiteral("Error 258: File IO error.");
    case 259:
        return QStringLiteral("Error 259: Could not find boundry mark.");
    case 275:
        return QStringLiteral("Error 275: Encoding method unknown.");
    case 1002:
        return QStringLiteral("Error 1002: BINHEX CRC error.");
    default:
        return QString();
    }
}

qint32 MessageImportFlags(bool withWorkFolder) {
    const bool extended =
        GetSetting(Sections::Account, Keys::Extended, QStringLiteral("0")) == QLatin1String("1");
    return (withWorkFolder ? 2 : 0) + (extended ? 8 : 0);
}

qint32 BodyPartFromChoice(bool html, bool rtf, bool xml) {
    return html ? 1 : rtf ? 2 : xml ? 3 : 0;
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
    if (!dir.exists(name) && !dir.mkdir(name))
        return QString();
    const QFileInfo made(temp + name);
    if (!made.isDir() || made.isSymLink())
        return QString();
    return temp + name;
}

QString FreeFileNameIn(const QString& folder, const QString& partName, const QString& fallback) {
    const QString name = mail::SafePartName(partName, fallback);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    // "same (2).txt" counts on from "same", not to "same (2) (2).txt"
    static const QRegularExpression counted(QStringLiteral(" \\(\\d+\\)$"));
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(name)))
        stem.remove(counted);
    QString candidate = name;
    for (int n = 2;
         QFileInfo::exists(dir.filePath(candidate)) || QFileInfo(dir.filePath(candidate)).isSymLink(); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n) + ext;
        candidate = mail::CutToUtf8Bytes(stem, mail::kMaxPartNameBytes - suffix.toUtf8().size()) + suffix;
    }
    return candidate;
}

bool IsDirectlyInside(const QString& folder, const QString& path) {
    const QString root = QFileInfo(folder).canonicalFilePath();
    const QFileInfo info(path);
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    return !root.isEmpty() && parent == root && info.fileName() != QLatin1String("..") &&
           info.fileName() != QLatin1String(".");
}

QString SavePartInto(const QString& folder, const mail::BodyPart& part, int index) {
    if (!QDir().mkpath(folder))
        return QString();
    const QString fallback =
        QStringLiteral("part%1%2").arg(index + 1).arg(mail::ExtensionForType(part.PartContentType()));
    for (const QString& wanted : {part.PartFileName(), fallback}) {
        const QString path = QDir(folder).filePath(FreeFileNameIn(folder, wanted, fallback));
        if (!IsDirectlyInside(folder, path))
            continue;
        if (part.SavePartToFile(path, 1) == mail::MessageOk)
            return path;
    }
    return QString();
}

bool CopyFolderContents(const QString& source, const QString& destination, bool overwrite) {
    const QDir from(source);
    if (!from.exists() || !QDir().mkpath(destination))
        return false;
    bool ok = true;
    const QFileInfoList entries =
        from.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink())
            continue;
        const QString name =
            overwrite ? entry.fileName() : FreeFileNameIn(destination, entry.fileName(), entry.fileName());
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
        ok = QFile::copy(entry.absoluteFilePath(), target) && ok;
    }
    return ok;
}
