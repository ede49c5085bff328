#pragma once
// Lists the send runs of the history store, opens a run's log or message, deletes the whole history.
#include <QDialog>
#include <QStringList>

class QTableWidget;

class HistoryManagerForm : public QDialog {
    Q_OBJECT
public:
    explicit HistoryManagerForm(QWidget* parent = nullptr);

    // Log file names in the order listed; grid row i shows entry i - 1.
    const QStringList& HistoryFiles() const { return m_historyFiles; }

public slots:
    void OpenLogButton_Click();
    void OpenMessageButton_Click();
    void DeleteHistoryButton_Click();

private:
    // The log file name of the current row, or empty when the grid has only its header row.
    QString currentLogName() const;

    QTableWidget* m_grid = nullptr;
    QStringList m_historyFiles;
};
