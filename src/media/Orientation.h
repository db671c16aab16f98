#pragma once
// The eight ways a picture can lie (quarter turns and mirrors), as 2x2 matrices on pixel coordinates
// with x to the right and y downwards, so that EXIF orientation and the user's turns compose exactly.
// The one place that knows what an EXIF orientation value means.

namespace marquelo::media {

// What to do to pixels, in this order, to carry out an orientation: mirror (left and right swapped),
// flip (top and bottom swapped), then a quarter turn clockwise. Qt's QImageIOHandler::Transformations
// are these three bits.
struct OrientationSteps {
    bool mirror = false;
    bool flip = false;
    bool quarterRight = false;
};

struct Orientation {
    // (x, y) -> (a*x + b*y, c*x + d*y) about the picture's centre.
    int a = 1, b = 0, c = 0, d = 1;

    static Orientation identity() { return {}; }
    // The turn that makes the stored pixels of an EXIF orientation 1..8 upright (others: identity).
    static Orientation fromExif(int exif);
    static Orientation quarterRight() { return {0, -1, 1, 0}; }
    static Orientation quarterLeft() { return {0, 1, -1, 0}; }
    static Orientation mirror() { return {-1, 0, 0, 1}; }
    static Orientation flip() { return {1, 0, 0, -1}; }

    // First `first`, then this.
    Orientation after(const Orientation& first) const;
    Orientation inverse() const { return {a, c, b, d}; } // orthogonal: the transpose
    bool swapsSides() const { return a == 0; }
    bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1; }
    OrientationSteps steps() const;
    bool operator==(const Orientation&) const = default;
};

// A rectangle of the picture after `o` (whose size is `outWidth` x `outHeight` before it) mapped back onto
// the picture before it. Coordinates are pixel edges: [x0, x1) x [y0, y1).
struct EdgeRect {
    long long x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
EdgeRect mapBack(const Orientation& o, const EdgeRect& after, long long widthBefore, long long heightBefore);

} // namespace marquelo::media
