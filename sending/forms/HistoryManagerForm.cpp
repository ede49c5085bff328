#include "sending/forms/HistoryManagerForm.h"

#include "recipients/forms/FlexGrid.h"
#include "sending/HistoryStore.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/ShellOpener.h"
#include "ui/WindowConventions.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

HistoryManagerForm::HistoryManagerForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HistoryManagerForm"));
    SetUpDialog(this, QStringLiteral("History Manager"), QStringLiteral("History Manager.htm"));

    m_grid = new QTableWidget(0, 2, this);
    m_grid->setObjectName(QStringLiteral("MSFlexGrid"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Details")});
    SetUpFlexGrid(m_grid, {750, 6225});
    NameControl(m_grid, QStringLiteral("History"));
    m_grid->setMinimumWidth((750 + 6225) / 15 + 24);

    auto* openLog = new QPushButton(QStringLiteral("Open Log"), this);
    openLog->setObjectName(QStringLiteral("OpenLogButton"));
    auto* openMessage = new QPushButton(QStringLiteral("Open Message"), this);
    openMessage->setObjectName(QStringLiteral("OpenMessageButton"));
    auto* deleteHistory = new QPushButton(QStringLiteral("Delete History"), this);
    deleteHistory->setObjectName(QStringLiteral("DeleteHistoryButton"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(openLog);
    buttons->addWidget(openMessage);
    buttons->addWidget(deleteHistory);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(openLog, &QPushButton::clicked, this, &HistoryManagerForm::OpenLogButton_Click);
    connect(openMessage, &QPushButton::clicked, this, &HistoryManagerForm::OpenMessageButton_Click);
    connect(deleteHistory, &QPushButton::clicked, this, &HistoryManagerForm::DeleteHistoryButton_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    const QStringList logs = ListHistoryLogs();
    if (logs.isEmpty()) {
        m_grid->setEnabled(false);
        return;
    }
    for (const QString& name : logs) {
        m_historyFiles << name;
        QFile::setPermissions(HistoryFolder() + name, QFile::ReadOwner | QFile::WriteOwner);
        const int row = m_grid->rowCount();
        m_grid->insertRow(row);
        m_grid->setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
        // A cancelled run is marked, so nobody takes it for a run that reached everyone.
        QString details = HistoryDetails(name);
        const QString cancelled = HistoryCancelNote(HistoryFolder() + name);
        if (!cancelled.isEmpty())
            details += QStringLiteral(" - ") + cancelled;
        m_grid->setItem(row, 1, new QTableWidgetItem(details));
    }
    // A subject may take 64 characters: the column grows to the longest row (the grid scrolls sideways)
    // rather than cutting the text off.
    const int startWidth = m_grid->columnWidth(1);
    m_grid->resizeColumnToContents(1);
    m_grid->setColumnWidth(1, qMax(startWidth, m_grid->columnWidth(1)));
    m_grid->selectRow(0);
    FG_AlternateRowColors(m_grid, QColor(255, 255, 192), QColor(255, 200, 0));
}

QString HistoryManagerForm::currentLogName() const {
    if (m_grid->rowCount() == 0)
        return QString();
    const int row = qMax(0, m_grid->currentRow());
    const int n = m_grid->item(row, 0)->text().toInt();
    return n >= 1 && n <= m_historyFiles.size() ? m_historyFiles[n - 1] : QString();
}

void HistoryManagerForm::OpenLogButton_Click() {
    if (m_grid->rowCount() == 0) {
        ShowMessage(this, QStringLiteral("There is no log to view."), QMessageBox::Warning);
        return;
    }
    const QString path = HistoryFolder() + currentLogName();
    if (QFileInfo(path).isFile())
        OpenOrShowWhere(this, path, QStringLiteral("log"));
    else
        ShowMessage(this, QStringLiteral("Server Log is not available."), QMessageBox::Warning);
}

void HistoryManagerForm::OpenMessageButton_Click() {
    if (m_grid->rowCount() == 0) {
        ShowMessage(this, QStringLiteral("There is no message to view."), QMessageBox::Warning);
        return;
    }
    const QString path = HistoryFolder() + currentLogName().chopped(4) + QStringLiteral(".eml");
    if (QFileInfo(path).isFile())
        OpenOrShowWhere(this, path, QStringLiteral("message"));
    else
        ShowMessage(this, QStringLiteral("Original Message is not available."), QMessageBox::Warning);
}

void HistoryManagerForm::DeleteHistoryButton_Click() {
    if (m_grid->rowCount() == 0) {
        ShowMessage(this, QStringLiteral("There is no history to delete."), QMessageBox::Warning);
        return;
    }
    if (ShowMessage(this, QStringLiteral("Are you sure you want to delete your history?"),
                    QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    DeleteHistory();
    accept();
}
