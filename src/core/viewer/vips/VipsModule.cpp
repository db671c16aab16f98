#include "core/viewer/vips/VipsModule.h"

#include "core/viewer/DecodeReasons.h"
#include "core/viewer/vips/Av1Picture.h"
#include "core/viewer/vips/HeifGeometry.h"
#include "core/viewer/vips/HevcGrid.h"
#include "core/viewer/vips/TileScaler.h"
#include "media/Orientation.h"
#include "media/vips/HeifHdr.h"

#include <libheif/heif.h>
#include <vips/vips8>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

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

VipsPixels refused(QString reason)
{
    VipsPixels out;
    out.error = std::move(reason);
    return out;
}

// libvips' message names its loader first ("VipsForeignLoadPngBuffer: ..."); several lines may follow.
QString vipsReason(const char* message)
{
    QString text = QString::fromUtf8(message).trimmed();
    text = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    const qsizetype colon = text.indexOf(QLatin1String(": "));
    if (colon > 0 && text.left(colon).startsWith(QLatin1String("Vips")))
        text = text.mid(colon + 2);
    const QString lower = text.toLower();
    if (lower.contains(QLatin1String("premature end")) || lower.contains(QLatin1String("truncated")) ||
        lower.contains(QLatin1String("unexpected end")) || lower.contains(QLatin1String("end of file")))
        return reasons::endsEarly();
    return reasons::damaged(text);
}

struct HeifContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HeifHandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};

struct HeifImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct NclxDeleter {
    void operator()(heif_color_profile_nclx* n) const { heif_nclx_color_profile_free(n); }
};

// The conversion libheif would make of `image`'s samples: by its nclx description, BT.601 in full
// range when it has none.
std::optional<YcbcrToRgb> conversionOf(heif_color_profile_nclx* rawNclx)
{
    int coefficients = 6;
    bool fullRange = true;
    if (rawNclx) {
        const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(rawNclx);
        coefficients = nclx->matrix_coefficients;
        fullRange = nclx->full_range_flag != 0;
    }
    YcbcrToRgb out;
    if (!ycbcrToRgb(coefficients, fullRange, out))
        return std::nullopt;
    return out;
}

std::optional<YcbcrToRgb> conversionOf(const heif_image* image)
{
    heif_color_profile_nclx* nclx = nullptr;
    return conversionOf(heif_image_get_nclx_color_profile(image, &nclx).code == heif_error_Ok ? nclx : nullptr);
}

// `described`: only when the file describes its samples in an 'nclx' box (without one, libheif may go
// by what the codec's own headers say).
std::optional<YcbcrToRgb> conversionOf(const heif_image_handle* handle, bool described = false)
{
    heif_color_profile_nclx* nclx = nullptr;
    const bool found = heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx;
    if (described && !found)
        return std::nullopt;
    return conversionOf(found ? nclx : nullptr);
}

// One plane of `image` as libvips reads it in place.
vips::VImage planeImage(const heif_image* image, heif_channel channel)
{
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image, channel, &stride);
    const int width = heif_image_get_width(image, channel);
    const int height = heif_image_get_height(image, channel);
    if (!plane || width <= 0 || height <= 0 || stride < width)
        throw vips::VError("libheif gave no pixels");
    vips::VImage whole = vips::VImage::new_from_memory(
        const_cast<std::uint8_t*>(plane), size_t(stride) * size_t(height), stride, height, 1, VIPS_FORMAT_UCHAR);
    return stride != width ? whole.extract_area(0, 0, width, height) : whole;
}

