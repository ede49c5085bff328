#include "content/InsertMarkup.h"

#include <QLocale>
#include <cmath>

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QChar Quote = QLatin1Char('"');

// The usual empty / not valid pair of messages for one number box.
FieldProblem CheckNumber(const QString& text, double minimum, double maximum, const char* word,
                         const char* field) {
    if (text.isEmpty())
        return {QStringLiteral("Please enter your %1.").arg(QLatin1String(word)), QLatin1String(field)};
    double value = 0;
    if (!ReadNumber(text, &value) || value < minimum || value > maximum)
        return {QStringLiteral("Please enter a valid %1.").arg(QLatin1String(word)), QLatin1String(field)};
    return {};
}

QString Attribute(const char* name, const QString& value) {
    return QStringLiteral(" ") + QLatin1String(name) + QStringLiteral("=") + Quote + value + Quote;
}

// Rows and columns count as whole numbers; a value with a fraction rounds like the boxes' integers.
int WholeNumber(const QString& text) {
    double value = 0;
    ReadNumber(text, &value);
    return int(std::lround(value));
}

} // namespace

bool ReadNumber(const QString& text, double* value) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

FieldProblem CheckTableSettings(const TableSettings& s) {
    for (const FieldProblem& p : {CheckNumber(s.border, 1, 99, "border", "BorderTextBox"),
                                  CheckNumber(s.spacing, 0, 99, "spacing", "SpacingTextBox"),
                                  CheckNumber(s.padding, 0, 99, "padding", "PaddingTextBox"),
                                  CheckNumber(s.rows, 1, 99, "row", "RowsTextBox"),
                                  CheckNumber(s.columns, 1, 99, "column", "ColumnsTextBox")}) {
        if (!p.ok())
            return p;
    }
    return {};
}

QString BuildTableHtml(const TableSettings& s) {
    QString html = QStringLiteral("<Table");
    if (!s.align.isEmpty())
        html += Attribute("align", s.align);
    if (!s.spacing.isEmpty())
        html += Attribute("cellspacing", s.spacing);
    if (!s.padding.isEmpty())
        html += Attribute("cellpadding", s.padding);
    if (!s.border.isEmpty())
        html += Attribute("border", s.border);
    html += QStringLiteral(" width=") + s.width +
            (s.widthInPixels ? QStringLiteral(">") : QStringLiteral("%>")) + CRLF;

    const int rows = WholeNumber(s.rows);
    const int columns = WholeNumber(s.columns);
    QString cells;
    for (int c = 0; c < columns; ++c)
        cells += QStringLiteral("      <TD>&nbsp;</TD>") + CRLF;
    const QString row = QStringLiteral("   <TR>") + CRLF + cells + QStringLiteral("   </TR>") + CRLF;
    html.reserve(html.size() + rows * row.size() + 16);
    for (int r = 0; r < rows; ++r)
        html += row;
    html += QStringLiteral("</Table>") + CRLF;
    return html;
}

FieldProblem CheckLineSettings(const LineSettings& s) {
    const FieldProblem width = CheckNumber(s.width, 0, 100, "width", "WidthTextBox");
    if (!width.ok())
        return width;
    return CheckNumber(s.height, 0, 100, "height", "HeightTextBox");
}

QString BuildLineHtml(const LineSettings& s) {
    QString html = QStringLiteral("<hr");
    if (s.align == QLatin1String("Left"))
        html += Attribute("align", QStringLiteral("left"));
    else if (s.align == QLatin1String("Right"))
        html += Attribute("align", QStringLiteral("right"));
    if (s.solid)
        html += QStringLiteral(" noshade");
    // The comparisons are on the texts: "050" percent is written, "02" pixels high too.
    if (s.widthInPixels)
        html += Attribute("width", s.width);
    else if (s.width != QLatin1String("100"))
        html += Attribute("width", s.width + QLatin1Char('%'));
    if (s.height != QLatin1String("2"))
        html += Attribute("size", s.height);
    html += QLatin1Char('>');
    return html;
}
