#pragma once
// The page colours dialog: the document's five page colours in read-only boxes, a colour picker for
// each, and OK, which hands the non-empty boxes back through the page colour variables.
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

    // Which rows OK handed back (their box was not empty); all false until OK.
    const std::array<bool, 5>& handedBack() const { return m_handedBack; }

    void OKButton_Click();

private:
    void colorPicked(int row, const QColor& color);

    std::array<QLineEdit*, 5> m_boxes{};
    std::array<ColorPicker*, 5> m_pickers{};
    std::array<bool, 5> m_handedBack{};
};

// Applies the variables of the rows OK handed back to the document, in the order background, text,
// link, visited link, active link. Rows whose box was empty keep the document's own colour.
void ApplyPageColours(HtmlEditor* editor, const std::array<bool, 5>& rows);
