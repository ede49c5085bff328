#pragma once
#include <QSize>
#include <QString>

// What the system's version query reports. Tests inject values; on this platform the host is described
// by its own product name instead.
struct WindowsVersionInfo {
    qint32 platformId = 0; // 2 = the NT family
    qint32 major = 0;
    qint32 minor = 0;
    qint32 productType = 0; // 1 = workstation
};

inline constexpr const char* UnknownWindows = "Unknown Windows";

// The product name for a version ("Windows 7", "Windows Server 2016", ... or "Unknown Windows").
QString GetWindowsName(const WindowsVersionInfo& version);

// The running system's name: the host's own product name, which start-up accepts.
QString GetWindowsName();

// The main window's minimum size on a system of that name; the host's own name is treated like
// "Windows 10", and an unknown name leaves the size unset (0 x 0).
QSize MinimumWindowSizeFor(const QString& systemName);
