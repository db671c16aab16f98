#include "core/viewer/ThumbnailLoader.h"

#include "core/viewer/ThumbnailMaker.h"

#include <algorithm>

#include <sys/stat.h>

namespace marquelo {

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

void ThumbnailLoader::request(std::vector<QByteArray> paths, int side)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.fetch_sub(int(m_jobs.size()), std::memory_order_acq_rel);
        m_jobs.clear();
        for (QByteArray& path : paths)
            m_jobs.push_back({std::move(path), side});
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
        work(job);
        m_pending.fetch_sub(1, std::memory_order_acq_rel);
    }
}

void ThumbnailLoader::work(const Job& job)
{
    struct stat info {};
    if (::stat(job.path.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        Q_EMIT ready(job.path, 0, QImage(), job.side);
        return;
    }
    const qint64 mtimeNs = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    const std::int64_t mtime = info.st_mtim.tv_sec;
    const QByteArray uri = ThumbnailCache::uriOf(job.path);
    const ThumbnailSize size = thumbnailSizeFor(job.side);

    QImage image;
    if (std::optional<QImage> stored = m_cache.find(uri, mtime, size)) {
        image = std::move(*stored);
    } else if (!m_cache.hasFailure(uri, mtime)) {
        image = ThumbnailMaker::make(job.path, int(size));
        // A full or read-only cache only costs the next start its speed.
        if (image.isNull())
            m_cache.storeFailure(uri, mtime);
        else
            m_cache.store(uri, mtime, image, size);
    }
    if (!image.isNull() && (image.width() > job.side || image.height() > job.side))
        image = image.scaled(job.side, job.side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!image.isNull() && image.format() != QImage::Format_ARGB32_Premultiplied &&
        image.format() != QImage::Format_RGB32)
        image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                        : image.convertToFormat(QImage::Format_RGB32);
    Q_EMIT ready(job.path, mtimeNs, image, job.side);
}

} // namespace marquelo
