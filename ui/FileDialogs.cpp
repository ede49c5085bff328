#include "ui/FileDialogs.h"

#include <QFileDialog>

namespace {
FileDialogHook& hook() {
    static FileDialogHook h;
    return h;
}

QString ask(QWidget* parent, const FileDialogRequest& r) {
    if (hook())
        return hook()(r);
    switch (r.kind) {
    case FileDialogKind::Open:
        return QFileDialog::getOpenFileName(parent, r.title, r.suggestedPath, r.filter);
    case FileDialogKind::Save:
        return QFileDialog::getSaveFileName(parent, r.title, r.suggestedPath, r.filter);
    case FileDialogKind::Folder:
        return QFileDialog::getExistingDirectory(parent, r.title, r.suggestedPath);
    case FileDialogKind::OpenFiles:
        break; // GetOpenFileNames asks the dialog itself
    }
    return QString();
}
} // namespace

void SetFileDialogHook(FileDialogHook h) {
    hook() = std::move(h);
}

QString GetOpenFileName(QWidget* parent, const QString& title, const QString& filter, const QString& path) {
    return ask(parent, {FileDialogKind::Open, title, filter, path});
}

QString GetSaveFileName(QWidget* parent, const QString& title, const QString& filter, const QString& path) {
    return ask(parent, {FileDialogKind::Save, title, filter, path});
}

QString GetExistingFolder(QWidget* parent, const QString& title, const QString& path) {
    return ask(parent, {FileDialogKind::Folder, title, QString(), path});
}

QStringList GetOpenFileNames(QWidget* parent, const QString& title, const QString& filter) {
    if (hook())
        return hook()({FileDialogKind::OpenFiles, title, filter, QString()})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return QFileDialog::getOpenFileNames(parent, title, QString(), filter);
}
