#include "core/viewer/PictureCache.h"

#include "core/settings/Logging.h"
#include "core/settings/UsableNumbers.h"
#include "core/viewer/ImageOrder.h"
#include "core/viewer/JpegBands.h"
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/StartPicture.h"
#include "core/viewer/WorkPools.h"
#include "media/ExceptionText.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <utility>

namespace marquelo {

// A load on the loads pool; `done` turns true as its work returns.
struct PictureCache::Worker {
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
};

struct PictureCache::Mailbox {
    std::mutex mutex;
    PictureCache* owner = nullptr; // null once the cache is gone
    std::vector<std::shared_ptr<PictureSlot>> finished;
    ScreenTarget screen; // the window as it is now
};

// Everything a worker needs, copied on the GUI thread when the load starts, so the worker never reads
// the list entry (which may move or vanish while it runs).
struct PictureCache::LoadJob {
    std::shared_ptr<PictureSlot> slot;
    std::string path;
    QSize fitInto;
    double minScale = 0;
    // The picture someone waits for takes both cores when its file can be split; read-ahead takes one,
    // so it never holds the current picture up.
    int threads = 1;
    // Scaled for the window on the worker too, so the GUI thread only blits.
    bool screenCopy = false;
    // The start picture, decoded while the program started: taken instead of decoding the file.
    std::shared_future<DecodedPicture> early;
    // Set when the cache is destroyed: the decode gives up.
    std::shared_ptr<const std::atomic<bool>> cancel;
};

QSize PictureCache::primaryScreenPixels()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QSize();
    return screen->size() * screen->devicePixelRatio();
}

