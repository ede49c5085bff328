#include "content/EmailTemplates.h"

#include <QFile>
#include <QUrl>

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

QString FillTemplate(const QString& document, int row, const TemplateValues& values,
                     const QString& programFolder) {
    QString text = document;
    QString folder = programFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString image = TemplateImageName(row);
    // An address, not a path: a folder name with "#", "%", "?" or a blank must not read as a fragment,
    // an escape or a query.
    text.replace(image, QUrl::fromLocalFile(folder + image).toString(QUrl::FullyEncoded));
    text.replace(QStringLiteral("TorvaleCo"), values.company);
    text.replace(QLatin1String(TemplateWebHost), values.webSite);
    text.replace(QLatin1String(TemplateUnsubscribeAddress), values.unsubscribeEmail);
    text.replace(QStringLiteral("UnsubscribeNow"), values.unsubscribeSubject);
    return text;
}
