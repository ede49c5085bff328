#pragma once
// What the support request tells the maker about the system it runs on.
#include <QSize>
#include <QString>
#include <QStringList>

struct SystemFacts {
    QString systemName;   // the system's own product name
    QString owner;        // the user's full name from the account database
    QString organisation; // none is kept on this system: always empty
    QString homeFolder;
    QSize screen;       // the primary screen in logical pixels
    QStringList mounts; // one entry per mounted file system
    QString localIp;    // the address the request says it comes from
};

SystemFacts CollectSystemFacts();

// The full name of the account database's entry for the user: the comment field up to its first ",";
// empty when there is none.
QString OwnerFullName();

// The mounted file systems, each as its mount point followed by its type in brackets.
QStringList MountedFileSystems();

// The first IPv4 address of an interface that is up and not loopback; "127.0.0.1" when there is none.
QString LocalIpAddress();
