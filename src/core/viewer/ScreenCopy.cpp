#include "core/viewer/ScreenCopy.h"

#include "core/settings/Logging.h"
#include "core/viewer/ViewGeometry.h"
#include "core/viewer/WorkPools.h"
#include "media/ExceptionText.h"

#include <QPainter>

#include <cmath>
#include <functional>
#include <vector>

namespace marquelo {

namespace {

// About a quarter of a 1920x1080 screen and above.
constexpr qint64 kBandedPixels = 500'000;

} // namespace

QSize deviceSize(const QRect& destination, double ratio)
{
    return QSize(int(std::lround(destination.width() * ratio)), int(std::lround(destination.height() * ratio)));
}

// Down to half size a bilinear filter loses nothing visible and is several times faster than area
// averaging, and the decoder already delivers pictures at most twice the size they are shown at;
// smaller views (a small window, a full-resolution picture zoomed out) are area-averaged so they do not
// shimmer.
QImage scaleForScreen(const QImage& image, const QRectF& source, QSize target)
{
    const bool bilinear = target.width() * 2 >= source.width() && target.height() * 2 >= source.height();
    if (bilinear) {
        QImage scaled(target, image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (scaled.isNull())
            return scaled;
        // Each band paints its own rows of the one copy through a view of them (a painter per image, so
        // one per view); the filter's sample positions do not depend on where a band starts.
        uchar* const bits = scaled.bits();
        const auto paintRows = [&](int top, int bottom) {
            QImage rows(bits + qsizetype(top) * scaled.bytesPerLine(), target.width(), bottom - top,
                        scaled.bytesPerLine(), scaled.format());
            QPainter painter(&rows);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
            painter.translate(0, -top);
            painter.drawImage(QRectF(QPointF(0, 0), QSizeF(target)), image, source);
        };
        // A screenful is worth a second core (the copy is on the way to the screen); a thumbnail is not.
        const int half = qint64(target.width()) * target.height() >= kBandedPixels ? target.height() / 2 : 0;
        if (half > 0)
            workpools::runSplit({[&] { paintRows(0, half); }, [&] { paintRows(half, target.height()); }});
        else
            paintRows(0, target.height());
        return scaled;
    }
    const QRect whole = image.rect();
    const QRect aligned = source.toAlignedRect().intersected(whole);
    const QImage part = aligned == whole ? image : image.copy(aligned);
    QImage scaled = part.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.format() != QImage::Format_RGB32 && scaled.format() != QImage::Format_ARGB32_Premultiplied)
        scaled = scaled.convertToFormat(scaled.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                 : QImage::Format_RGB32);
    return scaled;
}

ScreenCopy fittedScreenCopy(const QImage& image, QSize fullSize, const ScreenTarget& target)
{
    ScreenCopy copy;
    if (image.isNull() || fullSize.isEmpty() || !target.valid())
        return copy;
    ViewGeometry fitted;
    fitted.source = wholePicture(fullSize.width(), fullSize.height());
    if (!layoutPicture(fitted, target.client.width(), target.client.height(), false))
        return copy;
    copy.source = decodedSourceRect(fitted.source, fullSize, image.size());
    copy.destination = fitted.destination.toQRect();
    copy.ratio = target.ratio;
    const QSize size = deviceSize(copy.destination, copy.ratio);
    if (copy.source.isEmpty() || size.isEmpty())
        return ScreenCopy();
    copy.scaled = scaleForScreen(image, copy.source, size);
    copy.scaled.setDevicePixelRatio(copy.ratio);
    return copy;
}

} // namespace marquelo
