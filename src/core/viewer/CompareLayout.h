#pragma once
// The compare view's geometry and walk, apart from any widget: where the two or four panes lie in the
// window, the one zoom all panes share (a rectangle in fractions of each photo, so photos of different
// sizes line up), and which photos the candidate panes show while the reference stays.

#include "core/viewer/ViewGeometry.h"

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <functional>
#include <optional>
#include <vector>

namespace marquelo {

struct ComparePane {
    QRect label;   // the thin line above the picture
    QRect picture; // where the photo is fitted
};

// The panes of a `client` area: two side by side, or four as 2 x 2, reading order (the reference is
// the first). `gap` pixels of background lie between them; each pane gives its top `labelHeight` pixels
// to its label. A client too small for the panes gives panes with empty pictures.
std::vector<ComparePane> comparePanes(QSize client, int paneCount, int gap, int labelHeight);

// The zoom of every pane: the part of each photo shown, in fractions of its upright size.
inline const QRectF kWholePart(0.0, 0.0, 1.0, 1.0);

// The source rectangle (inclusive picture pixels) of `part` of a `fullSize` photo; never less than two
// pixels across, so the view can always be laid out.
Rect sourceOfPart(const QRectF& part, QSize fullSize);
// The part of a `fullSize` photo that `source` covers.
QRectF partOfSource(const Rect& source, QSize fullSize);

// Lays a pane's view out: `part` of the photo fitted into a `pane`-sized area (pane coordinates), centred,
// enlarged when zoomed in, never enlarged when the whole photo is shown. False when nothing fits.
bool layoutPart(ViewGeometry& view, const QRectF& part, QSize fullSize, QSize pane);

// "+" (factor above 1) and "-" (below 1): the part shrinks or grows about its centre by `factor`, kept
// inside the photo; it never grows past the whole photo nor shrinks below 1/64 of it.
QRectF zoomPart(const QRectF& part, double factor);
// Moves the part by (dx, dy) of its own size, kept inside the photo.
QRectF panPart(const QRectF& part, double dx, double dy);
// The part that shows a `fullSize` photo at 100 % (one picture pixel per device pixel) in a pane of
// `paneDevice` pixels, centred on `centre` (fractions) as far as the photo allows.
QRectF actualPixelsPart(QSize fullSize, QSize paneDevice, QPointF centre = QPointF(0.5, 0.5));

// The walk of the candidate panes over a list of `count` entries, of which `shown` says which the
// filter lets through (every one when unset). The reference is never a candidate.
class CompareWalk {
public:
    CompareWalk(int count, int reference, std::function<bool(int)> shown = {});

    // The first `candidates` entries from `first` on that may be candidates, in list order (fewer at the
    // end of the list).
    std::vector<int> run(int first, int candidates) const;
    // The first candidate after `steps` eligible entries from `first` (negative: backwards), stopping at
    // the ends of the list; `first` itself when nothing is eligible that way.
    int step(int first, int steps) const;
    // The first and last eligible entry (-1 when there is none).
    int firstEligible() const;
    int lastEligible() const;
    bool eligible(int index) const;

private:
    int m_count;
    int m_reference;
    std::function<bool(int)> m_shown;
};

} // namespace marquelo
