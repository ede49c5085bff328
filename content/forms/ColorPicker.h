#pragma once
// A colour box that opens the colour dialog when clicked. It shows its colour and offers a default
// colour as the first choice.
#include <QColor>
#include <QPushButton>

class ColorPicker : public QPushButton {
    Q_OBJECT
public:
    explicit ColorPicker(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    QColor defaultColor() const { return m_default; }
    void setDefaultColor(const QColor& color) { m_default = color; }

    // The user chose this colour (the dialog's choice, or a test's).
    void pick(const QColor& color);

signals:
    void colorPicked(const QColor& color);

private:
    void choose();

    QColor m_color{Qt::black};
    QColor m_default{Qt::black};
};
