#include "tools/SystemFacts.h"

#include "core/GetWinVer.h"

#include <QDir>
#include <QGuiApplication>
#include <QNetworkInterface>
#include <QScreen>
#include <QStorageInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

QString OwnerFullName() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_gecos)
        return QString();
    return QString::fromLocal8Bit(found->pw_gecos).section(u',', 0, 0);
}

QStringList MountedFileSystems() {
    QStringList out;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid())
            continue;
        out << volume.rootPath() + QStringLiteral(" [") + QString::fromLatin1(volume.fileSystemType()) +
                   QStringLiteral("]");
    }
    return out;
}

QString LocalIpAddress() {
    for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
        const auto flags = nic.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : nic.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                return entry.ip().toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

SystemFacts CollectSystemFacts() {
    SystemFacts facts;
    facts.systemName = GetWindowsName();
    facts.owner = OwnerFullName();
    facts.homeFolder = QDir::homePath();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        facts.screen = screen->size();
    facts.mounts = MountedFileSystems();
    facts.localIp = LocalIpAddress();
    return facts;
}
