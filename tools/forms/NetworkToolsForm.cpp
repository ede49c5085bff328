#include "tools/forms/NetworkToolsForm.h"

#include "core/TextUtil.h"
#include "tools/NetworkTools.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <functional>

namespace {
// Discards typed characters the box does not take; editing and moving keys, and shortcuts, still work.
class TypedKeyFilter : public QObject {
public:
    TypedKeyFilter(QObject* parent, std::function<bool(QChar)> allowed)
        : QObject(parent), m_allowed(std::move(allowed)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            const bool command =
                key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
            if (!command && !text.isEmpty() && text.at(0).isPrint()) {
                for (QChar c : text)
                    if (!m_allowed(c))
                        return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(QChar)> m_allowed;
};

void FilterKeys(QWidget* box, std::function<bool(QChar)> allowed) {
    box->installEventFilter(new TypedKeyFilter(box, std::move(allowed)));
}

QLineEdit* FlatBox(QWidget* parent, const QString& name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setFrame(true);
    return box;
}
} // namespace

NetworkToolsForm::NetworkToolsForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NetworkToolsForm"));
    SetUpDialog(this, QStringLiteral("Network Tools"), QStringLiteral("Extra Tools 1.htm"));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabControl"));
    const ConvertPage toAddress =
        buildConvertPage(1, QStringLiteral("Domain :"), QStringLiteral("Domain to IP"));
    m_input1Label = toAddress.label;
    m_input1 = toAddress.input;
    m_output1 = toAddress.output;
    m_convert1 = toAddress.button;
    const ConvertPage toName = buildConvertPage(2, QStringLiteral("IP :"), QStringLiteral("IP to Domain"));
    m_input2Label = toName.label;
    m_input2 = toName.input;
    m_output2 = toName.output;
    m_convert2 = toName.button;
    buildMxPage();
    buildFoot();
    connectControls();
    LoadDnsServers();
}

NetworkToolsForm::ConvertPage NetworkToolsForm::buildConvertPage(int n, const QString& label,
                                                                 const QString& title) {
    auto* frame = new QWidget(m_tabs);
    frame->setObjectName(QStringLiteral("Frame%1").arg(n));
    ConvertPage page;
    page.label = new QLabel(label, frame);
    page.label->setObjectName(QStringLiteral("Input%1Label").arg(n));
    page.input = FlatBox(frame, QStringLiteral("Input%1TextBox").arg(n));
    page.output = FlatBox(frame, QStringLiteral("Output%1TextBox").arg(n));
    page.output->setReadOnly(true);
    page.button = new QPushButton(QStringLiteral("Convert"), frame);
    page.button->setObjectName(QStringLiteral("Convert%1Button").arg(n));
    NameAfterLabel(page.label, page.input);
    NameControl(page.output, n == 1 ? QStringLiteral("IP Address Found") : QStringLiteral("Host Name Found"));
    auto* form = new QFormLayout(frame);
    form->addRow(page.label, page.input);
    form->addRow(QString(), page.output);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(page.button);
    form->addRow(row);
    m_tabs->addTab(frame, title);
    return page;
}

void NetworkToolsForm::buildMxPage() {
    auto* frame3 = new QWidget(m_tabs);
    frame3->setObjectName(QStringLiteral("Frame3"));
    m_dnsLabel = new QLabel(QStringLiteral("DNS Server :"), frame3);
    m_dnsLabel->setObjectName(QStringLiteral("DNSLabel"));
    m_mxServer = new QComboBox(frame3);
    m_mxServer->setObjectName(QStringLiteral("MXComboBox"));
    m_mxServer->setEditable(true);
    m_mxServer->setInsertPolicy(QComboBox::NoInsert);
    m_domainLabel = new QLabel(QStringLiteral("Domain :"), frame3);
    m_domainLabel->setObjectName(QStringLiteral("DomainLabel"));
    m_mxDomain = FlatBox(frame3, QStringLiteral("MXTextBox"));
    m_mxButton = new QPushButton(QStringLiteral("Query DNS Server"), frame3);
    m_mxButton->setObjectName(QStringLiteral("MXButton"));
    m_report = new QPlainTextEdit(frame3);
    m_report->setObjectName(QStringLiteral("ReportTextBox"));
    m_report->setReadOnly(true);
    m_report->setMinimumHeight(110);
    NameAfterLabel(m_dnsLabel, m_mxServer);
    NameAfterLabel(m_domainLabel, m_mxDomain);
    NameControl(m_report, QStringLiteral("MX Hosts"));
    auto* form3 = new QFormLayout(frame3);
    form3->addRow(m_dnsLabel, m_mxServer);
    form3->addRow(m_domainLabel, m_mxDomain);
    auto* row3 = new QHBoxLayout;
    row3->addStretch();
    row3->addWidget(m_mxButton);
    form3->addRow(row3);
    form3->addRow(m_report);
    m_tabs->addTab(frame3, QStringLiteral("MX Lookup"));
}

void NetworkToolsForm::buildFoot() {
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("CloseButton"));
    for (QPushButton* b : {m_convert1, m_convert2, m_mxButton, m_close})
        b->setAutoDefault(false);
    m_convert1->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    resize(420, 300);
}

