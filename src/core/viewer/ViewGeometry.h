#pragma once
// Which part of the picture is shown (source, in picture pixels) and where in the window (destination,
// in client pixels). The source is also the crop of a page image; the destination size is the
// "current size" an added image can take. Rectangles are inclusive: a one-pixel rectangle has left == right.

#include <QRect>
#include <QRectF>
#include <QSize>

#include <array>

namespace marquelo {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    // Empty as the window system counts it: no area between the edges.
    bool isEmpty() const { return right <= left || bottom <= top; }
    QRect toQRect() const { return QRect(left, top, width(), height()); }
    bool operator==(const Rect&) const = default;
};

struct ViewGeometry {
    Rect source;
    Rect destination;
    Rect fitted;
    // Zoom selection being dragged with the mouse.
    bool dragging = false;
    int startX = 0, startY = 0;
    int endX = 0, endY = 0; // (0, 0): nothing drawn yet
    int releaseX = 0, releaseY = 0;
};

// The source that shows a whole `width` x `height` picture (0 x 0 gives -1,-1 to 0,0).
Rect wholePicture(int width, int height);

// Fits the source into a client area of `clientWidth` x `clientHeight`, centred; with `enlarge` a
// smaller source is scaled up until it touches the client in one dimension. Sets destination and
// fitted. False when nothing was laid out (a source without pixels, or an empty client).
bool layoutPicture(ViewGeometry& view, int clientWidth, int clientHeight, bool enlarge);

// The up to four strips of the client outside the destination that need the background (empty ones
// are returned empty); order: left, top, right, bottom.
std::array<QRect, 4> backgroundMargins(const Rect& destination, int clientWidth, int clientHeight);

// Makes the area between two client points the new source and lays it out enlarged. Refused (false,
// view unchanged) when the area is empty, when it would make a source one pixel wide or high, or when
// the view is already magnified 16 times or more; a refused zoom past 16 times still lays out enlarged,
// as the drag asked for a larger view.
bool zoomToSelection(ViewGeometry& view, int x1, int y1, int x2, int y2, int clientWidth, int clientHeight);

// The "+" step: grows the destination by 2 % of the fitted size on each side unless it would then be
// larger than the client. True when it grew.
bool enlargeStep(ViewGeometry& view, int clientWidth, int clientHeight);
// The "-" step: shrinks the destination by 4 % of its size on each side while that step is not zero.
// True when it shrank.
bool shrinkStep(ViewGeometry& view);

// Mouse selection. The point is clamped into the destination.
QPoint clampToDestination(const ViewGeometry& view, int x, int y);
// Left button down over a picture: dragging starts at the clamped point, nothing drawn yet.
void beginSelection(ViewGeometry& view, int x, int y);
// Mouse move while dragging. With only the left button held the end point follows the mouse and true
// is returned (the rectangle to draw is selectionRect()); any other button or modifier state ends the
// drag without a zoom and returns false.
bool moveSelection(ViewGeometry& view, int x, int y, bool leftButtonAlone);
// Left button up while dragging: ends the drag, remembers the release point, and zooms from the start
// point to it. True when the source changed.
bool endSelection(ViewGeometry& view, int x, int y, int clientWidth, int clientHeight);
// Escape or the right button while dragging: ends the drag without a zoom. False when not dragging.
bool cancelSelection(ViewGeometry& view);
// The rectangle being dragged, in client pixels (empty while nothing is drawn).
QRect selectionRect(const ViewGeometry& view);

// Where `source` (upright full-resolution pixels of a `fullSize` picture) lies in a decoded image of
// `decodedSize`: what painting draws from. Null when the source is all zero.
QRectF decodedSourceRect(const Rect& source, QSize fullSize, QSize decodedSize);

} // namespace marquelo
