#include "ui/viewer/PictureRenderer.h"

#include <QPainter>

namespace marquelo {

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
    c.scaled = scaleForScreen(image, source, c.deviceSize);
    c.scaled.setDevicePixelRatio(ratio);
    ++m_copiesMade;
    m_copies.push_front(std::move(c));
    if (m_copies.size() > kCapacity)
        m_copies.pop_back();
    return m_copies.front();
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

void PictureRenderer::adopt(const QImage& image, const ScreenCopy& copy, bool shownNow)
{
    if (image.isNull() || copy.scaled.isNull() || find(image, copy.source, copy.destination, copy.ratio))
        return;
    Copy c;
    c.imageKey = image.cacheKey();
    c.source = copy.source;
    c.deviceSize = copy.scaled.size();
    c.ratio = copy.ratio;
    c.scaled = copy.scaled;
    m_copies.push_front(std::move(c));
    if (!shownNow && m_copies.size() > 1)
        std::swap(m_copies[0], m_copies[1]);
    if (m_copies.size() > kCapacity)
        m_copies.pop_back();
}

void PictureRenderer::clear()
{
    m_copies.clear();
}

} // namespace marquelo
