#include "convert/Orientation.h"

#include <algorithm>

namespace marquelo::convert {

Orientation Orientation::fromExif(int exif)
{
    switch (exif) {
    case 2: return {-1, 0, 0, 1};  // mirrored
    case 3: return {-1, 0, 0, -1}; // upside down
    case 4: return {1, 0, 0, -1};  // flipped
    case 5: return {0, 1, 1, 0};   // transposed
    case 6: return {0, -1, 1, 0};  // needs a quarter turn right
    case 7: return {0, -1, -1, 0}; // transversed
    case 8: return {0, 1, -1, 0};  // needs a quarter turn left
    default: return {};
    }
}

Orientation Orientation::fromTurn(Turn turn)
{
    switch (turn) {
    case Turn::RotateRight: return {0, -1, 1, 0};
    case Turn::RotateLeft: return {0, 1, -1, 0};
    case Turn::Mirror: return {-1, 0, 0, 1};
    case Turn::Flip: return {1, 0, 0, -1};
    }
    return {};
}

Orientation Orientation::after(const Orientation& f) const
{
    return {a * f.a + b * f.c, a * f.b + b * f.d, c * f.a + d * f.c, c * f.b + d * f.d};
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

} // namespace marquelo::convert
