#include "core/viewer/PictureDecoder.h"

#include "core/viewer/DecodeReasons.h"
#include "core/viewer/JpegBands.h"
#include "core/viewer/JpegStream.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/PictureFormats.h"
#include "core/viewer/Upright.h"
#include "core/viewer/VipsPictureDecoder.h"
#include "core/viewer/WorkPools.h"
#include "media/ExifTiff.h"
#include "media/JpegHeader.h"
#include "media/JpegSegments.h"
#include "media/RegularFile.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace marquelo {

namespace {

using Transformations = QImageIOHandler::Transformations;

bool tooLarge(std::int64_t width, std::int64_t height, std::int64_t maxBytes)
{
    return width <= 0 || height <= 0 || width * height * 4 > maxBytes;
}

std::int64_t pixelBytes(QSize size, std::int64_t bytesPerPixel)
{
    return std::int64_t(std::max(0, size.width())) * std::max(0, size.height()) * bytesPerPixel;
}

// What the markers of a JPEG stream say before anything is decoded.
struct JpegLayout {
    bool isJpeg = false;
    bool progressive = false;
    int scans = 0;
    // libjpeg holds every DCT coefficient of a progressive picture (two bytes each, at full
    // resolution whatever the output scale) until the last scan has been read.
    std::int64_t coefficientBytes = 0;
    media::Orientation toUpright;
    QByteArray icc;
};

JpegLayout jpegLayout(const QByteArray& bytes)
{
    JpegLayout out;
    const media::ByteView view(reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()));
    if (view.size() < 4 || view[0] != 0xFF || view[1] != 0xD8)
        return out;
    out.isJpeg = true;
    // Counted first: a scan bomb is refused before anything else reads it.
    out.scans = media::countJpegScans(view, PictureDecoder::kMaxScans + 1);
    if (out.scans > PictureDecoder::kMaxScans)
        return out;
    const media::JpegHeader header = media::readJpegHeader(view);
    if (!header.ok)
        return out;
    out.progressive = header.progressive;
    out.coefficientBytes = header.coefficientBytes;
    out.toUpright = media::Orientation::fromExif(media::exifOrientation(header.exif));
    out.icc = QByteArray(reinterpret_cast<const char*>(header.icc.data()), qsizetype(header.icc.size()));
    return out;
}

// Brings the bands of rows a decoder has finished into the display's colours on a thread of the parts pool
// while it decodes the next ones: with a core to spare, the conversion then costs a show only its last
// band. One converting thread, not one per band: two would take the decoding thread's core from it on a
// two-core machine, and the show waits on the decoder, not on the conversions. When no pool thread is
// free, the decoding thread converts what is left once it has decoded everything.
class BandConversions {
public:
    BandConversions(const PictureColour::RowConversion& conversion, QImage& image)
        : m_conversion(conversion), m_bits(image.bits()), m_stride(image.bytesPerLine()), m_width(image.width())
    {
    }
    BandConversions(const BandConversions&) = delete;
    BandConversions& operator=(const BandConversions&) = delete;
    ~BandConversions() { finish(); }

    void add(int first, int count)
    {
        bool start = false;
        {
            const std::lock_guard lock(m_mutex);
            m_pending.push_back({first, count});
            start = !m_converting && !m_poolRefused;
            m_converting = m_converting || start;
        }
        if (start && !workpools::tryRun(workpools::parts(), [this] { drain(); })) {
            const std::lock_guard lock(m_mutex);
            m_converting = false;
            m_poolRefused = true;
        }
    }

    // Converts whatever no pool thread took, then waits for the one that did.
    void finish()
    {
        std::unique_lock lock(m_mutex);
        if (!m_converting) {
            m_converting = true;
            lock.unlock();
            drain();
            lock.lock();
        }
        m_done.wait(lock, [this] { return !m_converting; });
    }

private:
    struct Band {
        int first;
        int count;
    };

    // Runs until the queue is empty; the mutex also hands the decoded rows over to this thread, which a
    // thread sanitizer cannot see through the pool's own locks.
    void drain()
    {
        std::unique_lock lock(m_mutex);
        while (!m_pending.empty()) {
            const Band band = m_pending.front();
            m_pending.erase(m_pending.begin());
            lock.unlock();
            m_conversion.run(m_bits + band.first * m_stride, m_width, band.count, m_stride);
            lock.lock();
        }
        m_converting = false;
        m_done.notify_all();
    }

    const PictureColour::RowConversion& m_conversion;
    uchar* m_bits;
    qsizetype m_stride;
    int m_width;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::vector<Band> m_pending;
    bool m_converting = false;
    bool m_poolRefused = false;
};