void NetworkToolsForm::connectControls() {
    FilterKeys(m_input1, nettools::IsHostKey);
    FilterKeys(m_mxDomain, nettools::IsHostKey);
    FilterKeys(m_input2, nettools::IsAddressKey);
    // A keyboard's keys reach the combo box, which hands them to its line edit directly, past any filter
    // of the line edit's own; the line edit's filter stays for keys sent to it.
    FilterKeys(m_mxServer, nettools::IsAddressKey);
    FilterKeys(m_mxServer->lineEdit(), nettools::IsAddressKey);

    connect(m_convert1, &QPushButton::clicked, this, &NetworkToolsForm::Convert1Button_Click);
    connect(m_convert2, &QPushButton::clicked, this, &NetworkToolsForm::Convert2Button_Click);
    connect(m_mxButton, &QPushButton::clicked, this, &NetworkToolsForm::MXButton_Click);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, &NetworkToolsForm::TabControl_SelectedChanged);
}

NetworkToolsForm::~NetworkToolsForm() = default;

void NetworkToolsForm::LoadDnsServers() {
    int error = 0;
    const QStringList servers = nettools::ReadDnsServers(&error);
    if (error != 0) {
        ShowMessage(this, QStringLiteral("GetNetworkParams failed with error ") + QString::number(error),
                    QMessageBox::NoIcon);
        return;
    }
    m_mxServer->addItems(servers);
    m_mxServer->setCurrentIndex(-1);
    m_mxServer->setEditText(QString());
    for (QWidget* box : std::initializer_list<QWidget*>{m_input1, m_input2, m_mxServer, m_mxDomain})
        HookRightClick(box);
    m_hooked = true;
}

void NetworkToolsForm::done(int result) {
    if (m_hooked) {
        for (QWidget* box : std::initializer_list<QWidget*>{m_input1, m_input2, m_mxServer, m_mxDomain})
            UnhookRightClick(box);
        m_hooked = false;
    }
    QDialog::done(result);
}

void NetworkToolsForm::TabControl_SelectedChanged(int index) {
    const QString caption = m_tabs->tabText(index);
    for (QPushButton* b : {m_convert1, m_convert2, m_mxButton})
        b->setDefault(false);
    if (caption == QLatin1String("Domain to IP")) {
        m_input1->clear();
        m_output1->clear();
        m_convert1->setDefault(true);
    } else if (caption == QLatin1String("IP to Domain")) {
        m_input2->clear();
        m_output2->clear();
        m_convert2->setDefault(true);
    } else if (caption == QLatin1String("MX Lookup")) {
        m_mxServer->setEditText(QString());
        m_mxDomain->clear();
        m_report->clear();
        m_mxButton->setDefault(true);
    }
}

void NetworkToolsForm::RunConvert(QLineEdit* input, QLineEdit* output, const QString& emptyWarning,
                                  bool nameToAddress) {
    input->setText(TrimBlanks(input->text()));
    if (input->text().isEmpty()) {
        WarnAndFocus(input, emptyWarning);
        return;
    }
    const nettools::DnsOutcome outcome =
        nameToAddress ? nettools::NameToAddress(input->text()) : nettools::AddressToName(input->text());
    if (!outcome.failure.isEmpty()) {
        output->clear(); // an earlier answer must not stand beside this input
        ShowMessage(this, outcome.failure, QMessageBox::Warning);
        return;
    }
    output->setText(outcome.text);
}

void NetworkToolsForm::Convert1Button_Click() {
    RunConvert(m_input1, m_output1, QStringLiteral("Please enter your domain."), true);
}

void NetworkToolsForm::Convert2Button_Click() {
    RunConvert(m_input2, m_output2, QStringLiteral("Please enter your IP."), false);
}

void NetworkToolsForm::SetMxControlsEnabled(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_dnsLabel, m_mxServer, m_domainLabel, m_mxDomain, m_mxButton})
        w->setEnabled(enabled);
}

void NetworkToolsForm::MXButton_Click() {
    if (!m_mxButton->isEnabled())
        return;
    m_mxServer->setEditText(TrimBlanks(m_mxServer->currentText()));
    m_mxDomain->setText(TrimBlanks(m_mxDomain->text()));
    const nettools::MxCheck check = nettools::CheckMxInput(m_mxServer->currentText(), m_mxDomain->text());
    if (!check.message.isEmpty()) {
        WarnAndFocus(check.field == nettools::MxField::Server ? static_cast<QWidget*>(m_mxServer)
                                                              : m_mxDomain,
                     check.message);
        return;
    }
    SetMxControlsEnabled(false);
    m_report->clear();
    // One pass of pending events so the disabled controls and the emptied report are drawn before the wait.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const nettools::DnsOutcome outcome = nettools::MxLookup(m_mxServer->currentText(), m_mxDomain->text());
    m_report->setPlainText(outcome.text);
    SetMxControlsEnabled(true);
    if (!outcome.failure.isEmpty())
        ShowMessage(this, outcome.failure, QMessageBox::Warning);
}
