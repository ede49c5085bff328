#pragma once
#include <QString>

// The per-user settings store: named text values grouped in sections. Nothing is cached, so a value
// saved by one window is seen by the next read anywhere.
QString GetSetting(const QString& section, const QString& key, const QString& defaultValue = QString());
QString GetSetting(const QString& section, const QString& key, int defaultValue);
void SaveSetting(const QString& section, const QString& key, const QString& value);
void DeleteSetting(const QString& section);

// Where the store lives (for the support report and tests).
QString SettingsFilePath();
