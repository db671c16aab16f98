#pragma once
// The picture scaled to the device pixels it fills on screen. A load makes one for the window as it is
// when the load starts (the whole picture fitted), on its worker, so a fresh photo, stepped to or jumped
// to, is only blitted by the GUI thread. The painter makes its own for every other view.

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

namespace marquelo {

// The window a load scales for: its client area in logical pixels and its device pixel ratio.
struct ScreenTarget {
    QSize client;
    double ratio = 1.0;
    bool valid() const { return !client.isEmpty() && ratio > 0; }
};

struct ScreenCopy {
    QImage scaled;     // device pixels, ratio set
    QRectF source;     // what was scaled, in the decoded image's pixels
    QRect destination; // where it goes, in logical pixels
    double ratio = 1.0;

    bool fits(const QRectF& viewSource, const QRect& viewDestination, double viewRatio) const
    {
        return !scaled.isNull() && source == viewSource && destination == viewDestination && ratio == viewRatio;
    }
};

// The destination's size in device pixels.
QSize deviceSize(const QRect& destination, double ratio);

// Scales `source` (in `image` pixels) to `target` device pixels, in a format the backing store blits
// without conversion.
QImage scaleForScreen(const QImage& image, const QRectF& source, QSize target);

// The whole `image` (decoded from a `fullSize` picture) fitted into `target` as a new photo is shown;
// empty when the picture or the target has no pixels.
ScreenCopy fittedScreenCopy(const QImage& image, QSize fullSize, const ScreenTarget& target);

} // namespace marquelo
