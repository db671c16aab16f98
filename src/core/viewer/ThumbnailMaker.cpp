#include "core/viewer/ThumbnailMaker.h"

#include "core/viewer/PictureDecoder.h"
#include "core/viewer/VipsPictureDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTransform>

#include <vips/vips8>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace marquelo {

namespace {

// Reads the TIFF structure inside an EXIF block, every offset checked against its end.
class TiffReader {
public:
    TiffReader(const char* data, std::size_t size) : m_data(reinterpret_cast<const unsigned char*>(data)), m_size(size)
    {
        if (size >= 8 && m_data[0] == 'I' && m_data[1] == 'I')
            m_little = true;
        else if (size >= 8 && m_data[0] == 'M' && m_data[1] == 'M')
            m_little = false;
        else
            m_size = 0;
    }

    std::optional<std::uint32_t> u16(std::size_t at) const
    {
        if (at + 2 > m_size)
            return std::nullopt;
        return m_little ? std::uint32_t(m_data[at] | m_data[at + 1] << 8)
                        : std::uint32_t(m_data[at] << 8 | m_data[at + 1]);
    }
    std::optional<std::uint32_t> u32(std::size_t at) const
    {
        const auto lo = u16(m_little ? at : at + 2);
        const auto hi = u16(m_little ? at + 2 : at);
        if (!lo || !hi)
            return std::nullopt;
        return *hi << 16 | *lo;
    }
    std::size_t size() const { return m_size; }

private:
    const unsigned char* m_data;
    std::size_t m_size;
    bool m_little = true;
};

constexpr Qt::TransformationMode kSmooth = Qt::SmoothTransformation;

QImage fitInto(QImage image, int side)
{
    if (image.isNull() || (image.width() <= side && image.height() <= side))
        return image;
    return image.scaled(side, side, Qt::KeepAspectRatio, kSmooth);
}

QImageIOHandler::Transformations orientationOf(const QByteArray& jpeg)
{
    QByteArray copy = jpeg;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    return reader.transformation();
}

QImage upright(QImage image, QImageIOHandler::Transformations t)
{
    const bool mirror = t & QImageIOHandler::TransformationMirror;
    const bool flip = t & QImageIOHandler::TransformationFlip;
    if (mirror || flip)
        image = std::move(image).mirrored(mirror, flip);
    if (t & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

// The main picture's stored (not yet turned) size from its frame header, for the EXIF thumbnail's check.
QSize jpegStoredSize(const QByteArray& jpeg)
{
    QByteArray copy = jpeg;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(false);
    return reader.size();
}

QImage fromVips(const QByteArray& path, int side)
{
    // Started as the viewer starts it: above all with libvips' own cache off, so that a photo rewritten
    // under the same name is never thumbnailed from its old pixels.
    if (!VipsPictureDecoder::startLibrary())
        return QImage();
    try {
        vips::VImage thumb = vips::VImage::thumbnail(
            path.constData(), side, vips::VImage::option()->set("height", side)->set("size", VIPS_SIZE_DOWN));
        thumb = thumb.colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR);
        if (thumb.bands() == 2 || thumb.bands() > 4)
            thumb = thumb.extract_band(0, vips::VImage::option()->set("n", thumb.bands() == 2 ? 1 : 4));
        if (thumb.bands() == 1)
            thumb = thumb.bandjoin({thumb, thumb});
        const int bands = thumb.bands();
        size_t bytes = 0;
        void* memory = thumb.write_to_memory(&bytes);
        if (!memory)
            return QImage();
        const QImage view(static_cast<const uchar*>(memory), thumb.width(), thumb.height(), thumb.width() * bands,
                          bands == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        QImage copy = view.copy();
        g_free(memory);
        return copy;
    } catch (const vips::VError&) {
        return QImage();
    }
}

bool isJpeg(const QByteArray& bytes)
{
    return bytes.size() > 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8 && uchar(bytes[2]) == 0xFF;
}

} // namespace

QByteArray ThumbnailMaker::exifThumbnail(const QByteArray& jpeg)
{
    if (!isJpeg(jpeg))
        return {};
    const auto* d = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const std::size_t n = std::size_t(jpeg.size());
    std::size_t i = 2;
    while (i + 4 <= n && d[i] == 0xFF) {
        const int marker = d[i + 1];
        if (marker == 0xDA || marker == 0xD9)
            break;
        const std::size_t length = std::size_t(d[i + 2]) << 8 | d[i + 3];
        if (length < 2 || i + 2 + length > n)
            break;
        if (marker == 0xE1 && length >= 8 + 8 && std::memcmp(d + i + 4, "Exif\0\0", 6) == 0) {
            const char* tiffStart = jpeg.constData() + i + 10;
            const TiffReader tiff(tiffStart, length - 8);
            const auto ifd0 = tiff.u32(4);
            if (!ifd0)
                return {};
            const auto count0 = tiff.u16(*ifd0);
            if (!count0)
                return {};
            const auto ifd1 = tiff.u32(std::size_t(*ifd0) + 2 + 12 * std::size_t(*count0));
            if (!ifd1 || *ifd1 == 0)
                return {};
            const auto count1 = tiff.u16(*ifd1);
            if (!count1)
                return {};
            std::optional<std::uint32_t> offset, size;
            for (std::uint32_t e = 0; e < *count1; ++e) {
                const std::size_t at = std::size_t(*ifd1) + 2 + 12 * e;
                const auto tag = tiff.u16(at);
                if (!tag)
                    return {};
                if (*tag == 0x0201)
                    offset = tiff.u32(at + 8);
                else if (*tag == 0x0202)
                    size = tiff.u32(at + 8);
            }
            if (!offset || !size || *size == 0 || std::size_t(*offset) + *size > tiff.size())
                return {};
            return QByteArray(tiffStart + *offset, qsizetype(*size));
        }
        i += 2 + length;
    }
    return {};
}

QImage ThumbnailMaker::fromJpeg(const QByteArray& bytes, int side)
{
    // The camera's own thumbnail costs nothing to decode, but it is often letterboxed to 4:3 and small:
    // use it only when it has the picture's shape and enough pixels.
    if (const QByteArray exif = exifThumbnail(bytes); !exif.isEmpty()) {
        const QImage small = QImage::fromData(exif, "jpeg");
        const QSize stored = jpegStoredSize(bytes);
        if (!small.isNull() && stored.isValid() && std::max(small.width(), small.height()) >= side) {
            const double shapeMain = double(stored.width()) / stored.height();
            const double shapeSmall = double(small.width()) / small.height();
            if (std::abs(shapeMain - shapeSmall) < 0.02 * shapeMain)
                return fitInto(upright(small, orientationOf(bytes)), side);
        }
    }
    const DecodedPicture decoded = PictureDecoder::decode(bytes, QSize(side, side));
    if (!decoded.ok)
        return QImage();
    return fitInto(decoded.image, side);
}

QImage ThumbnailMaker::make(const QByteArray& path, int side)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray head = file.peek(4);
    if (isJpeg(head)) {
        if (file.size() > PictureDecoder::kMaxDecodedBytes)
            return QImage();
        return fromJpeg(file.readAll(), side);
    }
    file.close();
    return fitInto(fromVips(path, side), side);
}

} // namespace marquelo
