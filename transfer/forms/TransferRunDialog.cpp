#include "transfer/forms/TransferRunDialog.h"

#include "core/Database.h"
#include "ui/WindowConventions.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

TransferRunDialog::TransferRunDialog(QWidget* parent) : QDialog(parent) {}

bool TransferRunDialog::isRunning() const {
    return !m_startButton->isEnabled();
}

QLabel* TransferRunDialog::placedLabel(const char* name, const QString& text, int x, int y, int width) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(x, y, width, 18);
    return l;
}

QPushButton* TransferRunDialog::placedButton(const char* name, const QString& text, int x, int y, int width) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, y, width, 26);
    return b;
}

void TransferRunDialog::hookFileBox(QLineEdit* box) {
    m_fileBox = box;
    HookRightClick(box);
}

void TransferRunDialog::addProgressFrame(const QString& title, int y) {
    m_frame = new QGroupBox(title, this);
    m_frame->setObjectName(QStringLiteral("Frame"));
    m_frame->setGeometry(8, y, 464, 52);
    m_progressBar = new QProgressBar(m_frame);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setGeometry(10, 22, 444, 20);
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
}

void TransferRunDialog::fillGroupList(QComboBox* box) {
    box->addItems(ReadGroupNames());
    box->setCurrentIndex(-1);
}

void TransferRunDialog::resetRun() {
    m_cancelRequested = false;
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
}

void TransferRunDialog::showProgress(qint32 value, qint32 maximum) {
    if (m_progressBar->maximum() != maximum)
        m_progressBar->setRange(0, maximum);
    m_progressBar->setValue(std::min(value, maximum));
}

void TransferRunDialog::letEventsThrough() {
    QCoreApplication::processEvents();
}

void TransferRunDialog::cancelClicked() {
    if (isRunning()) {
        if (askToCancel())
            m_cancelRequested = true;
        return;
    }
    close();
}

void TransferRunDialog::closeEvent(QCloseEvent* event) {
    if (isRunning()) {
        event->ignore();
        if (askToCancel())
            m_cancelRequested = true;
        return;
    }
    if (m_fileBox)
        UnhookRightClick(m_fileBox);
    QDialog::closeEvent(event);
}

void TransferRunDialog::reject() {
    // Escape during a run must not close the window under the run.
    if (isRunning())
        return;
    QDialog::reject();
}

void TransferRunDialog::followModeButtons(QAbstractButton* emailOnly,
                                          const std::function<void()>& chooseEmailOnly,
                                          QAbstractButton* fields,
                                          const std::function<void()>& chooseFields) {
    const auto follow = [this](QAbstractButton* button, const std::function<void()>& choose) {
        connect(button, &QAbstractButton::toggled, this, [choose](bool checked) {
            if (checked)
                choose();
        });
    };
    follow(emailOnly, chooseEmailOnly);
    follow(fields, chooseFields);
}
