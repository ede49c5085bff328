#pragma once
// The horizontal line dialog: alignment, width, height and shading in, one hr tag out. It never
// touches the editor; the opener pastes the tag.
#include <QDialog>
#include <QString>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;

class LineForm : public QDialog {
    Q_OBJECT
public:
    explicit LineForm(QWidget* parent = nullptr);
    ~LineForm() override;

    // Shows the dialog; the tag OK made, nothing when it was closed otherwise.
    static std::optional<QString> Ask(QWidget* parent);
    // The tag of the last OK of this showing.
    const std::optional<QString>& insertedHtml() const { return m_html; }

    void OKButton_Click();
    void CancelButton_Click();

private:
    QComboBox* m_align;
    QLineEdit* m_width;
    QComboBox* m_widthUnit;
    QLineEdit* m_height;
    QComboBox* m_heightUnit;
    QCheckBox* m_solid;
    std::optional<QString> m_html;
};
