#include "sending/ThreadModes.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"

int ThreadModeValue(const QString& mode) {
    if (mode == QLatin1String("No"))
        return 2;
    if (mode == QLatin1String("Single"))
        return 0;
    if (mode == QLatin1String("Second"))
        return 1;
    return -1;
}

int SmtpThreadModeValue() {
    return ThreadModeValue(GetSetting(Setting::SmtpThreadMode));
}
