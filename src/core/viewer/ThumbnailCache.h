#pragma once
// The thumbnail cache shared with the desktop's file managers ($XDG_CACHE_HOME/thumbnails): a PNG per
// file and size, named by the MD5 of the file's URI, that carries the URI and the file's modification
// time in its text chunks and is valid only while that time still matches. Failed attempts are
// recorded under fail/ so no program retries a file that cannot be thumbnailed until it changes.

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace marquelo {

// The cache's sizes, by the longest side in pixels.
enum class ThumbnailSize { Normal = 128, Large = 256, XLarge = 512 };

// The smallest cache size whose pixels fill a cell of `devicePixels` (XLarge above 256).
ThumbnailSize thumbnailSizeFor(int devicePixels);
// "normal", "large" or "x-large".
QString thumbnailFolderName(ThumbnailSize size);

class ThumbnailCache {
public:
    // Rooted at $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails when that is unset or relative.
    ThumbnailCache();
    // Rooted at `root` (tests).
    explicit ThumbnailCache(QString root);

    const QString& root() const { return m_root; }

    // The file's URI as the cache names it: file:// and the bytes of the absolute path, percent-encoded.
    static QByteArray uriOf(const QByteArray& absolutePath);
    // The MD5 of the URI in lower-case hex, plus ".png".
    static QString fileNameOf(const QByteArray& uri);
    QString pathOf(const QByteArray& uri, ThumbnailSize size) const;
    QString failPathOf(const QByteArray& uri) const;

    // A valid thumbnail of the file at `size` or a larger size (whoever wrote it), scaled down to fit
    // `size` when it came from a larger one. Nothing when none is stored, it is not a readable PNG, or
    // its URI or modification time does not match.
    std::optional<QImage> find(const QByteArray& uri, std::int64_t mtimeSeconds, ThumbnailSize size) const;

    // Whether find() would find one, read without inflating any pixels.
    bool has(const QByteArray& uri, std::int64_t mtimeSeconds, ThumbnailSize size) const;

    // Writes the thumbnail: a temporary file (0600) in the size's folder (0700), renamed over the old
    // entry. False when the folder cannot be made or written (full, read-only); nothing is left behind.
    bool store(const QByteArray& uri, std::int64_t mtimeSeconds, const QImage& image, ThumbnailSize size) const;

    // A failure recorded by this program for this version of the file.
    bool hasFailure(const QByteArray& uri, std::int64_t mtimeSeconds) const;
    bool storeFailure(const QByteArray& uri, std::int64_t mtimeSeconds) const;

private:
    bool write(const QString& folder, const QString& path, const QByteArray& uri, std::int64_t mtimeSeconds,
               const QImage& image) const;

    QString m_root;
};

} // namespace marquelo
