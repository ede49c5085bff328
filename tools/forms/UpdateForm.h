#pragma once
// "Check for Updates": asks the maker's web site whether a newer version was published and, when one
// was, hands the installer's address to the browser.
#include "tools/UpdateCheck.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class UpdateForm : public QDialog {
    Q_OBJECT
public:
    explicit UpdateForm(QWidget* parent = nullptr);
    UpdateState State() const { return m_state; }

public slots:
    void CheckButton_Click();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Show(const UpdateView& view);

    QLabel* m_label[3] = {};
    QPushButton* m_check = nullptr;
    QPushButton* m_close = nullptr;
    QProgressBar* m_progress = nullptr;
    UpdateFetcher m_fetcher;
    UpdateState m_state = UpdateState::Ready;
    bool m_closeWanted = false;
};
