#include "content/forms/BodyForm.h"

#include "ui/DialogButtons.h"

#include "content/PageColours.h"
#include "content/forms/ColorPicker.h"
#include "editor/HtmlEditor.h"
#include "ui/FieldLabels.h"
#include "ui/WindowConventions.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct ColourRow {
    const char* label;
    QColor defaultColor;
    QString (HtmlDocument::*read)() const;
    void (HtmlDocument::*write)(const QString&);
};

const std::array<ColourRow, 5>& Rows() {
    static const std::array<ColourRow, 5> rows{{
        {"Background Color :", QColor(255, 255, 255), &HtmlDocument::bgColor, &HtmlDocument::setBgColor},
        {"Text Color :", QColor(0, 0, 0), &HtmlDocument::fgColor, &HtmlDocument::setFgColor},
        {"Link Color :", QColor(0, 0, 255), &HtmlDocument::linkColor, &HtmlDocument::setLinkColor},
        {"Visited Link Color :", QColor(128, 0, 128), &HtmlDocument::vlinkColor,
         &HtmlDocument::setVlinkColor},
        {"Active Link Color :", QColor(0, 0, 255), &HtmlDocument::alinkColor, &HtmlDocument::setAlinkColor},
    }};
    return rows;
}

QColor ToQColor(qint32 value) {
    int red = 0, green = 0, blue = 0;
    ColorToRGB(value, red, green, blue);
    return QColor(red, green, blue);
}

} // namespace

BodyForm::BodyForm(HtmlEditor* editor, QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, QStringLiteral("Body"), QStringLiteral("Message Options.htm"));

    auto* frame = new QGroupBox(QStringLiteral("Page Body"), this);
    frame->setObjectName(QStringLiteral("Frame"));
    auto* grid = new QGridLayout(frame);
    for (int row = 0; row < 5; ++row) {
        const QString n = QString::number(row + 1);
        auto* label = new QLabel(QString::fromLatin1(Rows()[size_t(row)].label), frame);
        label->setObjectName(QStringLiteral("Label") + n);
        auto* box = new QLineEdit(frame);
        box->setObjectName(QStringLiteral("TextBox") + n);
        box->setReadOnly(true);
        box->setFixedWidth(90);
        auto* picker = new ColorPicker(frame);
        picker->setObjectName(QStringLiteral("ColorPicker") + n);
        // The box and its picker are named by their row, not by the frame they share.
        NameAfterLabel(label, box);
        NameControl(picker, AccessibleNameOf(label->text()) + QStringLiteral(" Picker"));
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(picker, row, 2);
        m_boxes[size_t(row)] = box;
        m_pickers[size_t(row)] = picker;
        connect(picker, &ColorPicker::colorPicked, this,
                [this, row](const QColor& c) { colorPicked(row, c); });
    }

    const DialogButtons dialogButtons = MakeDialogButtons(this);
    QPushButton* ok = dialogButtons.ok;
    QPushButton* cancel = dialogButtons.cancel;
    connect(ok, &QPushButton::clicked, this, &BodyForm::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    QHBoxLayout* buttons = dialogButtons.row;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());

    // Load: the document's colours as shown in upper case; a document without one leaves the box empty
    // and its picker black.
    for (size_t row = 0; row < 5; ++row) {
        const QString text = editor ? (editor->DOM().*Rows()[row].read)() : QString();
        m_boxes[row]->setText(text.toUpper());
        m_pickers[row]->setDefaultColor(Rows()[row].defaultColor);
        m_pickers[row]->setColor(ToQColor(HexToColor(text)));
    }
}

void BodyForm::colorPicked(int row, const QColor& color) {
    m_boxes[size_t(row)]->setText(ColorText(color.red(), color.green(), color.blue()));
}

void BodyForm::OKButton_Click() {
    for (size_t row = 0; row < 5; ++row)
        m_chosen[row] = m_boxes[row]->text();
    accept();
}

void ApplyPageColours(HtmlEditor* editor, const std::array<QString, 5>& colours) {
    if (!editor)
        return;
    for (size_t row = 0; row < 5; ++row)
        if (!colours[row].isEmpty())
            (editor->DOM().*Rows()[row].write)(colours[row]);
}
