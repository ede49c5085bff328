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
// The main window's control of that name, where the user acts on a failed check.
QWidget* MainWindowControl(QWidget* window, const char* name) {
    return window ? window->findChild<QWidget*>(QString::fromLatin1(name)) : nullptr;
}

void Warn(QWidget* parent, QWidget* focus, const QString& text) {
    if (focus)
        WarnAndFocus(focus, text);
    else
        ShowMessage(parent, text, QMessageBox::Warning);
}

bool Ask(QWidget* parent, QWidget* focusOnNo, const QString& text) {
    if (AskYesNo(parent, text))
        return true;
    if (focusOnNo)
        focusOnNo->setFocus();
    return false;
}
} // namespace

bool RunSendChecks(QWidget* parent, Composer& composer) {
    const QString subject = TrimBlanks(composer.Subject());
    composer.SetSubject(subject);
    if (!AccountIsComplete()) {
        Warn(parent, MainWindowControl(parent, "EmailButton"),
             QStringLiteral("Please fill out the Mail Account section in Email Manager."));
        return false;
    }
    QWidget* groupButton = MainWindowControl(parent, "GroupButton");
    if (composer.GroupCount() == 0) {
        Warn(parent, groupButton, QStringLiteral("Please create at least one group of recipients."));
        return false;
    }
    const QString group = composer.Group();
    if (group.isEmpty()) {
        Warn(parent, groupButton, QStringLiteral("Please specify a group in the To field."));
        return false;
    }
    if (CountGroupRecipients(group) == 0) {
        Warn(parent, groupButton, QStringLiteral("The selected group does not contain any recipients."));
        return false;
    }
    QWidget* subjectBox = MainWindowControl(parent, "SubjectTextBox");
    if (subject.isEmpty() &&
        !Ask(parent, subjectBox,
             QStringLiteral("This message has no subject. Are you sure you want to send it?")))
        return false;
    if (IsReplyOrForwardSubject(subject) &&
        !Ask(parent, subjectBox,
             QStringLiteral("Never employ spam tactics like using RE: or FW: in the subject line.\r\n"
                            "You should be sure that you know what you are doing.\r\n"
                            "Are you sure you want to continue?")))
        return false;
    HtmlEditor* editor = composer.Editor();
    const QString body = editor ? editor->DOM().bodyOuterText() : QString();
    if (IsEmptyBodyText(body) &&
        !Ask(parent, editor, QStringLiteral("Are you sure you want to send an empty message?")))
        return false;
    // A picture that cannot be read would be left out of every message; No is the default answer.
    const QStringList pictures = composer.Format() == QLatin1String("HTML") && editor
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
