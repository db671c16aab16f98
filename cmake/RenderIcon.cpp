// Build-time helper: renders the program's SVG icon to a square PNG of the given size.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: marquelo-render-icon ICON.svg SIZE OUT.png\n");
        return 2;
    }
    const int size = QString::fromUtf8(argv[2]).toInt();
    QSvgRenderer svg(QString::fromUtf8(argv[1]));
    if (!svg.isValid() || size <= 0) {
        std::fprintf(stderr, "marquelo-render-icon: unable to read %s\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    return image.save(QString::fromUtf8(argv[3])) ? 0 : 1;
}
