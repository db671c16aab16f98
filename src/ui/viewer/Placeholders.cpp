#include "ui/viewer/Placeholders.h"

#include "ui/viewer/ViewerResources.h"

#include <QPainter>
#include <QSvgRenderer>

namespace marquelo {

namespace {

QSvgRenderer& renderer(Placeholder which)
{
    ensureViewerResources();
    static QSvgRenderer noPicture(QStringLiteral(":/viewer/no-picture.svg"));
    static QSvgRenderer movie(QStringLiteral(":/viewer/movie.svg"));
    return which == Placeholder::Movie ? movie : noPicture;
}

} // namespace

QSize placeholderSize(Placeholder which)
{
    return which == Placeholder::Movie ? QSize(263, 249) : QSize(249, 283);
}

void paintPlaceholder(QPainter& painter, const QRect& area, Placeholder which)
{
    painter.fillRect(area, kLabelColour);
    const QSize size = placeholderSize(which);
    const QRect target(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                       size.width(), size.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    renderer(which).render(&painter, QRectF(target));
    painter.restore();
}

} // namespace marquelo
