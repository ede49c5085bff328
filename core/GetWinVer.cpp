#include "core/GetWinVer.h"

#include <QStringList>
#include <QSysInfo>

QString GetWindowsName(const WindowsVersionInfo& v) {
    const QString unknown = QString::fromLatin1(UnknownWindows);
    if (v.platformId != 2)
        return unknown;
    const bool workstation = v.productType == 1;
    const auto pick = [&](const char* ws, const char* server) {
        return QString::fromLatin1(workstation ? ws : server);
    };
    if (v.major == 5 && v.minor == 1)
        return pick("Windows XP", "Windows XP");
    if (v.major == 5 && v.minor == 2)
        return pick("Windows XP", "Windows Server 2003");
    if (v.major == 6 && v.minor == 0)
        return pick("Windows Vista", "Windows Server 2008");
    if (v.major == 6 && v.minor == 1)
        return pick("Windows 7", "Windows Server 2008 R2");
    if (v.major == 6 && v.minor == 2)
        return pick("Windows 8", "Windows Server 2012");
    if (v.major == 6 && v.minor == 3)
        return pick("Windows 8.1", "Windows Server 2012 R2");
    if (v.major == 10 && v.minor == 0)
        return pick("Windows 10", "Windows Server 2016");
    return unknown;
}

QString GetWindowsName() {
    static const QString name = [] {
        const QString pretty = QSysInfo::prettyProductName();
        return pretty.isEmpty() ? QSysInfo::kernelType() : pretty;
    }();
    return name;
}

QSize MinimumWindowSizeFor(const QString& name) {
    if (name == QLatin1String("Windows XP"))
        return {640, 503};
    if (name == QLatin1String("Windows Vista"))
        return {648, 505};
    if (QStringList{"Windows Server 2003", "Windows Server 2008", "Windows Server 2008 R2"}.contains(name))
        return {640, 496};
    if (name == QLatin1String("Windows 7"))
        return {648, 507};
    if (QStringList{"Windows 8", "Windows Server 2012", "Windows 8.1", "Windows Server 2012 R2", "Windows 10",
                    "Windows Server 2016"}
            .contains(name))
        return {648, 508};
    if (name == QLatin1String(UnknownWindows) || name.startsWith(QLatin1String("Windows")))
        return {0, 0};
    // The host's own system counts as the newest supported one.
    return {648, 508};
}
