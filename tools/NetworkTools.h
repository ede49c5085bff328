#pragma once
// What the network tools window decides, without widgets: the DNS server list, the checks of the MX
// command, the typed-key rules, the report text, and the DNS calls themselves (one DNS object created by
// ProgID per command, called by member name, released when the command ends).
#include <QString>
#include <QStringList>
#include <functional>

namespace nettools {

// The system's DNS servers: the IPv4 addresses of the "nameserver" lines of /etc/resolv.conf, in file
// order. A missing file has none; *error is the system error number when the file exists but cannot be read.
QStringList ReadDnsServers(int* error = nullptr);
QStringList ReadDnsServersFrom(const QString& path, int* error = nullptr);
// Tests point the window at a file of their own.
void SetResolvConfPathForTests(const QString& path);

// Whether the text contains a dotted IPv4 address between word boundaries (not anchored).
bool ContainsIPv4Address(const QString& text);

enum class MxField { None, Server, Domain };
struct MxCheck {
    QString message; // empty when the input passes
    MxField field = MxField::None;
};
// The checks of the MX command, in their order, on already trimmed texts.
MxCheck CheckMxInput(const QString& server, const QString& domain);

// Typed keys: host names and domains take letters, digits, "-" and "."; addresses take digits and ".".
bool IsHostKey(QChar c);
bool IsAddressKey(QChar c);

// Every LF becomes CR LF.
QString WithCrLf(const QString& text);

// What the report says when a lookup found no mail server: the DNS object answers 0 both for a domain
// without MX records and for a server that never replied, so the text names both.
QString NoMailServerText();

// What the report says after the hosts when the DNS component could read only part of the server's reply.
QString IncompleteListText();

// The report of an MX lookup by its result; serverList gives the text of each 1-based index.
QString MxReportText(int result, const std::function<QString(int)>& serverList, bool incomplete = false);

// One command's call on a fresh DNS object. created is false when the object could not be made (then
// failure says why); a call that fails after creation also sets failure.
struct DnsOutcome {
    bool created = false;
    QString text;
    QString failure;
};
DnsOutcome NameToAddress(const QString& host);
DnsOutcome AddressToName(const QString& address);
// text is the report as the window shows it.
DnsOutcome MxLookup(const QString& server, const QString& domain);

inline constexpr const char* kDnsProgId = "Kelvorin.DNS.1";
// The DNS object's last error after an MX lookup whose reply it could read only in part (the Windows
// Sockets number for a message longer than its buffer).
inline constexpr int kMxListIncomplete = 10040;

} // namespace nettools
