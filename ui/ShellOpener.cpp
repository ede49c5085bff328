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

bool OpenWebPage(const QString& address) {
    if (replacement())
        return replacement()(address);
    return QDesktopServices::openUrl(QUrl(address));
}

void SetFileOpenerForTesting(FileOpener opener) {
    replacement() = std::move(opener);
}
