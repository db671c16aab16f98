#include "core/viewer/ThumbnailLoader.h"

#include "core/viewer/ThumbnailMaker.h"
#include "core/viewer/WorkPools.h"

#include "core/settings/Logging.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include <sys/stat.h>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace marquelo {

namespace {

// Far enough below the GUI thread that it takes a core first, not so far that thumbnails stall while
// other programs run.
constexpr int kNiceness = 10;

struct Job {
    QByteArray path;
    int side = 0;
    bool deliver = true;
};

struct FileVersion {
    bool ok = false;
    qint64 mtimeNs = 0;
    std::int64_t mtimeSeconds = 0;
};

FileVersion versionOf(const QByteArray& path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return {true, qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec, info.st_mtim.tv_sec};
}

} // namespace

struct ThumbnailLoader::Shared {
    Shared(ThumbnailCache c, Maker m, int t) : cache(std::move(c)), maker(std::move(m)), threads(t) {}

    const ThumbnailCache cache;
    const Maker maker;
    const int threads; // workers at most
    std::mutex mutex;
    std::condition_variable finished; // a worker returned
    std::deque<Job> jobs;             // guarded by mutex
    bool stop = false;                // guarded by mutex
    int running = 0;                  // workers started on the pool that have not returned; guarded by mutex
    std::atomic<int> pending{0};

    // Signals go out through the loader only while it exists: the one that ends takes this first.
    std::mutex ownerMutex;
    ThumbnailLoader* owner = nullptr; // guarded by ownerMutex

    // Starts workers on the thumbnails pool for waiting jobs, up to `threads`.
    static void startWorkers(const std::shared_ptr<Shared>& shared);
    // A worker: takes jobs until none waits or the loader ends.
    static void run(const std::shared_ptr<Shared>& shared);
    void work(const Job& job);
    void prepare(const Job& job);
    // Makes the thumbnail and records it (or the failure) in the cache; nullopt once the loader ends.
    std::optional<QImage> makeAndStore(const Job& job, const QByteArray& uri, std::int64_t mtimeSeconds,
                                       ThumbnailSize size);
    bool stopping()
    {
        const std::lock_guard lock(mutex);
        return stop;
    }
};

ThumbnailLoader::ThumbnailLoader(ThumbnailCache cache, int threads, QObject* parent)
    : ThumbnailLoader(std::move(cache), threads, &ThumbnailMaker::forCell, parent)
{
}

ThumbnailLoader::ThumbnailLoader(ThumbnailCache cache, int threads, Maker maker, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>(std::move(cache), std::move(maker), std::max(1, threads)))
{
    m_shared->owner = this;
}

ThumbnailLoader::~ThumbnailLoader()
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->stop = true;
        m_shared->jobs.clear();
    }
    {
        const std::lock_guard lock(m_shared->ownerMutex);
        m_shared->owner = nullptr;
    }
    // A worker stuck in a decode holds the shared state until it returns; the pool keeps it, and the
    // program's end waits for it only a bounded time too.
    std::unique_lock lock(m_shared->mutex);
    if (!m_shared->finished.wait_for(lock, kExitPatience, [this] { return m_shared->running == 0; }))
        qCWarning(lcThumbnails) << m_shared->running << "thumbnail worker(s) did not finish within"
                                << kExitPatience.count() << "ms of the loader's end; left to end on their own";
}

void ThumbnailLoader::request(std::vector<QByteArray> paths, int side, int deliver)
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->pending.fetch_sub(int(m_shared->jobs.size()), std::memory_order_acq_rel);
        m_shared->jobs.clear();
        for (QByteArray& path : paths) {
            m_shared->jobs.push_back({std::move(path), side, deliver != 0});
            if (deliver > 0)
                --deliver;
        }
        m_shared->pending.fetch_add(int(m_shared->jobs.size()), std::memory_order_acq_rel);
    }
    Shared::startWorkers(m_shared);
}

void ThumbnailLoader::cancel()
{
    request({}, 0);
}

int ThumbnailLoader::pending() const
{
    return m_shared->pending.load(std::memory_order_acquire);
}

