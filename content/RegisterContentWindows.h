#pragma once
// Registers the content dialogs with the main window's command-window table.
class QWidget;

// Command ids of the main window's commands that open them.
namespace ContentCommand {
enum : int {
    Properties = 1025,
    DateAndTime = 1035,
    Template = 1036,
    Body = 1040,
    Line = 1041,
    Table = 1042,
};
}

void RegisterContentWindows();

// What each command does: the dialog over the parent, then the main window's part (page colours
// applied after OK, the line or table pasted at the selection when the dialog built one).
void ShowBodyForm(QWidget* parent);
void ShowLineForm(QWidget* parent);
void ShowTableForm(QWidget* parent);
void ShowDateTimeForm(QWidget* parent);
void ShowTemplateForm(QWidget* parent);
void ShowPropertiesForm(QWidget* parent);
