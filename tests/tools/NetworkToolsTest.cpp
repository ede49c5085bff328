// What the network tools decide without their window: the DNS server list read from the resolver file,
// the address rule, the checks of the MX command in their order and the report text of each result.
#include "tools/NetworkTools.h"
#include "tests/tools/ResolvConf.h"

#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace nettools;
using toolstest::ResolvConf;

namespace {

TEST(NetworkTools, DnsServersAreTheIPv4NameserverLines) {
    ResolvConf conf("# generated\nsearch example.test\nnameserver 10.0.0.1\n  nameserver\t192.168.1.1  \n"
                    "nameserver ::1\nnameserver fe80::1%eth0\n;nameserver 1.1.1.1\nnameserver 1.2.3\n"
                    "nameserver 10.0.0.1\nnameserverx 9.9.9.9\noptions ndots:2\nnameserver 8.8.4.4");
    int error = -1;
    EXPECT_EQ(ReadDnsServers(&error), (QStringList{"10.0.0.1", "192.168.1.1", "10.0.0.1", "8.8.4.4"}));
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(ReadDnsServersFrom(conf.path() + "-missing", &error).isEmpty());
    EXPECT_EQ(error, 0);
    if (geteuid() != 0) { // root reads anything
        QFile::setPermissions(conf.path(), QFileDevice::WriteOwner);
        EXPECT_TRUE(ReadDnsServersFrom(conf.path(), &error).isEmpty());
        EXPECT_NE(error, 0);
    }
}

TEST(NetworkTools, ServerTextMustContainAnAddress) {
    const std::pair<const char*, bool> cases[] = {
        {"127.0.0.1", true},
        {"dns 10.1.2.3 primary", true},
        {"255.255.255.255", true},
        {"1.2.3.4.5", true},
        {"1.2.3", false},
        {"256.1.1.1", false},
        {"1.2.3.256", false},
        {"x1.2.3.4", false},
        {"001.002.003.004", true},
        {"01.02.03.04", true},
        {"", false},
        {"a.b.c.d", false},
    };
    for (const auto& [text, ok] : cases)
        EXPECT_EQ(ContainsIPv4Address(QString::fromLatin1(text)), ok) << text;
}

TEST(NetworkTools, MxChecksRunInOrder) {
    struct Case {
        const char* server;
        const char* domain;
        const char* message;
        MxField field;
    } cases[] = {
        {"", "", "Please enter a DNS server.", MxField::Server},
        {"1.2.3", "example.test", "Invalid IP address.", MxField::Server},
        {"127.0.0.1", "", "Please specify your domain.", MxField::Domain},
        {"127.0.0.1", "a.bc", "Domain name must be at least 5 characters.", MxField::Domain},
        {"127.0.0.1", "-example.test", "Domain name can not begin with dash.", MxField::Domain},
        {"127.0.0.1", "-abcd", "Domain name can not begin with dash.", MxField::Domain},
        {"127.0.0.1", "example.test-", "Domain name can not end with dash.", MxField::Domain},
        {"127.0.0.1", "abcde", "Domain name must have the extension.", MxField::Domain},
        {"127.0.0.1", ".example", "Domain name can not begin with dot.", MxField::Domain},
        {"127.0.0.1", "example.", "Domain name can not end with dot.", MxField::Domain},
        {"127.0.0.1", "ab.cd", "", MxField::None},
        {"127.0.0.1", "a..test", "", MxField::None},
    };
    for (const Case& c : cases) {
        const MxCheck check = CheckMxInput(QString::fromLatin1(c.server), QString::fromLatin1(c.domain));
        EXPECT_EQ(check.message, QString::fromLatin1(c.message)) << c.server << " " << c.domain;
        EXPECT_EQ(check.field, c.field) << c.server << " " << c.domain;
    }
}

TEST(NetworkTools, ReportTextByLookupResult) {
    const auto list = [](int i) { return QStringLiteral("mx%1.test").arg(i); };
    EXPECT_EQ(MxReportText(-87, list), "Invalid Parameter");
    EXPECT_EQ(MxReportText(-5, list), "Bad DNS");
    EXPECT_EQ(MxReportText(-3, list), "Bad socket");
    EXPECT_EQ(MxReportText(-1, list), "No DNS");
    EXPECT_EQ(MxReportText(-2, list), "");
    // A lookup that found nothing says so: an empty box looks as if the button had done nothing.
    EXPECT_EQ(MxReportText(0, list), NoMailServerText());
    EXPECT_EQ(MxReportText(2, list), "mx1.test\r\nmx2.test\r\n");
    // A list the DNS component could read only in part says so after what it holds.
    EXPECT_EQ(MxReportText(2, list, true), "mx1.test\r\nmx2.test\r\n" + IncompleteListText());
    EXPECT_EQ(MxReportText(0, list, true), IncompleteListText());
    EXPECT_EQ(WithCrLf(QStringLiteral("[ERROR] x\n")), "[ERROR] x\r\n");
}

} // namespace
