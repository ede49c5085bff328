#pragma once
#include <QDialog>
#include <functional>

class QAbstractButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// What the import and export windows share around a run: while one goes on, Escape never closes the
// window under it, Cancel and the close box ask whether to stop it, and the progress bar follows it.
class TransferRunDialog : public QDialog {
    Q_OBJECT
public:
    // A run goes on while the button that starts it is disabled.
    bool isRunning() const;

public slots:
    void cancelClicked();
    void reject() override;

protected:
    explicit TransferRunDialog(QWidget* parent);

    // The question whether to stop the run; true when the user wants it stopped.
    virtual bool askToCancel() = 0;

    // A label or button of the window at a fixed place, named as given.
    QLabel* placedLabel(const char* name, const QString& text, int x, int y, int width);
    QPushButton* placedButton(const char* name, const QString& text, int x, int y, int width = 88);

    void setStartButton(QPushButton* button) { m_startButton = button; }
    // The file box keeps its context menu away while the window is open.
    void hookFileBox(QLineEdit* box);
    // The frame with the run's progress bar, across the window at height y.
    void addProgressFrame(const QString& title, int y);
    // Every group's name, none chosen.
    static void fillGroupList(QComboBox* box);
    // The two mode buttons: each sets its mode when it becomes checked, however that happens (a click,
    // the arrow keys, or a screen reader's Toggle, which checks a button without clicking it).
    void followModeButtons(QAbstractButton* emailOnly, const std::function<void()>& chooseEmailOnly,
                           QAbstractButton* fields, const std::function<void()>& chooseFields);

    bool cancelRequested() const { return m_cancelRequested; }

    // Forgets an earlier cancel request and empties the bar; returns how the run reports to the window.
    template <typename RunHooks>
    RunHooks startRun() {
        resetRun();
        RunHooks hooks;
        hooks.progress = [this](qint32 value, qint32 maximum) { showProgress(value, maximum); };
        hooks.cancelRequested = [this] { return m_cancelRequested; };
        hooks.yield = &TransferRunDialog::letEventsThrough;
        return hooks;
    }

    void closeEvent(QCloseEvent* event) override;

private:
    void resetRun();
    void showProgress(qint32 value, qint32 maximum);
    static void letEventsThrough();

    QPushButton* m_startButton = nullptr;
    QLineEdit* m_fileBox = nullptr;
    QGroupBox* m_frame = nullptr;
    QProgressBar* m_progressBar = nullptr;
    bool m_cancelRequested = false;
};
