#include "core/viewer/VipsPictureDecoder.h"

#include "core/viewer/PictureColour.h"

#include <QBuffer>
#include <QImageReader>
#include <QTransform>

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

namespace marquelo {

namespace {

void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// The buffer loaders a photo may reach. libvips would also take SVG, PDF, matrix or its own formats
// from a file that merely calls itself a photo; those are no photos and widen what a crafted file can
// reach.
bool allowedLoader(std::string_view loader)
{
    static constexpr std::string_view kAllowed[] = {
        "VipsForeignLoadHeifBuffer", "VipsForeignLoadWebpBuffer", "VipsForeignLoadPngBuffer",
        "VipsForeignLoadTiffBuffer", "VipsForeignLoadJxlBuffer",  "VipsForeignLoadNsgifBuffer",
        "VipsForeignLoadJpegBuffer", "VipsForeignLoadGifBuffer",
    };
    return std::find(std::begin(kAllowed), std::end(kAllowed), loader) != std::end(kAllowed);
}

// The picture as the loader holds it (16-bit samples take twice the bytes) or as it becomes, whichever is larger.
bool tooLarge(std::int64_t width, std::int64_t height, std::int64_t bytesPerPixel, std::int64_t maxBytes)
{
    return width <= 0 || height <= 0 || width * height * std::max<std::int64_t>(4, bytesPerPixel) > maxBytes;
}

double neededScale(QSize upright, QSize fitInto, double minScale)
{
    double scale = 1.0;
    if (!fitInto.isEmpty())
        scale = std::min({1.0, double(fitInto.width()) / upright.width(), double(fitInto.height()) / upright.height()});
    return std::clamp(std::max(scale, minScale), 0.0, 1.0);
}

int orientationOf(const vips::VImage& image)
{
    if (image.get_typeof(VIPS_META_ORIENTATION) == 0)
        return 1;
    const int o = image.get_int(VIPS_META_ORIENTATION);
    return o >= 1 && o <= 8 ? o : 1;
}

bool turnsQuarter(int orientation)
{
    return orientation >= 5;
}

// EXIF orientation 1..8 applied to a picture: mirror or flip first, then a quarter turn.
QImage oriented(QImage image, int orientation)
{
    switch (orientation) {
    case 2: return std::move(image).mirrored(true, false);
    case 3: return std::move(image).mirrored(true, true);
    case 4: return std::move(image).mirrored(false, true);
    case 5: return image.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6: return image.transformed(QTransform().rotate(90));
    case 7: return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8: return image.transformed(QTransform().rotate(270));
    default: return image;
    }
}

// Brings any band layout libvips loads (grey, grey+alpha, CMYK, float, extra bands) to interleaved
// RGB or RGBA of 8 or 16 bits; `icc` is cleared when the pixels were made sRGB on the way.
vips::VImage toRgb(vips::VImage image, QByteArray& icc)
{
    const VipsInterpretation kind = image.interpretation();
    const bool rgb =
        kind == VIPS_INTERPRETATION_sRGB || kind == VIPS_INTERPRETATION_RGB16 || kind == VIPS_INTERPRETATION_RGB;
    const VipsBandFormat format = image.format();
    if (!rgb || image.bands() < 3 || (format != VIPS_FORMAT_UCHAR && format != VIPS_FORMAT_USHORT)) {
        // Grey, CMYK, Lab, float: libvips' own conversions to sRGB, which the profile no longer describes.
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
        if (image.format() != VIPS_FORMAT_UCHAR)
            image = image.cast(VIPS_FORMAT_UCHAR);
        icc.clear();
    }
    if (image.bands() > 4)
        image = image.extract_band(0, vips::VImage::option()->set("n", 4));
    return image;
}

// The profile that brings an HDR HEIF/AVIF (PQ or HLG in its nclx colour description) to the SDR
// screen; empty for every other picture. libvips hands over the samples as they are stored.
QByteArray hdrProfileOf(const QByteArray& bytes)
{
    heif_context* context = heif_context_alloc();
    if (!context)
        return {};
    QByteArray profile;
    heif_image_handle* handle = nullptr;
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_context_read_from_memory_without_copy(context, bytes.constData(), size_t(bytes.size()), nullptr).code ==
            heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx) {
        const auto transfer = nclx->transfer_characteristics;
        const auto primaries =
            nclx->color_primaries == heif_color_primaries_ITU_R_BT_2020_2_and_2100_0 ? PictureColour::Primaries::Bt2020
            : nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1 ? PictureColour::Primaries::DisplayP3
                                                                           : PictureColour::Primaries::Bt709;
        if (transfer == heif_transfer_characteristic_ITU_R_BT_2100_0_PQ)
            profile = PictureColour::hdrProfile(PictureColour::HdrTransfer::Pq, primaries);
        else if (transfer == heif_transfer_characteristic_ITU_R_BT_2100_0_HLG)
            profile = PictureColour::hdrProfile(PictureColour::HdrTransfer::Hlg, primaries);
    }
    if (nclx)
        heif_nclx_color_profile_free(nclx);
    if (handle)
        heif_image_handle_release(handle);
    heif_context_free(context);
    return profile;
}

} // namespace

