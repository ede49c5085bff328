#pragma once
#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

// What the about box's "System Info" button lists: the system, the processor, the memory and the
// screens, as (item, value) rows.
using SystemInfoRows = QList<QPair<QString, QString>>;
SystemInfoRows SystemInformation();

// The processor's model name from the text of /proc/cpuinfo (empty when it names none).
QString CpuModelFromCpuInfo(const QString& cpuinfo);
// A /proc/meminfo entry ("MemTotal", "MemAvailable") in bytes; -1 when missing.
qint64 MemInfoBytes(const QString& meminfo, const QString& key);

class SystemInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit SystemInfoForm(QWidget* parent = nullptr);
};
