#include "core/Settings.h"

#include "core/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

QSettings openStore() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Torvale"),
                     QStringLiteral("Velanto Ostrel"));
}

QString path(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

// The store can hold the account password: the file is made (or restricted) 0600 before anything is
// written, and a rewrite keeps the mode of the file it replaces.
void restrictAndSync(QSettings& s) {
    MakePrivateFolder(QFileInfo(s.fileName()).path());
    EnsurePrivateFile(s.fileName());
    s.sync();
}

} // namespace

QString GetSetting(const QString& section, const QString& key, const QString& defaultValue) {
    QSettings s = openStore();
    const QVariant v = s.value(path(section, key));
    if (!v.isValid())
        return defaultValue;
    // An unquoted value with a comma (written by hand) reads back as a list; keep it as the text it was.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QString GetSetting(const SettingEntry& setting) {
    return GetSetting(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key),
                      QString::fromLatin1(setting.missing));
}

void SaveSetting(const SettingEntry& setting, const QString& value) {
    SaveSetting(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key), value);
}

void SaveSetting(const QString& section, const QString& key, const QString& value) {
    QSettings s = openStore();
    s.setValue(path(section, key), value);
    restrictAndSync(s);
}

void DeleteSetting(const QString& section) {
    QSettings s = openStore();
    s.remove(section);
    restrictAndSync(s);
}

QString SettingsFilePath() {
    return openStore().fileName();
}
