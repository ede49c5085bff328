#pragma once
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Every message box of the program: modal, titled "Velanto".
inline constexpr const char* ApplicationTitle = "Velanto";

struct MessageBoxRequest {
    QMessageBox::Icon icon;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A warning about an entry: the box, then the focus goes back to the field (on its tab page).
void WarnAndFocus(QWidget* field, const QString& text);

// A Yes/No question; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);

// Tests answer message boxes through this hook instead of a screen; it returns the button "pressed".
using MessageBoxHook = std::function<QMessageBox::StandardButton(const MessageBoxRequest&)>;
void SetMessageBoxHook(MessageBoxHook hook);
