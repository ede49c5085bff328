#include "tests/support/TestEnvironment.h"

#include "core/Paths.h"
#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdlib>

namespace testenv {

namespace {
QString& root() {
    static QString r;
    return r;
}
} // namespace

void PrepareProcessEnvironment() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/velanto-test-XXXXXX"));
    root() = dir.path();
    const char* names[] = {"HOME",           "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                           "XDG_CACHE_HOME", "TMPDIR",          "XDG_RUNTIME_DIR"};
    for (const char* name : names) {
        const QString path = root() + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(name, QFile::encodeName(path));
    }
}

QString ShippedDatabase() {
    return ProgramFolder() + QStringLiteral("Group.mdb");
}

QString FreshDataPath() {
    const QString path = root() + QStringLiteral("/data-") + QUuid::createUuid().toString(QUuid::Id128) + "/";
    QDir().mkpath(path);
    QFile::copy(ShippedDatabase(), path + QStringLiteral("Group.mdb"));
    QFile::setPermissions(path + QStringLiteral("Group.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    SetDataPath(path);
    return path;
}

void ClearSettings() {
    QFile::remove(SettingsFilePath());
}

} // namespace testenv
