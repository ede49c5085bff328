#pragma once
// The template dialog: one of the five built-in newsletters, filled in with the sender's company, web
// site and unsubscribe address and subject, becomes the editor's whole document. A modified document
// is offered for saving first.
#include <QDialog>

class HtmlEditor;
class QLineEdit;
class QListWidget;

class TemplateForm : public QDialog {
    Q_OBJECT
public:
    explicit TemplateForm(HtmlEditor* editor, QWidget* parent = nullptr);

    void OKButton_Click();

private:
    HtmlEditor* m_editor;
    QListWidget* m_list;
    QLineEdit* m_company;
    QLineEdit* m_webSite;
    QLineEdit* m_email;
    QLineEdit* m_subject;
};
