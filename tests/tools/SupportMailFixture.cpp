#include "tests/tools/SupportMailFixture.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "tests/support/TestEnvironment.h"

#include <QJsonArray>

namespace toolstest {

void StoreAccount(quint16 port) {
    testenv::ClearSettings();
    const QString a = QString::fromLatin1(Sections::Account);
    SaveSetting(a, QStringLiteral("Name"), QStringLiteral("Ada Sender"));
    SaveSetting(a, QStringLiteral("Email"), QStringLiteral("ada@example.test"));
    SaveSetting(a, QStringLiteral("Server"), QStringLiteral("127.0.0.1"));
    SaveSetting(a, QStringLiteral("Port"), QString::number(port));
    SaveSetting(a, QStringLiteral("Password"), kPassword);
    SaveSetting(a, QStringLiteral("Encoding"), QStringLiteral("Base 64")); // the request ignores it
    SaveSetting(a, QStringLiteral("CharSet"), QStringLiteral("Cyrillic (KOI8-R)"));
}

QString HeaderOf(const QJsonObject& envelope, const char* name) {
    return envelope[QStringLiteral("headers")]
        .toObject()[QString::fromLatin1(name)]
        .toArray()
        .at(0)
        .toString();
}

QString BodyOf(const QJsonObject& envelope) {
    return envelope[QStringLiteral("body")].toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void SupportMail::SetUp() {
    ASSERT_TRUE(peer.ok());
    StoreAccount(peer.port());
    qputenv("VELANTO_TEST_SUPPORT_ADDRESS", "help@maker.test");
}

void SupportMail::TearDown() {
    qunsetenv("VELANTO_TEST_SUPPORT_ADDRESS");
    testenv::ClearSettings();
}

SupportRequest SupportMail::request() {
    SupportRequest r;
    r.topic = QStringLiteral("Bug Report");
    r.description = QStringLiteral("Grüße from the editor: 10 € lost\nsecond line");
    return r;
}

} // namespace toolstest
