#pragma once
// The painting side of the viewer window: the background outside the destination, the photo through
// the renderer (a quick draw while "+"/"-" or a resize are still moving, the smooth copy once the view
// has been still for 150 ms) or a placeholder. Read-ahead starts right after a new photo's paint, and
// a neighbour's fitted view is scaled ahead when its load ends, so stepping to it only blits.

#include "ui/viewer/PictureRenderer.h"

#include <QColor>
#include <QObject>
#include <QTimer>

class QPainter;
class QWidget;

namespace marquelo {

struct AppConfig;
class ImageList;
class PictureCache;
struct ViewGeometry;

class PictureArea : public QObject {
    Q_OBJECT
public:
    PictureArea(QWidget& window, const AppConfig& config, const ImageList& images, PictureCache& cache,
                const ViewGeometry& geometry);

    void paint(QPainter& painter);
    // The background colour of the settings, also behind the toolbar.
    QColor background() const;
    // A new photo is shown: it is drawn smoothly at once and read-ahead follows its paint.
    void newPicture();
    // The current entry's load is still running (it is shown when it ends): nothing is read ahead
    // meanwhile, so the load has the cores to itself.
    void pictureAwaited();
    // The view is moving: quick draws until it has been still for a moment (not before the new photo's
    // first paint).
    void markUnsettled();
    // The view has its final place now (a zoom by selection ended).
    void settle() { m_settled = true; }
    // Drops the scaled copies (the picture was replaced or decoded again).
    void clearCopies() { m_renderer.clear(); }
    int copiesMade() const { return m_renderer.copiesMade(); }

private:
    void pictureLoaded(int index, int version);
    void runReadAhead();
    void prepareView(int index);

    QWidget& m_window;
    const AppConfig& m_config;
    const ImageList& m_images;
    PictureCache& m_cache;
    const ViewGeometry& m_geometry;
    PictureRenderer m_renderer;
    QTimer m_settleTimer;
    QTimer m_readAheadTimer;
    bool m_settled = true;
    bool m_drawnSinceNew = false;
    bool m_readAheadPending = false;
};

} // namespace marquelo
