#pragma once
// The compare view over the viewer window: the reference photo (the current entry, left or top left)
// beside one or three candidates. The step keys move the candidates while the reference stays; Enter
// swaps the first candidate in as the reference. One zoom, a rectangle in fractions of each photo, is
// shared by every pane: a selection, "+", "-", "0", the right button and panning act on all panes.
// Every key that acts on the current photo acts on the reference, as it is the current entry.

#include "core/Command.h"
#include "core/viewer/CompareLayout.h"
#include "core/viewer/ViewGeometry.h"
#include "ui/viewer/PictureRenderer.h"

#include <QColor>
#include <QPoint>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QKeyEvent;
class QRubberBand;

namespace marquelo {

struct AppConfig;
class ImageList;
class PictureCache;
struct PictureSlot;

class CompareView : public QWidget {
    Q_OBJECT
public:
    struct Sources {
        std::function<QString(int index)> marks;                // stars or "Rejected"
        std::function<bool(int index)> shown;                   // the filter lets the entry through
        std::function<std::pair<int, int>(int index)> position; // place among the shown, and their count
    };

    static constexpr int kGap = 4;

    CompareView(QWidget& window, const AppConfig& config, ImageList& images, PictureCache& cache, Sources sources);
    ~CompareView() override;

    bool isOpen() const { return m_open; }
    // Opens with the current entry as the reference and the next ones as candidates; they are shown
    // by the refresh() that follows (once the cache decodes for the panes).
    void open(int paneCount);
    void close();
    // After the list or the current entry changed: the current entry is the reference; the candidates
    // stay where they were (by file) as far as they still can.
    void refresh();
    // The window's commands while comparing: steps, zoom, the panes, leaving. False when the command
    // is not the view's (it then acts on the reference through the window).
    bool runCommand(Command command);
    // Keys the view takes before the key table: Enter swaps, Shift+arrows pan. True when taken.
    bool handleKey(QKeyEvent* event);
    // The first candidate becomes the reference and the reference the first candidate.
    void swap();

    int paneCount() const { return m_paneCount; }
    void setPaneCount(int count);
    // The entries shown, the reference first (-1: an empty pane).
    std::vector<int> shownEntries() const;
    const QRectF& part() const { return m_part; }
    void setPart(const QRectF& part);
    // Pane `i`'s view in its own coordinates, and where the pane lies in the view.
    const ViewGeometry& paneView(int i) const { return m_panes[std::size_t(i)].view; }
    QRect paneRect(int i) const;
    QRect labelRect(int i) const;
    QString labelText(int i) const;
    // The device pixels of the largest pane: what the photos are decoded for while comparing.
    QSize paneDevicePixels() const;
    QSize paneSize() const;
    // The copies scaled on this thread for the panes so far (tests and the benchmark).
    int scalingsMade() const;

Q_SIGNALS:
    // The reference pane's view changed (the window keeps it as the current view, for A).
    void referenceViewChanged();
    // The reference became another entry (swap): the window shows the new current entry.
    void referenceChanged();
    // Leaving asked for (Escape, Shift+C).
    void leaveRequested();
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Pane {
        int index = -1;
        ComparePane rect;
        ViewGeometry view;
        PictureRenderer renderer;
    };
    CompareWalk walk() const;
    void place();
    void loadPanes();
    void layoutPanes();
    void ensureDetail();
    void stepCandidates(int steps);
    void readAhead();
    void pictureLoaded(int index, int version);
    void paintPane(QPainter& painter, Pane& pane, bool reference);
    static bool paintFromScreenCopy(QPainter& painter, const ScreenCopy& copy, const QRectF& part,
                                    const QRect& destination, qreal ratio);
    int paneAt(QPoint p) const;
    void moved();
    std::shared_ptr<PictureSlot> slotOf(int index) const;
    QColor background() const;

    QWidget& m_window;
    const AppConfig& m_config;
    ImageList& m_images;
    PictureCache& m_cache;
    Sources m_sources;
    bool m_open = false;
    int m_paneCount = 2;
    std::array<Pane, 4> m_panes;
    int m_firstCandidate = -1;
    std::string m_firstCandidateName;
    int m_direction = 1;
    int m_readAheadIndex = -1;
    QRectF m_part = kWholePart;
    // A left-button selection runs in this pane; a middle-button pan from this point and part.
    int m_dragPane = -1;
    bool m_panning = false;
    QPoint m_panStart;
    QRectF m_panPart;
    QRubberBand* m_band = nullptr;
    QTimer m_settleTimer;
    QTimer m_readAheadTimer;
    bool m_settled = true;
};

} // namespace marquelo
