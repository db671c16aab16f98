#pragma once
// Draws the shown part of a decoded picture into the destination rectangle from a copy scaled once
// per view to the destination's device pixels, so repaints (tooltips, exposure, the rubber band)
// never rescale the picture. While the view is changing a quick filtered draw stands in.

#include <QImage>
#include <QRect>
#include <QRectF>

class QPainter;

namespace marquelo {

class PictureRenderer {
public:
    // Draws `source` (in `image` pixels) into `destination` (logical pixels) at `devicePixelRatio`.
    // With `settled` the scaled copy is made (once) and drawn; otherwise the existing copy is drawn
    // when it fits this view, else a quick bilinear draw stands in. Returns true when the smooth copy
    // was drawn.
    bool paint(QPainter& painter, const QImage& image, const QRectF& source, const QRect& destination,
               qreal devicePixelRatio, bool settled);

    // Drops the scaled copy (a new picture, or memory to give back).
    void clear();
    // True when a scaled copy for exactly this view exists.
    bool hasCopyFor(const QImage& image, const QRectF& source, const QRect& destination, qreal devicePixelRatio) const;
    // How many scaled copies were made so far (tests and the benchmark).
    int copiesMade() const { return m_copiesMade; }

private:
    qint64 m_imageKey = 0;
    QRectF m_source;
    QSize m_deviceSize;
    qreal m_ratio = 1.0;
    QImage m_scaled;
    int m_copiesMade = 0;
};

} // namespace marquelo
