#pragma once
// The eight date and time texts of the date and time dialog. The date and time separators and the
// month and weekday names come from the locale; the AM and PM designators are always "AM" and "PM".
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

// The moment and the locale the texts are made for.
struct DateTimeSource {
    QDateTime now;
    QLocale locale;
};

// The running program's clock and the system's locale; tests put their own in place (an empty function
// restores the system's).
DateTimeSource CurrentDateTimeSource();
void SetDateTimeSourceForTesting(std::function<DateTimeSource()> source);

// The separators the locale writes between the parts of a short date and of a time.
QString DateSeparator(const QLocale& locale);
QString TimeSeparator(const QLocale& locale);

QString FormatDateShort(const DateTimeSource& s);      // m/d/yy
QString FormatDateNumeric(const DateTimeSource& s);    // mm/dd/yyyy
QString FormatDateYearFirst(const DateTimeSource& s);  // yyyy/mm/dd
QString FormatDateLong(const DateTimeSource& s);       // dddd, mmmm dd, yyyy
QString FormatTime12NoSuffix(const DateTimeSource& s); // hh:mm:ss on the 12-hour clock
QString FormatTime24(const DateTimeSource& s);         // hh:mm:ss
QString FormatTime12(const DateTimeSource& s);         // hh:mm:ss AM/PM
// The 24-hour time with literal colons, then the designator of the moment.
QString FormatTime24WithSuffix(const DateTimeSource& s);

// The four date texts and the four time texts in list order.
QStringList DateTexts(const DateTimeSource& s);
QStringList TimeTexts(const DateTimeSource& s);
