#pragma once
// The small dialogs of the HTML editing control (font, hyperlink, picture, find). Each dialog only collects
// values; the editor applies them. Tests answer the dialogs through the hook instead of a screen.
#include <QString>
#include <functional>

class QWidget;

enum class EditorDialogKind { Font, Hyperlink, Picture, Find };

struct EditorDialogValues {
    // Font: face name, HTML size 1 to 7 (0 keeps the size), colour "#rrggbb" (empty keeps the colour).
    QString fontFace;
    int fontSize = 0;
    QString fontColor;
    // Hyperlink: the address.
    QString url;
    // Picture: the image file and its alternative text.
    QString picturePath;
    QString altText;
    // Find: the text looked for.
    QString findText;
    bool matchCase = false;
};

// Finds the next occurrence of the text from the selection on (wrapping round); true when found.
using FindNextFunction = std::function<bool(const QString& text, bool matchCase)>;

// Shows the dialog of this kind with the values as its initial contents; true when the user confirmed,
// with the values updated. The find dialog runs its searches through findNext while it is open.
bool AskEditorDialog(QWidget* parent, EditorDialogKind kind, EditorDialogValues& values,
                     const FindNextFunction& findNext = FindNextFunction());

// While set, the hook answers in place of the dialogs: it receives the initial values, fills in the user's
// answer and returns whether the dialog was confirmed. A confirmed find runs one search.
using EditorDialogHook = std::function<bool(EditorDialogKind kind, EditorDialogValues& values)>;
void SetEditorDialogHook(EditorDialogHook hook);
