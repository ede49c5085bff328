#include "mail/MessageHeaders.h"

#include "mail/GMimeInclude.h"
#include "mail/MailCharsets.h"
#include "mail/MimeSupport.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace mail {

QList<MessageRecipient> ParseAddresses(const QByteArray& raw, qint32 type, qsizetype room, bool* cut) {
    QList<MessageRecipient> out;
    QList<QByteArray> items;
    QByteArray current;
    bool quoted = false;
    int angle = 0, comment = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (items.size() > room) { // one more than room tells whether anything was left out
            *cut = true;
            break;
        }
        const char c = raw.at(i);
        if (quoted) {
            current += c;
            if (c == '\\' && i + 1 < raw.size())
                current += raw.at(++i);
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"' && comment == 0)
            quoted = true;
        else if (c == '(')
            ++comment;
        else if (c == ')' && comment > 0)
            --comment;
        else if (c == '<' && comment == 0)
            ++angle;
        else if (c == '>' && comment == 0 && angle > 0)
            --angle;
        if (comment == 0 && angle == 0 && (c == ',' || c == ';')) {
            items << current;
            current.clear();
            continue;
        }
        if (comment == 0 && angle == 0 && c == ':') { // a group name: its members follow
            current.clear();
            continue;
        }
        current += c;
    }
    items << current;
    for (const QByteArray& rawItem : items) {
        const QByteArray item = rawItem.trimmed();
        if (item.isEmpty())
            continue;
        if (out.size() >= room) {
            *cut = true;
            break;
        }
        MessageRecipient r;
        r.RecipientType = type;
        const qsizetype lt = item.lastIndexOf('<');
        const qsizetype gt = item.lastIndexOf('>');
        QByteArray phrase;
        if (lt >= 0 && gt > lt) {
            r.RecipientAddress = QString::fromUtf8(item.mid(lt + 1, gt - lt - 1).trimmed());
            phrase = item.left(lt).trimmed();
        } else {
            QByteArray addr = item;
            const qsizetype open = addr.indexOf('(');
            const qsizetype close = addr.lastIndexOf(')');
            if (open >= 0 && close > open) {
                phrase = addr.mid(open + 1, close - open - 1);
                addr = addr.left(open) + addr.mid(close + 1);
            }
            r.RecipientAddress = QString::fromUtf8(addr.trimmed());
        }
        if (phrase.startsWith('"') && phrase.endsWith('"') && phrase.size() >= 2) {
            QByteArray unq;
            for (qsizetype k = 1; k + 1 < phrase.size(); ++k) {
                if (phrase.at(k) == '\\' && k + 2 < phrase.size())
                    ++k;
                unq += phrase.at(k);
            }
            phrase = unq;
        }
        r.RecipientName = DecodeHeaderWords(phrase).trimmed();
        out << r;
    }
    return out;
}

ReceivedHeader ParseReceivedHeader(const QString& value) {
    ReceivedHeader r;
    const QString v = value.left(4096);
    const qsizetype semi = v.lastIndexOf(QLatin1Char(';'));
    const QString clauses = semi >= 0 ? v.left(semi) : v;
    QString date = semi >= 0 ? v.mid(semi + 1).trimmed() : QString();

    QString* current = nullptr;
    QString word;
    int depth = 0;
    auto flushWord = [&] {
        if (word.isEmpty())
            return;
        const QString key = word.toLower();
        if (key == QLatin1String("from"))
            current = &r.ReceivedFrom;
        else if (key == QLatin1String("by"))
            current = &r.ReceivedBy;
        else if (key == QLatin1String("via"))
            current = &r.ReceivedVia;
        else if (key == QLatin1String("with"))
            current = &r.ReceivedProtocol;
        else if (key == QLatin1String("id"))
            current = &r.ReceivedID;
        else if (key == QLatin1String("for"))
            current = &r.ReceivedFor;
        else if (current)
            *current += (current->isEmpty() ? QString() : QStringLiteral(" ")) + word;
        word.clear();
    };
    for (QChar c : clauses) {
        if (depth > 0) { // a comment belongs to the clause it follows and holds no keywords
            if (c == QLatin1Char('('))
                ++depth;
            else if (c == QLatin1Char(')'))
                --depth;
            word += c;
            if (depth == 0) {
                if (current)
                    *current += (current->isEmpty() ? QString() : QStringLiteral(" ")) + word;
                word.clear();
            }
            continue;
        }
        if (c == QLatin1Char('(')) {
            flushWord();
            depth = 1;
            word = c;
        } else if (c.isSpace()) {
            flushWord();
        } else {
            word += c;
        }
    }
    if (depth == 0)
        flushWord();
    r.ReceivedFor.remove(QLatin1Char('<')).remove(QLatin1Char('>'));

    if (!date.isEmpty()) {
        InitGMime();
        // GMime refuses a leap second; it is read as the last second of its minute
        static const QRegularExpression leapSecond(QStringLiteral("(\\d:\\d\\d):60\\b"));
        date.replace(leapSecond, QStringLiteral("\\1:59"));
        GDateTime* dt = g_mime_utils_header_decode_date(date.toLatin1().constData());
        if (dt) {
            const int offsetSeconds = static_cast<int>(g_date_time_get_utc_offset(dt) / G_TIME_SPAN_SECOND);
            r.ReceivedDateTime = QDateTime(
                QDate(g_date_time_get_year(dt), g_date_time_get_month(dt), g_date_time_get_day_of_month(dt)),
                QTime(g_date_time_get_hour(dt), g_date_time_get_minute(dt), g_date_time_get_second(dt)),
                QTimeZone(offsetSeconds));
            r.ReceivedTimeZoneBias = -offsetSeconds / 60;
            g_date_time_unref(dt);
        }
    }
    return r;
}

} // namespace mail
