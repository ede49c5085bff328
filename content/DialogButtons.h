#pragma once
// The OK (the default button) and Cancel pair every content dialog ends with, right-aligned in a row
// of its own.
class QDialog;
class QHBoxLayout;
class QPushButton;

struct DialogButtons {
    QPushButton* ok;
    QPushButton* cancel;
    QHBoxLayout* row;
};

DialogButtons MakeDialogButtons(QDialog* dialog);
