#pragma once
// The horizontal line dialog: alignment, width, height and shading in, one hr tag out through LineHtml
// and LineInserted. It never touches the editor; the opener pastes the tag.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

class LineForm : public QDialog {
    Q_OBJECT
public:
    explicit LineForm(QWidget* parent = nullptr);
    ~LineForm() override;

    void OKButton_Click();
    void CancelButton_Click();

private:
    QComboBox* m_align;
    QLineEdit* m_width;
    QComboBox* m_widthUnit;
    QLineEdit* m_height;
    QComboBox* m_heightUnit;
    QCheckBox* m_solid;
};
