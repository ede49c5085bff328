#pragma once
// Edits the HTML signature that the main window puts into new documents, and whether it is used.
#include <QDialog>

class HtmlEditor;
class QCheckBox;

// The signature used until the user stores one of their own.
QString BuiltInSignature();

class SignatureManagerForm : public QDialog {
    Q_OBJECT
public:
    explicit SignatureManagerForm(QWidget* parent = nullptr);

    HtmlEditor* editor() const { return m_editor; }

public slots:
    void OKButton_Click();
    void ResetButton_Click();

private:
    QCheckBox* m_use = nullptr;
    HtmlEditor* m_editor = nullptr;
};
