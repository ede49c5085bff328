#pragma once
// The page colours dialog: the document's five page colours in read-only boxes, a colour picker for
// each, and OK, which hands the non-empty boxes back.
#include <QDialog>
#include <array>

class ColorPicker;
class HtmlEditor;
class QLineEdit;

class BodyForm : public QDialog {
    Q_OBJECT
public:
    // Reads the colours of the editor's document (none when there is no editor).
    explicit BodyForm(HtmlEditor* editor, QWidget* parent = nullptr);

    // The colours OK handed back ("#RRGGBB") in the order background, text, link, visited link, active
    // link; a row whose box was empty, and every row until OK, is empty.
    const std::array<QString, 5>& chosenColours() const { return m_chosen; }

    void OKButton_Click();

private:
    void colorPicked(int row, const QColor& color);

    std::array<QLineEdit*, 5> m_boxes{};
    std::array<ColorPicker*, 5> m_pickers{};
    std::array<QString, 5> m_chosen{};
};

// Applies the colours OK handed back to the document, in their order. Rows without a colour keep the
// document's own.
void ApplyPageColours(HtmlEditor* editor, const std::array<QString, 5>& colours);
