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

// The common set-up of a dialog: appearance, help key, and its caption.
void SetUpDialog(QWidget* dialog, const QString& caption, const QString& topicPage);
