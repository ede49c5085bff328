#include "content/PageColours.h"

void ColorToRGB(qint32 color, int& red, int& green, int& blue) {
    red = color & 255;
    green = (color / 256) & 255;
    blue = (color / 65536) & 255;
}

qint32 HexToColor(const QString& text) {
    const QString last = text.right(6);
    // Blue, green and red digits make one number whose lowest byte is red.
    const QString digits = last.right(2) + last.mid(2, 2) + last.left(2);
    if (digits.isEmpty())
        return 0;
    for (QChar c : digits)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
            return 0;
    bool ok = false;
    const qint32 value = qint32(digits.toUInt(&ok, 16));
    return ok ? value : 0;
}

QString ColorText(int red, int green, int blue) {
    return QStringLiteral("#%1%2%3")
        .arg(red & 255, 2, 16, QLatin1Char('0'))
        .arg(green & 255, 2, 16, QLatin1Char('0'))
        .arg(blue & 255, 2, 16, QLatin1Char('0'))
        .toUpper();
}
