#include "ui/viewer/PictureRenderer.h"

#include <QPainter>

#include <cmath>

namespace marquelo {

namespace {

QSize deviceSize(const QRect& destination, qreal ratio)
{
    return QSize(int(std::lround(destination.width() * ratio)), int(std::lround(destination.height() * ratio)));
}

// Scales the part once into the format the backing store blits without conversion. Down to half size
// a bilinear filter loses nothing visible and is several times faster than area averaging, and the
// decoder already delivers pictures at most twice the size they are shown at; smaller views (a
// small window, a full-resolution picture zoomed out) are area-averaged so they do not shimmer.
QImage scalePart(const QImage& image, const QRectF& source, QSize target)
{
    const bool bilinear = target.width() * 2 >= source.width() && target.height() * 2 >= source.height();
    if (bilinear) {
        QImage scaled(target, image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        QPainter painter(&scaled);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(target)), image, source);
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

} // namespace

const PictureRenderer::Copy* PictureRenderer::find(const QImage& image, const QRectF& source, const QRect& destination,
                                                   qreal ratio) const
{
    const QSize size = deviceSize(destination, ratio);
    for (const Copy& c : m_copies) {
        if (c.imageKey == image.cacheKey() && c.source == source && c.deviceSize == size && c.ratio == ratio)
            return &c;
    }
    return nullptr;
}

const PictureRenderer::Copy& PictureRenderer::make(const QImage& image, const QRectF& source, const QRect& destination,
                                                   qreal ratio)
{
    Copy c;
    c.imageKey = image.cacheKey();
    c.source = source;
    c.deviceSize = deviceSize(destination, ratio);
    c.ratio = ratio;
    c.scaled = scalePart(image, source, c.deviceSize);
    c.scaled.setDevicePixelRatio(ratio);
    ++m_copiesMade;
    m_copies.push_front(std::move(c));
    if (m_copies.size() > kCapacity)
        m_copies.pop_back();
    return m_copies.front();
}

bool PictureRenderer::hasCopyFor(const QImage& image, const QRectF& source, const QRect& destination,
                                 qreal devicePixelRatio) const
{
    return find(image, source, destination, devicePixelRatio) != nullptr;
}

bool PictureRenderer::paint(QPainter& painter, const QImage& image, const QRectF& source, const QRect& destination,
                            qreal devicePixelRatio, bool settled)
{
    if (image.isNull() || source.isEmpty() || destination.isEmpty())
        return false;
    const Copy* copy = find(image, source, destination, devicePixelRatio);
    if (!copy && settled)
        copy = &make(image, source, destination, devicePixelRatio);
    if (copy) {
        painter.drawImage(destination.topLeft(), copy->scaled);
        return true;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(destination), image, source);
    painter.restore();
    return false;
}

void PictureRenderer::prepare(const QImage& image, const QRectF& source, const QRect& destination,
                              qreal devicePixelRatio)
{
    if (image.isNull() || source.isEmpty() || destination.isEmpty() ||
        find(image, source, destination, devicePixelRatio))
        return;
    // A prepared copy must not push out the one on screen: keep it behind the most recent.
    make(image, source, destination, devicePixelRatio);
    if (m_copies.size() > 1)
        std::swap(m_copies[0], m_copies[1]);
}

void PictureRenderer::clear()
{
    m_copies.clear();
}

} // namespace marquelo
