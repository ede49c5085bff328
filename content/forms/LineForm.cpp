#include "content/forms/LineForm.h"

#include "ui/DialogButtons.h"

#include "content/InsertMarkup.h"
#include "content/forms/UpDown.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LineForm::LineForm(QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, QStringLiteral("Line"), QStringLiteral("Message Options.htm"));

    auto* frame = new QGroupBox(QStringLiteral("Line Setup"), this);
    frame->setObjectName(QStringLiteral("Frame"));
    auto* grid = new QGridLayout(frame);

    m_align = new QComboBox(frame);
    m_align->setObjectName(QStringLiteral("AlignComboBox"));
    m_align->addItems({QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right")});
    m_align->setCurrentIndex(0);

    auto number = [&](const char* name, const char* spinName, const QString& start) {
        auto* box = new QLineEdit(start, frame);
        box->setObjectName(QLatin1String(name));
        box->setMaxLength(3);
        box->setFixedWidth(50);
        MakeDigitsOnly(box);
        HookRightClick(box);
        auto* spin = new UpDown(box, 0, 100, frame);
        spin->setObjectName(QLatin1String(spinName));
        return std::make_pair(box, spin);
    };
    const auto [width, widthSpin] = number("WidthTextBox", "SpacingUpDown", QStringLiteral("100"));
    const auto [height, heightSpin] = number("HeightTextBox", "RowsUpDown", QStringLiteral("2"));
    m_width = width;
    m_height = height;

    m_widthUnit = new QComboBox(frame);
    m_widthUnit->setObjectName(QStringLiteral("ComboBoxWidth"));
    m_widthUnit->addItems({QStringLiteral("Percent"), QStringLiteral("Pixels")});
    m_widthUnit->setCurrentIndex(0);
    m_heightUnit = new QComboBox(frame);
    m_heightUnit->setObjectName(QStringLiteral("HeightComboBox"));
    m_heightUnit->addItem(QStringLiteral("Pixels"));
    m_heightUnit->setCurrentIndex(0);
    m_heightUnit->setEnabled(false); // the height is always in pixels

    m_solid = new QCheckBox(QStringLiteral("Solid line (no shading)"), frame);
    m_solid->setObjectName(QStringLiteral("SolidCheckBox"));

    auto* alignLabel = new QLabel(QStringLiteral("Align :"), frame);
    alignLabel->setBuddy(m_align);
    auto* widthLabel = new QLabel(QStringLiteral("Width :"), frame);
    widthLabel->setBuddy(m_width);
    auto* heightLabel = new QLabel(QStringLiteral("Height :"), frame);
    heightLabel->setBuddy(m_height);
    // The unit lists beside the boxes have no label of their own.
    NameControl(m_widthUnit, QStringLiteral("Width Unit"));
    NameControl(m_heightUnit, QStringLiteral("Height Unit"));
    grid->addWidget(alignLabel, 0, 0);
    grid->addWidget(m_align, 0, 1, 1, 3);
    grid->addWidget(widthLabel, 1, 0);
    grid->addWidget(m_width, 1, 1);
    grid->addWidget(widthSpin, 1, 2);
    grid->addWidget(m_widthUnit, 1, 3);
    grid->addWidget(heightLabel, 2, 0);
    grid->addWidget(m_height, 2, 1);
    grid->addWidget(heightSpin, 2, 2);
    grid->addWidget(m_heightUnit, 2, 3);
    grid->addWidget(m_solid, 3, 0, 1, 4);

    const DialogButtons dialogButtons = MakeDialogButtons(this);
    QPushButton* ok = dialogButtons.ok;
    QPushButton* cancel = dialogButtons.cancel;
    connect(ok, &QPushButton::clicked, this, &LineForm::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &LineForm::CancelButton_Click);
    QHBoxLayout* buttons = dialogButtons.row;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

LineForm::~LineForm() {
    UnhookRightClick(m_width);
    UnhookRightClick(m_height);
}

void LineForm::OKButton_Click() {
    LineSettings s;
    s.align = m_align->currentText();
    s.width = m_width->text();
    s.widthInPixels = m_widthUnit->currentText() == QLatin1String("Pixels");
    s.height = m_height->text();
    s.solid = m_solid->isChecked();
    const FieldProblem problem = CheckLineSettings(s);
    if (!problem.ok()) {
        WarnAndFocus(findChild<QLineEdit*>(problem.field), problem.message);
        return;
    }
    m_html = BuildLineHtml(s);
    accept();
}

void LineForm::CancelButton_Click() {
    reject();
}

std::optional<QString> LineForm::Ask(QWidget* parent) {
    LineForm form(parent);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.insertedHtml();
}
