#include "core/viewer/ThumbnailLoader.h"

#include "core/viewer/ThumbnailMaker.h"

#include <algorithm>

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

} // namespace

ThumbnailLoader::ThumbnailLoader(ThumbnailCache cache, int threads, QObject* parent)
    : QObject(parent), m_cache(std::move(cache))
{
    for (int i = 0; i < std::max(1, threads); ++i)
        m_workers.emplace_back([this] { run(); });
}

ThumbnailLoader::~ThumbnailLoader()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop.store(true, std::memory_order_release);
        m_jobs.clear();
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void ThumbnailLoader::request(std::vector<QByteArray> paths, int side, int deliver)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.fetch_sub(int(m_jobs.size()), std::memory_order_acq_rel);
        m_jobs.clear();
        for (QByteArray& path : paths) {
            m_jobs.push_back({std::move(path), side, deliver != 0});
            if (deliver > 0)
                --deliver;
        }
        m_pending.fetch_add(int(m_jobs.size()), std::memory_order_acq_rel);
    }
    m_wake.notify_all();
}

void ThumbnailLoader::cancel()
{
    request({}, 0);
}

void ThumbnailLoader::run()
{
#ifdef __linux__
    // Background work: with as many loaders as cores, the GUI thread would otherwise wait for a core
    // behind them while it draws the page the user just moved to. Lowered for this thread only.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), kNiceness);
#endif
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop.load(std::memory_order_acquire) || !m_jobs.empty(); });
            if (m_stop.load(std::memory_order_acquire))
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        if (job.deliver)
            work(job);
        else
            prepare(job);
        m_pending.fetch_sub(1, std::memory_order_acq_rel);
    }
}

namespace {

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

void ThumbnailLoader::work(const Job& job)
{
    const FileVersion version = versionOf(job.path);
    if (!version.ok) {
        Q_EMIT ready(job.path, 0, QImage(), job.side);
        return;
    }
    const QByteArray uri = ThumbnailCache::uriOf(job.path);
    const ThumbnailSize size = thumbnailSizeFor(job.side);

    QImage image;
    if (std::optional<QImage> stored = m_cache.find(uri, version.mtimeSeconds, size)) {
        image = std::move(*stored);
    } else if (!m_cache.hasFailure(uri, version.mtimeSeconds)) {
        ThumbnailMaker::Made made = ThumbnailMaker::forCell(job.path, int(size), job.side);
        // A full or read-only cache only costs the next start its speed. A camera thumbnail that covers
        // the cell but not the cache size is not stored: it is as quick to read again from the photo.
        if (made.image.isNull())
            m_cache.storeFailure(uri, version.mtimeSeconds);
        else if (made.fullSize)
            m_cache.store(uri, version.mtimeSeconds, made.image, size);
        image = std::move(made.image);
    }
    if (!image.isNull() && (image.width() > job.side || image.height() > job.side))
        image = image.scaled(job.side, job.side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!image.isNull() && image.format() != QImage::Format_ARGB32_Premultiplied &&
        image.format() != QImage::Format_RGB32)
        image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                        : image.convertToFormat(QImage::Format_RGB32);
    Q_EMIT ready(job.path, version.mtimeNs, image, job.side);
}

void ThumbnailLoader::prepare(const Job& job)
{
    const FileVersion version = versionOf(job.path);
    if (!version.ok)
        return;
    const QByteArray uri = ThumbnailCache::uriOf(job.path);
    const ThumbnailSize size = thumbnailSizeFor(job.side);
    if (!m_cache.has(uri, version.mtimeSeconds, size) && !m_cache.hasFailure(uri, version.mtimeSeconds)) {
        const ThumbnailMaker::Made made = ThumbnailMaker::forCell(job.path, int(size), job.side);
        if (made.image.isNull())
            m_cache.storeFailure(uri, version.mtimeSeconds);
        else if (made.fullSize)
            m_cache.store(uri, version.mtimeSeconds, made.image, size);
    }
    Q_EMIT prepared(job.path, version.mtimeNs, job.side);
}

} // namespace marquelo
