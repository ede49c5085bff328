#include "content/RegisterContentWindows.h"

#include "content/BodyForm.h"
#include "content/ContentHandBack.h"
#include "content/DateTimeForm.h"
#include "content/LineForm.h"
#include "content/PropertiesForm.h"
#include "content/TableForm.h"
#include "content/TemplateForm.h"
#include "editor/HtmlEditor.h"
#include "ui/CommandWindows.h"
#include "ui/MainFormControls.h"

namespace {

HtmlEditor* MainEditor() {
    return MainFormUi().Editor.data();
}

void PasteWhenInserted(bool inserted, const QString& html) {
    if (!inserted)
        return;
    if (HtmlEditor* editor = MainEditor())
        editor->DOM().pasteHTML(html);
}

} // namespace

void ShowBodyForm(QWidget* parent) {
    BodyForm form(MainEditor(), parent);
    if (form.exec() == QDialog::Accepted)
        ApplyPageColours(MainEditor(), form.handedBack());
}

void ShowLineForm(QWidget* parent) {
    {
        LineForm form(parent);
        form.exec();
    }
    PasteWhenInserted(LineInserted, LineHtml);
}

void ShowTableForm(QWidget* parent) {
    {
        TableForm form(parent);
        form.exec();
    }
    PasteWhenInserted(TableInserted, TableHtml);
}

void ShowDateTimeForm(QWidget* parent) {
    DateTimeForm form(MainEditor(), parent);
    form.exec();
}

void ShowTemplateForm(QWidget* parent) {
    TemplateForm form(MainEditor(), parent);
    form.exec();
}

void ShowPropertiesForm(QWidget* parent) {
    PropertiesForm form(MainEditor(), parent);
    form.exec();
}

void RegisterContentWindows() {
    CommandWindows::Register(ContentCommand::Body, ShowBodyForm);
    CommandWindows::Register(ContentCommand::Line, ShowLineForm);
    CommandWindows::Register(ContentCommand::Table, ShowTableForm);
    CommandWindows::Register(ContentCommand::DateAndTime, ShowDateTimeForm);
    CommandWindows::Register(ContentCommand::Template, ShowTemplateForm);
    CommandWindows::Register(ContentCommand::Properties, ShowPropertiesForm);
}
