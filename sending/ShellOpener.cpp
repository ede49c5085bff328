#include "sending/ShellOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
class DesktopOpener final : public FileOpener {
public:
    bool openFile(const QString& path) override {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

FileOpener* g_opener = nullptr;
} // namespace

FileOpener& CurrentFileOpener() {
    static DesktopOpener desktop;
    return g_opener ? *g_opener : desktop;
}

void SetFileOpener(FileOpener* opener) {
    g_opener = opener;
}
