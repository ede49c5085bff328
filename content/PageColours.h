#pragma once
#include <QString>
#include <QtGlobal>

// Colour values in the RGB layout the colour texts are read into: red in the lowest byte, then green,
// then blue (red + 256 * green + 65536 * blue).

// Splits a colour value into its three components.
void ColorToRGB(qint32 color, int& red, int& green, int& blue);

// The value of a colour text such as "#FF8000": its last six characters are read as red, green and
// blue digit pairs; a text that cannot be read so gives 0.
qint32 HexToColor(const QString& text);

// "#" and the three components as two upper-case hexadecimal digits each.
QString ColorText(int red, int green, int blue);
