#include "core/FileWriting.h"

#include "core/PrivateFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool IsLockedFile(const QString& path) {
    const QFileInfo info(path);
    // The owner's write bit plays the part of the read-only attribute, so even root sees a locked file.
    return info.exists() && (!(info.permissions() & QFile::WriteOwner) || !info.isWritable());
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, bool privateFile) {
    return WriteFileAtomically(path, {QByteArrayView(bytes)}, privateFile);
}

bool WriteFileAtomically(const QString& path, std::initializer_list<QByteArrayView> pieces,
                         bool privateFile) {
    if (privateFile)
        return ReplaceWithPrivateFile(path, pieces);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (QByteArrayView piece : pieces) {
        if (file.write(piece.data(), piece.size()) != piece.size()) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}
