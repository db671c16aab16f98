#pragma once
// Which part of the picture is shown (source, in picture pixels) and where in the window (destination,
// in client pixels). The source is also the crop of a page image; the destination size is the
// "current size" an added image can take. Rectangles are inclusive: a one-pixel rectangle has left == right.

namespace marquelo {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    bool operator==(const Rect&) const = default;
};

struct ViewGeometry {
    Rect source;
    Rect destination;
    Rect fitted;
    // Zoom selection being dragged with the mouse.
    bool dragging = false;
    int startX = 0, startY = 0;
    int endX = 0, endY = 0;  // (0, 0): nothing drawn yet
    int releaseX = 0, releaseY = 0;
};

} // namespace marquelo
