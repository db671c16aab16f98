#pragma once
// Stored pixels made upright by the EXIF orientation, for every decoder of the viewer: the meaning of
// the eight values is media::Orientation's, only the pixel work on a QImage is here.

#include "media/Orientation.h"

#include <QImage>
#include <QSize>

namespace marquelo {

// Mirror and flip first, then a quarter turn: together they make all eight orientations.
QImage upright(QImage image, const media::Orientation& o);

// The size of a stored picture once upright.
inline QSize uprightSize(QSize stored, const media::Orientation& o)
{
    return o.swapsSides() ? stored.transposed() : stored;
}

} // namespace marquelo
