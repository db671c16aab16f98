#pragma once
// Fetches thumbnails off the GUI thread: from the shared cache when a valid one is stored, else made
// from the photo and written back. The waiting list is replaced as a whole whenever the view moves, so
// the cells on screen come first and cells scrolled away are never worked on. Requests beyond what the
// caller can hold in memory only make sure the shared cache has the thumbnail, and deliver nothing.

#include "core/viewer/ThumbnailCache.h"

#include <QByteArray>
#include <QImage>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace marquelo {

class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailLoader(ThumbnailCache cache, int threads = 2, QObject* parent = nullptr);
    // Drops the waiting requests and joins the workers (each finishes the one file it is on).
    ~ThumbnailLoader() override;

    // Replaces the waiting requests with `paths`, worked on in this order, each made to fit `side`
    // device pixels. Only the first `deliver` of them are delivered through ready(); the others are
    // stored in the shared cache when it lacks them (negative: deliver all).
    void request(std::vector<QByteArray> paths, int side, int deliver = -1);
    // Drops every waiting request.
    void cancel();
    // Requests waiting or being worked on.
    int pending() const { return m_pending.load(std::memory_order_acquire); }
    const ThumbnailCache& cache() const { return m_cache; }

Q_SIGNALS:
    // Delivered on the thread the loader lives in. `image` is null when the file could not be read as a
    // picture (or has gone); `mtimeNs` is the modification time the thumbnail belongs to (0: no file).
    void ready(const QByteArray& path, qint64 mtimeNs, const QImage& image, int side);
    // A request that was not to be delivered is done: the shared cache holds the thumbnail of the file
    // as it was at `mtimeNs` (or its failure, or the photo carries a thumbnail that is as quick to read).
    void prepared(const QByteArray& path, qint64 mtimeNs, int side);

private:
    struct Job {
        QByteArray path;
        int side = 0;
        bool deliver = true;
    };
    void run();
    void work(const Job& job);
    void prepare(const Job& job);

    const ThumbnailCache m_cache;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs; // guarded by m_mutex
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_pending{0};
    std::vector<std::thread> m_workers;
};

} // namespace marquelo
