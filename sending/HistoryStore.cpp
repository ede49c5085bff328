#include "sending/HistoryStore.h"

#include "core/Paths.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

QString SubjectToFileName(const QString& text) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == ' ' ||
            u == '-')
            kept.append(c);
    }
    return kept.isEmpty() ? QStringLiteral("No Subject") : kept;
}

QString HistoryFolder() {
    return DataPath() + QStringLiteral("History/");
}

QString HistoryBase(const QDateTime& start, const QString& subject) {
    // Fixed "-" separators whatever the user's regional settings.
    const QLocale c = QLocale::c();
    return HistoryFolder() + c.toString(start.date(), QStringLiteral("MM-dd-yyyy")) + QLatin1Char('_') +
           c.toString(start.time(), QStringLiteral("HH-mm-ss")) + QLatin1Char('_') +
           SubjectToFileName(subject).left(64);
}

QString HistoryDetails(const QString& logFileName) {
    const QStringList parts =
        logFileName.chopped(qMin<qsizetype>(4, logFileName.size())).split(QLatin1Char('_'));
    if (parts.size() < 3)
        return QString();
    return QStringLiteral("Date = ") + parts[0] + QStringLiteral("  -  Time = ") + parts[1] +
           QStringLiteral(" - Subject = ") + parts[2];
}

QStringList ListHistoryLogs() {
    // Hidden files (a leading dot) stay out of the list, as hidden files did on the original system,
    // whose folder listing came back in name order.
    QDir dir(HistoryFolder());
    return dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
}

bool DeleteHistory() {
    QDir dir(HistoryFolder());
    bool all = true;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        all = QFile::remove(dir.filePath(name)) && all;
    return all;
}

namespace {

// "after recipient #21; #22 and later were not sent", "before recipient #1".
QString whereRunEnded(qint32 after, qint32 firstNotSent) {
    if (after <= 0)
        return QStringLiteral("before recipient #1");
    QString where = QStringLiteral("after recipient #%1").arg(after);
    if (firstNotSent > 0)
        where += QStringLiteral("; #%1 and later were not sent").arg(firstNotSent);
    return where;
}

} // namespace

QString CancelledRunLine(qint32 after, qint32 firstNotSent) {
    return QStringLiteral("The sending process was cancelled ") + whereRunEnded(after, firstNotSent) +
           QLatin1Char('.');
}

QString StoppedRunLine(qint32 after, qint32 firstNotSent, const QString& why) {
    // The History Manager finds this line in the log's last bytes: the engine's words are short, and a
    // longer text is cut rather than pushing the line out of reach.
    return QStringLiteral("The sending process was stopped ") + whereRunEnded(after, firstNotSent) +
           QStringLiteral(". The recipient database could not be read: ") + why.left(120).simplified() +
           QLatin1Char('.');
}

QString HistoryCancelNote(const QString& path) {
    // The cancel line counts only where a run's own end put it: followed by the end line, the count
    // lines and the file's last line end, so a server's reply quoted in the log cannot pass for one.
    static const QRegularExpression end(
        QStringLiteral("\r\nThe sending process was (cancelled|stopped) ((?:after|before) recipient #\\d+"
                       "(?:; #\\d+ and later were not sent)?)\\.(?: [^\r\n]*)?\r\n"
                       "Personal Sending process has been completed\\.\r\n"
                       "(?:\\d+ messages sent during process\\.\r\n)?"
                       "(?:\\d+ messages failed during process\\.\r\n)?\r\n$"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    // A log may be large; its end lines are a few hundred bytes at most.
    const qint64 tailSize = 512;
    if (file.size() > tailSize && !file.seek(file.size() - tailSize))
        return QString();
    const QRegularExpressionMatch m = end.match(QString::fromUtf8(file.read(tailSize)));
    if (!m.hasMatch())
        return QString();
    const QString how = m.captured(1);
    return how.left(1).toUpper() + how.mid(1) + QLatin1Char(' ') + m.captured(2);
}
