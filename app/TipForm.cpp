#include "app/TipForm.h"

#include "app/Tips.h"
#include "core/Globals.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "ui/Pictures.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TipForm::TipForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TipForm"));
    SetUpDialog(this, QStringLiteral("Tip of the Day"), QStringLiteral("Welcome.htm"));

    auto* picture1 = new QLabel(this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setPixmap(TipPicture(48));
    picture1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto* picture2 = new QLabel(this);
    picture2->setObjectName(QStringLiteral("Picture2"));
    picture2->setPixmap(VelantoPicture(48));
    picture2->setAlignment(Qt::AlignBottom | Qt::AlignHCenter);

    auto* label1 = new QLabel(QStringLiteral("Did you know..."), this);
    label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = label1->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    label1->setFont(bold);

    m_tipText = new QLabel(this);
    m_tipText->setObjectName(QStringLiteral("TipText"));
    m_tipText->setWordWrap(true);
    m_tipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_tipText->setMinimumSize(360, 130);

    // The tip sits on a white card, as on a page.
    auto* card = new QFrame(this);
    card->setFrameShape(QFrame::StyledPanel);
    card->setStyleSheet(QStringLiteral("QFrame { background: white; }"));
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->addWidget(label1);
    cardLayout->addWidget(m_tipText, 1);

    auto* side = new QVBoxLayout;
    side->addWidget(picture1);
    side->addStretch(1);
    side->addWidget(picture2);
    auto* body = new QHBoxLayout;
    body->addLayout(side);
    body->addWidget(card, 1);

    m_tipCheckBox = new QCheckBox(QStringLiteral("Show Tips at Startup"), this);
    m_tipCheckBox->setObjectName(QStringLiteral("TipCheckBox"));
    m_tipCheckBox->setChecked(true);
    auto* next = new QPushButton(QStringLiteral("Next Tip"), this);
    next->setObjectName(QStringLiteral("NextTipButton"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_tipCheckBox);
    bottom->addStretch(1);
    bottom->addWidget(next);
    bottom->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(bottom);

    connect(next, &QPushButton::clicked, this, &TipForm::ShowNextTip);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // Stored at once: OK is not needed, and the close box keeps what was clicked.
    connect(m_tipCheckBox, &QCheckBox::clicked, this, [](bool on) {
        SaveSetting(Setting::OptionsTips, on ? QStringLiteral("1") : QStringLiteral("0"));
    });

    ShowNextTip();
}

void TipForm::ShowNextTip() {
    m_tipText->setText(TipOfTheDay::Next());
}

void TipForm::ShowTip(QWidget* parent) {
    if (!TipForced && !TipOfTheDay::ShowAtStartup())
        return;
    TipForm form(parent);
    form.exec();
}
