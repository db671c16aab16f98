#include "ui/viewer/Placeholders.h"

#include "ui/viewer/ViewerResources.h"

#include <QFontMetrics>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>

namespace marquelo {

namespace {

// Dark enough to read on the label colour, as the sign's own outlines are.
constexpr QColor kReasonColour = QColor(64, 62, 58);

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

QString cannotReadText(const QString& reason)
{
    return reason.isEmpty() ? QString() : QStringLiteral("Cannot read this picture: %1").arg(reason);
}

void paintPlaceholder(QPainter& painter, const QRect& area, Placeholder which, const QString& text)
{
    painter.fillRect(area, kLabelColour);
    const QSize size = placeholderSize(which);
    const QRect target(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                       size.width(), size.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    renderer(which).render(&painter, QRectF(target));
    if (!text.isEmpty()) {
        // Below the sign, or over its foot when the window is too low for both.
        const int margin = 12;
        const int lineHeight = painter.fontMetrics().height();
        const int top = std::min(target.bottom() + margin, area.bottom() - 2 * lineHeight - margin);
        const QRect lines(area.x() + margin, std::max(area.y(), top), std::max(0, area.width() - 2 * margin),
                          area.bottom() - std::max(area.y(), top));
        painter.setPen(kReasonColour);
        painter.drawText(lines, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
    }
    painter.restore();
}

} // namespace marquelo
