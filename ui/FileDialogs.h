#pragma once
#include <QString>
#include <functional>

class QWidget;

// The open, save and folder dialogs of the program. Tests answer them through the hook; an empty
// answer means the user cancelled.
enum class FileDialogKind { Open, Save, Folder };

struct FileDialogRequest {
    FileDialogKind kind;
    QString title;
    QString filter; // Qt filter text, e.g. "HTML Files (*.html *.htm);;All Files (*)"
    QString suggestedPath;
};

QString GetOpenFileName(QWidget* parent, const QString& title, const QString& filter,
                        const QString& suggestedPath = QString());
QString GetSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                        const QString& suggestedPath = QString());
QString GetExistingFolder(QWidget* parent, const QString& title, const QString& suggestedPath = QString());

using FileDialogHook = std::function<QString(const FileDialogRequest&)>;
void SetFileDialogHook(FileDialogHook hook);
