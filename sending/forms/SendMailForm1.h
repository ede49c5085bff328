#pragma once
// The sending window: starts a send run of the main window's message to its group, shows the live
// log and progress, cancels, sends a part of the group, and may shut the system down afterwards.
#include "sending/SendRun.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// The report box shows at most this many lines of a run (the newest), under a notice line.
inline constexpr int ReportLineLimit = 5000;
// The notice above a report box that no longer shows the whole log.
QString ReportTailNotice();

class SendMailForm1 : public QDialog {
    Q_OBJECT
public:
    explicit SendMailForm1(QWidget* parent = nullptr);

    // Where a run's input comes from: its opener's message (nothing to send until one is given).
    void setInputSource(std::function<SendRunInput()> source) { m_inputSource = std::move(source); }
    SendRun& run() { return m_run; }
    const PartialRange& partialRange() const { return m_partial; }
    bool isRunning() const { return m_run.isRunning(); }

public slots:
    void SendButton_Click();
    void PartialButton_Click();
    void CancelButton_Click();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void startRun();
    // A close or Cancel during a run: asks, and on Yes cancels the run. The window stays open.
    void askToCancel();
    void scheduleFlush();
    void flushLog();
    // Cuts the waiting batch to the lines the box can still show.
    void keepPendingTail();

    SendRun m_run;
    PartialRange m_partial;
    std::function<SendRunInput()> m_inputSource;
    QPushButton* m_send = nullptr;
    QPushButton* m_partialButton = nullptr;
    QPushButton* m_cancel = nullptr;
    QProgressBar* m_messageProgress = nullptr;
    QProgressBar* m_overallProgress = nullptr;
    QPlainTextEdit* m_report = nullptr;
    QCheckBox* m_shutDown = nullptr;
    QLineEdit* m_textSubject = nullptr;
    QString m_pendingLog;
    qsizetype m_pendingNewlines = 0;    // line ends in m_pendingLog, counted as it grows
    bool m_pendingReplacesView = false; // the batch alone has more lines than the box shows
    QString m_pendingSubject;           // null: nothing new
    bool m_reportTrimmed = false;
    qint32 m_overallValue = 0;
    qint32 m_overallMaximum = 100;
    qint32 m_messageValue = 0;
    qint32 m_messageMaximum = 100;
    QTimer* m_flushTimer = nullptr;
};
