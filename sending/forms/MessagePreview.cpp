#include "sending/forms/MessagePreview.h"

#include "core/TextUtil.h"
#include "sending/forms/ComposerInput.h"
#include "ui/Composer.h"
#include "ui/MessageBoxes.h"
#include "ui/ShellOpener.h"

void ShowMessagePreview(QWidget* parent, Composer& composer) {
    composer.SetSubject(TrimBlanks(composer.Subject()));
    QString error;
    const QString path = SavePreview(SendRunInputFrom(composer), &error);
    if (path.isEmpty())
        ShowMessage(parent, error, QMessageBox::Warning);
    else
        OpenOrShowWhere(parent, path, QStringLiteral("preview"));
}
