#include "core/viewer/ThumbnailMaker.h"

#include "core/settings/Logging.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/PictureFormats.h"
#include "core/viewer/Upright.h"
#include "media/ExifTiff.h"
#include "media/JpegHeader.h"
#include "media/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include <unistd.h>

namespace marquelo {

namespace {

constexpr Qt::TransformationMode kSmooth = Qt::SmoothTransformation;
// Enough for the markers before the first scan of nearly every camera JPEG: the EXIF block is at most
// 64 KiB, and the frame header follows it and the quantisation and Huffman tables.
constexpr qint64 kHeadBytes = 128 * 1024;

QImage fitInto(QImage image, int side)
{
    if (image.isNull() || (image.width() <= side && image.height() <= side))
        return image;
    return image.scaled(side, side, Qt::KeepAspectRatio, kSmooth);
}

media::ByteView view(const QByteArray& bytes)
{
    return {reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size())};
}

QByteArray toBytes(const std::vector<unsigned char>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// What the markers before the first scan tell: enough to judge the camera's thumbnail without
// touching the compressed picture.
struct JpegHead {
    bool sawFrame = false; // the markers up to the first scan were within the bytes given
    QSize stored;          // the main picture as stored (not yet turned)
    media::Orientation toUpright;
    QByteArray thumbnail; // the EXIF (IFD1) JPEG
    QByteArray icc;
};

JpegHead readJpegHead(const QByteArray& jpeg)
{
    JpegHead head;
    if (!media::startsLikeJpeg(view(jpeg)))
        return head;
    const media::JpegHeader header = media::readJpegHeader(view(jpeg));
    if (!header.ok)
        return head;
    head.sawFrame = true;
    head.stored = QSize(header.width, header.height);
    head.toUpright = media::Orientation::fromExif(media::exifOrientation(header.exif));
    if (const auto place = media::findExifThumbnail(header.exif))
        head.thumbnail =
            QByteArray(reinterpret_cast<const char*>(header.exif.data() + place->offset), qsizetype(place->size));
    head.icc = toBytes(header.icc);
    return head;
}

// The part of a camera thumbnail of another shape than its picture that holds the picture: cameras of 3:2
// pictures store 4:3 thumbnails with black bars above and below (or beside), not always exactly as wide
// as the shapes call for. An empty rectangle when the bars are not there (a stretched or cropped
// thumbnail) or what is left is too small for `need` or not the picture's shape.
QRect pictureInside(const QImage& small, QSize stored, int need)
{
    const double shapeMain = double(stored.width()) / stored.height();
    const bool wider = shapeMain > double(small.width()) / small.height(); // bars above and below
    const int length = wider ? small.height() : small.width();
    const int across = wider ? small.width() : small.height();
    const int inner = int(std::lround(wider ? small.width() / shapeMain : small.height() * shapeMain));
    const int expected = (length - inner) / 2;
    if (expected < 1)
        return QRect();
    // Black give or take the compression's noise, nearly all of the line.
    auto dark = [&](int line) {
        int count = 0;
        for (int j = 0; j < across; ++j) {
            const QRgb p = wider ? small.pixel(j, line) : small.pixel(line, j);
            count += std::max({qRed(p), qGreen(p), qBlue(p)}) <= 32;
        }
        return count >= across * 97 / 100;
    };
    int before = 0, after = 0;
    while (before < expected + 3 && dark(before))
        ++before;
    while (after < expected + 3 && dark(length - 1 - after))
        ++after;
    if (before < expected - 1 || after < expected - 1)
        return QRect();
    // The line where bar and picture meet is blended by the compression: it goes with the bar.
    ++before;
    ++after;
    const QRect picture =
        wider ? QRect(0, before, across, length - before - after) : QRect(before, 0, length - before - after, across);
    if (picture.isEmpty() || std::max(picture.width(), picture.height()) < need)
        return QRect();
    const double shapeInside = double(picture.width()) / picture.height();
    return std::abs(shapeInside - shapeMain) < 0.05 * shapeMain ? picture : QRect();
}

// The camera's thumbnail when it shows the whole picture (letterboxing cut off) with at least `need`
// pixels on its longer side once upright, in sRGB; null otherwise. Its size is read before it is
// decoded, and it is decoded as the viewer decodes a JPEG (the same scan limit and size bound): it is as
// much the file's content as the photo. Cameras store it in the photo's colours without a profile of
// its own, so the photo's profile (`photoIcc`) stands for it.
QImage cameraThumbnail(const JpegHead& head, int need, const QByteArray& photoIcc)
{
    if (head.thumbnail.isEmpty() || !head.stored.isValid())
        return QImage();
    const JpegHead small = readJpegHead(head.thumbnail);
    if (!small.sawFrame || small.stored.isEmpty() || std::max(small.stored.width(), small.stored.height()) < need)
        return QImage();
    const DecodedPicture decoded = PictureDecoder::decode(head.thumbnail, QSize());
    if (!decoded.ok)
        return QImage();
    QImage image = decoded.image;
    if (!photoIcc.isEmpty() && small.icc.isEmpty())
        PictureColour::toDisplay(image, photoIcc);
    const double shapeMain = double(head.stored.width()) / head.stored.height();
    const double shapeSmall = double(image.width()) / image.height();
    if (std::abs(shapeMain - shapeSmall) >= 0.02 * shapeMain) {
        // Only bars are cut off, and only from a thumbnail no more than half again as wide or tall as its
        // picture: a portrait picture squeezed into a landscape thumbnail has no bars to find.
        if (std::max(shapeMain, shapeSmall) / std::min(shapeMain, shapeSmall) > 1.5)
            return QImage();
        const QRect picture = pictureInside(image, head.stored, need);
        if (picture.isEmpty())
            return QImage();
        image = image.copy(picture);
    }
    if (std::max(image.width(), image.height()) < need)
        return QImage();
    return upright(image, head.toUpright);
}

// Reads a regular file's head first and the rest only when it is asked for: the camera's thumbnail
// needs the first few kilobytes of a photo of megabytes.
class PhotoFile {
public:
    // Never blocks on a FIFO or a device swapped in under the name, and never reads one.
    explicit PhotoFile(const QByteArray& path) : m_file(path.toStdString())
    {
        if (!m_file.isOpen()) {
            qCWarning(lcThumbnails) << "cannot read" << path << ":" << m_file.error().c_str();
            return;
        }
        m_size = qint64(std::min<std::uint64_t>(m_file.size(), std::uint64_t(INT64_MAX)));
    }

    qint64 size() const { return m_size; }
    bool whole() const { return m_read >= m_size; }
    const QByteArray& bytes() const { return m_bytes; }

    // Reads up to `upTo` bytes of the file in all; false on a read error.
    bool readTo(qint64 upTo)
    {
        upTo = std::min(upTo, m_size);
        if (m_bytes.size() < upTo)
            m_bytes.resize(qsizetype(upTo));
        while (m_read < upTo) {
            const ssize_t got = ::read(m_file.fd(), m_bytes.data() + m_read, std::size_t(upTo - m_read));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0) { // cut short since the size was taken: it is being rewritten
                m_size = m_read;
                break;
            }
            m_read += got;
        }
        m_bytes.truncate(qsizetype(m_read));
        return true;
    }

private:
    media::RegularFile m_file;
    qint64 m_size = -1;
    qint64 m_read = 0;
    QByteArray m_bytes;
};

} // namespace

