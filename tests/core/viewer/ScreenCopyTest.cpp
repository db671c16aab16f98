#include "core/viewer/ScreenCopy.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <random>

namespace marquelo {
namespace {

QImage noise(QSize size, bool alpha)
{
    QImage image(size, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int a = alpha ? int(random() % 256) : 255;
            line[x] =
                qRgba(int(random() % 256) * a / 255, int(random() % 256) * a / 255, int(random() % 256) * a / 255, a);
        }
    }
    return image;
}

// The copy as one painter makes it, over the whole target at once.
QImage onePainter(const QImage& image, const QRectF& source, QSize target)
{
    QImage scaled(target, image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    QPainter painter(&scaled);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(target)), image, source);
    return scaled;
}

// A screenful is scaled in two bands on two threads; the seam must not show in a single pixel.
TEST(ScreenCopy, BandsGiveThePixelsOfOnePainter)
{
    struct Case {
        QSize picture;
        QRectF source;
        QSize target;
        bool alpha;
    };
    const Case cases[] = {
        {QSize(2160, 1440), QRectF(0, 0, 2160, 1440), QSize(1500, 1000), false},       // a fitted photo
        {QSize(1728, 1152), QRectF(0, 0, 1728, 1152), QSize(1621, 1081), false},       // odd height
        {QSize(1200, 1800), QRectF(100.5, 200.25, 700, 1050), QSize(720, 1080), true}, // a zoomed part
        {QSize(400, 300), QRectF(0, 0, 400, 300), QSize(300, 225), false},             // too small to split
    };
    for (const Case& c : cases) {
        const QImage picture = noise(c.picture, c.alpha);
        const QImage banded = scaleForScreen(picture, c.source, c.target);
        ASSERT_EQ(banded.size(), c.target);
        EXPECT_TRUE(banded == onePainter(picture, c.source, c.target)) << c.target.width() << "x" << c.target.height();
    }
}

} // namespace
} // namespace marquelo