struct TjHandle {
    tjhandle handle = tjInitDecompress();
    ~TjHandle()
    {
        if (handle)
            tjDestroy(handle);
    }
};

enum class TjResult { Decoded, Refused, NotReadable, Cancelled };

bool cancelled(const std::atomic<bool>* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

DecodedPicture failure(QString reason)
{
    DecodedPicture out;
    out.error = std::move(reason);
    return out;
}

// A whole JPEG ends with its end marker. libjpeg reads a file cut short as one that ends there and
// then finds what is missing (no frame, no scan), so a JPEG without that ending that holds no picture
// is told as what it is.
QString noPictureIn(const QByteArray& bytes)
{
    return bytes.endsWith(QByteArrayLiteral("\xFF\xD9")) ? QStringLiteral("the file holds no picture")
                                                         : reasons::endsEarly();
}

// libjpeg's message in the user's words where we know them, as it stands otherwise.
QString jpegReason(const QByteArray& bytes, QString message, std::int64_t maxBytes)
{
    // TurboJPEG puts the name of its function before the message.
    const qsizetype call = message.indexOf(QLatin1String("(): "));
    if (call >= 0)
        message = message.mid(call + 4);
    if (message.startsWith(QLatin1String("Not a JPEG file")))
        return reasons::notAPicture();
    if (message.contains(QLatin1String("scans")))
        return QStringLiteral("the picture is stored in too many passes to decode");
    if (message.startsWith(QLatin1String("Maximum supported image dimension")))
        return reasons::largerThan(maxBytes);
    if (message.startsWith(QLatin1String("Premature end")))
        return reasons::endsEarly();
    if (!bytes.endsWith(QByteArrayLiteral("\xFF\xD9")) ||
        message.startsWith(QLatin1String("JPEG datastream contains no image")))
        return noPictureIn(bytes);
    return reasons::damaged(message);
}

// Qt's reader's error in the user's words.
QString qtReason(const QImageReader& reader)
{
    switch (reader.error()) {
    case QImageReader::UnsupportedFormatError: return reasons::notAPicture();
    case QImageReader::InvalidDataError:
        return reader.errorString().isEmpty() ? reasons::damaged(QString()) : reasons::damaged(reader.errorString());
    case QImageReader::DeviceError: return QStringLiteral("the file cannot be read");
    case QImageReader::FileNotFoundError:
    case QImageReader::UnknownError: break;
    }
    return reasons::damaged(QString());
}

// `colour`, when not null, brings the pixels into the display's colours; `coloured` tells whether that
// was done on the way (otherwise it is still to do).
TjResult decodeWithTurboJpeg(const QByteArray& bytes, QSize fitInto, double minScale, std::int64_t maxBytes,
                             const JpegLayout& layout, int threads, const PictureColour::RowConversion* colour,
                             const std::atomic<bool>* cancel, bool& coloured, DecodedPicture& out)
{
    coloured = false;
    TjHandle tj;
    if (!tj.handle) {
        out.error =
            QStringLiteral("the JPEG decoder cannot start (%1)").arg(QString::fromUtf8(tjGetErrorStr2(nullptr)));
        return TjResult::NotReadable;
    }
    auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
    const auto size = static_cast<unsigned long>(bytes.size());
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.handle, data, size, &width, &height, &subsamp, &colorspace) != 0) {
        out.error = jpegReason(bytes, QString::fromUtf8(tjGetErrorStr2(tj.handle)), maxBytes);
        return TjResult::NotReadable;
    }
    if (tooLarge(width, height, maxBytes)) {
        // TurboJPEG reads a stream of tables alone (or nothing at all) as a picture of no size.
        out.error = width <= 0 || height <= 0 ? noPictureIn(bytes) : reasons::largerThan(maxBytes);
        return TjResult::Refused;
    }
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK)
        return TjResult::NotReadable;

    const media::Orientation& t = layout.toUpright;
    const QSize full = uprightSize(QSize(width, height), t);
    const JpegScale scale = chooseJpegScale(neededScale(full, fitInto, minScale));
    const tjscalingfactor factor{scale.num, scale.denom};
    const int scaledW = TJSCALED(width, factor);
    const int scaledH = TJSCALED(height, factor);

    const std::int64_t picture = pixelBytes(QSize(scaledW, scaledH), 4);
    const std::int64_t turned = t.swapsSides() ? picture : 0;
    if (picture + turned + (layout.progressive ? layout.coefficientBytes : 0) > maxBytes) {
        out.error = reasons::needsTooMuchMemory(maxBytes);
        return TjResult::Refused;
    }

    QImage image(scaledW, scaledH, QImage::Format_RGB32);
    if (image.isNull()) {
        out.error = reasons::noMemory();
        return TjResult::Refused;
    }
    // Format_RGB32 is 0xffRRGGBB in host order: BGRX bytes on a little-endian machine, and TurboJPEG
    // fills the X byte with 0xff.
    const int pixelFormat = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
    // Bands need restart markers, which only single-scan files can have; anything else is decoded whole.
    const bool banded =
        threads > 1 && !layout.progressive &&
        decodeJpegInBands(data, size, scale, image.bits(), int(image.bytesPerLine()), pixelFormat, threads);
    bool rowsDone = false;
    if (!banded && (colour || cancel) && !layout.progressive) {
        // Row by row, so the colours of the rows decoded so far are converted meanwhile, and a load
        // nobody waits for any more stops within a few rows. A file that warns or fails this way is
        // decoded again below, where TurboJPEG decides what it shows.
        std::optional<BandConversions> conversions;
        if (colour)
            conversions.emplace(*colour, image);
        rowsDone = decodeJpegRows(
            data, size, scale, image.bits(), int(image.bytesPerLine()), scaledW, scaledH, std::max(16, scaledH / 32),
            [&](int first, int count) {
                if (conversions)
                    conversions->add(first, count);
            },
            cancel);
        coloured = rowsDone && colour;
    }
    if (cancelled(cancel))
        return TjResult::Cancelled;
    if (!banded && !rowsDone &&
        tjDecompress2(tj.handle, data, size, image.bits(), scaledW, int(image.bytesPerLine()), scaledH, pixelFormat,
                      TJFLAG_LIMITSCANS) != 0) {
        // A warning (for example a truncated file) still leaves a whole, partly grey picture. Qt's
        // reader gets a second chance at other errors (it draws what it could read of some broken
        // files), but never at too many scans: it has no limit of its own.
        if (tjGetErrorCode(tj.handle) != TJERR_WARNING) {
            out.error = jpegReason(bytes, QString::fromUtf8(tjGetErrorStr2(tj.handle)), maxBytes);
            return std::strstr(tjGetErrorStr2(tj.handle), "scans") ? TjResult::Refused : TjResult::NotReadable;
        }
    }
    out.image = upright(std::move(image), t);
    out.fullSize = full;
    out.fullResolution = scale.num == scale.denom;
    out.ok = !out.image.isNull();
    if (!out.ok)
        out.error = reasons::noMemory();
    return out.ok ? TjResult::Decoded : TjResult::NotReadable;
}

