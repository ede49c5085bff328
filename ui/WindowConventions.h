#pragma once
#include <QColor>
#include <QString>

class QWidget;
class QLineEdit;

// The look every window of the program shares.
inline const QColor WindowBackground{194, 217, 247};
void ApplyAppearance(QWidget* window);

// F1, with any of Shift, Ctrl or Alt held, opens the window's help topic page ("Welcome.htm", ...).
void InstallHelpKey(QWidget* window, const QString& topicPage);

// Suppresses the context menu of a box (right click and the menu key alike); typing, selecting and the
// box's own shortcuts keep working. Unhook gives the box its menu back.
void HookRightClick(QWidget* box);
void UnhookRightClick(QWidget* box);

// Keeps the main window from being made smaller than the minimum for the running system.
void HookMinWinSize(QWidget* mainWindow);

// Typed keys other than the digits 0-9 and Backspace are refused (editing and moving keys still work).
void MakeDigitsOnly(QLineEdit* box);

// Two arrow buttons (object names name + "Up" and name + "Down", in a widget named name + "UpDown")
// that step the whole number in box by one within 0 to maximum, repeating while held; they leave a
// switched-off box alone. spokenName + " up" / " down" is what a screen reader says for them.
QWidget* MakeStepArrows(QLineEdit* box, int maximum, const QString& name, const QString& spokenName,
                        QWidget* parent);

// The common set-up of a dialog: appearance, help key, and its caption.
void SetUpDialog(QWidget* dialog, const QString& caption, const QString& topicPage);
