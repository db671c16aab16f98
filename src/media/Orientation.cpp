#include "media/Orientation.h"

#include <algorithm>

namespace marquelo::media {

Orientation Orientation::fromExif(int exif)
{
    switch (exif) {
    case 2: return mirror();
    case 3: return {-1, 0, 0, -1}; // upside down
    case 4: return flip();
    case 5: return {0, 1, 1, 0}; // transposed
    case 6: return quarterRight();
    case 7: return {0, -1, -1, 0}; // transversed
    case 8: return quarterLeft();
    default: return {};
    }
}

Orientation Orientation::after(const Orientation& f) const
{
    return {a * f.a + b * f.c, a * f.b + b * f.d, c * f.a + d * f.c, c * f.b + d * f.d};
}

OrientationSteps Orientation::steps() const
{
    // This = quarter^q * flip^f * mirror^m: undo the quarter turn, and what is left is diagonal.
    const bool quarter = swapsSides();
    const Orientation rest = quarter ? quarterLeft().after(*this) : *this;
    return {rest.a == -1, rest.d == -1, quarter};
}

EdgeRect mapBack(const Orientation& o, const EdgeRect& r, long long widthBefore, long long heightBefore)
{
    // Work in doubled coordinates about the centre so that half pixels stay integers.
    const long long wa = o.swapsSides() ? heightBefore : widthBefore;
    const long long ha = o.swapsSides() ? widthBefore : heightBefore;
    const Orientation inv = o.inverse();
    auto back = [&](long long x, long long y, long long& bx, long long& by) {
        const long long cx = 2 * x - wa, cy = 2 * y - ha;
        bx = (inv.a * cx + inv.b * cy + widthBefore) / 2;
        by = (inv.c * cx + inv.d * cy + heightBefore) / 2;
    };
    long long ax, ay, bx, by;
    back(r.x0, r.y0, ax, ay);
    back(r.x1, r.y1, bx, by);
    return {std::min(ax, bx), std::min(ay, by), std::max(ax, bx), std::max(ay, by)};
}

} // namespace marquelo::media
