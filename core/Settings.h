#pragma once
#include "core/SettingsKeys.h"

#include <QString>

// The per-user settings store: named text values grouped in sections. Nothing is cached, so a value
// saved by one window is seen by the next read anywhere.
QString GetSetting(const QString& section, const QString& key, const QString& defaultValue = QString());
void SaveSetting(const QString& section, const QString& key, const QString& value);
void DeleteSetting(const QString& section);

// The same through the table of SettingsKeys.h: a missing key reads as the entry's default.
QString GetSetting(const SettingEntry& setting);
void SaveSetting(const SettingEntry& setting, const QString& value);

// Where the store lives (for the support report and tests).
QString SettingsFilePath();
