#pragma once
// The markup of the table and horizontal line dialogs, and the checks their OK runs first. The texts are
// taken as the boxes show them and go into the markup unescaped.
#include <QString>

// A refused entry: the message and the box it is about (the box's object name).
struct FieldProblem {
    QString message;
    QString field;
    bool ok() const { return message.isEmpty(); }
};

struct TableSettings {
    QString align = QStringLiteral("Left");
    QString border = QStringLiteral("1");
    QString spacing = QStringLiteral("1");
    QString padding = QStringLiteral("1");
    QString rows = QStringLiteral("3");
    QString columns = QStringLiteral("3");
    QString width = QStringLiteral("100");
    bool widthInPixels = false;
};

// Border, spacing, padding, rows, columns in this order; the first refused one is reported.
FieldProblem CheckTableSettings(const TableSettings& settings);
// An empty table, one line per tag, every line ended by CR LF.
QString BuildTableHtml(const TableSettings& settings);

struct LineSettings {
    QString align = QStringLiteral("Left");
    QString width = QStringLiteral("100");
    bool widthInPixels = false;
    QString height = QStringLiteral("2");
    bool solid = false;
};

// Width, then height; each from 0 to 100.
FieldProblem CheckLineSettings(const LineSettings& settings);
// One hr tag, attributes left out where the browser's default is meant.
QString BuildLineHtml(const LineSettings& settings);

// True when the text reads as a number (blanks around it allowed); its value in *value.
bool ReadNumber(const QString& text, double* value);
