#pragma once
// "SMTP Server Information": connects to any mail server and shows what it answered; the report can be
// saved or printed.
#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace mail {
class Smtp;
}

class ExtraForm5 : public QDialog {
    Q_OBJECT
public:
    explicit ExtraForm5(QWidget* parent = nullptr);
    ~ExtraForm5() override;
    bool IsProbing() const;

public slots:
    void ProcessButton_Click();
    void SaveButton_Click();
    void PrintButton_Click();
    void CancelButton_Click();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetInputsEnabled(bool enabled);
    // The question of the Cancel button while a probe runs; true when the probe was told to stop.
    bool AskToCancel();

    QLabel* m_serverLabel = nullptr;
    QLineEdit* m_server = nullptr;
    QLabel* m_portLabel = nullptr;
    QLineEdit* m_port = nullptr;
    QPlainTextEdit* m_report = nullptr;
    QPushButton* m_process = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_cancel = nullptr;
    std::unique_ptr<mail::Smtp> m_smtp;
    bool m_closeWanted = false;
};
