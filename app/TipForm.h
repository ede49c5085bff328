#pragma once
#include <QDialog>

class QCheckBox;
class QLabel;

// "Tip of the Day": one tip at a time, the next on request, and the switch for tips at start-up.
class TipForm : public QDialog {
    Q_OBJECT
public:
    explicit TipForm(QWidget* parent = nullptr);

    // Shows the window modally unless tips at start-up are off and the user did not ask for the tip
    // (TipForced); then nothing is shown and it returns at once.
    static void ShowTip(QWidget* parent);

    void ShowNextTip();

private:
    QLabel* m_tipText;
    QCheckBox* m_tipCheckBox;
};
