#include "app/SystemInfoForm.h"

#include "core/GetComputerName.h"
#include "ui/FieldLabels.h"
#include "ui/WindowConventions.h"

#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSysInfo>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString readProcFile(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString bytesText(qint64 bytes) {
    return bytes < 0 ? QStringLiteral("unknown") : QLocale::c().formattedDataSize(bytes);
}
} // namespace

QString CpuModelFromCpuInfo(const QString& cpuinfo) {
    static const QRegularExpression model(QStringLiteral("^(model name|Model|cpu model)\\s*:\\s*(.+)$"),
                                          QRegularExpression::MultilineOption);
    const auto match = model.match(cpuinfo);
    return match.hasMatch() ? match.captured(2).trimmed() : QString();
}

qint64 MemInfoBytes(const QString& meminfo, const QString& key) {
    const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(key) +
                                      QStringLiteral(":\\s*(\\d+)\\s*kB"),
                                  QRegularExpression::MultilineOption);
    const auto match = line.match(meminfo);
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : -1;
}

SystemInfoRows SystemInformation() {
    SystemInfoRows rows;
    rows.append({QStringLiteral("System"), QSysInfo::prettyProductName()});
    rows.append(
        {QStringLiteral("Kernel"), QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion()});
    rows.append({QStringLiteral("Computer name"), GetLocalComputerName()});
    const QString cpuModel = CpuModelFromCpuInfo(readProcFile("/proc/cpuinfo"));
    rows.append(
        {QStringLiteral("Processor"), cpuModel.isEmpty() ? QSysInfo::currentCpuArchitecture() : cpuModel});
    rows.append({QStringLiteral("Architecture"), QSysInfo::currentCpuArchitecture()});
    rows.append({QStringLiteral("Logical processors"), QString::number(QThread::idealThreadCount())});
    const QString meminfo = readProcFile("/proc/meminfo");
    rows.append(
        {QStringLiteral("Total memory"), bytesText(MemInfoBytes(meminfo, QStringLiteral("MemTotal")))});
    rows.append({QStringLiteral("Available memory"),
                 bytesText(MemInfoBytes(meminfo, QStringLiteral("MemAvailable")))});
    int index = 1;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QSize size = screen->size();
        rows.append({QStringLiteral("Screen %1").arg(index++),
                     QStringLiteral("%1 x %2, %3 dpi%4")
                         .arg(size.width())
                         .arg(size.height())
                         .arg(qRound(screen->logicalDotsPerInch()))
                         .arg(screen == QGuiApplication::primaryScreen() ? QStringLiteral(" (primary)")
                                                                         : QString())});
    }
    rows.append({QStringLiteral("Qt"), QString::fromLatin1(qVersion())});
    return rows;
}

SystemInfoForm::SystemInfoForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SystemInfoForm"));
    SetUpDialog(this, QStringLiteral("System Information"), QString());

    auto* list = new QTreeWidget(this);
    NameControl(list, QStringLiteral("System information"));
    list->setObjectName(QStringLiteral("SystemInfoList"));
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("Item"), QStringLiteral("Value")});
    list->setRootIsDecorated(false);
    for (const auto& [item, value] : SystemInformation())
        list->addTopLevelItem(new QTreeWidgetItem({item, value}));
    list->resizeColumnToContents(0);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addWidget(ok, 0, Qt::AlignRight);
    resize(520, 340);
}
