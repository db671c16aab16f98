#pragma once
// The small sample pages of "Page Properties": one picture per layout (Center, Left, Right, L/R),
// drawn rather than stored so they stay sharp at any screen scale.

#include <QPixmap>

namespace marquelo {

// A sample page in `layout` (0 Center, 1 Left, 2 Right, 3 L/R); any other value draws Center.
QPixmap layoutPreviewPicture(int layout, qreal devicePixelRatio = 1.0);

} // namespace marquelo
