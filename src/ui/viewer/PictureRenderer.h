#pragma once
// Draws the shown part of a decoded picture into the destination rectangle from a copy scaled once
// per view to the destination's device pixels, so repaints (tooltips, exposure, the rubber band)
// never rescale the picture. While the view is changing a quick filtered draw stands in. Copies for
// the neighbours can be prepared ahead, so stepping to a read-ahead photo only blits.

#include "core/viewer/ScreenCopy.h"

#include <QImage>
#include <QRect>
#include <QRectF>

#include <deque>

class QPainter;

namespace marquelo {

class PictureRenderer {
public:
    // Draws `source` (in `image` pixels) into `destination` (logical pixels) at `devicePixelRatio`.
    // With `settled` the scaled copy is made (once) and drawn; otherwise an existing copy is drawn
    // when it fits this view, else a quick bilinear draw stands in. Returns true when a copy was drawn.
    bool paint(QPainter& painter, const QImage& image, const QRectF& source, const QRect& destination,
               qreal devicePixelRatio, bool settled);

    // Makes the copy for a view that is likely to be shown next (a neighbour's fitted view).
    void prepare(const QImage& image, const QRectF& source, const QRect& destination, qreal devicePixelRatio);

    // Takes a copy a load made on its worker for `image`, so this view is blitted without scaling here.
    // With `shownNow` it is the copy on screen; otherwise it is kept behind it, as prepare does.
    void adopt(const QImage& image, const ScreenCopy& copy, bool shownNow);

    // A copy for this view is kept: paint() only blits it.
    bool hasCopy(const QImage& image, const QRectF& source, const QRect& destination, qreal devicePixelRatio) const
    {
        return find(image, source, destination, devicePixelRatio) != nullptr;
    }

    // Drops every copy (a picture replaced, memory to give back).
    void clear();
    // How many scaled copies were made so far (tests and the benchmark).
    int copiesMade() const { return m_copiesMade; }

    // Copies kept: the shown view and a neighbour on each side.
    static constexpr std::size_t kCapacity = 3;

private:
    struct Copy {
        qint64 imageKey = 0;
        QRectF source;
        QSize deviceSize;
        qreal ratio = 1.0;
        QImage scaled;
    };
    const Copy* find(const QImage& image, const QRectF& source, const QRect& destination, qreal ratio) const;
    const Copy& make(const QImage& image, const QRectF& source, const QRect& destination, qreal ratio);

    std::deque<Copy> m_copies; // most recently used first
    int m_copiesMade = 0;
};

} // namespace marquelo
