#pragma once
// Fetches thumbnails off the GUI thread: from the shared cache when a valid one is stored, else made
// from the photo and written back. The waiting list is replaced as a whole whenever the view moves, so
// the cells on screen come first and cells scrolled away are never worked on. Requests beyond what the
// caller can hold in memory only make sure the shared cache has the thumbnail, and deliver nothing.

#include "core/viewer/ThumbnailCache.h"
#include "core/viewer/ThumbnailMaker.h"

#include <QByteArray>
#include <QImage>
#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace marquelo {

class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    // How long the end of a loader waits for its workers to finish the file each is on. A decode that
    // takes longer (a file system that stopped answering, a hostile file) is left to end on its own in
    // the thumbnails pool: quitting waits for it no longer (core/viewer/WorkPools.h).
    static constexpr std::chrono::milliseconds kExitPatience{500};

    // How a photo becomes a thumbnail: ThumbnailMaker::forCell, or what a test puts in its place.
    using Maker = std::function<ThumbnailMaker::Made(const QByteArray& path, int side, int cell)>;

    // At most `threads` of the thumbnails pool work for this loader at a time.
    explicit ThumbnailLoader(ThumbnailCache cache, int threads = 2, QObject* parent = nullptr);
    ThumbnailLoader(ThumbnailCache cache, int threads, Maker maker, QObject* parent = nullptr);
    // Drops the waiting requests and lets the workers finish the file each is on for at most
    // kExitPatience; no signal comes from any of them after this returns.
    ~ThumbnailLoader() override;

    // Replaces the waiting requests with `paths`, worked on in this order, each made to fit `side`
    // device pixels. Only the first `deliver` of them are delivered through ready(); the others are
    // stored in the shared cache when it lacks them (negative: deliver all).
    void request(std::vector<QByteArray> paths, int side, int deliver = -1);
    // Drops every waiting request.
    void cancel();
    // Requests waiting or being worked on.
    int pending() const;
    const ThumbnailCache& cache() const;

Q_SIGNALS:
    // Delivered on the thread the loader lives in. `image` is null when the file could not be read as a
    // picture (or has gone); `mtimeNs` is the modification time the thumbnail belongs to (0: no file).
    void ready(const QByteArray& path, qint64 mtimeNs, const QImage& image, int side);
    // A request that was not to be delivered is done: the shared cache holds the thumbnail of the file
    // as it was at `mtimeNs` (or its failure, or the photo carries a thumbnail that is as quick to read).
    void prepared(const QByteArray& path, qint64 mtimeNs, int side);

private:
    // What the workers share with the loader; a worker left running past the loader's end keeps it.
    struct Shared;

    std::shared_ptr<Shared> m_shared;
};

} // namespace marquelo
