#include "sending/forms/ThreadForm.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "ui/DialogButtons.h"
#include "ui/WindowConventions.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
const SettingEntry ModeSetting[3] = {Setting::SmtpThreadMode, Setting::Pop3ThreadMode,
                                     Setting::Imap4ThreadMode};
const char* const ModeOf[3] = {"No", "Single", "Second"};
const char* const CaptionOf[3] = {"No Thread", "Single Thread", "Second Thread"};
const char* const FrameCaption[3] = {"SMTP Connection", "POP3 Connection", "IMAP4 Connection"};
} // namespace

ThreadForm::ThreadForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ThreadForm"));
    SetUpDialog(this, QStringLiteral("Thread Options"), QStringLiteral("Thread Options.htm"));
    auto* layout = new QVBoxLayout(this);
    for (int g = 0; g < 3; ++g) {
        auto* frame = new QGroupBox(QString::fromLatin1(FrameCaption[g]), this);
        frame->setObjectName(QStringLiteral("Frame%1").arg(g + 1));
        auto* row = new QHBoxLayout(frame);
        const QString stored = GetSetting(ModeSetting[g]);
        for (int b = 0; b < 3; ++b) {
            auto* radio = new QRadioButton(QString::fromLatin1(CaptionOf[b]), frame);
            radio->setObjectName(QStringLiteral("RadioButton%1").arg(g * 3 + b + 1));
            radio->setChecked(stored == QLatin1String(ModeOf[b]));
            row->addWidget(radio);
            m_radio[g * 3 + b] = radio;
        }
        layout->addWidget(frame);
    }
    auto* label = new QLabel(
        QStringLiteral("Warning: Modifying this option may cause Velanto to stop working correctly."), this);
    label->setObjectName(QStringLiteral("Label"));
    label->setWordWrap(true);
    layout->addWidget(label);
    const DialogButtons buttons = MakeDialogButtons(this);
    layout->addLayout(buttons.row);
    connect(buttons.ok, &QPushButton::clicked, this, &ThreadForm::OKButton_Click);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ThreadForm::OKButton_Click() {
    // A group with no button set (a stored value none of the three) keeps what it had.
    for (int i = 0; i < 9; ++i) {
        if (m_radio[i]->isChecked())
            SaveSetting(ModeSetting[i / 3], QString::fromLatin1(ModeOf[i % 3]));
    }
    accept();
}