DecodedPicture decodeWithQt(const QByteArray& bytes, QSize fitInto, double minScale, std::int64_t maxBytes,
                            const JpegLayout& layout)
{
    DecodedPicture out;
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(int(std::min<std::int64_t>(maxBytes >> 20, 1 << 20)));
    const QSize raw = reader.size();
    if (!raw.isValid())
        return failure(qtReason(reader));
    if (tooLarge(raw.width(), raw.height(), maxBytes))
        return failure(reasons::largerThan(maxBytes));
    const Transformations t = reader.transformation();
    const QSize full = (t & QImageIOHandler::TransformationRotate90) ? raw.transposed() : raw;
    const double scale = neededScale(full, fitInto, minScale);
    const QSize scaled = scale < 1.0 ? QSize(std::max(1, int(std::ceil(raw.width() * scale))),
                                             std::max(1, int(std::ceil(raw.height() * scale))))
                                     : raw;

    // What the reader holds on the way: the samples as it decodes them (16-bit ones take eight bytes a
    // pixel), the full-size image when it cannot decode at a smaller scale, then a copy for the quarter
    // turn and one for the change to 32 bits.
    const QImage::Format readFormat = reader.imageFormat();
    const std::int64_t readDepth =
        readFormat == QImage::Format_Invalid ? 4 : std::max(4, QImage::toPixelFormat(readFormat).bitsPerPixel() / 8);
    const bool readsScaled = reader.supportsOption(QImageIOHandler::ScaledSize);
    std::int64_t cost = pixelBytes(readsScaled ? scaled : raw, readDepth);
    if (!readsScaled && scaled != raw)
        cost += pixelBytes(scaled, readDepth);
    if (t & QImageIOHandler::TransformationRotate90)
        cost += pixelBytes(scaled, readDepth);
    if (readDepth != 4)
        cost += pixelBytes(scaled, 4);
    if (layout.progressive)
        cost += layout.coefficientBytes;
    if (cost > maxBytes)
        return failure(reasons::needsTooMuchMemory(maxBytes));

    if (scale < 1.0)
        reader.setScaledSize(scaled);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return failure(qtReason(reader));
    // Drawing is fastest from one 32-bit format; CMYK and indexed pictures are converted once here,
    // in place where the depth stays.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    out.image = std::move(image);
    out.fullSize = full;
    out.fullResolution = scale >= 1.0;
    out.ok = !out.image.isNull();
    if (!out.ok)
        out.error = reasons::noMemory();
    return out;
}

} // namespace

