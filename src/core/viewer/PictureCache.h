#pragma once
// Loads the pictures of the image list on worker threads, reads the neighbours of the current entry
// ahead, frees what leaves the window, and notices when the shown file changes on disk.

#include "core/settings/AppConfig.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureSlot.h"
#include "core/viewer/ViewGeometry.h"

#include <QObject>
#include <QSize>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace marquelo {

// What the viewer needs to draw the current entry.
struct ShownPicture {
    bool present = false;   // a load was requested and the slot still exists
    bool loading = false;   // that load is still running
    bool loaded = false;    // the load succeeded (or the entry is a movie: nothing to decode)
    bool isPicture = false; // the entry is decoded and drawn; otherwise the movie placeholder is shown
    QImage image;           // upright, possibly decoded at a reduced scale (null when not loaded)
    QSize fullSize;         // upright full-resolution size: the pixels of the source rectangle
    ScreenCopy screen;      // the whole picture scaled for the window by its load (may not fit the view)
    QString error;          // why the load failed (empty while loading, after a success or without a load)
};

// Lives on the GUI thread; every public function must be called there. The slots are the entries' own
// (ImageEntry::pictures); the cache holds only its running loads.
class PictureCache : public QObject {
    Q_OBJECT
public:
    enum class Priority { Current, ReadAhead };

    // How long showing the current entry waits for its load before the window goes on without it:
    // long enough that an ordinary photo is never drawn late, short enough that a load that takes
    // minutes (or never ends) cannot hold the window.
    static constexpr std::chrono::milliseconds kCurrentPatience{1000};
    // How long the end of the cache waits for its cancelled loads to stop before it leaves those still
    // running to the end of the program (core/viewer/WorkPools.h).
    static constexpr std::chrono::milliseconds kExitPatience{2000};

    PictureCache(ImageList& images, AppConfig& config, QObject* parent = nullptr);
    // Cancels the running loads and waits for them; one that does not stop within kExitPatience is left
    // to the loads pool (workpools::finish at the program's end). Their results are dropped and they
    // never touch the cache again.
    ~PictureCache() override;

    // Makes sure the shown version of entry `index` is loaded or loading; true only when it started a
    // new load. A load that cannot start leaves the slot present, not loading and not loaded.
    bool requestPicture(int index, Priority priority);
    // Frees slot `version` of entry `index` unless its load is still running.
    void evictPicture(int index, int version);
    // Frees every slot that is not loading (after a change of CacheDepth or ReadAhead).
    void evictAll();
    // Requests the current entry's shown picture and blocks until its load has ended, at most
    // `patience`. True when it ended; otherwise the load goes on and pictureLoaded reports its end.
    bool waitForCurrent(std::chrono::milliseconds patience = kCurrentPatience);
    // Frees both versions outside CacheDepth (0..4; any other value counts as 1) entries around the current one and
    // starts at most one read-ahead load: the nearest missing entry, the one behind first. Ends a hold.
    void updateReadAhead();
    // Until the next updateReadAhead(), loads that end free what is outside the depth but start no
    // read-ahead: a new current picture is painted with both cores, not beside a neighbour's decode.
    void holdReadAhead() { m_readAheadHeld = true; }
    // The change check of the timer tick. True when the viewer must show the current entry again:
    // the shown file's time or size differs from what was last read (or found) and it can now be
    // opened (its slot was freed), or it has just gone missing. Never re-entered, never opens
    // anything but a regular file, and never waits.
    bool checkCurrentFile();

    // The current entry's shown picture.
    ShownPicture shown() const;
    // The current entry's shown slot (null when nothing was requested).
    std::shared_ptr<const PictureSlot> currentSlot() const;

