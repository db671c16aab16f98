#include "convert/Orientation.h"

namespace marquelo::convert {

Orientation orientationOf(Turn turn)
{
    switch (turn) {
    case Turn::RotateRight: return Orientation::quarterRight();
    case Turn::RotateLeft: return Orientation::quarterLeft();
    case Turn::Mirror: return Orientation::mirror();
    case Turn::Flip: return Orientation::flip();
    }
    return {};
}

} // namespace marquelo::convert
