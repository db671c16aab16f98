#pragma once
// The image list as a grid of thumbnails, in list order, each with its file name under it. While it is open the list's
// current entry is the highlighted cell, so delete, rename and the change check act on it as they do in the viewer.
// Thumbnails come from a ThumbnailLoader (shared cache, made off the GUI thread); the cells on screen are asked for
// first. Cells are laid out in logical pixels and thumbnails fetched at device pixels, scaled to the cell once on the
// loader's thread, so painting only copies pixels. Decoded thumbnails are held within a memory budget (least recently
// used dropped first); only as many as it holds are fetched around the screen, and the rest of the folder is only made
// sure of in the shared cache.

#include "core/settings/AppConfig.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/ThumbnailCache.h"
#include "core/viewer/ThumbnailMemory.h"
#include "ui/viewer/Placeholders.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QKeyEvent;
class QPainter;

namespace marquelo {

class ThumbnailLoader;

class ThumbnailGrid : public QWidget {
    Q_OBJECT
public:
    // Cell sizes Ctrl+plus and Ctrl+minus step through, in logical pixels.
    static constexpr int kCellSizes[] = {96, 128, 160, 200, 256, 320, 400};
    static constexpr int kDefaultCell = 160;

    ThumbnailGrid(QWidget* parent, ImageList& images, const AppConfig& config, ThumbnailCache cache = {});
    ~ThumbnailGrid() override;

    // Shows the grid over its parent with the current entry highlighted; Escape returns to that entry.
    void open();
    // Hides the grid and stops its work. `restore` makes the entry current that was when it opened.
    void close(bool restore);

    // A key while the grid is shown: true when the grid took it. Delete and F2 are left to the viewer,
    // which acts on the highlighted (current) entry.
    bool handleKey(QKeyEvent* event);

    // The list changed (delete, rename, a file changed on disk): repaint, fetch what is now missing.
    void listChanged();

    int highlighted() const { return m_images.currentIndex(); }
    // The chosen cell size; the cells grow from it so that the columns fill the width.
    int cellSize() const { return m_cell; }
    int columns() const;
    // The side of a cell's picture box as laid out (at least cellSize()); the name goes under it.
    int boxSide() const;
    // Rows that fit whole in the window.
    int pageRows() const;
    int firstRow() const { return m_firstRow; }
    // The entry under a point, or -1.
    int indexAt(QPoint point) const;
    // The picture box of list entry `index` (its name is under it), empty when the filter leaves it out.
    QRect cellRect(int index) const;
    // The highlighted entry's cell (-1 when it has none), a cell's file name and its badges in words.
    int highlightedCell() const;
    int cellOfEntry(int index) const { return cellOf(index); }
    QString cellName(int cell) const;
    QString cellDescription(int cell) const;
    QRect cellRectInGrid(int cell) const { return cellRectAt(cell); }
    // The cells on screen, [first, last).
    std::pair<int, int> cellsOnScreen() const { return visibleRange(); }
    // Pixel bytes of decoded thumbnails held at most, beyond the cells on screen.
    static constexpr qint64 kMemoryBudget = 40ll * 1024 * 1024;
    // Replaces kMemoryBudget (tests).
    void setMemoryBudget(qint64 bytes) { m_thumbs.setBudget(bytes); }
    // Thumbnails held in memory and their pixel bytes (tests, benchmark).
    int thumbnailsHeld() const { return m_thumbs.size(); }
    qint64 thumbnailBytes() const { return m_thumbs.bytes(); }
    // Cells on screen whose thumbnail (or failure) has arrived, and cells on screen.
    int visibleDone() const;
    int visibleCount() const;
    ThumbnailLoader& loader() { return *m_loader; }

    // The cull's marks of a cell as far as they are known (never read from disk while painting), and
    // whether the filter shows it.
    struct CellMarks {
        bool known = false;
        int rating = 0;    // -1 reject, 0 none, 1..5 stars
        QString label;     // "Red", ... or empty
        bool shown = true; // by the filter
    };
    void setMarksSource(std::function<CellMarks(int index)> source) { m_marksOf = std::move(source); }
    // While `filtering` says so, the grid holds only the entries `shown` passes, and the highlighted
    // one: a photo that leaves the filter by a new rating stays until the highlight moves on. Both are
    // asked only when the marks or the list change, never while painting.
    void setFilterSource(std::function<bool()> filtering, std::function<bool(int index)> shown);
    // The marks or the filter changed: the cells are chosen again and repainted.
    void marksChanged();
    // Cells in the grid, and the list entry of cell `cell` (the same numbers without a filter).
    int cellCount() const;
    int entryAt(int cell) const;

Q_SIGNALS:
    // The highlight moved (position counts from 0).
    void highlightChanged(int index);
    // Enter, a click or G: show the highlighted entry in the viewer.
    void activated();
    // Escape: back to the viewer without moving.
    void leave();
    // Emitted at the end of every paint (benchmark).
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The cell of list entry `index`, or -1 when the filter leaves it out.
    int cellOf(int index) const;
    QRect cellRectAt(int cell) const;
    QRect nameRectAt(int cell) const;
    int nameHeight() const;
    int rowPitch() const;
    const QString& elidedName(int cell);
    void chooseCells();
    void paintBadges(QPainter& painter, const QRect& cell, const ImageEntry& entry, const CellMarks& marks);
    int sidePixels() const;
    QByteArray pathOf(int index) const;
    void moveTo(int index);
    void scrollToHighlight();
    void setCellSize(int cell);
    void requestMissing();
    void onReady(const QByteArray& path, qint64 mtimeNs, const QImage& image, int side);
    void onPrepared(const QByteArray& path, qint64 mtimeNs, int side);
    void checkVisibleFiles();
    std::pair<int, int> visibleRange() const;
    const QImage& sign(Placeholder which);

    ImageList& m_images;
    const AppConfig& m_config;
    std::unique_ptr<ThumbnailLoader> m_loader;
    ThumbnailMemory m_thumbs{kMemoryBudget};
    // Files whose thumbnail the shared cache is known to hold (or to have failed), at the file's
    // modification time and the cell side asked for: not asked for again while they stay out of reach.
    struct Prepared {
        qint64 mtimeNs = 0;
        int side = 0;
    };
    QHash<QByteArray, Prepared> m_prepared;
    // The cell side every entry of the list was last found prepared at (0: not known).
    int m_allPreparedSide = 0;
    // The two signs drawn once at the cell size in device pixels (index: Placeholder), and that size.
    QImage m_signs[2];
    int m_signSide = 0;
    int m_cell = kDefaultCell;
    int m_firstRow = 0;
    int m_returnIndex = 0;
    QTimer m_fileCheck;
    std::function<CellMarks(int)> m_marksOf;
    std::function<bool()> m_filtering;
    std::function<bool(int)> m_shownOf;
    // The list entries of the cells, ascending, while a filter is on (m_mapped); without one every
    // entry is its own cell. m_kept: the highlighted entry kept although the filter leaves it out.
    std::vector<int> m_cells;
    bool m_mapped = false;
    int m_kept = -1;
    // Names as drawn, elided to the cell width, by list entry (null: not made yet).
    std::vector<QString> m_names;
};

} // namespace marquelo
