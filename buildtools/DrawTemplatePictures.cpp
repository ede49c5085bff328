// Draws the five decorative pictures of the e-mail templates (Template1.jpg ... Template5.jpg): colour
// gradients and simple shapes, no text, no outside artwork. Run by hand when the pictures change; the
// results are kept in content/pictures/.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

constexpr int Width = 440;
constexpr int Height = 90;

QImage Government() {
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, Height);
    sky.setColorAt(0, QColor(30, 50, 110));
    sky.setColorAt(1, QColor(120, 140, 190));
    p.fillRect(image.rect(), sky);
    // Columns of a public building.
    p.setBrush(QColor(235, 235, 225));
    p.setPen(Qt::NoPen);
    QPainterPath roof;
    roof.moveTo(150, 28);
    roof.lineTo(220, 6);
    roof.lineTo(290, 28);
    roof.closeSubpath();
    p.drawPath(roof);
    for (int x = 158; x <= 272; x += 19)
        p.drawRect(x, 32, 10, 44);
    p.drawRect(146, 78, 148, 8);
    return image;
}

QImage Health() {
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient warm(0, 0, Width, 0);
    warm.setColorAt(0, QColor(204, 51, 0));
    warm.setColorAt(1, QColor(250, 190, 120));
    p.fillRect(image.rect(), warm);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(205, 15, 30, 60); // a cross
    p.drawRect(190, 30, 60, 30);
    return image;
}

QImage Legal() {
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient olive(0, 0, 0, Height);
    olive.setColorAt(0, QColor(102, 102, 51));
    olive.setColorAt(1, QColor(190, 190, 140));
    p.fillRect(image.rect(), olive);
    // A pair of scales.
    p.setPen(QPen(QColor(250, 245, 220), 4));
    p.drawLine(220, 12, 220, 78);
    p.drawLine(170, 24, 270, 24);
    p.drawLine(196, 80, 244, 80);
    p.setBrush(QColor(250, 245, 220));
    p.drawChord(QRect(150, 34, 40, 24), 0, -180 * 16);
    p.drawChord(QRect(250, 34, 40, 24), 0, -180 * 16);
    return image;
}

QImage Sports() {
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient field(0, 0, 0, Height);
    field.setColorAt(0, QColor(102, 153, 0));
    field.setColorAt(1, QColor(60, 110, 0));
    p.fillRect(image.rect(), field);
    p.setPen(QPen(QColor(255, 255, 255, 200), 3));
    p.setBrush(Qt::NoBrush);
    p.drawLine(Width / 2, 0, Width / 2, Height);
    p.drawEllipse(QPoint(Width / 2, Height / 2), 28, 28);
    QRadialGradient ball(QPointF(340, 40), 18);
    ball.setColorAt(0, Qt::white);
    ball.setColorAt(1, QColor(208, 200, 191));
    p.setPen(Qt::NoPen);
    p.setBrush(ball);
    p.drawEllipse(QPoint(340, 45), 16, 16);
    return image;
}

QImage Travel() {
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, Height);
    sky.setColorAt(0, QColor(70, 150, 220));
    sky.setColorAt(0.65, QColor(190, 225, 250));
    sky.setColorAt(0.66, QColor(20, 110, 170));
    sky.setColorAt(1, QColor(10, 70, 120));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(QPointF(360, 30), 22);
    sun.setColorAt(0, QColor(255, 250, 200));
    sun.setColorAt(1, QColor(255, 200, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPoint(360, 30), 20, 20);
    // A sail boat.
    p.setBrush(Qt::white);
    QPainterPath sail;
    sail.moveTo(120, 18);
    sail.lineTo(120, 54);
    sail.lineTo(92, 54);
    sail.closeSubpath();
    p.drawPath(sail);
    p.setBrush(QColor(90, 50, 30));
    p.drawRect(86, 56, 50, 6);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    const QImage pictures[] = {Government(), Health(), Legal(), Sports(), Travel()};
    for (int i = 0; i < 5; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("Template%1.jpg").arg(i + 1));
        if (!pictures[i].save(path, "JPG", 80)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
