#pragma once
// The countdown after a send run: 60 seconds, then the sending window closes and the system is asked
// to power off. The power-off request goes through an interface so tests never switch anything off.
#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class QTimer;

class PowerOffService {
public:
    virtual ~PowerOffService() = default;
    // True when the system accepted the request.
    virtual bool requestPowerOff() = 0;
};

// logind's PowerOff over the system bus.
class LogindPowerOff final : public PowerOffService {
public:
    bool requestPowerOff() override;
};

// The service in use: logind unless a test put another in place (not owned; nullptr restores logind).
PowerOffService& CurrentPowerOffService();
void SetPowerOffService(PowerOffService* service);

class ShutDownForm : public QDialog {
    Q_OBJECT
public:
    // sendingWindow: the window to close when the countdown reaches zero (may be null).
    explicit ShutDownForm(QWidget* sendingWindow, QWidget* parent = nullptr);

public slots:
    // One second of the countdown (the timer calls it; tests may too).
    void tick();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cancelCountdown();

    QPointer<QWidget> m_sendingWindow;
    QLabel* m_counter = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer* m_timer = nullptr;
    bool m_closingOurselves = false;
};
