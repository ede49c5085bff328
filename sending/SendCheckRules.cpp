#include "sending/SendCheckRules.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"

bool IsReplyOrForwardSubject(const QString& subject) {
    const QString three = subject.left(3).toUpper();
    const QString four = subject.left(4).toUpper();
    return three == QLatin1String("RE:") || three == QLatin1String("FW:") || four == QLatin1String("RE :") ||
           four == QLatin1String("FW :");
}

bool IsEmptyBodyText(const QString& text) {
    QString rest = text;
    rest.remove(QLatin1String("\r\n"));
    rest.remove(QLatin1Char(' '));
    return rest.isEmpty();
}

bool AccountIsComplete() {
    for (const char* key : {Keys::Name, Keys::Email, Keys::Server, Keys::Port}) {
        if (GetSetting(Sections::Account, key).isEmpty())
            return false;
    }
    return true;
}
