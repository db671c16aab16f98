#include "ui/page/LayoutPreview.h"

#include <QPainter>

namespace marquelo {

namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 132;

// A photo: a sky, a hill and a sun, so it reads as a picture even this small.
void drawPhoto(QPainter& p, const QRect& r)
{
    p.fillRect(r, QColor(0x8e, 0xc5, 0xf0));
    QPolygon hill;
    hill << QPoint(r.left(), r.bottom()) << QPoint(r.left(), r.top() + r.height() * 2 / 3)
         << QPoint(r.left() + r.width() / 3, r.top() + r.height() / 2)
         << QPoint(r.right(), r.top() + r.height() * 3 / 4) << QPoint(r.right(), r.bottom());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4f, 0x8f, 0x3a));
    p.drawPolygon(hill);
    p.setBrush(QColor(0xff, 0xd8, 0x4a));
    const int sun = std::max(3, r.height() / 5);
    p.drawEllipse(QRect(r.right() - sun * 2, r.top() + sun / 2, sun, sun));
    p.setPen(QColor(0x20, 0x20, 0x20));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

// Caption text as grey bars, centred or left-aligned in `r`.
void drawCaption(QPainter& p, const QRect& r, int lines, bool centred)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9a, 0xd0, 0xd0));
    for (int i = 0; i < lines; ++i) {
        const int w = r.width() * (i % 2 == 0 ? 9 : 6) / 10;
        const int x = centred ? r.left() + (r.width() - w) / 2 : r.left();
        p.drawRect(x, r.top() + i * 6, w, 3);
    }
}

} // namespace

QPixmap layoutPreviewPicture(int layout, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(kWidth, kHeight) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::black);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0x60, 0x60, 0x60));
    p.drawRect(0, 0, kWidth - 1, kHeight - 1);

    // Title and date, as every page opens.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x00, 0xff, 0xff));
    p.drawRect(30, 8, 60, 6);
    p.setBrush(QColor(0x00, 0xa0, 0xa0));
    p.drawRect(42, 18, 36, 3);

    const int rows = 3;
    const int top = 30;
    const int rowHeight = (kHeight - top - 4) / rows;
    for (int i = 0; i < rows; ++i) {
        const int y = top + i * rowHeight;
        int side = layout; // 1 left, 2 right
        if (layout == 3)
            side = i % 2 == 0 ? 1 : 2;
        if (side == 1) {
            drawPhoto(p, QRect(14, y, 44, rowHeight - 8));
            drawCaption(p, QRect(66, y + 6, 44, 20), 2, false);
        } else if (side == 2) {
            drawCaption(p, QRect(10, y + 6, 44, 20), 2, false);
            drawPhoto(p, QRect(62, y, 44, rowHeight - 8));
        } else {
            drawPhoto(p, QRect(38, y, 44, rowHeight - 14));
            drawCaption(p, QRect(30, y + rowHeight - 11, 60, 4), 1, true);
        }
    }
    return pixmap;
}

} // namespace marquelo
