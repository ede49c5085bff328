#pragma once
// The table dialog: a few settings in, the markup of an empty table out. It never touches the editor;
// the opener pastes the markup.
#include <QDialog>
#include <QString>

#include <optional>

class QComboBox;
class QLineEdit;
class QRadioButton;
struct TableSettings;

class TableForm : public QDialog {
    Q_OBJECT
public:
    explicit TableForm(QWidget* parent = nullptr);
    ~TableForm() override;

    // Shows the dialog; the markup OK made, nothing when it was closed otherwise.
    static std::optional<QString> Ask(QWidget* parent);
    // The markup of the last OK of this showing.
    const std::optional<QString>& insertedHtml() const { return m_html; }

    void OKButton_Click();
    void CancelButton_Click();

private:
    TableSettings settings() const;

    QComboBox* m_align;
    QLineEdit* m_border;
    QLineEdit* m_spacing;
    QLineEdit* m_padding;
    QLineEdit* m_rows;
    QLineEdit* m_columns;
    QLineEdit* m_width;
    QRadioButton* m_percent;
    QRadioButton* m_pixels;
    std::optional<QString> m_html;
};
