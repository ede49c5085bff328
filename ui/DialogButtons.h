#pragma once
// The row a dialog ends with: its accepting button (OK, or the window's own verb such as "Print") and
// Cancel, both at the right of a row of their own, or OK at the left edge and Cancel at the right.
// The caller connects both buttons.
#include <QString>

class QDialog;
class QHBoxLayout;
class QPushButton;

struct DialogButtons {
    QPushButton* ok;
    QPushButton* cancel;
    QHBoxLayout* row;
};

struct DialogButtonsLook {
    QString okText = QStringLiteral("OK");
    QString okName = QStringLiteral("OKButton");
    // Return presses the accepting button. Without, QDialog's own rule decides: the button that has the
    // focus, else the first button after the focused box in the tab order.
    bool okIsDefault = true;
    // OK at the left edge, Cancel at the right.
    bool apart = false;
};

DialogButtons MakeDialogButtons(QDialog* dialog, const DialogButtonsLook& look = {});
