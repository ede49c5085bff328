#include "content/forms/RegisterContentWindows.h"

#include "content/forms/BodyForm.h"
#include "content/forms/DateTimeForm.h"
#include "content/forms/LineForm.h"
#include "content/forms/PropertiesForm.h"
#include "content/forms/TableForm.h"
#include "content/forms/TemplateForm.h"
#include "editor/HtmlEditor.h"
#include "ui/CommandWindows.h"
#include "ui/Composer.h"

namespace {

// The dialog is gone before the markup goes in, so the editor has the focus back.
void PasteWhenInserted(HtmlEditor* editor, const std::optional<QString>& html) {
    if (html && editor)
        editor->DOM().pasteHTML(*html);
}

// Every content dialog works on the editor of the main window's message.
void Register(int commandId, void (*show)(QWidget*, HtmlEditor*)) {
    CommandWindows::Register(
        commandId, [show](QWidget* parent, Composer& composer) { show(parent, composer.Editor()); });
}

} // namespace

void ShowBodyForm(QWidget* parent, HtmlEditor* editor) {
    BodyForm form(editor, parent);
    if (form.exec() == QDialog::Accepted)
        ApplyPageColours(editor, form.chosenColours());
}

void ShowLineForm(QWidget* parent, HtmlEditor* editor) {
    PasteWhenInserted(editor, LineForm::Ask(parent));
}

void ShowTableForm(QWidget* parent, HtmlEditor* editor) {
    PasteWhenInserted(editor, TableForm::Ask(parent));
}

void ShowDateTimeForm(QWidget* parent, HtmlEditor* editor) {
    DateTimeForm form(editor, parent);
    form.exec();
}

void ShowTemplateForm(QWidget* parent, HtmlEditor* editor) {
    TemplateForm form(editor, parent);
    form.exec();
}

void ShowPropertiesForm(QWidget* parent, HtmlEditor* editor) {
    PropertiesForm form(editor, parent);
    form.exec();
}

void RegisterContentWindows() {
    Register(ContentCommand::Body, ShowBodyForm);
    Register(ContentCommand::Line, ShowLineForm);
    Register(ContentCommand::Table, ShowTableForm);
    Register(ContentCommand::DateAndTime, ShowDateTimeForm);
    Register(ContentCommand::Template, ShowTemplateForm);
    Register(ContentCommand::Properties, ShowPropertiesForm);
}
