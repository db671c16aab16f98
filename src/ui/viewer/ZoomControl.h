#pragma once
// Zooming the shown photo: the rubber band of a left-button selection, "+" and "-" steps, and the
// request for more decoded pixels when the zoomed view can show more than were decoded.

class QMouseEvent;
class QRubberBand;
class QWidget;

namespace marquelo {

class ImageList;
class PictureArea;
class PictureCache;
struct ViewGeometry;

class ZoomControl {
public:
    // The rubber band becomes a child of `window`.
    ZoomControl(QWidget& window, ViewGeometry& geometry, const ImageList& images, PictureCache& cache,
                PictureArea& picture);

    // True when the click asks for the fitted view again (a right click with no selection running).
    bool mousePress(QMouseEvent* event);
    void mouseMove(QMouseEvent* event);
    void mouseRelease(QMouseEvent* event);
    // Drops a running selection.
    void cancelDrag();
    void enlarge();
    void shrink();

private:
    void ensureDetail();

    QWidget& m_window;
    ViewGeometry& m_geometry;
    const ImageList& m_images;
    PictureCache& m_cache;
    PictureArea& m_picture;
    QRubberBand* m_band = nullptr;
};

} // namespace marquelo
