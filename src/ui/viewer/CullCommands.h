#pragma once
// The viewer window's cull commands on the current photo: stars, reject and colour labels kept in XMP
// sidecars (core/viewer/PhotoMarks), each change confirmed by a fading notice and the info line.

#include "core/Command.h"
#include "core/viewer/CullFilter.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PhotoMarks.h"
#include "core/viewer/SendTo.h"
#include "ui/viewer/ThumbnailGrid.h"

#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QMenu;
class QWidget;

namespace marquelo {

struct AppConfig;
class MarksScanner;
class NoticeOverlay;

class CullCommands {
public:
    // `relabel` writes the info line again after a change; `listChanged` shows the current entry after
    // the list changed (send-to and its undo); `evict` drops an entry's decoded pictures before it moves.
    CullCommands(AppConfig& config, ImageList& images, NoticeOverlay& notices, std::function<void()> relabel,
                 std::function<void()> listChanged = {}, std::function<void(int)> evict = {});
    ~CullCommands();

    // Runs a rating or label command; false for a command that is not the cull's.
    bool run(Command command);
    // The current photo's marks for the info line ("★★★", "Rejected", "" when none).
    QString currentMarksText();
    // Entry `index`'s marks in the same words, without the filter ("" while they are not read yet).
    QString marksTextOf(int index);

    PhotoMarks& marks() { return m_marks; }

    // The filter. While it is not All, the walk steps over the photos it hides.
    CullFilter filter() const { return m_filter; }
    void setFilter(CullFilter filter);
    bool filtering() const { return m_filter != CullFilter::All; }
    // Whether entry `index` is shown (a photo whose marks are not read yet is).
    bool shown(int index);
    // The "Filter" menu with every filter, the current one checked, popped up at `at` of `parent`;
    // choosing one sets it as Ctrl+F does. Non-modal: the menu stays the window's child until closed.
    QMenu* showFilterMenu(QWidget* parent, QPoint at);
    // Where a navigation command goes under the filter (nothing for other commands or without filter).
    std::optional<int> filteredTarget(Command command);
    // The current photo's place among the shown ones.
    FilteredPosition position();
    // Reads every photo's marks in the background (the filter and the grid start it).
    void scanFolder();
    // Whether the background read has answered for every photo.
    bool folderKnown() const;

    // A grid cell's marks as far as they are read (the grid starts the background read).
    ThumbnailGrid::CellMarks cellMarks(int index);

    // Moves the current photo (its pair, edited copy and sidecars along) into send-to folder `slot`
    // (1..4); true when it moved. undoSend() moves the last one back to its place in the list.
    bool sendTo(int slot);
    bool undoSend();
    bool canUndoSend() const { return !m_sent.empty(); }

private:
    AppConfig& m_config;
    ImageList& m_images;
    NoticeOverlay& m_notices;
    std::function<void()> m_relabel;
    std::function<void()> m_listChanged;
    std::function<void(int)> m_evict;
    PhotoMarks m_marks;
    CullFilter m_filter = CullFilter::All;
    std::unique_ptr<MarksScanner> m_scanner;
    struct Sent {
        int index = 0;
        ImageEntry before;
        std::vector<MovedFile> moved;
    };
    std::vector<Sent> m_sent;
    int m_scanned = 0;
    int m_scanSize = -1;
    std::string m_problemShown;
    QPointer<QMenu> m_filterMenu;
};

} // namespace marquelo
