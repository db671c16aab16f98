#include "core/viewer/PictureCache.h"

#include "core/viewer/ImageOrder.h"
#include "core/viewer/PictureDecoder.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace marquelo {

struct PictureCache::Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
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
};

namespace {

QSize primaryScreenPixels()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QSize();
    return screen->size() * screen->devicePixelRatio();
}

std::int64_t lastWriteNs(const fs::path& path, std::error_code& ec)
{
    const auto t = fs::last_write_time(path, ec);
    return ec ? 0 : nanosecondsSince1970(t);
}

} // namespace

PictureCache::PictureCache(ImageList& images, AppConfig& config, QObject* parent)
    : QObject(parent), m_images(images), m_config(config), m_viewSize(primaryScreenPixels())
{
#if defined(__GLIBC__)
    // Pictures and file buffers are megabytes each and are made on many short-lived threads. glibc
    // would serve them from per-thread heaps that never shrink once its adaptive threshold has risen,
    // so resident memory would keep growing while stepping through a folder; mapped blocks go back
    // to the system when a picture is freed.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

PictureCache::~PictureCache()
{
    reapWorkers(true);
}

int PictureCache::depth() const
{
    return std::clamp(m_config.CacheDepth, 0, 4);
}

int PictureCache::runningLoads() const
{
    return int(std::count_if(m_workers.begin(), m_workers.end(), [](const std::unique_ptr<Worker>& w) {
        return !w->done->load(std::memory_order_acquire);
    }));
}

void PictureCache::setViewSize(QSize devicePixels)
{
    m_viewSize = devicePixels;
}

bool PictureCache::startWorker(std::function<void()> work)
{
    auto worker = std::make_unique<Worker>();
    try {
        worker->thread = std::thread([work = std::move(work), done = worker->done] {
            work();
            done->store(true, std::memory_order_release);
        });
    } catch (...) {
        // No thread (system limits) or no memory for its state: the caller hands the slot back.
        return false;
    }
    m_workers.push_back(std::move(worker));
    return true;
}

void PictureCache::reapWorkers(bool all)
{
    std::erase_if(m_workers, [all](std::unique_ptr<Worker>& w) {
        if (!all && !w->done->load(std::memory_order_acquire))
            return false;
        if (w->thread.joinable())
            w->thread.join();
        return true;
    });
}

void PictureCache::runLoad(const LoadJob& job)
{
    PictureSlot& slot = *job.slot;
    DecodedPicture decoded;
    try {
        decoded = PictureDecoder::decodeFile(job.path, job.fitInto, job.minScale, job.threads);
    } catch (...) {
        // Out of memory for the file or the picture: shown as a picture that failed to load. The slot
        // must still be handed back, or the wait for it would never end.
        decoded = DecodedPicture();
    }
    if (decoded.ok) {
        slot.image = std::move(decoded.image);
        slot.fullSize = decoded.fullSize;
        slot.fullResolution = decoded.fullResolution;
    }
    slot.loaded.store(decoded.ok, std::memory_order_release);
    // The hand-over: after this store the worker touches the slot no more.
    slot.loading.store(false, std::memory_order_release);
    slot.loading.notify_all();
    // The slot travels through a queue of our own; the posted call carries no data, so everything the
    // GUI thread reads was handed over under a lock it also takes.
    {
        const std::lock_guard lock(m_finishedMutex);
        m_finished.push_back(job.slot);
    }
    QMetaObject::invokeMethod(this, "takeFinishedLoads", Qt::QueuedConnection);
}

bool PictureCache::startLoad(int index, int version, Priority priority, double minScale,
                             std::shared_ptr<PictureSlot> slot)
{
    ImageEntry& entry = m_images.count() == 0 ? m_images.current() : m_images.at(index);
    slot->settled = false;
    if (!entry.isPicture || entry.missing || entry.files[version].name.empty()) {
        // Nothing to read: a movie is ready as it is; a missing file stays not loaded until it is back.
        slot->loaded.store(entry.isPicture ? false : true, std::memory_order_release);
        settle(entry, version);
        return false;
    }
    // Every load has a thread of its own, so the current picture never waits behind a read-ahead.
    reapWorkers(false);
    slot->loading.store(true, std::memory_order_release);
    LoadJob job{slot, m_images.pathOf(entry.files[version].name), m_viewSize, minScale,
                priority == Priority::Current ? 2 : 1};
    if (!startWorker([this, job = std::move(job)] { runLoad(job); })) {
        slot->loaded.store(false, std::memory_order_release);
        slot->loading.store(false, std::memory_order_release);
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
    // A failed or skipped load forgets the file's time, so the change check reads it again once it
    // exists and can be opened.
    if (!slot->loaded.load(std::memory_order_acquire))
        entry.files[version].lastWriteNs = 0;
}

void PictureCache::waitForCurrent()
{
    for (;;) {
        const int index = m_images.currentIndex();
        requestPicture(index, Priority::Current);
        ImageEntry& entry = m_images.current();
        const int version = entry.shown;
        const std::shared_ptr<PictureSlot> slot = entry.pictures[version];
        if (!slot)
            continue;
        while (slot->loading.load(std::memory_order_acquire))
            slot->loading.wait(true, std::memory_order_acquire);
        settle(entry, version);
        if (entry.pictures[version])
            return;
    }
}

void PictureCache::updateReadAhead()
{
    const int n = m_images.count();
    if (n == 0)
        return;
    const int cur = m_images.currentIndex();
    const int last = n - 1;
    const int d = depth();
    const int lo = std::max(0, cur - d);
    const int hi = std::min(last, cur + d);
    for (int i = 0; i < lo; ++i) {
        evictPicture(i, kOriginal);
        evictPicture(i, kEdited);
    }
    for (int i = hi + 1; i <= last; ++i) {
        evictPicture(i, kOriginal);
        evictPicture(i, kEdited);
    }
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
        const std::lock_guard lock(m_finishedMutex);
        finished.swap(m_finished);
    }
    for (const std::shared_ptr<PictureSlot>& slot : finished)
        onLoadEnded(slot);
}

void PictureCache::onLoadEnded(const std::shared_ptr<PictureSlot>& slot)
{
    reapWorkers(false);
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
    updateReadAhead();
    Q_EMIT pictureLoaded(index, version);
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

    const fs::path path(m_images.pathOf(record.name));
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!ec && fs::exists(status) && !fs::is_directory(status)) {
        entry.missing = false;
        const std::int64_t written = lastWriteNs(path, ec);
        if (ec || written <= record.lastWriteNs)
            return false;
        // A writer that still holds the file open exclusively keeps it unreadable; try again next tick.
        const int probe = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (probe < 0)
            return false;
        ::close(probe);
        const std::shared_ptr<PictureSlot>& slot = entry.pictures[version];
        // A load still running may have read the old content; its slot cannot be freed yet.
        if (slot && slot->loading.load(std::memory_order_acquire))
            return false;
        evictPicture(index, version);
        record.lastWriteNs = written;
        const auto bytes = fs::file_size(path, ec);
        if (!ec)
            record.size = bytes;
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
    if (slot->loading.load(std::memory_order_acquire))
        return s;
    s.loaded = slot->loaded.load(std::memory_order_acquire);
    if (s.loaded && s.isPicture) {
        s.image = slot->image;
        s.fullSize = slot->fullSize;
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
    ImageEntry& entry = m_images.current();
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

    auto sharper = std::make_shared<PictureSlot>();
    if (!startLoad(m_images.currentIndex(), version, Priority::Current, need, sharper))
        return false;
    while (sharper->loading.load(std::memory_order_acquire))
        sharper->loading.wait(true, std::memory_order_acquire);
    sharper->settled = true;
    // Keep the picture already shown when the file could not be read again.
    if (!sharper->loaded.load(std::memory_order_acquire))
        return false;
    entry.pictures[version] = std::move(sharper);
    return true;
}

} // namespace marquelo
