#include "ui/MessageBoxes.h"

#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

namespace {
MessageBoxHook& hook() {
    static MessageBoxHook h;
    return h;
}

// Brings the page that holds the field to the front in every tab widget above it.
void showPageOf(QWidget* field) {
    for (QWidget* w = field; w && w->parentWidget(); w = w->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        if (!stack)
            continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
            tabs->setCurrentWidget(w);
        else
            stack->setCurrentWidget(w);
    }
}
} // namespace

void SetMessageBoxHook(MessageBoxHook h) {
    hook() = std::move(h);
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
    if (hook())
        return hook()({icon, text, buttons, defaultButton});
    QMessageBox box(icon, QString::fromLatin1(ApplicationTitle), text, buttons, parent);
    // The texts carry what the user typed or chose (paths, names, addresses): never read as markup.
    box.setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void WarnAndFocus(QWidget* field, const QString& text) {
    ShowMessage(field ? field->window() : nullptr, text, QMessageBox::Warning);
    if (field) {
        showPageOf(field);
        field->setFocus(Qt::OtherFocusReason);
    }
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return ShowMessage(parent, text, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}
