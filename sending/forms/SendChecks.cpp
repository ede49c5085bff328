#include "sending/forms/SendChecks.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/TextUtil.h"
#include "editor/HtmlEditor.h"
#include "recipients/GroupCount.h"
#include "ui/Composer.h"
#include "ui/MessageBoxes.h"

#include <QWidget>

namespace {
using Field = Composer::Field;

// The warning, then the focus where the user acts on it.
void Warn(QWidget* parent, Composer& composer, Field focus, const QString& text) {
    ShowMessage(parent, text, QMessageBox::Warning);
    composer.FocusField(focus);
}

bool Ask(QWidget* parent, Composer& composer, Field focusOnNo, const QString& text) {
    if (AskYesNo(parent, text))
        return true;
    composer.FocusField(focusOnNo);
    return false;
}
} // namespace

bool RunSendChecks(QWidget* parent, Composer& composer) {
    const QString subject = TrimBlanks(composer.Subject());
    composer.SetSubject(subject);
    if (!AccountIsComplete()) {
        Warn(parent, composer, Field::AccountButton,
             QStringLiteral("Please fill out the Mail Account section in Email Manager."));
        return false;
    }
    if (composer.GroupCount() == 0) {
        Warn(parent, composer, Field::GroupButton,
             QStringLiteral("Please create at least one group of recipients."));
        return false;
    }
    const QString group = composer.Group();
    if (group.isEmpty()) {
        Warn(parent, composer, Field::GroupButton, QStringLiteral("Please specify a group in the To field."));
        return false;
    }
    if (CountGroupRecipients(group) == 0) {
        Warn(parent, composer, Field::GroupButton,
             QStringLiteral("The selected group does not contain any recipients."));
        return false;
    }
    if (subject.isEmpty() &&
        !Ask(parent, composer, Field::Subject,
             QStringLiteral("This message has no subject. Are you sure you want to send it?")))
        return false;
    if (IsReplyOrForwardSubject(subject) &&
        !Ask(parent, composer, Field::Subject,
             QStringLiteral("Never employ spam tactics like using RE: or FW: in the subject line.\r\n"
                            "You should be sure that you know what you are doing.\r\n"
                            "Are you sure you want to continue?")))
        return false;
    HtmlEditor* editor = composer.Editor();
    const QString body = editor ? editor->DOM().bodyOuterText() : QString();
    if (IsEmptyBodyText(body) &&
        !AskYesNo(parent, QStringLiteral("Are you sure you want to send an empty message?"))) {
        if (editor)
            editor->setFocus();
        return false;
    }
    // A picture that cannot be read would be left out of every message; No is the default answer.
    const QStringList pictures = composer.Format() == MessageFormat::Html && editor
                                     ? PicturesThatCannotBeRead(editor->PictureFiles())
                                     : QStringList();
    if (!pictures.isEmpty() &&
        ShowMessage(parent, UnreadablePicturesQuestion(pictures), QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        if (editor)
            editor->setFocus();
        return false;
    }
    return true;
}
