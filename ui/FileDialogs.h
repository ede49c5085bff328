#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The open, save and folder dialogs of the program. Tests answer them through the hook; an empty
// answer means the user cancelled.
enum class FileDialogKind { Open, Save, Folder, OpenFiles };

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
// An open dialog in which several files can be chosen; empty when cancelled. A test's answer names the
// files one per line.
QStringList GetOpenFileNames(QWidget* parent, const QString& title, const QString& filter);
QString GetExistingFolder(QWidget* parent, const QString& title, const QString& suggestedPath = QString());

using FileDialogHook = std::function<QString(const FileDialogRequest&)>;
void SetFileDialogHook(FileDialogHook hook);
