#pragma once
// The document properties window: where the document is stored, its title, text direction, page
// language and HTML encoding, read once when it opens. It changes nothing.
#include <QDialog>

class HtmlEditor;

class PropertiesForm : public QDialog {
    Q_OBJECT
public:
    explicit PropertiesForm(HtmlEditor* editor, QWidget* parent = nullptr);
};
