#include "app/SplashForm.h"

#include "core/Version.h"
#include "ui/Pictures.h"
#include "ui/WindowConventions.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& text, qreal scale = 1.0, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * scale);
    f.setBold(bold);
    l->setFont(f);
    return l;
}
} // namespace

SplashForm::SplashForm(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("SplashForm"));
    ApplyAppearance(this);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture"));
    picture->setPixmap(VelantoPicture(128));

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame"));
    auto* torvale = label(frame, "Torvale", QStringLiteral("Torvale"), 1.2);
    auto* velanto = label(frame, "Velanto", QStringLiteral("Velanto"), 2.6, true);
    auto* version = label(frame, "Version", QStringLiteral("Version"));
    auto* number = label(frame, "VersionNumber", QString::number(VersionMajor));
    m_winVer = label(frame, "WinVer", QString());
    auto* texts = new QGridLayout(frame);
    texts->addWidget(torvale, 0, 0, 1, 2);
    texts->addWidget(velanto, 1, 0, 1, 2);
    texts->addWidget(version, 2, 0);
    texts->addWidget(number, 2, 1);
    texts->addWidget(m_winVer, 3, 0, 1, 2);
    texts->setColumnStretch(1, 1);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setRange(1, 500);
    m_progressBar->setValue(1);
    m_progressBar->setTextVisible(false);

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addWidget(frame, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addLayout(top);
    layout->addWidget(m_progressBar);
    setFixedSize(460, 220);
}