    // The largest area, in device pixels, a picture is ever fitted into (the screen). Pictures are
    // decoded at the smallest scale that still fills it; an empty size decodes at full resolution.
    // Defaults to the primary screen. The window follows its own screen: on a larger one, read-ahead
    // decoded for the smaller screen is freed (and read again unless read-ahead is held) and the
    // current picture is decoded again sharper, shown meanwhile as it is (pictureLoaded when the sharper
    // one replaces it).
    void setViewSize(QSize devicePixels);
    QSize viewSize() const { return m_viewSize; }
    // The window that loads scale their picture for, fitted whole, as a new photo is shown; an invalid
    // target makes none. A load takes the window as it is when its decode ends, so a resize during the
    // decode (the window system maximizing the window at start) still gets a copy that fits.
    void setScreenTarget(const ScreenTarget& target);
    // After a zoom: when the current picture was decoded too small to show `source` in a
    // `destinationSize` area (device pixels) without blur, starts decoding it again at the scale needed
    // on a worker and returns at once; true when it started one. The picture already decoded stays
    // until the sharper one replaces it (pictureLoaded for the current entry); one that cannot be
    // decoded within the bound never replaces it.
    bool ensureDetail(const Rect& source, QSize destinationSize);
    // The same for entry `index` (a compare pane). Each entry can have its own detail load running.
    bool ensureDetail(int index, const Rect& source, QSize destinationSize);
    // Entries whose pictures stay while they are outside CacheDepth (the compare view's panes and the
    // candidate's read-ahead); an empty list ends the pinning. While any are pinned, the current
    // entry's neighbours are freed at once and not read ahead, and a larger view size keeps the
    // pinned pictures instead of freeing them: they are on screen (the caller refines them).
    void setPinned(std::vector<int> indexes);
    bool isPinned(int index) const;

    // The primary screen in device pixels (empty without a GUI application): the default view size.
    static QSize primaryScreenPixels();

    // CacheDepth as the cache applies it.
    int depth() const;
    // Loads running now (tests and benchmarks).
    int runningLoads() const;

Q_SIGNALS:
    // A load has ended (delivered on the GUI thread). The cache has already continued its read-ahead
    // (unless it is held); the viewer repaints when the current slot is the one that ended.
    void pictureLoaded(int index, int version);

protected:
    // Starts `work` on a thread of the loads pool; false when none could be had. Virtual so tests can
    // refuse.
    virtual bool startWorker(std::function<void()> work);

private:
    // Runs on the GUI thread after workers have queued their finished slots.
    Q_INVOKABLE void takeFinishedLoads();

    struct Worker;
    struct LoadJob;
    struct Mailbox;
    struct DetailLoad {
        std::shared_ptr<PictureSlot> base;    // the slot it refines
        std::shared_ptr<PictureSlot> sharper; // being filled
        double scale = 0;
    };
    static void runLoad(const LoadJob& job, const std::shared_ptr<Mailbox>& mailbox);
    bool startLoad(int index, int version, Priority priority, double minScale, std::shared_ptr<PictureSlot> slot);
    bool launch(std::shared_ptr<PictureSlot> slot, std::string path, double minScale, int threads = 1,
                bool screenCopy = false);
    void onLoadEnded(const std::shared_ptr<PictureSlot>& slot);
    bool takeDetail(const std::shared_ptr<PictureSlot>& slot);
    bool startDetail(int index, const std::shared_ptr<PictureSlot>& slot, int version, double scale, int threads);
    // Decodes the current picture again when its load was made for a smaller screen than the view's.
    bool refineForView();
    bool coversView(const PictureSlot& slot) const;
    struct DepthWindow {
        int lo;
        int hi;
    };
    // Frees both versions of the entries outside CacheDepth around the current one; returns the
    // entries kept.
    DepthWindow evictOutsideDepth();
    void settle(ImageEntry& entry, int version);
    void reapWorkers();

    ImageList& m_images;
    AppConfig& m_config;
    QSize m_viewSize;
    bool m_checking = false;
    bool m_readAheadHeld = false;
    // Read-ahead freed by a larger screen is read again once the current picture's sharper decode ends.
    bool m_refillAfterDetail = false;
    std::vector<std::unique_ptr<Worker>> m_workers;
    // Slots whose load has ended, handed from the workers to the GUI thread. Shared with the workers,
    // so one left running at exit can still drop its result there.
    std::shared_ptr<Mailbox> m_mailbox;
    // Set once, by the destructor: every load still running gives up.
    std::shared_ptr<std::atomic<bool>> m_cancel;
    // One detail load per entry at most; a larger one for the same slot overtakes it.
    std::vector<DetailLoad> m_details;
    std::vector<int> m_pinned;
};

} // namespace marquelo
