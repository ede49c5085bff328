#include "ui/Pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QPixmap VelantoPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    QLinearGradient back(0, 0, 0, s);
    back.setColorAt(0, QColor(58, 110, 190));
    back.setColorAt(1, QColor(24, 62, 128));
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.16, s * 0.16);

    // The envelope.
    const QRectF env(s * 0.16, s * 0.28, s * 0.68, s * 0.46);
    p.setBrush(QColor(250, 250, 252));
    p.setPen(QPen(QColor(194, 217, 247), s * 0.025));
    p.drawRect(env);
    QPainterPath flap;
    flap.moveTo(env.topLeft());
    flap.lineTo(env.center().x(), env.top() + env.height() * 0.58);
    flap.lineTo(env.topRight());
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(58, 110, 190), s * 0.03, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(flap);

    // Copies flying out: three short strokes.
    p.setPen(QPen(QColor(255, 204, 64), s * 0.03, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal y = s * (0.80 + 0.06 * i);
        p.drawLine(QPointF(s * (0.30 + 0.08 * i), y), QPointF(s * (0.70 - 0.08 * i), y));
    }
    return pixmap;
}

QPixmap TipPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QRadialGradient glow(QPointF(s * 0.5, s * 0.38), s * 0.32);
    glow.setColorAt(0, QColor(255, 250, 200));
    glow.setColorAt(1, QColor(250, 200, 40));
    p.setBrush(glow);
    p.setPen(QPen(QColor(150, 110, 10), s * 0.03));
    p.drawEllipse(QPointF(s * 0.5, s * 0.38), s * 0.26, s * 0.26);
    p.setBrush(QColor(140, 140, 150));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(s * 0.38, s * 0.64, s * 0.24, s * 0.2), s * 0.04, s * 0.04);
    return pixmap;
}