// `plane` brought to exactly `size`: scaled by the same factor as the luma plane of `lumaSize` it
// covers, then any rounding remainder cut off or repeated.
vips::VImage scaledPlane(vips::VImage plane, QSize lumaSize, QSize size)
{
    // A subsampled plane covers twice its own width (or height) of luma samples.
    const double coveredWidth = plane.width() < lumaSize.width() ? 2.0 * plane.width() : plane.width();
    const double coveredHeight = plane.height() < lumaSize.height() ? 2.0 * plane.height() : plane.height();
    const double hscale = double(size.width()) / lumaSize.width() * (coveredWidth / plane.width());
    const double vscale = double(size.height()) / lumaSize.height() * (coveredHeight / plane.height());
    if (hscale != 1.0 || vscale != 1.0)
        plane = plane.resize(hscale, vips::VImage::option()->set("vscale", vscale));
    if (plane.width() != size.width() || plane.height() != size.height())
        plane = plane.embed(0, 0, size.width(), size.height(), vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return plane;
}

// The decoded planes of an 8-bit picture without alpha, scaled to `size` and made interleaved 8-bit RGB
// in one libvips pipeline, which runs on every core; nullopt for a layout this does not know.
std::optional<vips::VImage> rgbFromPlanes(const heif_image* image, QSize size)
{
    const heif_colorspace space = heif_image_get_colorspace(image);
    const heif_chroma chroma = heif_image_get_chroma_format(image);
    const QSize lumaSize(heif_image_get_width(image, space == heif_colorspace_RGB ? heif_channel_R : heif_channel_Y),
                         heif_image_get_height(image, space == heif_colorspace_RGB ? heif_channel_R : heif_channel_Y));
    if (lumaSize.isEmpty())
        return std::nullopt;
    auto eightBit = [&](heif_channel channel) { return heif_image_get_bits_per_pixel_range(image, channel) == 8; };
    if (space == heif_colorspace_monochrome && chroma == heif_chroma_monochrome && eightBit(heif_channel_Y)) {
        const std::optional<YcbcrToRgb> grey = conversionOf(image);
        if (!grey)
            return std::nullopt;
        const vips::VImage y = scaledPlane(planeImage(image, heif_channel_Y), lumaSize, size);
        // The grey of limited range stretched as the luma of a colour picture is.
        const double* m = grey->matrix;
        const vips::VImage level = y.linear(m[0], grey->offset[0] + (m[1] + m[2]) * 128.0).cast(VIPS_FORMAT_UCHAR);
        return vips::VImage::bandjoin(std::vector<vips::VImage>{level, level, level})
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    }
    if (space == heif_colorspace_RGB && chroma == heif_chroma_444 && eightBit(heif_channel_R) &&
        eightBit(heif_channel_G) && eightBit(heif_channel_B)) {
        return vips::VImage::bandjoin(
                   std::vector<vips::VImage>{scaledPlane(planeImage(image, heif_channel_R), lumaSize, size),
                                             scaledPlane(planeImage(image, heif_channel_G), lumaSize, size),
                                             scaledPlane(planeImage(image, heif_channel_B), lumaSize, size)})
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    }
    if (space != heif_colorspace_YCbCr ||
        (chroma != heif_chroma_420 && chroma != heif_chroma_422 && chroma != heif_chroma_444) ||
        !eightBit(heif_channel_Y) || !eightBit(heif_channel_Cb) || !eightBit(heif_channel_Cr))
        return std::nullopt;
    const std::optional<YcbcrToRgb> conversion = conversionOf(image);
    if (!conversion)
        return std::nullopt;
    const vips::VImage ycc = vips::VImage::bandjoin(
        std::vector<vips::VImage>{scaledPlane(planeImage(image, heif_channel_Y), lumaSize, size),
                                  scaledPlane(planeImage(image, heif_channel_Cb), lumaSize, size),
                                  scaledPlane(planeImage(image, heif_channel_Cr), lumaSize, size)});
    const vips::VImage matrix = vips::VImage::new_from_memory(const_cast<double*>(conversion->matrix),
                                                              sizeof conversion->matrix, 3, 3, 1, VIPS_FORMAT_DOUBLE);
    return ycc.recomb(matrix)
        .linear({1.0, 1.0, 1.0}, {conversion->offset[0], conversion->offset[1], conversion->offset[2]})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// The picture's profile, when it carries one.
QByteArray iccOf(const heif_image_handle* handle)
{
    const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(handle);
    if (profile != heif_color_profile_type_prof && profile != heif_color_profile_type_rICC)
        return {};
    QByteArray icc(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), '\0');
    if (icc.isEmpty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
        return {};
    return icc;
}

// The scaler sums a picture of `width` x `height` in floats, three of them a pixel: more than the decoded
// picture's bound allows is left to libheif (a zoom into a huge picture, never a screen's fit).
bool scalerFits(int width, int height, std::int64_t maxDecodedBytes)
{
    return std::int64_t(width) * height * 3 * std::int64_t(sizeof(float)) <= maxDecodedBytes;
}

// Whether boxes read here give the picture the size libheif read from them.
bool sameSize(const heif_image_handle* handle, int width, int height)
{
    return heif_image_handle_get_ispe_width(handle) == width && heif_image_handle_get_ispe_height(handle) == height;
}

VipsPixels refusedDecode(const heif_error& error)
{
    // A damaged file is refused rather than shown half grey, as on the general path.
    return refused(error.code == heif_error_Memory_allocation_error
                       ? reasons::noMemory()
                       : reasons::damaged(QString::fromUtf8(error.message)));
}

// An 8-bit HEIF or AVIF without libvips' loader (through it the same photo took half as long again).
// Shown smaller than they are, a phone's grid of HEVC tiles and an AVIF's one AV1 picture are decoded
// here (HevcGrid, Av1Picture). The rest goes through libheif, handed as many threads for the tiles of
// a grid as there are cores; without alpha it hands over the planes as the codec made them, because
// its own conversion to RGB runs on one thread over every sample, while here the planes are first
// scaled and only the pixels kept are converted, on every core. nullopt when the file is for the
// general path: deeper samples (HDR), or anything libheif reads differently. A refusal is an empty
// VipsPixels.
std::optional<VipsPixels> decodeHeifDirectly(const QByteArray& bytes, QSize fitInto, double minScale,
                                             std::int64_t maxDecodedBytes, PictureThreads threads)
{
    std::unique_ptr<heif_context, HeifContextDeleter> context(heif_context_alloc());
    if (!context)
        return std::nullopt;
    heif_context_set_max_decoding_threads(context.get(), int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)));
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_read_from_memory_without_copy(context.get(), bytes.constData(), size_t(bytes.size()), nullptr)
                .code != heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return std::nullopt;
    const std::unique_ptr<heif_image_handle, HeifHandleDeleter> handle(rawHandle);
    if (heif_image_handle_get_luma_bits_per_pixel(handle.get()) != 8)
        return std::nullopt;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const int bands = alpha ? 4 : 3;
    // The refusal comes before a single tile is decoded.
    if (tooLarge(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get()), bands,
                 maxDecodedBytes)) {
        return refused(reasons::largerThan(maxDecodedBytes));
    }
    // A turn alone is left to the viewer, which makes it on the smaller copy; a mirror or crop libheif
    // applies as it decodes.
    const std::optional<int> turns =
        heifPrimaryQuarterTurns(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size()));
    const std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(
        heif_decoding_options_alloc(), heif_decoding_options_free);
    if (!options)
        return std::nullopt;
    options->ignore_transformations = turns.has_value();

    VipsPixels out;
    // EXIF's numbers for the turns still to make: 90 degrees counter-clockwise is 8, 270 is 6.
    static constexpr int kOrientationOfTurns[] = {1, 8, 3, 6};
    out.orientation = turns ? kOrientationOfTurns[*turns] : 1;
    const bool swapsSides = media::Orientation::fromExif(out.orientation).swapsSides();
    out.icc = iccOf(handle.get());

    // A phone's grid of HEVC tiles, shown smaller than it is. A turn alone is the only change of
    // geometry it may ask for.
    if (!alpha && turns) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        std::optional<HeifGrid> grid = heifPrimaryHevcGrid(data, size_t(bytes.size()));
        // The size libheif checked against the bound, and tiles each within it too.
        if (grid && (!sameSize(handle.get(), grid->width, grid->height) ||
                     tooLarge(grid->tileWidth, grid->tileHeight, 4, maxDecodedBytes)))
            grid.reset();
        const std::optional<HevcLayout> layout = grid ? hevcGridLayout(*grid) : std::nullopt;
        const std::optional<YcbcrToRgb> conversion = layout ? conversionOf(handle.get()) : std::nullopt;
        if (conversion) {
            out.fullSize = swapsSides ? QSize(grid->height, grid->width) : QSize(grid->width, grid->height);
            const double scale = neededScale(out.fullSize, fitInto, minScale);
            const int width = std::max(1, int(std::lround(grid->width * scale)));
            const int height = std::max(1, int(std::lround(grid->height * scale)));
            if (scale < 1.0 && scalerFits(width, height, maxDecodedBytes)) {
                VipsPixels pixels = decodeHevcGrid(*grid, *layout, width, height, *conversion, threads);
                if (!pixels.ok)
                    return refused(pixels.error);
                pixels.orientation = out.orientation;
                pixels.fullSize = out.fullSize;
                pixels.icc = std::move(out.icc);
                pixels.fullResolution = false;
                return pixels;
            }
        }
    }

    // An AVIF's one AV1 picture, shown smaller than it is.
    if (!alpha && turns) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        std::optional<HeifCodedPicture> av1 = heifPrimaryAv1(data, size_t(bytes.size()));
        if (av1 && !sameSize(handle.get(), av1->width, av1->height))
            av1.reset();
        const std::optional<YcbcrToRgb> conversion = av1 ? conversionOf(handle.get(), true) : std::nullopt;
        if (conversion) {
            out.fullSize = swapsSides ? QSize(av1->height, av1->width) : QSize(av1->width, av1->height);
            const double scale = neededScale(out.fullSize, fitInto, minScale);
            const int width = std::max(1, int(std::lround(av1->width * scale)));
            const int height = std::max(1, int(std::lround(av1->height * scale)));
            if (scale < 1.0 && scalerFits(width, height, maxDecodedBytes)) {
                if (std::optional<VipsPixels> pixels = decodeAv1Picture(*av1, width, height, *conversion, threads)) {
                    if (!pixels->ok)
                        return refused(pixels->error);
                    pixels->orientation = out.orientation;
                    pixels->fullSize = out.fullSize;
                    pixels->icc = std::move(out.icc);
                    pixels->fullResolution = false;
                    return pixels;
                }
            }
        }
    }

    if (!alpha) {
        heif_image* rawPlanes = nullptr;
        const heif_error planesError = heif_decode_image(handle.get(), &rawPlanes, heif_colorspace_undefined,
                                                         heif_chroma_undefined, options.get());
        if (planesError.code != heif_error_Ok)
            return refusedDecode(planesError);
        const std::unique_ptr<heif_image, HeifImageDeleter> planes(rawPlanes);
        const int width = heif_image_get_primary_width(planes.get());
        const int height = heif_image_get_primary_height(planes.get());
        if (width <= 0 || height <= 0)
            return refused(reasons::damaged(QStringLiteral("libheif gave no pixels")));
        out.fullSize = swapsSides ? QSize(height, width) : QSize(width, height);
        const double scale = neededScale(out.fullSize, fitInto, minScale);
        const QSize size(std::max(1, int(std::lround(width * scale))), std::max(1, int(std::lround(height * scale))));
        if (const std::optional<vips::VImage> rgb = rgbFromPlanes(planes.get(), size)) {
            size_t bytesWritten = 0;
            out.data = std::shared_ptr<void>(rgb->write_to_memory(&bytesWritten), g_free);
            out.width = size.width();
            out.height = size.height();
            out.bands = 3;
            out.bits = 8;
            out.stride = std::int64_t(out.width) * 3;
            out.fullResolution = scale >= 1.0;
            out.ok = out.data && bytesWritten >= size_t(out.stride) * size_t(out.height);
            return out.ok ? out : refused(reasons::noMemory());
        }
        // A layout or matrix libheif knows better (rare): its own conversion, from the start.
    }

    heif_image* decoded = nullptr;
    const heif_error decodeError =
        heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    if (decodeError.code != heif_error_Ok)
        return refusedDecode(decodeError);
    const std::shared_ptr<heif_image> image(decoded, heif_image_release);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || width <= 0 || height <= 0 || stride < width * bands || stride % bands != 0)
        return refused(reasons::damaged(QStringLiteral("libheif gave no pixels")));
    out.fullSize = swapsSides ? QSize(height, width) : QSize(width, height);
    const double scale = neededScale(out.fullSize, fitInto, minScale);
    out.fullResolution = scale >= 1.0;
    out.bands = bands;
    out.bits = 8;
    if (scale >= 1.0) {
        // The decoded plane is handed over as it is, padding and all.
        out.data = std::shared_ptr<void>(image, const_cast<std::uint8_t*>(plane));
        out.width = width;
        out.height = height;
        out.stride = stride;
        out.ok = true;
        return out;
    }
    // libvips reads the plane in place: a row's padding is a few more columns, cut off again.
    vips::VImage whole =
        vips::VImage::new_from_memory(const_cast<std::uint8_t*>(plane), size_t(stride) * size_t(height), stride / bands,
                                      height, bands, VIPS_FORMAT_UCHAR);
    whole = whole.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    if (stride / bands != width)
        whole = whole.extract_area(0, 0, width, height);
    const vips::VImage small = whole.resize(scale);
    size_t size = 0;
    out.data = std::shared_ptr<void>(small.write_to_memory(&size), g_free);
    out.width = small.width();
    out.height = small.height();
    out.stride = std::int64_t(out.width) * bands;
    out.ok = out.data && size >= size_t(out.stride) * size_t(out.height);
    return out.ok ? out : refused(reasons::noMemory());
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

