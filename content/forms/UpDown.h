#pragma once
// Spin buttons bound to a number box: each click writes the next value into the box's text, within the
// limits. The box itself may hold any text (it is checked when the dialog's OK runs).
#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

public slots:
    void stepUp();
    void stepDown();

private:
    void step(int delta);

    QLineEdit* m_buddy;
    int m_minimum;
    int m_maximum;
    QToolButton* m_up;
    QToolButton* m_down;
};
