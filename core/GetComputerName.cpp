#include "core/GetComputerName.h"

#include <QSysInfo>

QString ComputerNameFrom(const QString& hostName) {
    QString name = hostName;
    // A name with a NUL in it ends there, as a C buffer would.
    const qsizetype nul = name.indexOf(QChar(0));
    if (nul >= 0)
        name.truncate(nul);
    name.remove(QLatin1Char('.'));
    return name;
}

QString GetLocalComputerName() {
    return ComputerNameFrom(QSysInfo::machineHostName());
}
