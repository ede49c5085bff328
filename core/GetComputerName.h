#pragma once
#include <QString>

// The name the program announces to SMTP servers: the host name with every "." removed.
QString ComputerNameFrom(const QString& hostName);
QString GetLocalComputerName();
