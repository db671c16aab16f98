#include "ui/viewer/PictureRenderer.h"

#include <QPainter>

#include <cmath>

namespace marquelo {

namespace {

QSize deviceSize(const QRect& destination, qreal ratio)
{
    return QSize(int(std::lround(destination.width() * ratio)), int(std::lround(destination.height() * ratio)));
}

// Scales the part once, area-averaged when shrinking, bilinear when enlarging, into the format the
// backing store blits without conversion.
QImage scalePart(const QImage& image, const QRectF& source, QSize target)
{
    const QRect whole = image.rect();
    const QRect aligned = source.toAlignedRect().intersected(whole);
    const QImage part = aligned == whole ? image : image.copy(aligned);
    QImage scaled = part.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.format() != QImage::Format_RGB32 && scaled.format() != QImage::Format_ARGB32_Premultiplied)
        scaled = scaled.convertToFormat(scaled.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                 : QImage::Format_RGB32);
    return scaled;
}

} // namespace

bool PictureRenderer::hasCopyFor(const QImage& image, const QRectF& source, const QRect& destination,
                                 qreal devicePixelRatio) const
{
    return !m_scaled.isNull() && m_imageKey == image.cacheKey() && m_source == source &&
           m_deviceSize == deviceSize(destination, devicePixelRatio) && m_ratio == devicePixelRatio;
}

bool PictureRenderer::paint(QPainter& painter, const QImage& image, const QRectF& source, const QRect& destination,
                            qreal devicePixelRatio, bool settled)
{
    if (image.isNull() || source.isEmpty() || destination.isEmpty())
        return false;
    if (!hasCopyFor(image, source, destination, devicePixelRatio) && settled) {
        m_scaled = scalePart(image, source, deviceSize(destination, devicePixelRatio));
        m_scaled.setDevicePixelRatio(devicePixelRatio);
        m_imageKey = image.cacheKey();
        m_source = source;
        m_deviceSize = deviceSize(destination, devicePixelRatio);
        m_ratio = devicePixelRatio;
        ++m_copiesMade;
    }
    if (hasCopyFor(image, source, destination, devicePixelRatio)) {
        painter.drawImage(destination.topLeft(), m_scaled);
        return true;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(destination), image, source);
    painter.restore();
    return false;
}

void PictureRenderer::clear()
{
    m_scaled = QImage();
    m_imageKey = 0;
}

} // namespace marquelo