PictureCache::PictureCache(ImageList& images, AppConfig& config, QObject* parent)
    : QObject(parent), m_images(images), m_config(config), m_viewSize(primaryScreenPixels()),
      m_mailbox(std::make_shared<Mailbox>()), m_cancel(std::make_shared<std::atomic<bool>>(false))
{
    m_mailbox->owner = this;
#if defined(__GLIBC__)
    // Pictures and file buffers are megabytes each and are made on several threads. glibc
    // would serve them from per-thread heaps that never shrink once its adaptive threshold has risen,
    // so resident memory would keep growing while stepping through a folder; mapped blocks go back
    // to the system when a picture is freed.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

PictureCache::~PictureCache()
{
    {
        const std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->owner = nullptr;
    }
    // Nobody waits for a picture any more: the decodes stop at their next step. One that cannot be
    // interrupted in time (a file system that stopped answering, a reader with no way to stop it) must
    // not hold the end of the program: it is left to the pool, drops its result in the mailbox nobody
    // reads, and the program's end waits for it a bounded time too (workpools::finish).
    m_cancel->store(true, std::memory_order_relaxed);
    const auto deadline = std::chrono::steady_clock::now() + kExitPatience;
    int stuck = 0;
    for (const std::unique_ptr<Worker>& w : m_workers) {
        while (!w->done->load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!w->done->load(std::memory_order_acquire))
            ++stuck;
    }
    if (stuck > 0)
        qCWarning(lcViewer) << stuck << "picture load(s) did not stop within" << kExitPatience.count()
                            << "ms of the viewer's end; left to finish on their own";
}

void PictureCache::setScreenTarget(const ScreenTarget& target)
{
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->screen = target;
}

int PictureCache::depth() const
{
    return usableCacheDepth(m_config);
}

int PictureCache::runningLoads() const
{
    return int(std::count_if(m_workers.begin(), m_workers.end(), [](const std::unique_ptr<Worker>& w) {
        return !w->done->load(std::memory_order_acquire);
    }));
}

void PictureCache::setViewSize(QSize devicePixels)
{
    if (devicePixels == m_viewSize)
        return;
    m_viewSize = devicePixels;
    const int current = m_images.currentIndex();
    bool freed = false;
    for (int i = 0; i < m_images.count(); ++i) {
        ImageEntry& entry = m_images.at(i);
        for (int v : {kOriginal, kEdited}) {
            const std::shared_ptr<PictureSlot>& slot = entry.pictures[v];
            if (!slot || !slot->ready() || coversView(*slot) || (i == current && v == entry.shown) ||
                (v == entry.shown && isPinned(i)))
                continue;
            // A neighbour decoded for the smaller screen would be shown enlarged when stepped to.
            evictPicture(i, v);
            freed = true;
        }
    }
    if (refineForView())
        m_refillAfterDetail = m_refillAfterDetail || freed;
    else if (freed && !m_readAheadHeld)
        updateReadAhead();
}

bool PictureCache::coversView(const PictureSlot& slot) const
{
    if (slot.fullResolution || slot.decodedFor.isEmpty())
        return true;
    return !m_viewSize.isEmpty() && slot.decodedFor.width() >= m_viewSize.width() &&
           slot.decodedFor.height() >= m_viewSize.height();
}

bool PictureCache::refineForView()
{
    if (m_images.count() == 0)
        return false;
    ImageEntry& entry = m_images.current();
    const std::shared_ptr<PictureSlot> slot = entry.pictures[entry.shown];
    if (!entry.isPicture || !slot || !slot->ready() || coversView(*slot) || slot->fullSize.isEmpty())
        return false;
    const double need = m_viewSize.isEmpty() ? 1.0 : neededScale(slot->fullSize, m_viewSize, 0);
    // Someone is looking at it: both cores.
    return startDetail(m_images.currentIndex(), slot, entry.shown, need, 2);
}

bool PictureCache::startWorker(std::function<void()> work)
{
    auto worker = std::make_unique<Worker>();
    if (!workpools::tryRun(workpools::loads(), [work = std::move(work), done = worker->done] {
            work();
            done->store(true, std::memory_order_release);
        })) {
        // Every thread of the pool is taken (loads that never end): the caller hands the slot back.
        qCWarning(lcViewer) << "no thread free for a picture load";
        return false;
    }
    m_workers.push_back(std::move(worker));
    return true;
}

void PictureCache::reapWorkers()
{
    std::erase_if(m_workers, [](const std::unique_ptr<Worker>& w) { return w->done->load(std::memory_order_acquire); });
}

void PictureCache::runLoad(const LoadJob& job, const std::shared_ptr<Mailbox>& mailbox)
{
    PictureSlot& slot = *job.slot;
    DecodedPicture decoded;
    try {
        if (job.early.valid()) {
            // The start picture's own thread decodes it; waiting for it ends with the cache too.
            while (job.early.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready &&
                   !job.cancel->load(std::memory_order_relaxed)) {
            }
            if (job.early.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
                decoded = job.early.get();
        } else {
            decoded = PictureDecoder::decodeFile(job.path, job.fitInto, job.minScale, PictureDecoder::kMaxDecodedBytes,
                                                 job.threads, job.cancel.get());
        }
    } catch (...) {
        // Out of memory for the file or the picture: shown as a picture that failed to load. The slot
        // must still be handed back, or the wait for it would never end.
        decoded = DecodedPicture();
        decoded.error = QString::fromStdString(media::currentExceptionText());
        decoded.file = statFile(job.path);
    }
    if (!decoded.ok && !job.cancel->load(std::memory_order_relaxed))
        qCWarning(lcViewer).noquote() << "cannot read" << QString::fromStdString(job.path) << "-" << decoded.error;
    if (decoded.ok) {
        ScreenTarget screen;
        if (job.screenCopy) {
            const std::lock_guard lock(mailbox->mutex);
            screen = mailbox->screen;
        }
        slot.image = std::move(decoded.image);
        slot.fullSize = decoded.fullSize;
        slot.fullResolution = decoded.fullResolution;
        try {
            slot.screen = fittedScreenCopy(slot.image, slot.fullSize, screen);
        } catch (...) {
            // No memory for the copy: the GUI thread scales when it paints, as for any other view.
            qCWarning(lcViewer) << "no screen copy of a picture:" << media::currentExceptionText().c_str();
            slot.screen = ScreenCopy();
        }
    }
    slot.error = decoded.ok ? QString() : std::move(decoded.error);
    slot.file = decoded.file;
    slot.fileLookedAt = true;
    slot.loaded.store(decoded.ok, std::memory_order_release);
    // The hand-over: after this store the worker touches the slot no more.
    slot.loading.store(false, std::memory_order_release);
    slot.loading.notify_all();
    // The slot travels through a queue of our own; the posted call carries no data, so everything the
    // GUI thread reads was handed over under a lock it also takes.
    const std::lock_guard lock(mailbox->mutex);
    if (!mailbox->owner)
        return;
    mailbox->finished.push_back(job.slot);
    QMetaObject::invokeMethod(mailbox->owner, "takeFinishedLoads", Qt::QueuedConnection);
}

bool PictureCache::launch(std::shared_ptr<PictureSlot> slot, std::string path, double minScale, int threads,
                          bool screenCopy)
{
    // Every load gets a thread of the pool at once, so the current picture never waits behind a read-ahead.
    reapWorkers();
    slot->decodedFor = m_viewSize;
    slot->loading.store(true, std::memory_order_release);
    LoadJob job{slot, std::move(path), m_viewSize, minScale, threads, screenCopy, {}, m_cancel};
    // Only a whole picture someone waits for (two threads) can be the start picture.
    if (threads > 1 && minScale <= 0) {
        if (std::optional<std::shared_future<DecodedPicture>> early = StartPicture::claim(job.path, m_viewSize))
            job.early = std::move(*early);
    }
    if (!startWorker([job = std::move(job), mailbox = m_mailbox] { runLoad(job, mailbox); })) {
        slot->error = QStringLiteral("the viewer could not start a thread to load it");
        slot->loaded.store(false, std::memory_order_release);
        slot->loading.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

bool PictureCache::startLoad(int index, int version, Priority priority, double minScale,
                             std::shared_ptr<PictureSlot> slot)
{
    ImageEntry& entry = m_images.count() == 0 ? m_images.current() : m_images.at(index);
    slot->settled = false;
    if (entry.missing || !entry.isPicture || entry.files[version].name.empty()) {
        // Nothing to read: a movie is ready as it is; a missing file (a movie's too) stays not loaded,
        // shown with the no-picture placeholder, until it is back.
        slot->loaded.store(!entry.isPicture && !entry.missing, std::memory_order_release);
        if (entry.missing && entry.isPicture)
            slot->error = QStringLiteral("the file is no longer there");
        settle(entry, version);
        return false;
    }
    if (!launch(slot, m_images.pathOf(entry.files[version].name), minScale, priority == Priority::Current ? 2 : 1,
                true)) {
        settle(entry, version);
        return false;
    }
    return true;
}

bool PictureCache::requestPicture(int index, Priority priority)
{
    if (m_images.count() == 0 ? index != 0 : (index < 0 || index >= m_images.count()))
        return false;
    ImageEntry& entry = m_images.count() == 0 ? m_images.current() : m_images.at(index);
    const int version = entry.shown;
    if (entry.pictures[version])
        return false;
    auto slot = std::make_shared<PictureSlot>();
    entry.pictures[version] = slot;
    return startLoad(index, version, priority, 0, std::move(slot));
}

void PictureCache::evictPicture(int index, int version)
{
    if (version < 0 || version > 1)
        return;
    if (m_images.count() == 0 ? index != 0 : (index < 0 || index >= m_images.count()))
        return;
    ImageEntry& entry = m_images.count() == 0 ? m_images.current() : m_images.at(index);
    std::shared_ptr<PictureSlot>& slot = entry.pictures[version];
    if (!slot || slot->loading.load(std::memory_order_acquire))
        return;
    slot.reset();
}

void PictureCache::evictAll()
{
    for (int i = 0; i < std::max(1, m_images.count()); ++i) {
        evictPicture(i, kOriginal);
        evictPicture(i, kEdited);
    }
}

void PictureCache::settle(ImageEntry& entry, int version)
{
    PictureSlot* slot = entry.pictures[version].get();
    if (!slot || slot->settled || slot->loading.load(std::memory_order_acquire))
        return;
    slot->settled = true;
    FileRecord& record = entry.files[version];
    if (slot->fileLookedAt) {
        // What was read, or found unreadable, is what the change check compares with from now on.
        record.lastWriteNs = slot->file.stamp.lastWriteNs;
        record.size = slot->file.stamp.size;
    } else if (!slot->loaded.load(std::memory_order_acquire)) {
        // Nothing was looked at (a missing file, a worker that could not start): the change check
        // tries again once the file exists and can be opened.
        record.lastWriteNs = 0;
    }
}

bool PictureCache::waitForCurrent(std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const int index = m_images.currentIndex();
        requestPicture(index, Priority::Current);
        ImageEntry& entry = m_images.current();
        const int version = entry.shown;
        const std::shared_ptr<PictureSlot> slot = entry.pictures[version];
        if (!slot)
            continue;
        while (slot->loading.load(std::memory_order_acquire)) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        settle(entry, version);
        if (entry.pictures[version])
            return true;
    }
}

PictureCache::DepthWindow PictureCache::evictOutsideDepth()
{
    const int n = m_images.count();
    const int cur = m_images.currentIndex();
    // While entries are pinned nobody looks at the current entry's neighbours: only the pinned stay.
    const int reach = m_pinned.empty() ? depth() : 0;
    const DepthWindow window{std::max(0, cur - reach), std::min(n - 1, cur + reach)};
    for (int i = 0; i < n; ++i) {
        if ((i < window.lo || i > window.hi) && !isPinned(i)) {
            evictPicture(i, kOriginal);
            evictPicture(i, kEdited);
        }
    }
    return window;
}

void PictureCache::updateReadAhead()
{
    m_readAheadHeld = false;
    if (m_images.count() == 0)
        return;
    const auto [lo, hi] = evictOutsideDepth();
    const int cur = m_images.currentIndex();
    if (!m_config.ReadAhead)
        return;
    const int reach = std::max(cur - lo, hi - cur);
    for (int step = 0; step <= reach; ++step) {
        if (cur - step >= lo && requestPicture(cur - step, Priority::ReadAhead))
            return;
        if (cur + step <= hi && requestPicture(cur + step, Priority::ReadAhead))
            return;
    }
}

void PictureCache::takeFinishedLoads()
{
    std::vector<std::shared_ptr<PictureSlot>> finished;
    {
        const std::lock_guard lock(m_mailbox->mutex);
        finished.swap(m_mailbox->finished);
    }
    for (const std::shared_ptr<PictureSlot>& slot : finished)
        onLoadEnded(slot);
}

void PictureCache::onLoadEnded(const std::shared_ptr<PictureSlot>& slot)
{
    reapWorkers();
    if (takeDetail(slot)) {
        if (std::exchange(m_refillAfterDetail, false) && !m_readAheadHeld)
            updateReadAhead();
        return;
    }
    int index = -1;
    int version = 0;
    for (int i = 0; i < m_images.count() && index < 0; ++i) {
        ImageEntry& entry = m_images.at(i);
        for (int v : {kOriginal, kEdited}) {
            if (entry.pictures[v] == slot) {
                settle(entry, v);
                index = i;
                version = v;
            }
        }
    }
    // A load started before the window reached a larger screen ends decoded for the old one.
    if (index == m_images.currentIndex() && index >= 0 && version == m_images.current().shown && refineForView())
        m_refillAfterDetail = true;
    else if (m_readAheadHeld)
        evictOutsideDepth();
    else
        updateReadAhead();
    Q_EMIT pictureLoaded(index, version);
}

bool PictureCache::takeDetail(const std::shared_ptr<PictureSlot>& slot)
{
    const auto found =
        std::find_if(m_details.begin(), m_details.end(), [&slot](const DetailLoad& d) { return d.sharper == slot; });
    if (found == m_details.end())
        return false;
    const DetailLoad detail = *found;
    m_details.erase(found);
    if (!slot->loaded.load(std::memory_order_acquire))
        return true; // the picture already shown stays
    // The sharper copy replaces the slot it refines only while that slot is still in its entry: an
    // eviction (the file changed, the entry was deleted) meanwhile makes it worthless.
    for (int i = 0; i < m_images.count(); ++i) {
        ImageEntry& entry = m_images.at(i);
        for (int v : {kOriginal, kEdited}) {
            if (entry.pictures[v] == detail.base) {
                entry.pictures[v] = slot;
                Q_EMIT pictureLoaded(i, v);
                return true;
            }
        }
    }
    return true;
}

bool PictureCache::checkCurrentFile()
{
    if (m_checking)
        return false;
    m_checking = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_checking};

    if (m_images.count() == 0)
        return false;
    const int index = m_images.currentIndex();
    ImageEntry& entry = m_images.current();
    const int version = entry.shown;
    FileRecord& record = entry.files[version];
    if (record.name.empty())
        return false;
    settle(entry, version);

    const std::string path = m_images.pathOf(record.name);
    const FileStatus now = statFile(path);
    if (now.kind != FileKind::Missing && now.kind != FileKind::Directory) {
        entry.missing = false;
        if (now.stamp == FileStamp{record.lastWriteNs, record.size})
            return false;
        // A writer that still holds the file open exclusively keeps it unreadable; try again next
        // tick. What is not a regular file is never opened: its load fails at once.
        if (now.kind == FileKind::Regular && !opensForReading(path))
            return false;
        const std::shared_ptr<PictureSlot>& slot = entry.pictures[version];
        // A load still running may have read the old content; its slot cannot be freed yet.
        if (slot && slot->loading.load(std::memory_order_acquire))
            return false;
        evictPicture(index, version);
        record.lastWriteNs = now.stamp.lastWriteNs;
        record.size = now.stamp.size;
        return true;
    }

    entry.missing = true;
    if (record.lastWriteNs == 0)
        return false;
    evictPicture(index, version);
    return true;
}

ShownPicture PictureCache::shown() const
{
    ShownPicture s;
    const ImageEntry& entry = m_images.current();
    s.isPicture = entry.isPicture;
    const std::shared_ptr<PictureSlot>& slot = entry.pictures[entry.shown];
    if (!slot)
        return s;
    s.present = true;
    s.loading = slot->loading.load(std::memory_order_acquire);
    if (s.loading)
        return s;
    s.loaded = slot->loaded.load(std::memory_order_acquire);
    if (!s.loaded)
        s.error = slot->error;
    if (s.loaded && s.isPicture) {
        s.image = slot->image;
        s.fullSize = slot->fullSize;
        s.screen = slot->screen;
    }
    return s;
}

std::shared_ptr<const PictureSlot> PictureCache::currentSlot() const
{
    const ImageEntry& entry = m_images.current();
    return entry.pictures[entry.shown];
}

bool PictureCache::ensureDetail(const Rect& source, QSize destinationSize)
{
    return ensureDetail(m_images.currentIndex(), source, destinationSize);
}

bool PictureCache::ensureDetail(int index, const Rect& source, QSize destinationSize)
{
    if (index < 0 || index >= m_images.count())
        return false;
    ImageEntry& entry = m_images.at(index);
    const int version = entry.shown;
    const std::shared_ptr<PictureSlot> slot = entry.pictures[version];
    if (!entry.isPicture || !slot || !slot->ready() || slot->fullResolution || slot->fullSize.isEmpty() ||
        source.width() <= 0 || source.height() <= 0 || destinationSize.isEmpty())
        return false;
    const double have = double(slot->image.width()) / slot->fullSize.width();
    const double need = std::min(1.0, std::max(double(destinationSize.width()) / source.width(),
                                               double(destinationSize.height()) / source.height()));
    if (have >= need - 1e-9)
        return false;
    return startDetail(index, slot, version, need, 1);
}

void PictureCache::setPinned(std::vector<int> indexes)
{
    m_pinned = std::move(indexes);
    if (!m_pinned.empty() && m_images.count() > 0)
        evictOutsideDepth();
}

bool PictureCache::isPinned(int index) const
{
    return std::find(m_pinned.begin(), m_pinned.end(), index) != m_pinned.end();
}

bool PictureCache::startDetail(int index, const std::shared_ptr<PictureSlot>& slot, int version, double scale,
                               int threads)
{
    const auto same =
        std::find_if(m_details.begin(), m_details.end(), [&slot](const DetailLoad& d) { return d.base == slot; });
    if (same != m_details.end() && same->scale >= scale - 1e-9)
        return false; // already on its way
    auto sharper = std::make_shared<PictureSlot>();
    if (!launch(sharper, m_images.pathOf(m_images.at(index).files[version].name), scale, threads))
        return false;
    // A detail load that is overtaken by a larger one ends unused.
    if (same != m_details.end())
        m_details.erase(same);
    m_details.push_back(DetailLoad{slot, std::move(sharper), scale});
    return true;
}

} // namespace marquelo
