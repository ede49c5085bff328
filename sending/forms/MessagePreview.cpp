#include "sending/forms/MessagePreview.h"

#include "core/TextUtil.h"
#include "editor/HtmlEditor.h"
#include "sending/SendCheckRules.h"
#include "sending/forms/ComposerInput.h"
#include "ui/Composer.h"
#include "ui/MessageBoxes.h"
#include "ui/ShellOpener.h"

void ShowMessagePreview(QWidget* parent, Composer& composer) {
    composer.SetSubject(TrimBlanks(composer.Subject()));
    HtmlEditor* editor = composer.Editor();
    if (composer.Format() == MessageFormat::Html && editor) {
        const QStringList pictures = PicturesThatCannotBeRead(editor->PictureFiles());
        if (!pictures.isEmpty())
            ShowMessage(parent, UnreadablePicturesWarning(pictures), QMessageBox::Warning);
    }
    QString error;
    const QString path = SavePreview(SendRunInputFrom(composer), &error);
    if (path.isEmpty())
        ShowMessage(parent, error, QMessageBox::Warning);
    else
        OpenOrShowWhere(parent, path, QStringLiteral("preview"));
}
