#include "sending/forms/ShutDownForm.h"

#include "core/Globals.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

bool LogindPowerOff::requestPowerOff() {
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
    if (!manager.isValid())
        return false;
    // Interactive: the desktop's policy agent may ask for a password when the policy wants one.
    const QDBusMessage reply = manager.call(QStringLiteral("PowerOff"), true);
    return reply.type() == QDBusMessage::ReplyMessage;
}

namespace {
PowerOffService* g_powerOff = nullptr;
}

PowerOffService& CurrentPowerOffService() {
    static LogindPowerOff logind;
    return g_powerOff ? *g_powerOff : logind;
}

void SetPowerOffService(PowerOffService* service) {
    g_powerOff = service;
}

ShutDownForm::ShutDownForm(QWidget* sendingWindow, QWidget* parent)
    : QDialog(parent), m_sendingWindow(sendingWindow) {
    setObjectName(QStringLiteral("ShutDownForm"));
    SetUpDialog(this, QStringLiteral("Shut Down"), QStringLiteral("Welcome.htm"));
    // No close box: the countdown ends by Cancel or by reaching zero.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image"));
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    auto* label1 =
        new QLabel(QStringLiteral("Velanto is going to shut down the system in 60 seconds."), this);
    label1->setObjectName(QStringLiteral("Label1"));
    auto* label2 = new QLabel(
        QStringLiteral("If you do not want to shut down Windows, please press the Cancel button."), this);
    label2->setObjectName(QStringLiteral("Label2"));
    auto* label3 = new QLabel(QStringLiteral("Remaining Time :"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    m_counter = new QLabel(QStringLiteral("60"), this);
    m_counter->setObjectName(QStringLiteral("Label4"));
    auto* label5 = new QLabel(QStringLiteral("Seconds."), this);
    label5->setObjectName(QStringLiteral("Label5"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(label1);
    texts->addWidget(label2);
    auto* counterRow = new QHBoxLayout;
    counterRow->addWidget(label3);
    counterRow->addWidget(m_counter);
    counterRow->addWidget(label5);
    counterRow->addStretch();
    texts->addLayout(counterRow);
    auto* top = new QHBoxLayout;
    top->addWidget(image, 0, Qt::AlignTop);
    top->addLayout(texts);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &ShutDownForm::tick);
    connect(m_cancel, &QPushButton::clicked, this, &ShutDownForm::cancelCountdown);
    m_timer->start();
}

void ShutDownForm::tick() {
    if (!m_timer->isActive() && m_closingOurselves)
        return;
    m_counter->setText(QString::number(m_counter->text().toInt() - 1));
    if (m_counter->text() != QLatin1String("0"))
        return;
    m_timer->stop();
    m_closingOurselves = true;
    done(QDialog::Accepted);
    if (m_sendingWindow)
        m_sendingWindow->close();
    ShuttingDown = true;
    if (!CurrentPowerOffService().requestPowerOff()) {
        // The program keeps running, so it must keep asking about unsaved changes.
        ShuttingDown = false;
        ShowMessage(parentWidget(), QStringLiteral("The system refused to shut down."), QMessageBox::Warning);
    }
}

void ShutDownForm::cancelCountdown() {
    m_timer->stop();
    m_closingOurselves = true;
    QDialog::reject();
}

// Escape does not end the countdown; only Cancel does.
void ShutDownForm::reject() {}

void ShutDownForm::closeEvent(QCloseEvent* event) {
    if (m_closingOurselves)
        event->accept();
    else
        event->ignore();
}

void ShutDownForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
