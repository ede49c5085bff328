#include "editor/DocumentFiles.h"

#include "core/Paths.h"
#include "core/RegularFile.h"
#include "ui/OutputFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

#include <unistd.h>

namespace {

bool IsInsideAny(const QString& path, const QStringList& folders) {
    const QString clean = QDir::cleanPath(path);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const QString& folder : folders) {
        for (const QString& form : {QDir::cleanPath(folder), QFileInfo(folder).canonicalFilePath()}) {
            if (form.isEmpty())
                continue;
            const QString prefix = form + QLatin1Char('/');
            if (clean.startsWith(prefix) || (!canonical.isEmpty() && canonical.startsWith(prefix)))
                return true;
        }
    }
    return false;
}

// A value without a scheme and without a leading "/" is read against the document's folder.
bool IsRelative(const QString& value) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return !value.startsWith(QLatin1Char('/')) && !value.startsWith(QLatin1Char('\\')) &&
           !scheme.match(value).hasMatch();
}

// The file a relative value names when the document lies in `folder`.
QString ResolveAgainst(const QString& folder, QString value) {
    const qsizetype query = value.indexOf(QLatin1Char('?'));
    const qsizetype fragment = value.indexOf(QLatin1Char('#'));
    qsizetype cut = query;
    if (fragment >= 0 && (cut < 0 || fragment < cut))
        cut = fragment;
    if (cut >= 0)
        value.truncate(cut);
    return QDir::cleanPath(folder + QLatin1Char('/') + QUrl::fromPercentEncoding(value.toUtf8()));
}

// Copied in blocks through a temporary file, so a picture of any size costs little memory and a failed
// copy leaves no half file behind.
bool CopyPicture(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char block[64 * 1024];
    for (;;) {
        const qint64 n = in.read(block, sizeof block);
        if (n == 0)
            break;
        if (n < 0 || out.write(block, n) != n) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

// The file names chosen for the pictures copied by one save: each source once, no two sources under
// one name, and never a name under which the document already refers to a file of its own.
class CopyNames {
public:
    CopyNames(QString folder, QSet<QString> referenced)
        : m_folder(std::move(folder)), m_referenced(std::move(referenced)) {}

    // The name of the copy of `source`, and whether it still has to be made.
    QString nameFor(const QString& source, bool* fresh) {
        const QString canonical = QFileInfo(source).canonicalFilePath();
        *fresh = !m_nameOf.contains(canonical);
        if (!*fresh)
            return m_nameOf.value(canonical);
        const QFileInfo info(source);
        const QString stem = info.completeBaseName();
        const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
        QString name = info.fileName();
        for (int n = 2; taken(name); ++n)
            name = stem + QLatin1Char('-') + QString::number(n) + suffix;
        m_used.insert(name);
        m_nameOf.insert(canonical, name);
        return name;
    }

private:
    bool taken(const QString& name) const {
        const QString path = m_folder + QLatin1Char('/') + name;
        return m_used.contains(name) || m_referenced.contains(QDir::cleanPath(path)) || IsLockedFile(path);
    }

    QString m_folder;
    QSet<QString> m_referenced;
    QSet<QString> m_used;
    QHash<QString, QString> m_nameOf;
};

} // namespace

bool ReadRegularFile(const QString& path, QByteArray* bytes) {
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

QStringList ProgramFolders() {
    QStringList folders{TempFolder()};
    if (!DataPath().isEmpty())
        folders << DataPath() + QStringLiteral("ImportBody");
    return folders;
}

RelocatedReferences RelocateReferences(const QMap<QString, QString>& references, const QString& target,
                                       const QStringList& programFolders) {
    RelocatedReferences result;
    const QFileInfo targetInfo(target);
    const QString folder = QDir::cleanPath(targetInfo.absolutePath());
    const QString filesName = targetInfo.completeBaseName() + QStringLiteral("_files");
    const QString filesFolder = folder + QLatin1Char('/') + filesName;
    const bool keepCopies = !IsInsideAny(targetInfo.absoluteFilePath(), programFolders);

    QSet<QString> referenced;
    for (const QString& path : references)
        if (!path.isEmpty())
            referenced.insert(QDir::cleanPath(path));
    CopyNames names(filesFolder, referenced);

    for (auto it = references.cbegin(); it != references.cend(); ++it) {
        const QString value = it.key().trimmed();
        const QString& path = it.value();
        if (value.isEmpty() || path.isEmpty())
            continue;
        if (keepCopies && IsInsideAny(path, programFolders) && QFileInfo(path).isFile()) {
            bool fresh = false;
            const QString name = names.nameFor(path, &fresh);
            if (fresh &&
                !(QDir().mkpath(filesFolder) && CopyPicture(path, filesFolder + QLatin1Char('/') + name))) {
                result.ok = false;
                continue;
            }
            result.values.insert(it.key(), QString::fromUtf8(QUrl::toPercentEncoding(filesName) + '/' +
                                                             QUrl::toPercentEncoding(name)));
        } else if (IsRelative(value) && ResolveAgainst(folder, value) != QDir::cleanPath(path)) {
            result.values.insert(it.key(), QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
        }
    }
    return result;
}

QMap<QString, QString> LocalReferences(const QVariantMap& resolved, const QString& documentScheme) {
    QMap<QString, QString> local;
    for (auto it = resolved.cbegin(); it != resolved.cend(); ++it) {
        const QUrl url(it.value().toString());
        QString path;
        if (url.isLocalFile())
            path = url.toLocalFile();
        else if (url.scheme() == documentScheme)
            path = url.path(QUrl::FullyDecoded);
        local.insert(it.key(), path);
    }
    return local;
}

QString ChangesAsJson(const QHash<QString, QString>& values) {
    QJsonObject object;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        object.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
