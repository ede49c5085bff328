#include "content/forms/TableForm.h"

#include "ui/DialogButtons.h"

#include "content/InsertMarkup.h"
#include "content/forms/UpDown.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TableForm::TableForm(QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, QStringLiteral("Table"), QStringLiteral("Message Options.htm"));

    auto* frame = new QGroupBox(QStringLiteral("Table Setup"), this);
    frame->setObjectName(QStringLiteral("Frame"));
    auto* grid = new QGridLayout(frame);
    int line = 0;
    auto addRow = [&](const QString& label, QWidget* field, QWidget* spin = nullptr) {
        auto* l = new QLabel(label, frame);
        l->setBuddy(field);
        grid->addWidget(l, line, 0);
        // The spin buttons sit right beside their box.
        auto* pair = new QHBoxLayout;
        pair->setSpacing(0);
        pair->addWidget(field);
        if (spin)
            pair->addWidget(spin);
        pair->addStretch(1);
        grid->addLayout(pair, line, 1);
        ++line;
    };

    m_align = new QComboBox(frame);
    m_align->setObjectName(QStringLiteral("AlignComboBox"));
    m_align->addItems({QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right")});
    m_align->setCurrentIndex(0);
    addRow(QStringLiteral("Align :"), m_align);

    // The number boxes change through their spin buttons only; the checks still guard their text.
    auto number = [&](const char* name, const char* spinName, const QString& label, const QString& start,
                      int minimum, int maximum) {
        auto* box = new QLineEdit(start, frame);
        box->setObjectName(QLatin1String(name));
        box->setReadOnly(true);
        box->setMaxLength(maximum > 99 ? 4 : 2);
        box->setFixedWidth(60);
        MakeDigitsOnly(box);
        HookRightClick(box);
        auto* spin = new UpDown(box, minimum, maximum, frame);
        spin->setObjectName(QLatin1String(spinName));
        addRow(label, box, spin);
        return box;
    };
    m_border =
        number("BorderTextBox", "BorderUpDown", QStringLiteral("Border :"), QStringLiteral("1"), 1, 99);
    m_spacing = number("SpacingTextBox", "SpacingUpDown", QStringLiteral("Cell Spacing :"),
                       QStringLiteral("1"), 0, 99);
    m_padding = number("PaddingTextBox", "PaddingUpDown", QStringLiteral("Cell Padding :"),
                       QStringLiteral("1"), 0, 99);
    m_rows = number("RowsTextBox", "RowsUpDown", QStringLiteral("Rows :"), QStringLiteral("3"), 1, 99);
    m_columns =
        number("ColumnsTextBox", "ColumnsUpDown", QStringLiteral("Columns :"), QStringLiteral("3"), 1, 99);
    m_width = number("SpecifyTextBox", "WidthUpDown", QStringLiteral("Table Width :"), QStringLiteral("100"),
                     1, 9999);

    m_percent = new QRadioButton(QStringLiteral("In Percent"), frame);
    m_percent->setObjectName(QStringLiteral("PercentRadioButton"));
    m_pixels = new QRadioButton(QStringLiteral("In Pixels"), frame);
    m_pixels->setObjectName(QStringLiteral("PixelRadioButton"));
    m_percent->setChecked(true);
    auto* units = new QHBoxLayout;
    units->addWidget(m_percent);
    units->addWidget(m_pixels);
    grid->addLayout(units, line, 1);

    const DialogButtons dialogButtons = MakeDialogButtons(this);
    QPushButton* ok = dialogButtons.ok;
    QPushButton* cancel = dialogButtons.cancel;
    connect(ok, &QPushButton::clicked, this, &TableForm::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &TableForm::CancelButton_Click);
    QHBoxLayout* buttons = dialogButtons.row;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

TableForm::~TableForm() {
    for (QLineEdit* box : {m_border, m_spacing, m_padding, m_rows, m_columns, m_width})
        UnhookRightClick(box);
}

TableSettings TableForm::settings() const {
    TableSettings s;
    s.align = m_align->currentText();
    s.border = m_border->text();
    s.spacing = m_spacing->text();
    s.padding = m_padding->text();
    s.rows = m_rows->text();
    s.columns = m_columns->text();
    s.width = m_width->text();
    s.widthInPixels = m_pixels->isChecked();
    return s;
}

void TableForm::OKButton_Click() {
    const TableSettings s = settings();
    const FieldProblem problem = CheckTableSettings(s);
    if (!problem.ok()) {
        WarnAndFocus(findChild<QLineEdit*>(problem.field), problem.message);
        return;
    }
    m_html = BuildTableHtml(s);
    accept();
}

void TableForm::CancelButton_Click() {
    reject();
}

std::optional<QString> TableForm::Ask(QWidget* parent) {
    TableForm form(parent);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.insertedHtml();
}