bool VipsPictureDecoder::startLibrary()
{
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        // The image tool's own name is not ours to take here; libvips only uses it in messages.
        if (vips_init("marquelo") != 0)
            return;
        g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, quiet, nullptr);
        // The viewer keeps its own pictures; a rewritten file must never come from libvips' cache.
        vips_cache_set_max(0);
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
#ifdef EXV_ENABLE_BMFF
        Exiv2::enableBMFF(true);
#endif
        started = true;
    });
    return started;
}

bool VipsPictureDecoder::recognises(const QByteArray& bytes)
{
    if (bytes.isEmpty() || !startLibrary())
        return false;
    const char* loader = vips_foreign_find_load_buffer(bytes.constData(), size_t(bytes.size()));
    vips_error_clear();
    return loader && allowedLoader(loader);
}

DecodedPicture VipsPictureDecoder::decode(const QByteArray& bytes, QSize fitInto, double minScale,
                                          std::int64_t maxDecodedBytes)
{
    DecodedPicture out;
    if (bytes.isEmpty() || !startLibrary())
        return out;
    const char* loader = vips_foreign_find_load_buffer(bytes.constData(), size_t(bytes.size()));
    if (!loader || !allowedLoader(loader)) {
        vips_error_clear();
        return out;
    }
    const bool webp = std::string_view(loader) == "VipsForeignLoadWebpBuffer";
    const bool heif = std::string_view(loader) == "VipsForeignLoadHeifBuffer";
    try {
        // A damaged file is refused rather than shown half grey.
        auto options = [] { return vips::VImage::option()->set("fail_on", VIPS_FAIL_ON_ERROR); };
        vips::VImage image = vips::VImage::new_from_buffer(bytes.constData(), size_t(bytes.size()), "", options());
        if (tooLarge(image.width(), image.height(),
                     std::int64_t(image.bands()) * std::int64_t(vips_format_sizeof(image.format())), maxDecodedBytes))
            return out;
        const int orientation = orientationOf(image);
        const QSize raw(image.width(), image.height());
        const QSize full = turnsQuarter(orientation) ? raw.transposed() : raw;
        const double scale = neededScale(full, fitInto, minScale);
        if (scale < 1.0) {
            if (webp) {
                // WebP decodes straight to a smaller size.
                image = vips::VImage::new_from_buffer(bytes.constData(), size_t(bytes.size()), "",
                                                      options()->set("scale", scale));
            }
            const double rest = std::min(1.0, scale * raw.width() / image.width());
            if (rest < 1.0)
                image = image.resize(rest);
        }
        QByteArray icc;
        if (image.get_typeof(VIPS_META_ICC_NAME) != 0) {
            size_t length = 0;
            const void* data = image.get_blob(VIPS_META_ICC_NAME, &length);
            icc = QByteArray(static_cast<const char*>(data), qsizetype(length));
        }
        if (heif && image.format() == VIPS_FORMAT_USHORT) {
            const QByteArray hdr = hdrProfileOf(bytes);
            if (!hdr.isEmpty())
                icc = hdr;
        }
        image = toRgb(image, icc);
        const int bits = image.format() == VIPS_FORMAT_USHORT ? 16 : 8;
        size_t size = 0;
        std::unique_ptr<void, decltype(&g_free)> pixels(image.write_to_memory(&size), &g_free);
        const int width = image.width();
        const int height = image.height();
        const qsizetype stride = qsizetype(width) * image.bands() * (bits / 8);
        if (!pixels || size < size_t(stride) * size_t(height))
            return out;
        QImage picture = PictureColour::fromInterleaved(pixels.get(), width, height, stride, image.bands(), bits, icc);
        pixels.reset();
        if (picture.isNull())
            return out;
        out.image = oriented(std::move(picture), orientation);
        out.fullSize = full;
        out.fullResolution = scale >= 1.0;
        out.ok = !out.image.isNull();
    } catch (const vips::VError&) {
        vips_error_clear();
        return DecodedPicture();
    } catch (const std::bad_alloc&) {
        return DecodedPicture();
    }
    return out;
}

