#include "tools/MakerSite.h"

#include <QtGlobal>

namespace {
constexpr const char* kMakerHost = "www.torvale.example";
constexpr const char* kSupportMailbox = "support@torvale.example";

QString FromEnvironmentOr(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}
} // namespace

QString MakerHost() {
    return FromEnvironmentOr("VELANTO_TEST_MAKER_HOST", kMakerHost);
}

QString UpdateFileUrl() {
    return QStringLiteral("http://") + MakerHost() + QStringLiteral("/download-ost/setup.upd");
}

QString InstallerUrl() {
    return QStringLiteral("http://") + MakerHost() + QStringLiteral("/download-ost/setup.exe");
}

QString HomePageUrl() {
    return QStringLiteral("https://") + MakerHost() + QStringLiteral("/");
}

QString OnlineSupportUrl() {
    return QStringLiteral("http://") + MakerHost() + QStringLiteral("/support/");
}

QString SupportMailbox() {
    return FromEnvironmentOr("VELANTO_TEST_SUPPORT_ADDRESS", kSupportMailbox);
}