VipsPixels decode(const QByteArray& bytes, QSize fitInto, double minScale, std::int64_t maxDecodedBytes,
                  PictureThreads threads)
{
    VipsPixels out;
    if (bytes.isEmpty())
        return refused(QStringLiteral("the file is empty"));
    if (!start())
        return refused(QStringLiteral("the decoders of formats other than JPEG cannot start"));
    const char* loader = vips_foreign_find_load_buffer(bytes.constData(), size_t(bytes.size()));
    if (!loader || !allowedLoader(loader)) {
        vips_error_clear();
        return refused(reasons::notAPicture());
    }
    const bool webp = std::string_view(loader) == "VipsForeignLoadWebpBuffer";
    const bool heif = std::string_view(loader) == "VipsForeignLoadHeifBuffer";
    try {
        if (heif) {
            if (std::optional<VipsPixels> direct =
                    decodeHeifDirectly(bytes, fitInto, minScale, maxDecodedBytes, threads))
                return *direct;
        }
        // A damaged file is refused rather than shown half grey.
        auto options = [] { return vips::VImage::option()->set("fail_on", VIPS_FAIL_ON_ERROR); };
        vips::VImage image = vips::VImage::new_from_buffer(bytes.constData(), size_t(bytes.size()), "", options());
        if (tooLarge(image.width(), image.height(),
                     std::int64_t(image.bands()) * std::int64_t(vips_format_sizeof(image.format())), maxDecodedBytes))
            return refused(reasons::largerThan(maxDecodedBytes));
        // libvips composes every frame of an animation on a whole canvas, however small the frame itself:
        // a few kilobytes of 1x1 frames on a huge canvas cost minutes, so the bound covers them all.
        const bool animation = webp || std::string_view(loader).find("Gif") != std::string_view::npos;
        if (animation && image.get_typeof(VIPS_META_N_PAGES) != 0 && image.get_int(VIPS_META_N_PAGES) > 1 &&
            tooLarge(image.width(), std::int64_t(image.height()) * image.get_int(VIPS_META_N_PAGES),
                     std::int64_t(image.bands()), maxDecodedBytes))
            return refused(reasons::needsTooMuchMemory(maxDecodedBytes));
        out.orientation = orientationOf(image);
        const QSize raw(image.width(), image.height());
        out.fullSize = media::Orientation::fromExif(out.orientation).swapsSides() ? raw.transposed() : raw;
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
        // libvips hands HDR samples over as they are stored; the viewer converts them by their description.
        if (heif && image.format() == VIPS_FORMAT_USHORT)
            out.hdr = media::heifHdrDescription(bytes.constData(), std::size_t(bytes.size()));
        out.madeSrgb = toRgb(image);
        out.bits = image.format() == VIPS_FORMAT_USHORT ? 16 : 8;
        size_t size = 0;
        out.data = std::shared_ptr<void>(image.write_to_memory(&size), g_free);
        out.width = image.width();
        out.height = image.height();
        out.bands = image.bands();
        out.stride = std::int64_t(out.width) * out.bands * (out.bits / 8);
        if (!out.data || size < size_t(out.stride) * size_t(out.height)) {
            const QString reason = vipsReason(vips_error_buffer());
            vips_error_clear();
            return refused(reason);
        }
        out.ok = true;
    } catch (const vips::VError& e) {
        vips_error_clear();
        return refused(vipsReason(e.what()));
    } catch (const std::bad_alloc&) {
        return refused(reasons::noMemory());
    }
    return out;
}

const VipsModule kModule{kVipsModuleVersion, start, recognises, decode};

} // namespace

} // namespace marquelo

extern "C" __attribute__((visibility("default"))) const marquelo::VipsModule* marquelo_vips_module()
{
    return &marquelo::kModule;
}
