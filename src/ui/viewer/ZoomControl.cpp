#include "ui/viewer/ZoomControl.h"

#include "core/viewer/ImageList.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/ViewGeometry.h"
#include "ui/viewer/PictureArea.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QRubberBand>

namespace marquelo {

ZoomControl::ZoomControl(QWidget& window, ViewGeometry& geometry, const ImageList& images, PictureCache& cache,
                         PictureArea& picture)
    : m_window(window), m_geometry(geometry), m_images(images), m_cache(cache), m_picture(picture),
      m_band(new QRubberBand(QRubberBand::Rectangle, &window))
{
    m_band->hide();
}

bool ZoomControl::mousePress(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (!m_geometry.dragging && m_images.count() > 0 && m_images.current().isPicture && m_cache.shown().loaded)
            beginSelection(m_geometry, p.x(), p.y());
    } else if (event->button() == Qt::RightButton) {
        if (!m_geometry.dragging)
            return true;
        cancelDrag();
    }
    return false;
}

void ZoomControl::mouseMove(QMouseEvent* event)
{
    if (!m_geometry.dragging)
        return;
    const QPoint p = event->position().toPoint();
    const bool leftAlone =
        event->buttons() == Qt::LeftButton && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (moveSelection(m_geometry, p.x(), p.y(), leftAlone)) {
        m_band->setGeometry(selectionRect(m_geometry).normalized());
        m_band->show();
    } else {
        m_band->hide();
    }
}

void ZoomControl::mouseRelease(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_geometry.dragging)
        return;
    m_band->hide();
    const QPoint p = event->position().toPoint();
    if (endSelection(m_geometry, p.x(), p.y(), m_window.width(), m_window.height())) {
        ensureDetail();
        m_picture.settle();
    }
    m_window.update();
}

void ZoomControl::cancelDrag()
{
    cancelSelection(m_geometry);
    m_band->hide();
}

void ZoomControl::enlarge()
{
    if (m_geometry.dragging || !m_images.current().isPicture || !m_cache.shown().loaded)
        return;
    if (enlargeStep(m_geometry, m_window.width(), m_window.height())) {
        ensureDetail();
        m_picture.markUnsettled();
    }
    m_window.update();
}

void ZoomControl::shrink()
{
    if (m_geometry.dragging || !m_images.current().isPicture || !m_cache.shown().loaded)
        return;
    if (shrinkStep(m_geometry))
        m_picture.markUnsettled();
    m_window.update();
}

void ZoomControl::ensureDetail()
{
    // A zoomed view asks for as many picture pixels as the screen shows, up to full resolution.
    const qreal ratio = m_window.devicePixelRatioF();
    const QSize device(int(m_geometry.destination.width() * ratio), int(m_geometry.destination.height() * ratio));
    // Decoded on a worker; the picture arrives through pictureLoaded and is drawn from then on.
    m_cache.ensureDetail(m_geometry.source, device);
}

} // namespace marquelo
