#pragma once
// Registers the content dialogs with the main window's command-window table.
class HtmlEditor;
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

// What each command does: the dialog over the parent, then the part of the main window's editor (page
// colours applied after OK, the line or table pasted at the selection when the dialog built one).
void ShowBodyForm(QWidget* parent, HtmlEditor* editor);
void ShowLineForm(QWidget* parent, HtmlEditor* editor);
void ShowTableForm(QWidget* parent, HtmlEditor* editor);
void ShowDateTimeForm(QWidget* parent, HtmlEditor* editor);
void ShowTemplateForm(QWidget* parent, HtmlEditor* editor);
void ShowPropertiesForm(QWidget* parent, HtmlEditor* editor);
