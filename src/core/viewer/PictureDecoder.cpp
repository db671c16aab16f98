#include "core/viewer/PictureDecoder.h"

#include "core/viewer/JpegBands.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>
#include <QTransform>

#include <turbojpeg.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace marquelo {

namespace {

using Transformations = QImageIOHandler::Transformations;

bool tooLarge(std::int64_t width, std::int64_t height)
{
    return width <= 0 || height <= 0 || width * height * 4 > PictureDecoder::kMaxDecodedBytes;
}

Transformations orientationOf(const QByteArray& bytes)
{
    QByteArray copy = bytes; // shares the data; QBuffer needs a non-const array
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    return reader.transformation();
}

QImage upright(QImage image, Transformations t)
{
    if (t == QImageIOHandler::TransformationNone || image.isNull())
        return image;
    // Mirror and flip first, then a quarter turn: together they make all eight EXIF orientations.
    const bool mirror = t & QImageIOHandler::TransformationMirror;
    const bool flip = t & QImageIOHandler::TransformationFlip;
    if (mirror || flip)
        image = std::move(image).mirrored(mirror, flip);
    if (t & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

QSize uprightSize(QSize raw, Transformations t)
{
    return (t & QImageIOHandler::TransformationRotate90) ? raw.transposed() : raw;
}

struct TjHandle {
    tjhandle handle = tjInitDecompress();
    ~TjHandle()
    {
        if (handle)
            tjDestroy(handle);
    }
};

enum class TjResult { Decoded, Refused, NotReadable };

TjResult decodeWithTurboJpeg(const QByteArray& bytes, QSize fitInto, double minScale, int threads, DecodedPicture& out)
{
    TjHandle tj;
    if (!tj.handle)
        return TjResult::NotReadable;
    auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
    const auto size = static_cast<unsigned long>(bytes.size());
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.handle, data, size, &width, &height, &subsamp, &colorspace) != 0)
        return TjResult::NotReadable;
    if (tooLarge(width, height))
        return TjResult::Refused;
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK)
        return TjResult::NotReadable;

    const Transformations t = orientationOf(bytes);
    const QSize full = uprightSize(QSize(width, height), t);
    const JpegScale scale = chooseJpegScale(neededScale(full, fitInto, minScale));
    const tjscalingfactor factor{scale.num, scale.denom};
    const int scaledW = TJSCALED(width, factor);
    const int scaledH = TJSCALED(height, factor);

    QImage image(scaledW, scaledH, QImage::Format_RGB32);
    if (image.isNull())
        return TjResult::Refused;
    // Format_RGB32 is 0xffRRGGBB in host order: BGRX bytes on a little-endian machine, and TurboJPEG
    // fills the X byte with 0xff.
    const int pixelFormat = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
    const bool banded = threads > 1 && decodeJpegInBands(data, size, scale, image.bits(), int(image.bytesPerLine()),
                                                         pixelFormat, threads);
    if (!banded && tjDecompress2(tj.handle, data, size, image.bits(), scaledW, int(image.bytesPerLine()), scaledH,
                                 pixelFormat, 0) != 0) {
        // A warning (for example a truncated file) still leaves a whole, partly grey picture.
        if (tjGetErrorCode(tj.handle) != TJERR_WARNING)
            return TjResult::NotReadable;
    }
    out.image = upright(std::move(image), t);
    out.fullSize = full;
    out.fullResolution = scale.num == scale.denom;
    out.ok = !out.image.isNull();
    return out.ok ? TjResult::Decoded : TjResult::NotReadable;
}

DecodedPicture decodeWithQt(const QByteArray& bytes, QSize fitInto, double minScale)
{
    DecodedPicture out;
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(int(PictureDecoder::kMaxDecodedBytes >> 20));
    const QSize raw = reader.size();
    if (!raw.isValid() || tooLarge(raw.width(), raw.height()))
        return out;
    const Transformations t = reader.transformation();
    const QSize full = uprightSize(raw, t);
    const double scale = neededScale(full, fitInto, minScale);
    if (scale < 1.0)
        reader.setScaledSize(
            QSize(std::max(1, int(std::ceil(raw.width() * scale))), std::max(1, int(std::ceil(raw.height() * scale)))));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return out;
    // Drawing is fastest from one 32-bit format; CMYK and indexed pictures are converted once here.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                        : image.convertToFormat(QImage::Format_RGB32);
    out.image = std::move(image);
    out.fullSize = full;
    out.fullResolution = scale >= 1.0;
    out.ok = !out.image.isNull();
    return out;
}

} // namespace

DecodedPicture PictureDecoder::decode(const QByteArray& bytes, QSize fitInto, double minScale, int threads)
{
    DecodedPicture out;
    if (bytes.isEmpty())
        return out;
    switch (decodeWithTurboJpeg(bytes, fitInto, minScale, threads, out)) {
    case TjResult::Decoded: return out;
    case TjResult::Refused: return DecodedPicture();
    case TjResult::NotReadable: break;
    }
    return decodeWithQt(bytes, fitInto, minScale);
}

DecodedPicture PictureDecoder::decodeFile(const std::string& path, QSize fitInto, double minScale, int threads)
{
    // Opened by the bytes of its name: a name that is not UTF-8 would not survive a round trip through
    // QString, and could land on a neighbour whose name is its look-alike.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return DecodedPicture();
    struct stat info {};
    QByteArray bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && info.st_size <= kMaxDecodedBytes) {
        bytes.resize(qsizetype(info.st_size));
        qsizetype have = 0;
        while (have < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            have += got;
        }
        // A file cut short meanwhile is being rewritten: the next change check loads it again.
        if (have != bytes.size())
            bytes.clear();
    }
    ::close(fd);
    return decode(bytes, fitInto, minScale, threads);
}

} // namespace marquelo
