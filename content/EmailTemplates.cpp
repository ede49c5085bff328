#include "content/EmailTemplates.h"

#include <QFile>
#include <QUrl>

#include <algorithm>
#include <iterator>
#include <utility>

// The resources live in this static library: they are registered once, on the first read.
static void RegisterTemplateResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(templates);
        return true;
    }();
    Q_UNUSED(done);
}

QStringList TemplateNames() {
    return {QStringLiteral("Government"), QStringLiteral("Health"), QStringLiteral("Legal"),
            QStringLiteral("Sports"), QStringLiteral("Travel")};
}

QString TemplateImageName(int row) {
    return QStringLiteral("Template%1.jpg").arg(row + 1);
}

QString StoredTemplate(int row) {
    const QStringList names = TemplateNames();
    if (row < 0 || row >= names.size())
        return {};
    RegisterTemplateResources();
    QFile file(QStringLiteral(":/templates/") + names.at(row) + QStringLiteral(".htm"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Kept with plain line ends in the sources, whatever the checkout does; documents use CR LF.
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QLatin1Char('\r'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

namespace {

// Where in the document a placeholder stands, which decides how its value is written there: text or
// an attribute value, or the address or query of a "mailto:" attribute value.
enum class Place { Html, MailtoAddress, MailtoQuery };

// Markup characters as references, quotes too, so a value can stand in text and in an attribute
// quoted either way.
QString HtmlEscaped(const QString& value) {
    return value.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

QString Written(const QString& value, Place place) {
    switch (place) {
    case Place::MailtoAddress:
        // "@" and the "+" of sub-addresses stay readable; "?", "#", "%" and the like would end the
        // address. What percent-encoding leaves needs no escaping in an attribute.
        return QString::fromLatin1(QUrl::toPercentEncoding(value, "@+"));
    case Place::MailtoQuery:
        return QString::fromLatin1(QUrl::toPercentEncoding(value)); // blanks as %20, never "+"
    default:
        return HtmlEscaped(value);
    }
}

// Follows the document's markup character by character: inside a tag or not (a quote in text opens
// no value), inside a quoted attribute value or not, and for a "mailto:" value whether its query has
// begun.
class MarkupPlace {
public:
    explicit MarkupPlace(const QString& document) : m_doc(document) {}
    Place At() const {
        if (m_inTag && !m_quote.isNull() && m_mailto)
            return m_query ? Place::MailtoQuery : Place::MailtoAddress;
        return Place::Html;
    }
    void Step(qsizetype i) {
        const QChar c = m_doc.at(i);
        if (!m_inTag) {
            m_inTag = c == u'<';
        } else if (!m_quote.isNull()) {
            if (c == m_quote)
                m_quote = QChar();
            else if (c == u'?')
                m_query = true;
        } else if (c == u'"' || c == u'\'') {
            m_quote = c;
            m_query = false;
            m_mailto = QStringView(m_doc).mid(i + 1).startsWith(u"mailto:", Qt::CaseInsensitive);
        } else if (c == u'>') {
            m_inTag = false;
        }
    }

private:
    const QString& m_doc;
    bool m_inTag = false;
    QChar m_quote;
    bool m_mailto = false;
    bool m_query = false;
};

} // namespace

QString FillTemplate(const QString& document, int row, const TemplateValues& values,
                     const QString& programFolder) {
    QString folder = programFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString image = TemplateImageName(row);
    // An address, not a path: a folder name with "#", "%", "?" or a blank must not read as a fragment,
    // an escape or a query.
    const QString imageUrl = QUrl::fromLocalFile(folder + image).toString(QUrl::FullyEncoded);
    const std::pair<QString, const QString&> replacements[] = {
        {image, imageUrl},
        {QStringLiteral("TorvaleCo"), values.company},
        {QLatin1String(TemplateWebHost), values.webSite},
        {QLatin1String(TemplateUnsubscribeAddress), values.unsubscribeEmail},
        {QStringLiteral("UnsubscribeNow"), values.unsubscribeSubject},
    };
    // One pass over the stored text: what a value brings in is never searched again, so a value
    // holding another placeholder's word stays as it was typed.
    QString text;
    text.reserve(document.size());
    MarkupPlace place(document);
    for (qsizetype i = 0; i < document.size();) {
        const auto found = std::find_if(std::begin(replacements), std::end(replacements), [&](const auto& r) {
            return QStringView(document).mid(i).startsWith(r.first);
        });
        if (found != std::end(replacements)) {
            text += Written(found->second, place.At());
            for (qsizetype end = i + found->first.size(); i < end; ++i)
                place.Step(i);
            continue;
        }
        text += document.at(i);
        place.Step(i);
        ++i;
    }
    return text;
}
