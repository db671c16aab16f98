#include "core/viewer/ThumbnailCache.h"

#include "core/settings/Logging.h"
#include "media/AtomicFile.h"
#include "media/RegularFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <cerrno>
#include <sys/stat.h>

namespace marquelo {

namespace {

const char* const kUriKey = "Thumb::URI";
const char* const kMTimeKey = "Thumb::MTime";
// Our own folder below fail/: other programs may well succeed where we failed.
const char* const kFailFolder = "fail/marquelo";
// A failure is recorded as one transparent pixel; anything much larger is not ours.
constexpr int kFailSide = int(ThumbnailSize::Normal);

// Makes `path` and its missing parents with mode 0700, as the cache's folders must be private.
bool makePrivateFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const QString parent = QFileInfo(path).path();
    if (parent != path && !makePrivateFolder(parent))
        return false;
    return ::mkdir(native.constData(), 0700) == 0 || errno == EEXIST;
}

QString defaultRoot()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/thumbnails");
}

} // namespace

ThumbnailSize thumbnailSizeFor(int devicePixels)
{
    if (devicePixels <= 128)
        return ThumbnailSize::Normal;
    if (devicePixels <= 256)
        return ThumbnailSize::Large;
    return ThumbnailSize::XLarge;
}

QString thumbnailFolderName(ThumbnailSize size)
{
    switch (size) {
    case ThumbnailSize::Normal: return QStringLiteral("normal");
    case ThumbnailSize::Large: return QStringLiteral("large");
    case ThumbnailSize::XLarge: return QStringLiteral("x-large");
    }
    return QStringLiteral("normal");
}

ThumbnailCache::ThumbnailCache() : m_root(defaultRoot()) {}

ThumbnailCache::ThumbnailCache(QString root) : m_root(std::move(root)) {}

QByteArray ThumbnailCache::uriOf(const QByteArray& absolutePath)
{
    // The bytes of the name, escaped like the GLib-based file managers do, so that they and we name the
    // same file's thumbnail alike (a name that is not UTF-8 included).
    return QByteArrayLiteral("file://") + absolutePath.toPercentEncoding("!$&'()*+,=:@/");
}

QString ThumbnailCache::fileNameOf(const QByteArray& uri)
{
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) + QStringLiteral(".png");
}

QString ThumbnailCache::pathOf(const QByteArray& uri, ThumbnailSize size) const
{
    return m_root + QLatin1Char('/') + thumbnailFolderName(size) + QLatin1Char('/') + fileNameOf(uri);
}

QString ThumbnailCache::failPathOf(const QByteArray& uri) const
{
    return m_root + QLatin1Char('/') + QLatin1String(kFailFolder) + QLatin1Char('/') + fileNameOf(uri);
}

namespace {

bool matches(const QString& uriText, const QString& mtimeText, const QByteArray& uri, std::int64_t mtimeSeconds)
{
    bool ok = false;
    const qint64 mtime = mtimeText.toLongLong(&ok);
    return ok && mtime == mtimeSeconds && uriText.toUtf8() == uri;
}

enum class Check { KeysOnly, Pixels };

// The stored thumbnail at `path` when it is a PNG made of this very version of the file. The keys are
// read from the chunks before the pixels, so a stale entry costs no inflating; only an entry that
// keeps its keys after the pixels (allowed, though no common writer does it) is decoded to find out.
// With KeysOnly a matching entry yields an empty image instead of its pixels. Anyone may write into the
// cache: only a regular file is opened (a FIFO there would hold the reader forever), and an entry whose
// header claims more than `maxSide` pixels on a side is not the size it is filed under and is passed
// over before a byte of it is inflated.
std::optional<QImage> readValid(const QString& path, const QByteArray& uri, std::int64_t mtimeSeconds, Check check,
                                int maxSide)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        return std::nullopt; // none stored: the common case, nothing to tell
    const media::RegularFile file(native.toStdString());
    if (!file.isOpen()) {
        qCWarning(lcThumbnails) << "cache entry not read:" << path << file.error().c_str();
        return std::nullopt;
    }
    QFile device;
    if (!device.open(file.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return std::nullopt;
    QImageReader reader(&device, "png");
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.width() > maxSide || declared.height() > maxSide) {
        if (declared.isValid())
            qCWarning(lcThumbnails) << "cache entry larger than its size, ignored:" << path << declared;
        return std::nullopt;
    }
    const QString uriText = reader.text(QLatin1String(kUriKey));
    const QString mtimeText = reader.text(QLatin1String(kMTimeKey));
    if (!uriText.isEmpty() && !mtimeText.isEmpty()) {
        if (!matches(uriText, mtimeText, uri, mtimeSeconds))
            return std::nullopt;
        if (check == Check::KeysOnly)
            return reader.canRead() ? std::optional<QImage>(QImage()) : std::nullopt;
        QImage image = reader.read();
        return image.isNull() ? std::nullopt : std::optional<QImage>(std::move(image));
    }
    QImage image = reader.read();
    if (image.isNull() ||
        !matches(image.text(QLatin1String(kUriKey)), image.text(QLatin1String(kMTimeKey)), uri, mtimeSeconds))
        return std::nullopt;
    return check == Check::KeysOnly ? QImage() : image;
}

} // namespace

