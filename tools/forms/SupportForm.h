#pragma once
// "Technical Support": a request for help mailed to the maker through the user's own account, with an
// optional attachment, system information, the program's settings and a copy to the user.
#include "core/MessageChoices.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace mail {
class Smtp;
}

class SupportForm : public QDialog {
    Q_OBJECT
public:
    // The request goes with the priority and read receipt of the main window's message.
    SupportForm(MessagePriority priority, bool readReceipt, QWidget* parent = nullptr);
    ~SupportForm() override;
    bool IsSending() const { return m_sending; }

public slots:
    void AddButton_Click();
    void RemoveButton_Click();
    void OKButton_Click();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetInputsEnabled(bool enabled);

    QLabel* m_labels[5] = {};
    QLineEdit* m_name = nullptr;
    QLineEdit* m_email = nullptr;
    QComboBox* m_topic = nullptr;
    QLineEdit* m_attachment = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QCheckBox* m_system = nullptr;
    QCheckBox* m_settings = nullptr;
    QCheckBox* m_copy = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    std::unique_ptr<mail::Smtp> m_smtp;
    bool m_sending = false;
    MessagePriority m_priority;
    bool m_readReceipt = false;
    bool m_closeWanted = false;
};
