#include "content/DateTimeFormats.h"

namespace {

std::function<DateTimeSource()>& SourceOverride() {
    static std::function<DateTimeSource()> source;
    return source;
}

// What the locale's format writes after its first numeric field, blanks aside ("/" in "M/d/yy", "." in
// "yy. M. d."); the fallback when that is nothing or the field is followed by a name (as in "d MMM").
QString SeparatorIn(const QString& format, const QString& fieldLetters, const QString& fallback) {
    qsizetype i = 0;
    while (i < format.size() && !fieldLetters.contains(format.at(i)))
        ++i;
    const QChar field = i < format.size() ? format.at(i) : QChar();
    while (i < format.size() && format.at(i) == field)
        ++i;
    QString separator;
    for (; i < format.size() && !format.at(i).isLetter(); ++i) {
        if (format.at(i) != QLatin1Char('\'') && format.at(i) != QLatin1Char(' '))
            separator += format.at(i);
    }
    return separator.isEmpty() || (i < format.size() && !fieldLetters.contains(format.at(i))) ? fallback
                                                                                              : separator;
}

QString Two(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString Designator(const QTime& t) {
    return t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
}

int Hour12(const QTime& t) {
    const int h = t.hour() % 12;
    return h == 0 ? 12 : h;
}

} // namespace

DateTimeSource CurrentDateTimeSource() {
    if (SourceOverride())
        return SourceOverride()();
    return {QDateTime::currentDateTime(), QLocale::system()};
}

void SetDateTimeSourceForTesting(std::function<DateTimeSource()> source) {
    SourceOverride() = std::move(source);
}

QString DateSeparator(const QLocale& locale) {
    return SeparatorIn(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("dMy"), QStringLiteral("/"));
}

QString TimeSeparator(const QLocale& locale) {
    return SeparatorIn(locale.timeFormat(QLocale::ShortFormat), QStringLiteral("hHm"), QStringLiteral(":"));
}

QString FormatDateShort(const DateTimeSource& s) {
    const QDate d = s.now.date();
    const QString sep = DateSeparator(s.locale);
    return QString::number(d.month()) + sep + QString::number(d.day()) + sep + Two(d.year() % 100);
}

QString FormatDateNumeric(const DateTimeSource& s) {
    const QDate d = s.now.date();
    const QString sep = DateSeparator(s.locale);
    return Two(d.month()) + sep + Two(d.day()) + sep +
           QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
}

QString FormatDateYearFirst(const DateTimeSource& s) {
    const QDate d = s.now.date();
    const QString sep = DateSeparator(s.locale);
    return QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0')) + sep + Two(d.month()) + sep +
           Two(d.day());
}

QString FormatDateLong(const DateTimeSource& s) {
    const QDate d = s.now.date();
    return s.locale.dayName(d.dayOfWeek(), QLocale::LongFormat) + QStringLiteral(", ") +
           s.locale.monthName(d.month(), QLocale::LongFormat) + QLatin1Char(' ') + Two(d.day()) +
           QStringLiteral(", ") + QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
}

QString FormatTime12(const DateTimeSource& s) {
    const QTime t = s.now.time();
    const QString sep = TimeSeparator(s.locale);
    return Two(Hour12(t)) + sep + Two(t.minute()) + sep + Two(t.second()) + QLatin1Char(' ') + Designator(t);
}

QString FormatTime12NoSuffix(const DateTimeSource& s) {
    return FormatTime12(s).chopped(3);
}

QString FormatTime24(const DateTimeSource& s) {
    const QTime t = s.now.time();
    const QString sep = TimeSeparator(s.locale);
    return Two(t.hour()) + sep + Two(t.minute()) + sep + Two(t.second());
}

QString FormatTime24WithSuffix(const DateTimeSource& s) {
    const QTime t = s.now.time();
    return Two(t.hour()) + QLatin1Char(':') + Two(t.minute()) + QLatin1Char(':') + Two(t.second()) +
           QLatin1Char(' ') + Designator(t);
}

QStringList DateTexts(const DateTimeSource& s) {
    return {FormatDateShort(s), FormatDateNumeric(s), FormatDateYearFirst(s), FormatDateLong(s)};
}

QStringList TimeTexts(const DateTimeSource& s) {
    return {FormatTime12NoSuffix(s), FormatTime24(s), FormatTime12(s), FormatTime24WithSuffix(s)};
}
