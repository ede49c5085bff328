#include "app/AboutForm.h"

#include "app/SystemInfoForm.h"
#include "core/GetWinVer.h"
#include "core/Version.h"
#include "ui/Pictures.h"
#include "ui/WindowConventions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutForm::AboutForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutForm"));
    SetUpDialog(this, QStringLiteral("About Torvale Velanto"), QStringLiteral("Welcome.htm"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture"));
    picture->setPixmap(VelantoPicture(64));

    auto* label1 = new QLabel(QString::fromLatin1(MainWindowTitle), this);
    label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = label1->font();
    bold.setBold(true);
    label1->setFont(bold);
    auto* label2 = new QLabel(QStringLiteral("Version ") + QString::number(VersionMajor) + QLatin1Char('.') +
                                  QString::number(VersionMinor),
                              this);
    label2->setObjectName(QStringLiteral("Label2"));
    auto* label6 = new QLabel(GetWindowsName(), this);
    label6->setObjectName(QStringLiteral("Label6"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto* info = new QPushButton(QStringLiteral("System Info"), this);
    info->setObjectName(QStringLiteral("SystemInfoButton"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(label1);
    texts->addWidget(label2);
    texts->addWidget(label6);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(info);
    buttons->addStretch(1);
    top->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(info, &QPushButton::clicked, this, &AboutForm::SystemInfoButtonClicked);
}

void AboutForm::SystemInfoButtonClicked() {
    SystemInfoForm form(this);
    form.exec();
}
