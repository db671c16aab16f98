#include "core/viewer/vips/VipsModule.h"

#include <libheif/heif.h>
#include <vips/vips8>

#include <algorithm>
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

// Brings any band layout libvips loads (grey, grey+alpha, CMYK, float, extra bands) to interleaved
// RGB or RGBA of 8 or 16 bits; true when the pixels were made sRGB on the way (the profile no longer
// describes them).
bool toRgb(vips::VImage& image)
{
    bool madeSrgb = false;
    const VipsInterpretation kind = image.interpretation();
    const bool rgb =
        kind == VIPS_INTERPRETATION_sRGB || kind == VIPS_INTERPRETATION_RGB16 || kind == VIPS_INTERPRETATION_RGB;
    const VipsBandFormat format = image.format();
    if (!rgb || image.bands() < 3 || (format != VIPS_FORMAT_UCHAR && format != VIPS_FORMAT_USHORT)) {
        // Grey, CMYK, Lab, float: libvips' own conversions to sRGB.
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
        if (image.format() != VIPS_FORMAT_UCHAR)
            image = image.cast(VIPS_FORMAT_UCHAR);
        madeSrgb = true;
    }
    if (image.bands() > 4)
        image = image.extract_band(0, vips::VImage::option()->set("n", 4));
    return madeSrgb;
}

// How an HDR HEIF/AVIF (PQ or HLG in its nclx colour description) stores its samples; libvips hands
// them over as they are stored.
void readHdr(const QByteArray& bytes, VipsPixels& out)
{
    heif_context* context = heif_context_alloc();
    if (!context)
        return;
    heif_image_handle* handle = nullptr;
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_context_read_from_memory_without_copy(context, bytes.constData(), size_t(bytes.size()), nullptr).code ==
            heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx) {
        const auto transfer = nclx->transfer_characteristics;
        out.hdrPrimaries = nclx->color_primaries == heif_color_primaries_ITU_R_BT_2020_2_and_2100_0
                               ? VipsPrimaries::Bt2020
                           : nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1 ? VipsPrimaries::DisplayP3
                                                                                          : VipsPrimaries::Bt709;
        if (transfer == heif_transfer_characteristic_ITU_R_BT_2100_0_PQ)
            out.hdr = VipsHdrTransfer::Pq;
        else if (transfer == heif_transfer_characteristic_ITU_R_BT_2100_0_HLG)
            out.hdr = VipsHdrTransfer::Hlg;
    }
    if (nclx)
        heif_nclx_color_profile_free(nclx);
    if (handle)
        heif_image_handle_release(handle);
    heif_context_free(context);
}

bool start()
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
        started = true;
    });
    return started;
}

bool recognises(const QByteArray& bytes)
{
    if (bytes.isEmpty() || !start())
        return false;
    const char* loader = vips_foreign_find_load_buffer(bytes.constData(), size_t(bytes.size()));
    vips_error_clear();
    return loader && allowedLoader(loader);
}

VipsPixels decode(const QByteArray& bytes, QSize fitInto, double minScale, std::int64_t maxDecodedBytes)
{
    VipsPixels out;
    if (bytes.isEmpty() || !start())
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
        out.orientation = orientationOf(image);
        const QSize raw(image.width(), image.height());
        out.fullSize = out.orientation >= 5 ? raw.transposed() : raw;
        const double scale = neededScale(out.fullSize, fitInto, minScale);
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
        out.fullResolution = scale >= 1.0;
        if (image.get_typeof(VIPS_META_ICC_NAME) != 0) {
            size_t length = 0;
            const void* data = image.get_blob(VIPS_META_ICC_NAME, &length);
            out.icc = QByteArray(static_cast<const char*>(data), qsizetype(length));
        }
        if (heif && image.format() == VIPS_FORMAT_USHORT)
            readHdr(bytes, out);
        out.madeSrgb = toRgb(image);
        out.bits = image.format() == VIPS_FORMAT_USHORT ? 16 : 8;
        size_t size = 0;
        out.data = std::shared_ptr<void>(image.write_to_memory(&size), g_free);
        out.width = image.width();
        out.height = image.height();
        out.bands = image.bands();
        out.stride = std::int64_t(out.width) * out.bands * (out.bits / 8);
        if (!out.data || size < size_t(out.stride) * size_t(out.height))
            return VipsPixels();
        out.ok = true;
    } catch (const vips::VError&) {
        vips_error_clear();
        return VipsPixels();
    } catch (const std::bad_alloc&) {
        return VipsPixels();
    }
    return out;
}

QImage thumbnail(const QByteArray& path, int side)
{
    if (!start())
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
        vips_error_clear();
        return QImage();
    } catch (const std::bad_alloc&) {
        return QImage();
    }
}

const VipsModule kModule{kVipsModuleVersion, start, recognises, decode, thumbnail};

} // namespace

} // namespace marquelo

extern "C" __attribute__((visibility("default"))) const marquelo::VipsModule* marquelo_vips_module()
{
    return &marquelo::kModule;
}
