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

// The value SetThreadMode takes for a stored "Mode" text ("No" 2, "Single" 0, "Second" 1), or -1 when
// the text is none of them (the component's own mode then stays).
int ThreadModeValue(const QString& mode);

// The stored SMTP thread mode mapped as above ("Second" when nothing is stored).
int SmtpThreadModeValue();
