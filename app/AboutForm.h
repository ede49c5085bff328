#pragma once
#include <QDialog>

// "About Torvale Velanto": the program's name, version and the system it runs on.
class AboutForm : public QDialog {
    Q_OBJECT
public:
    explicit AboutForm(QWidget* parent = nullptr);

private slots:
    void SystemInfoButtonClicked();
};
