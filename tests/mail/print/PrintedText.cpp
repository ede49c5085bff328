#include "tests/mail/print/PrintedText.h"

#include <QProcess>

namespace printtest {

QString PdfText(const QString& pdf) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!text.waitForFinished(120000) || text.exitCode() != 0)
        return QString();
    return QString::fromUtf8(text.readAllStandardOutput());
}

} // namespace printtest
