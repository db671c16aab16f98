#include "core/viewer/ViewGeometry.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace marquelo {

namespace {

// Products of picture and window sizes stay far below 2^31 for real pictures, but a forged header
// can claim 65535 pixels; the arithmetic is done wide and truncated like the int division it stands for.
int mulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return int(a * b / c);
}

} // namespace

Rect wholePicture(int width, int height)
{
    Rect r{0, 0, width - 1, height - 1};
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

bool layoutPicture(ViewGeometry& view, int clientWidth, int clientHeight, bool enlarge)
{
    // A picture one pixel wide or high has an area like any other; only a source with no pixels at all
    // is not laid out (the old destination would otherwise stay, another picture's geometry).
    if (view.source.width() <= 0 || view.source.height() <= 0)
        return false;
    // The client rectangle with inclusive edges must have an area.
    if (clientWidth - 1 <= 0 || clientHeight - 1 <= 0)
        return false;
    const int cw = clientWidth;
    const int ch = clientHeight;
    int w = view.source.width();
    int h = view.source.height();

    bool shrinkHeight = true;
    if (enlarge) {
        bool done = false;
        if (ch > h) {
            const int w2 = mulDiv(ch, w, h);
            if (w2 > cw) {
                h = mulDiv(cw, h, w);
                w = cw;
                done = true;
            } else {
                w = w2;
                h = ch;
            }
        }
        if (!done && cw > w) {
            const int h2 = mulDiv(cw, h, w);
            if (h2 > ch) {
                w = mulDiv(ch, w, h);
                h = ch;
                shrinkHeight = false;
            } else {
                h = h2;
                w = cw;
            }
        }
    }
    if (shrinkHeight && h > ch) {
        w = mulDiv(ch, w, h);
        h = ch;
    }
    if (w > cw) {
        h = mulDiv(cw, h, w);
        w = cw;
    }

    // A very thin picture shrunk to fit keeps one pixel rather than vanishing into an empty destination.
    w = std::max(w, 1);
    h = std::max(h, 1);

    Rect& d = view.destination;
    d.top = (ch - h) / 2;
    d.bottom = d.top + h - 1;
    d.left = (cw - w) / 2;
    d.right = d.left + w - 1;
    view.fitted = d;
    return true;
}

std::array<QRect, 4> backgroundMargins(const Rect& d, int clientWidth, int clientHeight)
{
    auto strip = [](int l, int t, int r, int b) {
        // Exclusive right/bottom edges as the window system invalidates them.
        return (r > l && b > t) ? QRect(QPoint(l, t), QPoint(r - 1, b - 1)) : QRect();
    };
    return {strip(0, 0, d.left, clientHeight), strip(d.left, 0, d.right + 1, d.top),
            strip(d.right + 1, 0, clientWidth, clientHeight), strip(d.left, d.bottom + 1, d.right + 1, clientHeight)};
}

bool zoomToSelection(ViewGeometry& view, int x1, int y1, int x2, int y2, int clientWidth, int clientHeight)
{
    const Rect dest = view.destination;
    const Rect src = view.source;
    int left = std::min(x1, x2) - dest.left;
    int right = std::max(x1, x2) - dest.left;
    int top = std::min(y1, y2) - dest.top;
    int bottom = std::max(y1, y2) - dest.top;
    if (right <= left || bottom <= top)
        return false;
    const int s = src.right - src.left;
    const int d = dest.right - dest.left;
    // A source or destination one pixel wide has no ratio to scale by.
    if (s <= 0 || d <= 0)
        return false;

    Rect next;
    next.left = mulDiv(s, left, d) + src.left;
    next.top = mulDiv(s, top, d) + src.top;
    next.right = mulDiv(right + 1, s, d) - 1 + src.left;
    next.bottom = mulDiv(bottom + 1, s, d) - 1 + src.top;
    // When the view is already enlarged, rounding can reach past the edge of the old source; the crop
    // must stay inside the picture.
    next.right = std::min(next.right, src.right);
    next.bottom = std::min(next.bottom, src.bottom);

    bool changed = false;
    if (mulDiv(d, 100, s) < 1600 && !next.isEmpty()) {
        view.source = next;
        changed = true;
    }
    layoutPicture(view, clientWidth, clientHeight, true);
    return changed;
}

bool enlargeStep(ViewGeometry& view, int clientWidth, int clientHeight)
{
    if (view.dragging)
        return false;
    const int dx = mulDiv(view.fitted.right - view.fitted.left, 200, 10000);
    const int dy = mulDiv(view.fitted.bottom - view.fitted.top, 200, 10000);
    if (dx == 0 && dy == 0)
        return false;
    Rect grown = view.destination;
    grown.left -= dx;
    grown.right += dx;
    grown.top -= dy;
    grown.bottom += dy;
    if (grown.right - grown.left > clientWidth || grown.bottom - grown.top > clientHeight)
        return false;
    view.destination = grown;
    return true;
}

bool shrinkStep(ViewGeometry& view)
{
    if (view.dragging)
        return false;
    Rect& d = view.destination;
    const int dx = mulDiv(d.right - d.left, 400, 10000);
    const int dy = mulDiv(d.bottom - d.top, 400, 10000);
    if (!(d.right - d.left > 2 * dx && d.bottom - d.top > 2 * dy && dx > 0 && dy > 0))
        return false;
    d.left += dx;
    d.right -= dx;
    d.top += dy;
    d.bottom -= dy;
    return true;
}

QPoint clampToDestination(const ViewGeometry& view, int x, int y)
{
    const Rect& d = view.destination;
    return QPoint(std::clamp(x, d.left, std::max(d.left, d.right)), std::clamp(y, d.top, std::max(d.top, d.bottom)));
}

void beginSelection(ViewGeometry& view, int x, int y)
{
    const QPoint p = clampToDestination(view, x, y);
    view.dragging = true;
    view.startX = p.x();
    view.startY = p.y();
    view.endX = 0;
    view.endY = 0;
}

bool moveSelection(ViewGeometry& view, int x, int y, bool leftButtonAlone)
{
    if (!view.dragging)
        return false;
    if (!leftButtonAlone) {
        view.dragging = false;
        return false;
    }
    const QPoint p = clampToDestination(view, x, y);
    view.endX = p.x();
    view.endY = p.y();
    return true;
}

bool endSelection(ViewGeometry& view, int x, int y, int clientWidth, int clientHeight)
{
    if (!view.dragging)
        return false;
    view.dragging = false;
    const QPoint p = clampToDestination(view, x, y);
    view.releaseX = p.x();
    view.releaseY = p.y();
    return zoomToSelection(view, view.startX, view.startY, p.x(), p.y(), clientWidth, clientHeight);
}

bool cancelSelection(ViewGeometry& view)
{
    if (!view.dragging)
        return false;
    view.dragging = false;
    return true;
}

QRect selectionRect(const ViewGeometry& view)
{
    if (view.endX == 0 && view.endY == 0)
        return QRect();
    return QRect(QPoint(std::min(view.startX, view.endX), std::min(view.startY, view.endY)),
                 QPoint(std::max(view.startX, view.endX), std::max(view.startY, view.endY)));
}

QRectF decodedSourceRect(const Rect& source, QSize fullSize, QSize decodedSize)
{
    if ((source.left == 0 && source.top == 0 && source.right == 0 && source.bottom == 0) || fullSize.isEmpty())
        return QRectF();
    const double sx = double(decodedSize.width()) / fullSize.width();
    const double sy = double(decodedSize.height()) / fullSize.height();
    return QRectF(source.left * sx, source.top * sy, source.width() * sx, source.height() * sy);
}

} // namespace marquelo
