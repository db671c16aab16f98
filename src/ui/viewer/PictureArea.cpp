#include "ui/viewer/PictureArea.h"

#include "core/settings/AppConfig.h"
#include "core/viewer/Appearance.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureSlot.h"
#include "core/viewer/ViewGeometry.h"
#include "ui/viewer/Placeholders.h"

#include <QPainter>
#include <QWidget>

namespace marquelo {

namespace {
// How long the view must stay still before the quick draw is replaced by the smooth copy.
constexpr int kSettleMs = 150;
} // namespace

PictureArea::PictureArea(QWidget& window, const AppConfig& config, const ImageList& images, PictureCache& cache,
                         const ViewGeometry& geometry)
    : m_window(window), m_config(config), m_images(images), m_cache(cache), m_geometry(geometry)
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] {
        m_settled = true;
        m_window.update();
    });
    m_readAheadTimer.setSingleShot(true);
    connect(&m_readAheadTimer, &QTimer::timeout, this, &PictureArea::runReadAhead);
    connect(&m_cache, &PictureCache::pictureLoaded, this, &PictureArea::pictureLoaded);
}

QColor PictureArea::background() const
{
    const ColourRef c = viewerBackground(m_config);
    return QColor(colourRed(c), colourGreen(c), colourBlue(c));
}

void PictureArea::paint(QPainter& painter)
{
    const ShownPicture picture = m_cache.shown();
    const Rect& source = m_geometry.source;
    const bool sourceSet = !(source.left == 0 && source.top == 0 && source.right == 0 && source.bottom == 0);
    if (m_images.count() > 0 && picture.present && picture.loaded && picture.isPicture && !picture.image.isNull()) {
        const QColor colour = background();
        const QRect destination = m_geometry.destination.toQRect();
        for (const QRect& margin : backgroundMargins(m_geometry.destination, m_window.width(), m_window.height())) {
            if (!margin.isEmpty())
                painter.fillRect(margin, colour);
        }
        if (sourceSet) {
            // Transparent parts of a picture (PNG, WebP) show the viewer's background.
            if (picture.image.hasAlphaChannel())
                painter.fillRect(destination, colour);
            const QRectF part = decodedSourceRect(source, picture.fullSize, picture.image.size());
            const qreal ratio = m_window.devicePixelRatioF();
            if (picture.screen.fits(part, destination, ratio))
                m_renderer.adopt(picture.image, picture.screen, true);
            m_renderer.paint(painter, picture.image, part, destination, m_window.devicePixelRatioF(), m_settled);
            m_drawnSinceNew = true;
        }
    } else if (m_images.count() > 0 && picture.present && picture.loading) {
        painter.fillRect(m_window.rect(), background());
    } else if (m_images.count() == 0 || (picture.present && picture.loaded && !picture.isPicture)) {
        // The empty list's entry is not a picture either, so it shows as a movie would.
        paintPlaceholder(painter, m_window.rect(), Placeholder::Movie);
    } else {
        paintPlaceholder(painter, m_window.rect(), Placeholder::NoPicture, cannotReadText(picture.error));
    }
    if (m_readAheadPending)
        m_readAheadTimer.start(0);
}

void PictureArea::newPicture()
{
    // Read-ahead starts once this picture is on screen, so its decoding does not compete with the paint
    // (the cache holds it till then, also when a load ends meanwhile); a window that is not painted
    // (hidden, minimized) starts it a moment later all the same.
    m_readAheadPending = true;
    m_readAheadTimer.start(30);
    m_cache.holdReadAhead();
    // A new picture is drawn smoothly at once; only zoom steps and resizing take the quick path.
    m_settleTimer.stop();
    m_settled = true;
    m_drawnSinceNew = false;
}

void PictureArea::pictureAwaited()
{
    m_readAheadPending = false;
    m_readAheadTimer.stop();
    m_cache.holdReadAhead();
}

void PictureArea::markUnsettled()
{
    // The window system's first placing of the window (maximizing it) comes between a start photo's
    // load and its first paint: nothing is moving yet, and a quick draw would only be drawn again.
    if (!m_drawnSinceNew)
        return;
    m_settled = false;
    m_settleTimer.start();
}

void PictureArea::pictureLoaded(int index, int version)
{
    const int current = m_images.currentIndex();
    if (index == current && version == m_images.current().shown) {
        m_window.update();
    } else if (index == current - 1 || index == current + 1) {
        // Scale the neighbour for the screen while the user looks at this one: the step to it only blits.
        QTimer::singleShot(0, this, [this, index] { prepareView(index); });
    }
}

void PictureArea::runReadAhead()
{
    if (!m_readAheadPending)
        return;
    m_readAheadPending = false;
    m_cache.updateReadAhead();
    prepareView(m_images.currentIndex() - 1);
    prepareView(m_images.currentIndex() + 1);
}

void PictureArea::prepareView(int index)
{
    const int current = m_images.currentIndex();
    if (index < 0 || index >= m_images.count() || (index != current - 1 && index != current + 1))
        return;
    const ImageEntry& entry = m_images.at(index);
    const auto& slot = entry.pictures[std::size_t(entry.shown)];
    if (!entry.isPicture || !slot || !slot->ready() || slot->image.isNull())
        return;
    ViewGeometry fitted;
    fitted.source = wholePicture(slot->fullSize.width(), slot->fullSize.height());
    if (!layoutPicture(fitted, m_window.width(), m_window.height(), false))
        return;
    const QRectF part = decodedSourceRect(fitted.source, slot->fullSize, slot->image.size());
    const QRect destination = fitted.destination.toQRect();
    const qreal ratio = m_window.devicePixelRatioF();
    if (slot->screen.fits(part, destination, ratio))
        m_renderer.adopt(slot->image, slot->screen, false);
    else
        m_renderer.prepare(slot->image, part, destination, ratio);
}

} // namespace marquelo
