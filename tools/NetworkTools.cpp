#include "tools/NetworkTools.h"

#include "com/LateBound.h"

#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <cerrno>

namespace nettools {

namespace {
QString& ResolvConfOverride() {
    static QString path;
    return path;
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QString Hex(com::HRESULT hr) {
    return QString::number(static_cast<quint32>(hr), 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

// What the class registry left out (a file it does not trust, no user registry at all) is what the user
// can mend: it follows the message.
QString CreationFailure(com::HRESULT hr) {
    QString text =
        QStringLiteral("The DNS component (%1) could not be created (error 0x%2). Register it with "
                       "velanto-regsvr and try again.")
            .arg(QLatin1String(kDnsProgId), Hex(hr));
    for (const std::string& note : com::RegistryNotes())
        text += QLatin1Char('\n') + QString::fromStdString(note);
    return text;
}

QString CallFailure(const char16_t* member, com::HRESULT hr) {
    return QStringLiteral("The DNS component failed in %1 (error 0x%2).")
        .arg(QString::fromUtf16(member), Hex(hr));
}

DnsOutcome TextCall(const char16_t* member, const QString& argument) {
    DnsOutcome out;
    com::LateBound dns;
    const com::HRESULT created = dns.Create(kDnsProgId);
    if (com::Failed(created)) {
        out.failure = CreationFailure(created);
        return out;
    }
    out.created = true;
    com::Variant result;
    const com::HRESULT hr = dns.Method(member, {com::Variant::String(Utf8(argument))}, &result);
    if (com::Failed(hr)) {
        out.failure = CallFailure(member, hr);
        return out;
    }
    out.text = WithCrLf(QString::fromStdString(result.toUtf8()));
    return out;
}
} // namespace

void SetResolvConfPathForTests(const QString& path) {
    ResolvConfOverride() = path;
}

QStringList ReadDnsServers(int* error) {
    return ReadDnsServersFrom(
        ResolvConfOverride().isEmpty() ? QStringLiteral("/etc/resolv.conf") : ResolvConfOverride(), error);
}

QStringList ReadDnsServersFrom(const QString& path, int* error) {
    if (error)
        *error = 0;
    QStringList servers;
    QFile file(path);
    if (!file.exists())
        return servers;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.error() == QFileDevice::PermissionsError ? EACCES : EIO;
        return servers;
    }
    // A resolver file is small; anything past the first 64 KB is not read.
    const QByteArray content = file.read(64 * 1024);
    for (const QByteArray& rawLine : content.split('\n')) {
        const QByteArray line = rawLine.simplified();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2 || fields[0] != "nameserver")
            continue;
        const QString candidate = QString::fromLatin1(fields[1]);
        QHostAddress address;
        if (address.setAddress(candidate) && address.protocol() == QAbstractSocket::IPv4Protocol &&
            candidate.count(QLatin1Char('.')) == 3)
            servers << address.toString();
    }
    return servers;
}

bool ContainsIPv4Address(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral(
            "\\b(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|"
            "2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern.match(text).hasMatch();
}

MxCheck CheckMxInput(const QString& server, const QString& domain) {
    if (server.isEmpty())
        return {QStringLiteral("Please enter a DNS server."), MxField::Server};
    if (!ContainsIPv4Address(server))
        return {QStringLiteral("Invalid IP address."), MxField::Server};
    if (domain.isEmpty())
        return {QStringLiteral("Please specify your domain."), MxField::Domain};
    if (domain.size() < 5)
        return {QStringLiteral("Domain name must be at least 5 characters."), MxField::Domain};
    if (domain.startsWith(QLatin1Char('-')))
        return {QStringLiteral("Domain name can not begin with dash."), MxField::Domain};
    if (domain.endsWith(QLatin1Char('-')))
        return {QStringLiteral("Domain name can not end with dash."), MxField::Domain};
    if (!domain.contains(QLatin1Char('.')))
        return {QStringLiteral("Domain name must have the extension."), MxField::Domain};
    if (domain.startsWith(QLatin1Char('.')))
        return {QStringLiteral("Domain name can not begin with dot."), MxField::Domain};
    if (domain.endsWith(QLatin1Char('.')))
        return {QStringLiteral("Domain name can not end with dot."), MxField::Domain};
    return {};
}

bool IsHostKey(QChar c) {
    const ushort u = c.unicode();
    return u == 8 || u == '-' || u == '.' || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') ||
           (u >= 'a' && u <= 'z');
}

bool IsAddressKey(QChar c) {
    const ushort u = c.unicode();
    return u == 8 || u == '.' || (u >= '0' && u <= '9');
}

QString WithCrLf(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return out;
}

QString NoMailServerText() {
    return QStringLiteral(
        "No mail server found. The DNS server did not answer or knows no MX record for this domain.");
}

QString IncompleteListText() {
    return QStringLiteral("Incomplete list: the DNS server's reply was cut short, and asking again over TCP "
                          "failed.");
}

QString MxReportText(int result, const std::function<QString(int)>& serverList, bool incomplete) {
    switch (result) {
    case -87:
        return QStringLiteral("Invalid Parameter");
    case -5:
        return QStringLiteral("Bad DNS");
    case -3:
        return QStringLiteral("Bad socket");
    case -1:
        return QStringLiteral("No DNS");
    case 0:
        // Nothing read of a reply cut short is not "no mail server".
        if (!incomplete)
            return NoMailServerText();
        break;
    default:
        break;
    }
    QString report;
    for (int index = 1; index <= result; ++index)
        report += serverList(index) + QStringLiteral("\r\n");
    if (incomplete)
        report += IncompleteListText();
    return report;
}

DnsOutcome NameToAddress(const QString& host) {
    return TextCall(u"GetIPFromName", host);
}

DnsOutcome AddressToName(const QString& address) {
    return TextCall(u"GetNameFromIP", address);
}

DnsOutcome MxLookup(const QString& server, const QString& domain) {
    DnsOutcome out;
    com::LateBound dns;
    const com::HRESULT created = dns.Create(kDnsProgId);
    if (com::Failed(created)) {
        out.failure = CreationFailure(created);
        return out;
    }
    out.created = true;
    com::Variant count;
    com::HRESULT hr = dns.Method(
        u"MXLookup", {com::Variant::String(Utf8(server)), com::Variant::String(Utf8(domain))}, &count);
    if (com::Failed(hr)) {
        out.failure = CallFailure(u"MXLookup", hr);
        return out;
    }
    // The component tells a list it could read only in part by its last error.
    com::Variant lastError;
    hr = dns.Method(u"GetSystemError", {}, &lastError);
    if (com::Failed(hr)) {
        out.failure = CallFailure(u"GetSystemError", hr);
        return out;
    }
    out.text = MxReportText(
        count.toLong(),
        [&](int index) {
            com::Variant host;
            const com::HRESULT listed = dns.Method(u"MXServerList", {com::Variant::Long(index)}, &host);
            if (com::Failed(listed) && out.failure.isEmpty())
                out.failure = CallFailure(u"MXServerList", listed);
            return QString::fromStdString(host.toUtf8());
        },
        lastError.toLong() == kMxListIncomplete);
    return out;
}

} // namespace nettools
