#pragma once
// How the mail component threads its connections, per protocol section.
#include <QDialog>

class QRadioButton;

class ThreadForm : public QDialog {
    Q_OBJECT
public:
    explicit ThreadForm(QWidget* parent = nullptr);

public slots:
    void OKButton_Click();

private:
    QRadioButton* m_radio[9] = {};
};
