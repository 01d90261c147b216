// Draws the window icon at the sizes a desktop asks for, from the same design as the 16-pixel icon: a
// blue disc with a dark rim, a light glint at the upper left, a white note with a yellow flag. The
// 16-pixel icon, mp3recast-16.png in the same folder, is the hand-made original and stays as it is.
// Usage: mp3recast-draw-icons src/app/icons   (writes mp3recast-<N>.png for N = 32 48 64 128 256)

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Designed on the 16-pixel grid of the original.
    painter.scale(size / 16.0, size / 16.0);
    painter.setPen(Qt::NoPen);

    painter.setBrush(QColor(0, 64, 160));
    painter.drawEllipse(QPointF(8, 8), 7.5, 7.0);
    painter.setBrush(QColor(40, 110, 210));
    painter.drawEllipse(QPointF(8, 8), 6.4, 5.9);

    painter.setBrush(QColor(120, 170, 240));
    painter.drawRoundedRect(QRectF(5, 5.2, 3, 2.8), 1.0, 1.0);

    // The note: a stem from the top, a head at its foot leaning to the left, a flag to the right.
    painter.setBrush(QColor(255, 200, 0));
    QPainterPath flag;
    flag.moveTo(10, 3);
    flag.cubicTo(11.2, 3.6, 12.2, 4.4, 11.8, 6.2);
    flag.cubicTo(11.4, 5.2, 10.8, 5.0, 10, 4.8);
    flag.closeSubpath();
    painter.drawPath(flag);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(9, 3, 1, 7.6));
    painter.save();
    painter.translate(7.9, 10.9);
    painter.rotate(-25);
    painter.drawEllipse(QPointF(0, 0), 2.0, 1.4);
    painter.restore();
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ICON_FOLDER\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const int size : {32, 48, 64, 128, 256}) {
        if (!drawIcon(size).save(folder + QStringLiteral("/mp3recast-%1.png").arg(size)))
            return 1;
    }
    return 0;
}
