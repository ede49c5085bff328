#pragma once
#include <QWidget>

class QLabel;
class QProgressBar;

// The window shown while the main window loads.
class SplashForm : public QWidget {
    Q_OBJECT
public:
    explicit SplashForm(QWidget* parent = nullptr);

    QLabel* WinVer() const { return m_winVer; }
    QProgressBar* ProgressBar() const { return m_progressBar; }

private:
    QLabel* m_winVer;
    QProgressBar* m_progressBar;
};
