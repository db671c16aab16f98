#include "core/viewer/Upright.h"

#include <QTransform>

namespace marquelo {

QImage upright(QImage image, const media::Orientation& o)
{
    if (o.isIdentity() || image.isNull())
        return image;
    const media::OrientationSteps steps = o.steps();
    if (steps.mirror || steps.flip)
        image = std::move(image).mirrored(steps.mirror, steps.flip);
    if (steps.quarterRight)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

} // namespace marquelo
