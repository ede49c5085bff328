#include "ui/ShellOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
FileOpener& replacement() {
    static FileOpener opener;
    return opener;
}
} // namespace

bool OpenWithAssociatedProgram(const QString& path) {
    if (replacement())
        return replacement()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void SetFileOpenerForTesting(FileOpener opener) {
    replacement() = std::move(opener);
}
