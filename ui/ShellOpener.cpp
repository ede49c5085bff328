#include "ui/ShellOpener.h"

#include "ui/MessageBoxes.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

FileOpener& fileReplacement() {
    static FileOpener opener;
    return opener;
}

WebPageOpener& webReplacement() {
    static WebPageOpener opener;
    return opener;
}

} // namespace

bool OpenWithAssociatedProgram(const QString& path) {
    if (fileReplacement())
        return fileReplacement()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void OpenOrShowWhere(QWidget* parent, const QString& path, const QString& what) {
    if (!OpenWithAssociatedProgram(path))
        ShowMessage(parent,
                    QStringLiteral("The %1 could not be opened. It is stored in the file:\n").arg(what) +
                        path,
                    QMessageBox::Warning);
}

bool OpenWebPage(const QString& url) {
    if (webReplacement())
        return webReplacement()(url);
    return QDesktopServices::openUrl(QUrl(url, QUrl::StrictMode));
}

void SetFileOpenerForTesting(FileOpener opener) {
    fileReplacement() = std::move(opener);
}

void SetWebPageOpenerForTesting(WebPageOpener opener) {
    webReplacement() = std::move(opener);
}
