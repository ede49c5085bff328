#include "editor/SaveChanges.h"

#include "core/Paths.h"
#include "editor/HtmlEditor.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/OutputFiles.h"

#include <QDir>

namespace {

bool IsInside(const QString& path, const QString& folder) {
    return QDir::cleanPath(path).startsWith(QDir::cleanPath(folder) + QLatin1Char('/'));
}

} // namespace

bool IsUntitledDocumentPath(const QString& path) {
    if (path.isEmpty())
        return true;
    if (QDir::cleanPath(path) == QDir::cleanPath(TempFolder() + QStringLiteral("Preview.htm")))
        return true;
    return !DataPath().isEmpty() && IsInside(path, DataPath() + QStringLiteral("ImportBody"));
}

SaveOutcome SaveDocumentTo(QWidget* parent, HtmlEditor* editor, const QString& path) {
    // The new file replaces the old one by a rename, which a read-only file does not stop: without
    // this test the user's protection would be overwritten and dropped without a word.
    if (!IsLockedFile(path) && editor->SaveDocument(path))
        return SaveOutcome::Saved;
    // Going on as if saved would let the close or the next document throw the changes away.
    ShowMessage(parent,
                QStringLiteral("The document could not be saved to '") + QDir::toNativeSeparators(path) +
                    QStringLiteral("'."),
                QMessageBox::Warning);
    return SaveOutcome::Failed;
}

SaveOutcome SaveDocumentAs(QWidget* parent, HtmlEditor* editor) {
    const QString path = GetSaveFileName(parent, QStringLiteral("Save"),
                                         QStringLiteral("HTML Files (*.html *.htm);;All Files (*)"));
    if (path.isEmpty())
        return SaveOutcome::NotSaved;
    if (!ConfirmUnlockedOutput(parent, path))
        return SaveOutcome::NotSaved;
    return SaveDocumentTo(parent, editor, path);
}

bool PromptSaveChanges(QWidget* parent, HtmlEditor* editor) {
    if (!editor->IsDirty())
        return true;
    const auto answer =
        ShowMessage(parent, QStringLiteral("Do you want to save the changes?"), QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::No)
        return true;
    if (answer != QMessageBox::Yes)
        return false;
    const QString current = editor->CurrentDocumentPath();
    const SaveOutcome outcome = IsUntitledDocumentPath(current) ? SaveDocumentAs(parent, editor)
                                                                : SaveDocumentTo(parent, editor, current);
    return outcome == SaveOutcome::Saved;
}