VipsPictureDecoder::RawPreview VipsPictureDecoder::largestRawPreview(const QByteArray& raw)
{
    RawPreview result;
    if (raw.isEmpty() || !startLibrary())
        return result;
    try {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(raw.constData()), long(raw.size()));
        if (!image.get())
            return result;
        image->readMetadata();
        Exiv2::PreviewManager previews(*image);
        const Exiv2::PreviewPropertiesList list = previews.getPreviewProperties();
        if (list.empty())
            return result;
        const auto largest = std::max_element(list.begin(), list.end(), [](const auto& a, const auto& b) {
            const auto area = [](const Exiv2::PreviewProperties& p) {
                return std::uint64_t(p.width_) * p.height_ * 16 + p.size_ / 1024;
            };
            return area(a) < area(b);
        });
        const Exiv2::PreviewImage preview = previews.getPreviewImage(*largest);
        result.bytes = QByteArray(reinterpret_cast<const char*>(preview.pData()), qsizetype(preview.size()));
        const Exiv2::ExifData& exif = image->exifData();
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found != exif.end() && found->count() > 0) {
            const long o = found->toLong();
            result.orientation = o >= 1 && o <= 8 ? int(o) : 1;
        }
    } catch (...) {
        // libexiv2 throws on every kind of damage; a RAW it cannot read has no preview for us.
        return RawPreview();
    }
    return result;
}

DecodedPicture VipsPictureDecoder::decodeRawPreview(const QByteArray& bytes, QSize fitInto, double minScale)
{
    const RawPreview preview = largestRawPreview(bytes);
    if (preview.bytes.isEmpty())
        return DecodedPicture();
    // The preview JPEG rarely carries an orientation of its own; the camera wrote it into the RAW.
    QByteArray copy = preview.bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const bool ownOrientation = QImageReader(&buffer).transformation() != QImageIOHandler::TransformationNone;
    const int orientation = ownOrientation ? 1 : preview.orientation;
    // Scale to fit the upright picture: ask with the box turned when the RAW turns a quarter.
    const QSize box = turnsQuarter(orientation) ? fitInto.transposed() : fitInto;
    DecodedPicture decoded = PictureDecoder::decode(preview.bytes, box, minScale);
    if (!decoded.ok || orientation == 1)
        return decoded;
    decoded.image = oriented(std::move(decoded.image), orientation);
    if (turnsQuarter(orientation))
        decoded.fullSize.transpose();
    return decoded;
}

} // namespace marquelo
