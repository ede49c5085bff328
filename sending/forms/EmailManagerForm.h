#pragma once
// The mail account dialog: sender, server, authentication, sending method and message settings, with
// a connection test of what is typed.
#include "sending/ConnectionTest.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

class EmailManagerForm : public QDialog {
    Q_OBJECT
public:
    explicit EmailManagerForm(QWidget* parent = nullptr);

public slots:
    void OKButton_Click();
    void ResetButton_Click();
    void TestPushButton_Click();
    void ThirdCommandButton_Click();
    // While the connection test runs the dialog cannot be closed (OK, Cancel, Reset, Escape and the
    // close box are refused), so its result is never shown over a dialog that is gone.
    void done(int result) override;
    bool IsTesting() const { return m_testing; }

signals:
    // The main window's sender line and sending method follow what OK stored ("" after Reset: no
    // sender).
    void senderChanged(const QString& sender);
    void sendingMethodChanged(const QString& method);

private:
    QWidget* buildAccountPage();
    QWidget* buildSendModePage();
    QWidget* buildMessagePage();
    void buildButtons();
    void connectControls();
    void loadValues();
    void authToggled(bool checked);
    void methodChosen();
    void trimEntries();
    // What the controls hold.
    Account typedAccount() const;
    ServerLogin typedLogin() const;
    QWidget* control(AccountField field) const;
    // A failed check: the warning, the field's tab page to the front, the focus on the field.
    void refuse(const AccountProblem& problem);

    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_port = nullptr;
    QWidget* m_portUpDown = nullptr;
    QCheckBox* m_auth = nullptr;
    QLabel* m_userLabel = nullptr;
    QLineEdit* m_username = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_authLabel = nullptr;
    QComboBox* m_authMode = nullptr;
    QPushButton* m_test = nullptr;
    QRadioButton* m_personal = nullptr;
    QRadioButton* m_bulk = nullptr;
    QRadioButton* m_third = nullptr;
    QLabel* m_toFieldLabel = nullptr;
    QComboBox* m_toField = nullptr;
    QLabel* m_bccLabel = nullptr;
    QLineEdit* m_bcc = nullptr;
    QLabel* m_thirdFieldLabel = nullptr;
    QComboBox* m_thirdField = nullptr;
    QLabel* m_thirdPathLabel = nullptr;
    QLineEdit* m_thirdPath = nullptr;
    QPushButton* m_thirdBrowse = nullptr;
    QComboBox* m_headerEncoding = nullptr;
    QComboBox* m_contentEncoding = nullptr;
    QComboBox* m_attachmentEncoding = nullptr;
    QComboBox* m_charSet = nullptr;
    QComboBox* m_notify = nullptr;
    QComboBox* m_return = nullptr;
    QCheckBox* m_textPart = nullptr;
    QCheckBox* m_extended = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_reset = nullptr;
    bool m_testing = false;
};
