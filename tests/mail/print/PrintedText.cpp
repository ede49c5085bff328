#include "tests/mail/print/PrintedText.h"

#include <QProcess>
#include <QXmlStreamReader>

namespace printtest {

namespace {
QByteArray PdfToText(const QStringList& arguments) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), arguments);
    // Some minutes for the thousands of pages of the longest bodies.
    if (!text.waitForFinished(600000) || text.exitCode() != 0)
        return {};
    return text.readAllStandardOutput();
}
} // namespace

QString PdfText(const QString& pdf) {
    return QString::fromUtf8(PdfToText({QStringLiteral("-layout"), pdf, QStringLiteral("-")}));
}

QString PdfTextOnPaper(const QString& pdf, double marginPoints) {
    QXmlStreamReader xml(PdfToText({QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    QString text;
    double height = 0;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("page")) {
            height = a.value(QLatin1String("height")).toDouble();
        } else if (xml.name() == QLatin1String("word")) {
            const double middle =
                (a.value(QLatin1String("yMin")).toDouble() + a.value(QLatin1String("yMax")).toDouble()) / 2;
            const QString word = xml.readElementText();
            if (middle > marginPoints && middle < height - marginPoints)
                text += word;
        }
    }
    return text;
}

} // namespace printtest