QByteArray ThumbnailMaker::exifThumbnail(const QByteArray& jpeg)
{
    return readJpegHead(jpeg).thumbnail;
}

namespace {

ThumbnailMaker::Made fromCamera(const JpegHead& head, int side, int cell)
{
    ThumbnailMaker::Made made;
    QImage small = cameraThumbnail(head, cell, head.icc);
    if (small.isNull())
        return made;
    made.fromCamera = true;
    made.fullSize = std::max(small.width(), small.height()) >= side;
    made.image = fitInto(std::move(small), made.fullSize ? side : cell);
    return made;
}

ThumbnailMaker::Made decodeJpeg(const QByteArray& bytes, int side)
{
    ThumbnailMaker::Made made;
    const DecodedPicture decoded = PictureDecoder::decode(bytes, QSize(side, side));
    if (decoded.ok) {
        made.image = fitInto(decoded.image, side);
        made.fullSize = true;
    } else {
        qCWarning(lcThumbnails).noquote() << "no thumbnail of a JPEG:" << decoded.error;
    }
    return made;
}

ThumbnailMaker::Made fromViewerDecode(const QByteArray& path, const DecodedPicture& decoded, int side)
{
    ThumbnailMaker::Made made;
    if (!decoded.ok) {
        qCWarning(lcThumbnails).noquote() << "no thumbnail of" << path << "-" << decoded.error;
        return made;
    }
    made.image = fitInto(decoded.image, side);
    made.fullSize = !made.image.isNull();
    return made;
}

} // namespace

ThumbnailMaker::Made ThumbnailMaker::jpegForCell(const QByteArray& bytes, int side, int cell)
{
    const PictureColour::SrgbTarget srgb;
    Made made = fromCamera(readJpegHead(bytes), side, std::min(cell, side));
    return made.image.isNull() ? decodeJpeg(bytes, side) : made;
}

ThumbnailMaker::Made ThumbnailMaker::forCell(const QByteArray& path, int side, int cell)
{
    // The shared cache is read by every program of the desktop, which take its pixels as sRGB.
    const PictureColour::SrgbTarget srgb;
    cell = std::min(cell, side);
    // A camera's RAW data is not developed: its largest embedded preview stands in for it, as in the
    // viewer, read the same way: the container's directories and the preview, never the sensor data
    // around them (a whole RAW from a card or a share costs seconds per cell). Nothing else reads a
    // RAW name, whatever its bytes look like.
    const bool raw = isRawName(std::string_view(path.constData(), std::size_t(path.size())));
    if (raw)
        return fromViewerDecode(
            path,
            PictureDecoder::decodeFile(std::string(path.constData(), std::size_t(path.size())), QSize(side, side)),
            side);
    PhotoFile file(path);
    if (file.size() < 0 || !file.readTo(kHeadBytes))
        return {};
    if (file.size() > PictureDecoder::kMaxDecodedBytes) {
        qCWarning(lcThumbnails) << "not thumbnailed, too large to read:" << path;
        return {};
    }
    if (media::startsLikeJpeg(view(file.bytes()))) {
        // An EXIF block or a table so large that the first scan lies beyond the head.
        JpegHead head = readJpegHead(file.bytes());
        if (!head.sawFrame && !file.whole()) {
            if (!file.readTo(file.size()))
                return {};
            head = readJpegHead(file.bytes());
        }
        if (Made made = fromCamera(head, side, cell); !made.image.isNull())
            return made;
        if (!file.readTo(file.size()))
            return {};
        return decodeJpeg(file.bytes(), side);
    }
    if (!file.readTo(file.size()) || !file.whole())
        return {};
    // Everything else through the viewer's own decoders: the same loaders, size bound and colours, at
    // the size of the thumbnail where the format can decode smaller.
    return fromViewerDecode(path, PictureDecoder::decode(file.bytes(), QSize(side, side)), side);
}

} // namespace marquelo
