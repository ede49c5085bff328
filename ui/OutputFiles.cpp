#include "ui/OutputFiles.h"

#include "ui/MessageBoxes.h"

#include <QFile>

bool ConfirmUnlockedOutput(QWidget* parent, const QString& path) {
    if (!IsLockedFile(path))
        return true;
    if (ShowMessage(parent, QStringLiteral("The output file is locked.\nWould you like to unlock it now?"),
                    QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    return QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
}
