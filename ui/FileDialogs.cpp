#include "ui/FileDialogs.h"

#include "ui/FieldLabels.h"

#include <QComboBox>
#include <QFileDialog>

namespace {
FileDialogHook& hook() {
    static FileDialogHook h;
    return h;
}

// Qt's own file dialog (where the desktop offers none) leaves its two lists without a name a screen
// reader can say: their labels are not tied to them.
void NameDialogLists(QFileDialog& dialog) {
    if (auto* lookIn = dialog.findChild<QComboBox*>(QStringLiteral("lookInCombo")))
        NameControl(lookIn, QStringLiteral("Look in"));
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        NameControl(types, QStringLiteral("Files of type"));
}

// The files chosen; empty when cancelled.
QStringList askDialog(QWidget* parent, const FileDialogRequest& r) {
    QFileDialog dialog(parent, r.title, r.suggestedPath, r.filter);
    switch (r.kind) {
    case FileDialogKind::Open:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileDialogKind::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case FileDialogKind::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    case FileDialogKind::OpenFiles:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        break;
    }
    NameDialogLists(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString ask(QWidget* parent, const FileDialogRequest& r) {
    if (hook())
        return hook()(r);
    return askDialog(parent, r).value(0);
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
    return askDialog(parent, {FileDialogKind::OpenFiles, title, filter, QString()});
}