DecodedPicture PictureDecoder::decode(const QByteArray& bytes, QSize fitInto, double minScale,
                                      std::int64_t maxDecodedBytes, int threads, const std::atomic<bool>* cancel)
{
    DecodedPicture out;
    if (bytes.isEmpty())
        return failure(QStringLiteral("the file is empty"));
    const JpegLayout layout = jpegLayout(bytes);
    if (layout.scans > kMaxScans)
        return failure(QStringLiteral("the picture is stored in too many passes to decode"));
    const QByteArray& icc = layout.icc;
    const std::shared_ptr<const PictureColour::RowConversion> colour =
        layout.isJpeg ? PictureColour::rowConversion(icc) : nullptr;
    bool coloured = false;
    switch (decodeWithTurboJpeg(bytes, fitInto, minScale, maxDecodedBytes, layout, threads, colour.get(), cancel,
                                coloured, out)) {
    case TjResult::Decoded:
        if (colour && !coloured && !cancelled(cancel))
            PictureColour::toDisplay(out.image, icc);
        return cancelled(cancel) ? failure(reasons::cancelled()) : out;
    case TjResult::Refused: return failure(out.error);
    case TjResult::Cancelled: return failure(reasons::cancelled());
    case TjResult::NotReadable: break;
    }
    if (cancelled(cancel))
        return failure(reasons::cancelled());
    if (VipsPictureDecoder::recognises(bytes))
        return VipsPictureDecoder::decode(bytes, fitInto, minScale, maxDecodedBytes, threads);
    DecodedPicture byQt = decodeWithQt(bytes, fitInto, minScale, maxDecodedBytes, layout);
    // Of a damaged JPEG, libjpeg says more than Qt's reader (which gives up on the same fault).
    if (!byQt.ok && layout.isJpeg && !out.error.isEmpty())
        byQt.error = out.error;
    return byQt;
}

bool PictureDecoder::readsPicture(const std::string& path)
{
    const media::RegularFile file(path);
    if (!file.isOpen())
        return false;
    if (isRawName(path))
        return true; // shown through its embedded preview, found by its container's directories
    // The headers every reader recognises its format by are in the first few kilobytes; a movie or an
    // archive of gigabytes is never read whole on the chance that it is a picture.
    const std::vector<unsigned char> bytes = media::readHead(file.fd(), 64 * 1024);
    if (bytes.size() < 4)
        return false;
    if (media::startsLikeJpeg(bytes))
        return true;
    QByteArray head(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    QBuffer buffer(&head);
    buffer.open(QIODevice::ReadOnly);
    if (QImageReader(&buffer).canRead())
        return true;
    return VipsPictureDecoder::recognises(head);
}

DecodedPicture PictureDecoder::decodeFile(const std::string& path, QSize fitInto, double minScale,
                                          std::int64_t maxDecodedBytes, int threads, const std::atomic<bool>* cancel)
{
    // Opened by the bytes of its name: a name that is not UTF-8 would not survive a round trip through
    // QString, and could land on a neighbour whose name is its look-alike. A file cut short meanwhile is
    // being rewritten: the next change check loads it again.
    FileContents contents = readPictureFile(path, maxDecodedBytes);
    if (cancelled(cancel) && contents.ok) {
        contents.ok = false;
        contents.error = reasons::cancelled();
    }
    return decodeContents(path, std::move(contents), fitInto, minScale, maxDecodedBytes, threads, cancel);
}

DecodedPicture PictureDecoder::decodeContents(const std::string& path, FileContents contents, QSize fitInto,
                                              double minScale, std::int64_t maxDecodedBytes, int threads,
                                              const std::atomic<bool>* cancel)
{
    DecodedPicture out;
    if (contents.ok) {
        // A camera's RAW data is not developed here: its largest embedded preview stands in for it.
        if (contents.previewOrientation != 0)
            out = VipsPictureDecoder::decodePreviewJpeg(contents.bytes, contents.previewOrientation, fitInto, minScale);
        else if (isRawName(path))
            out = VipsPictureDecoder::decodeRawPreview(contents.bytes, fitInto, minScale);
        else
            out = decode(contents.bytes, fitInto, minScale, maxDecodedBytes, threads, cancel);
        contents.bytes = QByteArray();
    } else {
        out.error = contents.error;
    }
    out.file = contents.status;
    return out;
}

} // namespace marquelo
