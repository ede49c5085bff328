#include "content/forms/ColorPicker.h"

#include <QColorDialog>

ColorPicker::ColorPicker(QWidget* parent) : QPushButton(parent) {
    setFixedSize(40, 22);
    setColor(m_color);
    connect(this, &QPushButton::clicked, this, &ColorPicker::choose);
}

void ColorPicker::setColor(const QColor& color) {
    m_color = color;
    setStyleSheet(
        QStringLiteral("ColorPicker { background-color: %1; border: 1px solid #404040; }").arg(color.name()));
}

void ColorPicker::pick(const QColor& color) {
    if (!color.isValid())
        return;
    setColor(color);
    emit colorPicked(color);
}

void ColorPicker::choose() {
    QColorDialog dialog(m_color, this);
    dialog.setWindowTitle(QStringLiteral("Color"));
    // The default colour leads the custom colours, so it is one click away.
    QColorDialog::setCustomColor(0, m_default);
    if (dialog.exec() == QDialog::Accepted)
        pick(dialog.selectedColor());
}