std::optional<QImage> ThumbnailCache::find(const QByteArray& uri, std::int64_t mtimeSeconds, ThumbnailSize size) const
{
    for (ThumbnailSize candidate : {ThumbnailSize::Normal, ThumbnailSize::Large, ThumbnailSize::XLarge}) {
        if (int(candidate) < int(size))
            continue;
        std::optional<QImage> image =
            readValid(pathOf(uri, candidate), uri, mtimeSeconds, Check::Pixels, int(candidate));
        if (!image)
            continue;
        const int side = int(size);
        if (image->width() > side || image->height() > side)
            *image = image->scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return image;
    }
    return std::nullopt;
}

bool ThumbnailCache::has(const QByteArray& uri, std::int64_t mtimeSeconds, ThumbnailSize size) const
{
    for (ThumbnailSize candidate : {ThumbnailSize::Normal, ThumbnailSize::Large, ThumbnailSize::XLarge})
        if (int(candidate) >= int(size) &&
            readValid(pathOf(uri, candidate), uri, mtimeSeconds, Check::KeysOnly, int(candidate)))
            return true;
    return false;
}

bool ThumbnailCache::write(const QString& folder, const QString& path, const QByteArray& uri, std::int64_t mtimeSeconds,
                           const QImage& image) const
{
    if (!makePrivateFolder(folder))
        return false;
    // Written beside its final name and renamed over it, so a reader never sees half a PNG. Owner-only
    // like the folders; not flushed to disk, as a lost entry is made again; the folder holds thousands
    // of entries and is not read through for leftovers on every write.
    media::AtomicFile temp(QFile::encodeName(path).toStdString(),
                           {.clearLeftovers = false, .sync = false, .ownerOnly = true});
    QFile device;
    if (!temp.isOpen() || !device.open(temp.fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        qCWarning(lcThumbnails) << "cannot write the cache entry" << path << ":" << temp.error().c_str();
        return false;
    }
    QImage tagged = image;
    tagged.setText(QLatin1String(kUriKey), QString::fromUtf8(uri));
    tagged.setText(QLatin1String(kMTimeKey), QString::number(mtimeSeconds));
    tagged.setText(QStringLiteral("Software"), QStringLiteral("Marquelo"));
    // Thumbnails are written far more often than they are worth squeezing: Qt's PNG writer turns
    // quality 80..89 into zlib level 1, a third of the default level's time for ~10% more bytes.
    QImageWriter writer(&device, "png");
    writer.setQuality(85);
    if (!writer.write(tagged) || !device.flush()) {
        qCWarning(lcThumbnails) << "cannot write the cache entry" << path << ":" << writer.errorString()
                                << device.errorString();
        return false; // the temporary file is removed with `temp`
    }
    device.close();
    if (!temp.commit()) {
        qCWarning(lcThumbnails) << "cannot store the cache entry" << path << ":" << temp.error().c_str();
        return false;
    }
    return true;
}

bool ThumbnailCache::store(const QByteArray& uri, std::int64_t mtimeSeconds, const QImage& image,
                           ThumbnailSize size) const
{
    if (image.isNull())
        return false;
    const QString folder = m_root + QLatin1Char('/') + thumbnailFolderName(size);
    return write(folder, pathOf(uri, size), uri, mtimeSeconds, image);
}

bool ThumbnailCache::hasFailure(const QByteArray& uri, std::int64_t mtimeSeconds) const
{
    return readValid(failPathOf(uri), uri, mtimeSeconds, Check::KeysOnly, kFailSide).has_value();
}

bool ThumbnailCache::storeFailure(const QByteArray& uri, std::int64_t mtimeSeconds) const
{
    QImage empty(1, 1, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    return write(m_root + QLatin1Char('/') + QLatin1String(kFailFolder), failPathOf(uri), uri, mtimeSeconds, empty);
}

} // namespace marquelo
