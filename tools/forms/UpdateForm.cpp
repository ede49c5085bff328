#include "tools/forms/UpdateForm.h"

#include "tools/MakerSite.h"
#include "ui/Pictures.h"
#include "ui/ShellOpener.h"
#include "ui/WindowConventions.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

UpdateForm::UpdateForm(QWidget* parent) : QDialog(parent), m_fetcher(UpdateFetchTimeoutMs()) {
    setObjectName(QStringLiteral("UpdateForm"));
    SetUpDialog(this, QStringLiteral("Check for Updates"), QStringLiteral("Contact Information.htm"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture"));
    picture->setPixmap(VelantoPicture(64));
    picture->setAlignment(Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        m_label[i] = new QLabel(this);
        m_label[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        // What the web site sends is shown as it stands, never interpreted as markup.
        m_label[i]->setTextFormat(Qt::PlainText);
        m_label[i]->setWordWrap(true);
        m_label[i]->setMinimumWidth(360);
        texts->addWidget(m_label[i]);
    }
    texts->addStretch();
    auto* frame = new QGroupBox(QStringLiteral("Progress"), this);
    frame->setObjectName(QStringLiteral("Frame"));
    m_progress = new QProgressBar(frame);
    m_progress->setObjectName(QStringLiteral("ProgressBar"));
    m_progress->setRange(0, 10000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    (new QVBoxLayout(frame))->addWidget(m_progress);

    m_check = new QPushButton(QStringLiteral("Check"), this);
    m_check->setObjectName(QStringLiteral("CheckButton"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("CloseButton"));

    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_check);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    connect(m_check, &QPushButton::clicked, this, &UpdateForm::CheckButton_Click);
    connect(m_close, &QPushButton::clicked, this, &UpdateForm::reject);
    Show(ReadyView());
}

void UpdateForm::Show(const UpdateView& view) {
    m_state = view.state;
    m_label[0]->setText(view.label1);
    m_label[1]->setText(view.label2);
    m_label[2]->setText(view.label3);
    m_check->setText(view.buttonCaption);
    m_check->setEnabled(view.buttonEnabled);
    if (view.progressFull)
        m_progress->setValue(m_progress->maximum());
    (view.focusOnCheck ? m_check : m_close)->setFocus();
    // Longer texts wrap onto more lines: the window grows so that none of them is cut off.
    layout()->activate();
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

void UpdateForm::CheckButton_Click() {
    if (!m_check->isEnabled() || m_fetcher.IsRunning())
        return;
    m_check->setEnabled(false);
    if (m_state == UpdateState::NewerFound) {
        Show(DownloadView());
        OpenWebPage(InstallerUrl()); // whether a browser took it is not known here
        return;
    }
    Show(CheckingView());
    const UpdateFetchResult result = m_fetcher.Fetch(QUrl(UpdateFileUrl()));
    Show(ViewForAnswer(result, InstalledVersionText()));
    if (m_closeWanted)
        QDialog::reject();
}

// Closing while the fetch runs ends the fetch; the window goes once the click handler has finished.
void UpdateForm::reject() {
    if (m_fetcher.IsRunning()) {
        m_closeWanted = true;
        m_fetcher.Abort();
        return;
    }
    QDialog::reject();
}

void UpdateForm::closeEvent(QCloseEvent* event) {
    if (m_fetcher.IsRunning()) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}
