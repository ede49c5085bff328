#pragma once
// "Network Tools": a host name to its address, an address to its host name, and the MX hosts of a domain
// asked of a chosen DNS server, each through a DNS object made for the one command.
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

class NetworkToolsForm : public QDialog {
    Q_OBJECT
public:
    explicit NetworkToolsForm(QWidget* parent = nullptr);
    ~NetworkToolsForm() override;

public slots:
    void Convert1Button_Click();
    void Convert2Button_Click();
    void MXButton_Click();
    void TabControl_SelectedChanged(int index);

protected:
    void done(int result) override;

private:
    // The constructor's steps: the two convert pages ("Domain to IP", "IP to Domain"; n = 1, 2 in the
    // controls' names), the MX page, the Close button and the layout, the key filters and signals;
    // LoadDnsServers then fills the server list.
    struct ConvertPage {
        QLabel* label;
        QLineEdit* input;
        QLineEdit* output;
        QPushButton* button;
    };
    ConvertPage buildConvertPage(int n, const QString& label, const QString& title);
    void buildMxPage();
    void buildFoot();
    void connectControls();

    void LoadDnsServers();
    void SetMxControlsEnabled(bool enabled);
    void RunConvert(QLineEdit* input, QLineEdit* output, const QString& emptyWarning, bool nameToAddress);

    QTabWidget* m_tabs = nullptr;
    QLabel* m_input1Label = nullptr;
    QLineEdit* m_input1 = nullptr;
    QLineEdit* m_output1 = nullptr;
    QPushButton* m_convert1 = nullptr;
    QLabel* m_input2Label = nullptr;
    QLineEdit* m_input2 = nullptr;
    QLineEdit* m_output2 = nullptr;
    QPushButton* m_convert2 = nullptr;
    QLabel* m_dnsLabel = nullptr;
    QComboBox* m_mxServer = nullptr;
    QLabel* m_domainLabel = nullptr;
    QLineEdit* m_mxDomain = nullptr;
    QPushButton* m_mxButton = nullptr;
    QPlainTextEdit* m_report = nullptr;
    QPushButton* m_close = nullptr;
    bool m_hooked = false;
};
