#pragma once
// The save-changes steps that come before the document is closed or replaced (the main window's
// close, New, Open, an e-mail template).
#include <QString>

class HtmlEditor;
class QWidget;

// A document counts as untitled (Save goes through the save dialog) when it has no file, or when its
// file is one of the program's own temporary copies: the preview's "Preview.htm" or a body imported
// into DataPath's "ImportBody" folder. Both are deleted when the program closes.
bool IsUntitledDocumentPath(const QString& path);

enum class SaveOutcome {
    Saved,
    NotSaved, // the user cancelled the save dialog or kept a locked file locked
    Failed,   // the file could not be written; the user has been told
};

// Asks "Do you want to save the changes?" for a modified document and saves on Yes (through the save
// dialog when the document is untitled). True to go on with the action, false to abandon it: Cancel,
// a cancelled save dialog, a locked file kept locked, or a save that failed.
bool PromptSaveChanges(QWidget* parent, HtmlEditor* editor);

// The save dialog, the locked-file question and the save itself.
SaveOutcome SaveDocumentAs(QWidget* parent, HtmlEditor* editor);

// Saves to the given file, telling the user when it cannot be written.
SaveOutcome SaveDocumentTo(QWidget* parent, HtmlEditor* editor, const QString& path);
