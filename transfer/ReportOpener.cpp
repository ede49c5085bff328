#include "transfer/ReportOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
FileOpener& opener() {
    static FileOpener o;
    return o;
}
} // namespace

bool OpenWithAssociatedProgram(const QString& path) {
    if (opener())
        return opener()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void SetFileOpenerForTesting(FileOpener o) {
    opener() = std::move(o);
}