const ThumbnailCache& ThumbnailLoader::cache() const
{
    return m_shared->cache;
}

void ThumbnailLoader::Shared::startWorkers(const std::shared_ptr<Shared>& shared)
{
    int start = 0;
    {
        const std::lock_guard lock(shared->mutex);
        start = std::min(shared->threads - shared->running, int(shared->jobs.size()));
        shared->running += std::max(0, start);
    }
    for (int i = 0; i < start; ++i)
        workpools::run(workpools::thumbnails(), [shared] { run(shared); });
}

void ThumbnailLoader::Shared::run(const std::shared_ptr<Shared>& shared)
{
#ifdef __linux__
    // Background work: with as many loaders as cores, the GUI thread would otherwise wait for a core
    // behind them while it draws the page the user just moved to. Lowered for this thread only, which
    // only ever works for thumbnails.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), kNiceness);
#endif
    for (;;) {
        Job job;
        {
            std::unique_lock lock(shared->mutex);
            if (shared->stop || shared->jobs.empty()) {
                --shared->running;
                shared->finished.notify_all();
                return;
            }
            job = std::move(shared->jobs.front());
            shared->jobs.pop_front();
        }
        if (job.deliver)
            shared->work(job);
        else
            shared->prepare(job);
        shared->pending.fetch_sub(1, std::memory_order_acq_rel);
    }
}

void ThumbnailLoader::Shared::work(const Job& job)
{
    const FileVersion version = versionOf(job.path);
    QImage image;
    if (version.ok) {
        const QByteArray uri = ThumbnailCache::uriOf(job.path);
        const ThumbnailSize size = thumbnailSizeFor(job.side);
        if (std::optional<QImage> stored = cache.find(uri, version.mtimeSeconds, size)) {
            image = std::move(*stored);
        } else if (!cache.hasFailure(uri, version.mtimeSeconds)) {
            std::optional<QImage> made = makeAndStore(job, uri, version.mtimeSeconds, size);
            if (!made)
                return;
            image = std::move(*made);
        }
        if (!image.isNull() && (image.width() > job.side || image.height() > job.side))
            image = image.scaled(job.side, job.side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!image.isNull() && image.format() != QImage::Format_ARGB32_Premultiplied &&
            image.format() != QImage::Format_RGB32)
            image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                            : image.convertToFormat(QImage::Format_RGB32);
    }
    const std::lock_guard lock(ownerMutex);
    if (owner)
        Q_EMIT owner->ready(job.path, version.mtimeNs, image, job.side);
}

std::optional<QImage> ThumbnailLoader::Shared::makeAndStore(const Job& job, const QByteArray& uri,
                                                            std::int64_t mtimeSeconds, ThumbnailSize size)
{
    ThumbnailMaker::Made made = maker(job.path, int(size), job.side);
    // Once the loader has ended the program is quitting: a write its end cut off would leave a
    // temporary file in the cache.
    if (stopping())
        return std::nullopt;
    // A full or read-only cache only costs the next start its speed. A camera thumbnail that covers the
    // cell but not the cache size is not stored: it is as quick to read again.
    if (made.image.isNull())
        cache.storeFailure(uri, mtimeSeconds);
    else if (made.fullSize)
        cache.store(uri, mtimeSeconds, made.image, size);
    return std::move(made.image);
}

void ThumbnailLoader::Shared::prepare(const Job& job)
{
    const FileVersion version = versionOf(job.path);
    if (!version.ok)
        return;
    const QByteArray uri = ThumbnailCache::uriOf(job.path);
    const ThumbnailSize size = thumbnailSizeFor(job.side);
    if (!cache.has(uri, version.mtimeSeconds, size) && !cache.hasFailure(uri, version.mtimeSeconds)) {
        if (!makeAndStore(job, uri, version.mtimeSeconds, size))
            return;
    }
    const std::lock_guard lock(ownerMutex);
    if (owner)
        Q_EMIT owner->prepared(job.path, version.mtimeNs, job.side);
}

} // namespace marquelo
