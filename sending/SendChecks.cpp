#include "sending/SendChecks.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/TextUtil.h"
#include "editor/HtmlEditor.h"
#include "recipients/GroupCount.h"
#include "ui/MainFormControls.h"
#include "ui/MessageBoxes.h"

#include <QLineEdit>

bool IsReplyOrForwardSubject(const QString& subject) {
    const QString three = subject.left(3).toUpper();
    const QString four = subject.left(4).toUpper();
    return three == QLatin1String("RE:") || three == QLatin1String("FW:") || four == QLatin1String("RE :") ||
           four == QLatin1String("FW :");
}

bool IsEmptyBodyText(const QString& text) {
    QString rest = text;
    rest.remove(QLatin1String("\r\n"));
    rest.remove(QLatin1Char(' '));
    return rest.isEmpty();
}

bool AccountIsComplete() {
    for (const char* key : {Keys::Name, Keys::Email, Keys::Server, Keys::Port}) {
        if (GetSetting(Sections::Account, key).isEmpty())
            return false;
    }
    return true;
}

namespace {
QWidget* MainWindowButton(const char* name) {
    QWidget* window = MainFormUi().Window;
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

bool RunSendChecks(QWidget* parent) {
    const MainFormControls& ui = MainFormUi();
    QString subject;
    if (ui.SubjectTextBox) {
        subject = TrimBlanks(ui.SubjectTextBox->text());
        ui.SubjectTextBox->setText(subject);
    }
    if (!AccountIsComplete()) {
        Warn(parent, MainWindowButton("EmailButton"),
             QStringLiteral("Please fill out the Mail Account section in Email Manager."));
        return false;
    }
    if (!ui.ToComboBox || ui.ToComboBox->count() == 0) {
        Warn(parent, MainWindowButton("GroupButton"),
             QStringLiteral("Please create at least one group of recipients."));
        return false;
    }
    const QString group = ui.ToComboBox->currentText();
    if (group.isEmpty()) {
        Warn(parent, MainWindowButton("GroupButton"),
             QStringLiteral("Please specify a group in the To field."));
        return false;
    }
    if (CountGroupRecipients(group) == 0) {
        Warn(parent, MainWindowButton("GroupButton"),
             QStringLiteral("The selected group does not contain any recipients."));
        return false;
    }
    if (subject.isEmpty() &&
        !Ask(parent, ui.SubjectTextBox,
             QStringLiteral("This message has no subject. Are you sure you want to send it?")))
        return false;
    if (IsReplyOrForwardSubject(subject) &&
        !Ask(parent, ui.SubjectTextBox,
             QStringLiteral("Never employ spam tactics like using RE: or FW: in the subject line.\r\n"
                            "You should be sure that you know what you are doing.\r\n"
                            "Are you sure you want to continue?")))
        return false;
    const QString body = ui.Editor ? ui.Editor->DOM().bodyOuterText() : QString();
    if (IsEmptyBodyText(body) &&
        !Ask(parent, ui.Editor, QStringLiteral("Are you sure you want to send an empty message?")))
        return false;
    return true;
}
