#pragma once
// The main window's controls that other windows read and write (the group list, the sender, the
// subject, the editor...). The main window fills these in when it is built; a window tested on its own
// gets controls of the test's making. A pointer is null while no such control exists.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

class HtmlEditor;

struct MainFormControls {
    QPointer<QComboBox> FromComboBox;
    QPointer<QComboBox> ToComboBox;
    QPointer<QLineEdit> SubjectTextBox;
    QPointer<HtmlEditor> Editor;
    QPointer<QComboBox> SendingMethodComboBox;
    QPointer<QComboBox> PriorityComboBox;
    QPointer<QComboBox> FormatComboBox;
    QPointer<QCheckBox> RRRCheckBox;
    QPointer<QComboBox> AttachmentComboBox;
    QPointer<QWidget> Window;
};

inline MainFormControls& MainFormUi() {
    static MainFormControls controls;
    return controls;
}
