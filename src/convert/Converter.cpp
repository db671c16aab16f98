#include "convert/Converter.h"

#include "convert/InputFile.h"
#include "convert/InputFormat.h"
#include "convert/JpegFile.h"
#include "convert/JpegRegion.h"
#include "convert/Orientation.h"
#include "convert/WebpFile.h"
#include "media/AtomicFile.h"
#include "media/Exiv2Library.h"
#include "media/HdrColour.h"
#include "media/TurnRules.h"
#include "media/vips/HeifHdr.h"

#include <vips/vips8>

#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace marquelo::convert {

namespace {

// A copy replaces what had its name only as a whole, and keeps the permissions the user gave the old one.
constexpr media::AtomicWriteOptions kOutputWrite{.keepPermissions = true};

// Bytes held in an anonymous in-memory file that every decoder can open by name (/proc/self/fd/N): the
// copy of the input that nobody else can cut short, and the preview of a RAW file, which so goes through
// the same loaders, limits and cut as any photo.
class MemoryInput {
public:
    explicit MemoryInput(ByteView bytes)
    {
#ifdef __linux__
        m_fd = ::memfd_create("marquelo-preview", MFD_CLOEXEC);
        std::size_t written = 0;
        while (m_fd >= 0 && written < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + written, bytes.size() - written);
            if (n <= 0)
                break;
            written += std::size_t(n);
        }
        if (m_fd >= 0 && written == bytes.size())
            m_path = "/proc/self/fd/" + std::to_string(m_fd);
#else
        (void)bytes;
#endif
    }
    ~MemoryInput()
    {
#ifdef __linux__
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }
    MemoryInput(const MemoryInput&) = delete;
    MemoryInput& operator=(const MemoryInput&) = delete;
    // Empty when the bytes could not be held.
    const std::string& path() const
    {
        return m_path;
    }

private:
    std::string m_path;
    int m_fd = -1;
};

void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

} // namespace

void startImageLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("marquelo-convert") != 0)
            return;
        g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, quiet, nullptr);
        // Inputs are opened with the loader of their detected format only; this keeps the loaders that
        // were never meant for files from strangers (ImageMagick's among them) shut for any other way in.
        // The loaders of our own list stay open even where libvips counts them as untrusted (JPEG XL).
        vips_block_untrusted_set(TRUE);
        // A loader runs only when the classes it is made from are all open, up to the common base.
        const GType base = g_type_from_name("VipsForeignLoad");
        for (const InputFormat& format : inputFormats()) {
            for (GType type = vips_type_find("VipsOperation", std::string(format.loader).c_str());
                 type != 0 && type != base; type = g_type_parent(type))
                vips_operation_block_set(g_type_name(type), FALSE);
        }
        // A file rewritten in place must be read afresh, never from the operation cache.
        vips_cache_set_max(0);
    });
}

namespace {

std::string quoted(const std::string& path)
{
    return "'" + path + "'";
}

// The first line of libvips' error log, without the trailing newline.
std::string vipsReason(const vips::VError& e)
{
    std::string text = e.what();
    vips_error_clear();
    const std::size_t nl = text.find('\n');
    if (nl != std::string::npos)
        text.resize(nl);
    return text.empty() ? "unknown error" : text;
}

bool hasJpegExtension(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".jfif";
}

// libjpeg's shrink-on-load is a plain block average: shrink in the decoder to at least twice the target,
// then let Lanczos do the last step (the same trade as vipsthumbnail).
int decoderShrink(double ratio)
{
    if (ratio >= 16)
        return 8;
    if (ratio >= 8)
        return 4;
    if (ratio >= 4)
        return 2;
    return 1;
}

// The picture turned by `o`, computed when it is read: the picture must allow reading in any order.
vips::VImage turned(vips::VImage image, const Orientation& o)
{
    if (o.isIdentity())
        return image;
    if (o == Orientation{-1, 0, 0, 1})
        return image.flip(VIPS_DIRECTION_HORIZONTAL);
    if (o == Orientation{1, 0, 0, -1})
        return image.flip(VIPS_DIRECTION_VERTICAL);
    if (o == Orientation{-1, 0, 0, -1})
        return image.rot(VIPS_ANGLE_D180);
    if (o == Orientation{0, -1, 1, 0})
        return image.rot(VIPS_ANGLE_D90);
    if (o == Orientation{0, 1, -1, 0})
        return image.rot(VIPS_ANGLE_D270);
    if (o == Orientation{0, 1, 1, 0}) // transpose: a quarter right, then mirrored
        return image.rot(VIPS_ANGLE_D90).flip(VIPS_DIRECTION_HORIZONTAL);
    return image.rot(VIPS_ANGLE_D90).flip(VIPS_DIRECTION_VERTICAL); // transverse
}

vips::VImage applyOrientation(vips::VImage image, const Orientation& o)
{
    if (o.isIdentity())
        return image;
    // Turning needs the whole picture at hand; at this point it is the (small) result.
    return turned(image.copy_memory(), o);
}

// The picture as 8-bit sRGB (or grey), by its embedded profile unless `byProfile` is false.
vips::VImage toSrgb(vips::VImage image, bool byProfile = true)
{
    if (byProfile && image.get_typeof(VIPS_META_ICC_NAME) != 0) {
        try {
            image = image.icc_transform(
                "srgb", vips::VImage::option()->set("embedded", true)->set("intent", VIPS_INTENT_PERCEPTUAL));
        } catch (const vips::VError&) {
            vips_error_clear(); // a broken profile: fall back to the plain colour-space conversion
        }
    }
    const VipsInterpretation space = image.interpretation();
    if (space != VIPS_INTERPRETATION_sRGB && space != VIPS_INTERPRETATION_B_W)
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    return image;
}

// libvips loads the samples of an HDR HEIF/AVIF (PQ or HLG) as they are stored, with nothing that says what
// they mean: converted as sRGB they come out grey and flat. They get the profile the viewer shows them
// through, so that a copy looks as the photo did in the viewer.
vips::VImage withHdrProfile(vips::VImage image, InputFile& in)
{
    std::string reason;
    const std::span<const unsigned char> bytes = in.bytes(reason);
    const std::vector<unsigned char> icc = media::hdrProfile(media::heifHdrDescription(bytes.data(), bytes.size()));
    in.dropBytes();
    if (icc.empty())
        return image;
    image = image.copy();
    vips_image_set_blob_copy(image.get_image(), VIPS_META_ICC_NAME, icc.data(), icc.size());
    return image;
}

// Whether converting to sRGB by the picture's embedded profile leaves every colour within a level of where
// it was: an sRGB profile under another name, as photo editors embed them. Tried on a grid of colours
// through the same conversion the picture would get.
bool profileKeepsColours(const vips::VImage& image)
{
    if (image.bands() != 3 || image.format() != VIPS_FORMAT_UCHAR || image.get_typeof(VIPS_META_ICC_NAME) == 0)
        return false;
    constexpr int kLevels = 18; // 0, 15, ..., 255 on each channel
    std::vector<unsigned char> colours;
    colours.reserve(kLevels * kLevels * kLevels * 3);
    for (int r = 0; r < kLevels; ++r)
        for (int g = 0; g < kLevels; ++g)
            for (int b = 0; b < kLevels; ++b)
                colours.insert(colours.end(),
                               {(unsigned char)(r * 15), (unsigned char)(g * 15), (unsigned char)(b * 15)});
    try {
        vips::VImage grid = vips::VImage::new_from_memory(colours.data(), colours.size(), kLevels * kLevels * kLevels,
                                                          1, 3, VIPS_FORMAT_UCHAR)
                                .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        std::size_t length = 0;
        const void* profile = image.get_blob(VIPS_META_ICC_NAME, &length);
        vips_image_set_blob_copy(grid.get_image(), VIPS_META_ICC_NAME, profile, length);
        return (toSrgb(grid).cast(VIPS_FORMAT_SHORT) - grid.cast(VIPS_FORMAT_SHORT)).abs().max() <= 1.0;
    } catch (const vips::VError&) {
        vips_error_clear();
        return false;
    }
}

bool fail(std::string& error, std::string text)
{
    error = std::move(text);
    return false;
}

bool tryLossless(const ConvertOptions& o, ByteView data, const Orientation& turns, std::string& error, bool& done)
{
    done = false;
    int width = 0, height = 0;
    if (!jpegSize(data, width, height))
        return true; // the decoder path gives the precise reason
    if ((unsigned long long)width * (unsigned long long)height * 3 > kMaxDecodedBytes)
        return fail(error, "unable to load " + quoted(o.input) + ": picture too large (" + std::to_string(width) + "x" +
                               std::to_string(height) + ")");
    const Orientation total = turns.after(Orientation::fromExif(exifOrientation(data)));
    Bytes out;
    std::string reason;
    if (!losslessTransform(data, total, out, reason))
        return true; // size not a whole number of blocks, or damaged data: re-encode (strictly) instead
    setExifOrientation(out, 1);
    if (!media::writeFileAtomically(o.output, out.data(), out.size(), reason, kOutputWrite))
        return fail(error, "unable to write " + quoted(o.output) + ": " + reason);
    done = true;
    return true;
}

// Loads `path` with the one loader of its detected format.
vips::VImage load(const InputFormat& format, const std::string& path, vips::VOption* options)
{
    vips::VImage out;
    vips::VImage::call(std::string(format.loader).c_str(), options->set("filename", path.c_str())->set("out", &out));
    return out;
}

// How many frames an animation's loader may compose; 1 for a still picture and for the formats whose
// further pages are pictures of their own.
unsigned long long animationFrames(const InputFormat& format, const vips::VImage& header)
{
    if ((format.name != "webp" && format.name != "gif") || header.get_typeof(VIPS_META_N_PAGES) == 0)
        return 1;
    return (unsigned long long)std::max(1, header.get_int(VIPS_META_N_PAGES));
}

// Exactly w x h pixels by Lanczos; rounding inside the resampler may leave a pixel more or less.
vips::VImage resampleExactly(vips::VImage image, int w, int h)
{
    if (image.width() == w && image.height() == h)
        return image;
    image = image.resize(
        double(w) / image.width(),
        vips::VImage::option()->set("vscale", double(h) / image.height())->set("kernel", VIPS_KERNEL_LANCZOS3));
    if (image.width() > w || image.height() > h)
        image = image.extract_area(0, 0, std::min(image.width(), w), std::min(image.height(), h));
    if (image.width() < w || image.height() < h)
        image = image.embed(0, 0, w, h, vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return image;
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The picture with nothing of its file's metadata: a copy for the world must not carry the camera's serial
// number, where it was taken or a thumbnail of the uncropped photo, and not every saver of libvips honours
// "strip" (its WebP saver writes EXIF and XMP regardless). Only a colour profile stays, as the colours
// of the copy are given by it.
vips::VImage withoutMetadata(vips::VImage image)
{
    image = image.copy(); // the fields of a shared picture are not ours to change
    gchar** fields = vips_image_get_fields(image.get_image());
    for (gchar** field = fields; field && *field; ++field) {
        const std::string_view name(*field);
        // The header fields (width, bands, ...) cannot be removed and are not metadata.
        if (name != VIPS_META_ICC_NAME && vips_image_get_typeof(image.get_image(), *field) != 0)
            vips_image_remove(image.get_image(), *field);
    }
    g_strfreev(fields);
    return image;
}

// Encodes a finished picture by the output's extension and writes it through a temporary file.
bool encodeAndWrite(vips::VImage image, const std::string& output, bool strip, int quality, std::string& error,
                    bool lossless = false)
{
    const bool jpegOut = hasJpegExtension(output);
    std::string extension = fs::path(output).extension().string();
    // libvips saves AVIF through its HEIF saver with the AV1 codec; only the file name knows ".avif".
    const bool avifOut = lowerCase(extension) == ".avif";
    auto saveOptions = vips::VImage::option()->set("strip", strip);
    if (jpegOut || avifOut)
        saveOptions->set("Q", quality);
    if (avifOut) {
        extension = ".heif";
        saveOptions->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1);
    }
    // A turn of a lossless picture stays lossless.
    const std::string ext = lowerCase(extension);
    if (lossless && ext == ".webp")
        saveOptions->set("lossless", true);
    else if (lossless && (ext == ".tif" || ext == ".tiff"))
        saveOptions->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE)
            ->set("predictor", VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL);
    if (strip)
        image = withoutMetadata(image);
    void* buffer = nullptr;
    std::size_t length = 0;
    image.write_to_buffer(extension.c_str(), &buffer, &length, saveOptions);
    Bytes data(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + length);
    g_free(buffer);
    if (jpegOut)
        setExifOrientation(data, 1);
    if (strip && ext == ".webp" && !dropWebpMetadata(data))
        return fail(error, "unable to write " + quoted(output) + ": the WebP encoder gave a malformed file");
    std::string reason;
    if (!media::writeFileAtomically(output, data.data(), data.size(), reason, kOutputWrite))
        return fail(error, "unable to write " + quoted(output) + ": " + reason);
    return true;
}

// An output the tool can write: it has an extension that names a format libvips saves.
bool checkOutputType(const std::string& output, std::string& error)
{
    const std::string extension = fs::path(output).extension().string();
    if (extension.empty())
        return fail(error, "unable to write " + quoted(output) + ": no file type (extension) given");
    const std::string saver = lowerCase(extension) == ".avif" ? std::string(".heif") : extension;
    if (!vips_foreign_find_save_buffer(saver.c_str())) {
        vips_error_clear();
        return fail(error, "unable to write " + quoted(output) + ": unknown file type '" + extension + "'");
    }
    return true;
}

// One size of a cut, in the stored (not yet turned) pixels.
struct SizedOutput {
    std::string path;
    int rawWidth = 0;
    int rawHeight = 0;
};

// The decoder rounds a scaled cut outwards, so a size asked for at exactly that scale comes out a few
// pixels larger. Those are trimmed off, evenly from both edges: resampling by a fraction of a percent
// would only blur the copy.
constexpr int kTrimmedPixels = 4;

bool trimmable(const vips::VImage& image, int w, int h)
{
    const int extraW = image.width() - w, extraH = image.height() - h;
    return extraW >= 0 && extraH >= 0 && extraW <= kTrimmedPixels && extraH <= kTrimmedPixels;
}

// The w x h pixels of a picture a few pixels larger that lie closest to where `placement` puts the cut,
// as a view of it. A trim by a pixel from the wrong edge would shift the copy by a pixel against one
// resampled from the full size.
vips::VImage trimmed(vips::VImage image, int w, int h, const CutPlacement& placement)
{
    if (image.width() == w && image.height() == h)
        return image;
    const int left = int(std::lround(placement.left + (placement.width - w) / 2));
    const int top = int(std::lround(placement.top + (placement.height - h) / 2));
    return image.extract_area(std::clamp(left, 0, image.width() - w), std::clamp(top, 0, image.height() - h), w, h);
}

// Exactly `h` rows by Lanczos, as resampleExactly does it.
vips::VImage reduceRows(vips::VImage image, int h)
{
    if (image.height() == h)
        return image;
    image = image.reducev(double(image.height()) / h, vips::VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3));
    if (image.height() > h)
        image = image.extract_area(0, 0, image.width(), h);
    if (image.height() < h)
        image = image.embed(0, 0, image.width(), h, vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return image;
}

// A picture in memory and the turn that makes it upright.
struct Turnable {
    vips::VImage image;
    Orientation toUpright;
};

// `from` made smaller to w x h (in its own orientation) by Lanczos, held in memory. libvips runs its
// vertical Lanczos pass as vector code and its horizontal one as plain C, several times slower; so the
// columns are reduced as rows of the picture turned a quarter, which costs far less than the difference.
// The result stays turned: a photo that needs a quarter turn anyway is then upright, and the next smaller
// size is made from it as it is.
Turnable reducedByRows(const Turnable& from, int w, int h)
{
    if (w > from.image.width() || h > from.image.height()) // not a reduction: as a run of its own makes it
        return {resampleExactly(from.image, w, h).copy_memory(), from.toUpright};
    const Orientation& o = from.toUpright;
    const Orientation quarter =
        o.swapsSides() && o.b == 1 ? orientationOf(Turn::RotateLeft) : orientationOf(Turn::RotateRight);
    const vips::VImage image = reduceRows(turned(reduceRows(from.image, h), quarter), w).copy_memory();
    return {image, o.after(quarter.inverse())};
}

// Writes every size from one decoded cut: converted to sRGB once, held in memory, then each size made
// from the next larger one (already close to it, so each step is cheap) and turned upright.
bool writeSeveralSizes(vips::VImage cut, const CutPlacement& placement, std::vector<SizedOutput> outputs,
                       const Orientation& orientation, int quality, std::string& error)
{
    // Converting the decoded cut by its profile costs more than decoding it; an sRGB profile is left out.
    cut = toSrgb(cut, !profileKeepsColours(cut));
    if (cut.has_alpha())
        cut = cut.flatten(vips::VImage::option()->set("background", std::vector<double>{255.0}));
    const Turnable whole{cut.copy_memory(), orientation};
    std::stable_sort(outputs.begin(), outputs.end(), [](const SizedOutput& a, const SizedOutput& b) {
        return (long long)a.rawWidth * a.rawHeight > (long long)b.rawWidth * b.rawHeight;
    });
    Turnable source = whole; // what the next size is made from
    for (const SizedOutput& out : outputs) {
        // The size in the source's own orientation, which may be a quarter turn from the stored one.
        const bool across = source.toUpright.swapsSides() != orientation.swapsSides();
        int w = across ? out.rawHeight : out.rawWidth, h = across ? out.rawWidth : out.rawHeight;
        // A step down from a copy already smaller than the cut; never up from it.
        if (w > source.image.width() || h > source.image.height()) {
            source = whole;
            w = out.rawWidth;
            h = out.rawHeight;
        }
        if (trimmable(source.image, w, h)) {
            const bool decoded = source.image.get_image() == whole.image.get_image();
            const CutPlacement centred{0, 0, double(source.image.width()), double(source.image.height())};
            source.image = trimmed(source.image, w, h, decoded ? placement : centred);
        } else
            source = reducedByRows(source, w, h);
        vips::VImage image = turned(source.image, source.toUpright).copy();
        image.set(VIPS_META_ORIENTATION, 1);
        if (!encodeAndWrite(image, out.path, true, quality, error))
            return false;
    }
    return true;
}

} // namespace

namespace {

// The main output and every /also one as sizes of the stored pixels, each checked like the main one.
bool planSeveralSizes(const ConvertOptions& o, int cutW, int cutH, bool swapsSides, int bands,
                      std::vector<SizedOutput>& sizes, std::string& error)
{
    auto add = [&](const std::string& path, std::optional<ResampleSize> request) {
        int w = cutW, h = cutH;
        if (request)
            resampledSize(cutW, cutH, *request, o.keepAspect, w, h);
        if ((unsigned long long)w * (unsigned long long)h * (unsigned long long)bands > kMaxDecodedBytes)
            return fail(error, "unable to resample " + quoted(o.input) + ": the result would be too large (" +
                                   std::to_string(w) + "x" + std::to_string(h) + ")");
        if (!checkOutputType(path, error))
            return false;
        sizes.push_back({path, swapsSides ? h : w, swapsSides ? w : h});
        return true;
    };
    if (!add(o.output, o.resample))
        return false;
    for (const ExtraOutput& extra : o.also)
        if (!add(extra.output, extra.size))
            return false;
    return true;
}

// The decoder's scale, in eighths, when one decode feeds several sizes: the smallest that still leaves the
// cut at least as large as the largest size, so no copy is ever made from fewer pixels than it shows. A
// size asked for at exactly such a scale (as a Modern page asks for its large copy) then needs no
// resampling at all. libjpeg-turbo has fast inverse DCTs for a half, a quarter and an eighth, and three
// eighths cost about as much as a half; five to seven eighths cost more than the full size, so between a
// half and the full size it decodes at full size.
int decoderEighthsForSizes(int rawCutW, int rawCutH, const std::vector<SizedOutput>& sizes)
{
    int needW = 1, needH = 1;
    for (const SizedOutput& s : sizes) {
        needW = std::max(needW, s.rawWidth);
        needH = std::max(needH, s.rawHeight);
    }
    for (const int eighths : {1, 2, 3, 4})
        if ((long long)rawCutW * eighths / 8 >= needW && (long long)rawCutH * eighths / 8 >= needH)
            return eighths;
    return 8;
}

// The same for libvips' loader, which shrinks by 2, 4 or 8 only.
int decoderShrinkForEighths(int eighths)
{
    return eighths == 1 ? 8 : eighths <= 2 ? 4 : eighths <= 4 ? 2 : 1;
}

} // namespace

void resampledSize(int width, int height, const ResampleSize& r, bool keepAspect, int& outWidth, int& outHeight)
{
    const double aspect = double(width) / double(height);
    // A sliver resampled to a large width asks for an enormous height; keep it an int, the caller refuses it.
    const auto side = [](double v) { return int(std::clamp(std::round(v), 1.0, double(INT_MAX))); };
    if (r.width == 0) {
        outHeight = r.height;
        outWidth = side(r.height * aspect);
        return;
    }
    if (r.height == 0) {
        outWidth = r.width;
        outHeight = side(r.width / aspect);
        return;
    }
    outWidth = r.width;
    outHeight = r.height;
    if (!keepAspect)
        return;
    const double scale = std::min(double(r.width) / width, double(r.height) / height);
    const int fitW = std::max(1, int(std::lround(width * scale)));
    const int fitH = std::max(1, int(std::lround(height * scale)));
    if (std::abs(fitW - r.width) > 1)
        outWidth = fitW;
    if (std::abs(fitH - r.height) > 1)
        outHeight = fitH;
}

namespace {

// The input as the decoders see it: a copy of the user's file in memory (or of the preview a camera
// RAW file embeds), its format, and for a JPEG all of its bytes.
struct OpenedInput {
    InputFile file;
    std::unique_ptr<MemoryInput> snapshot;
    InputFile snapshotInput;
    std::unique_ptr<MemoryInput> preview;
    InputFile previewInput;
    InputFile* in = nullptr; // snapshotInput, or previewInput for a RAW file
    int rawOrientation = 0;
    const InputFormat* format = nullptr;
    ByteView jpeg;

    bool isJpeg() const { return format->name == "jpeg"; }
    const std::string& source() const { return in->path(); }
};

bool isRawInput(const ConvertOptions& o)
{
    return media::detail::rawExtension(media::detail::lowerExtension(o.input));
}

// A camera RAW file is read through the largest preview the camera embedded in it, which then goes
// through the same format check, limits and cut as any photo. Only the preview and the directories
// leading to it are read (the rest is sensor data, tens of megabytes on a slow card), through the one
// handle, and refused when the file changes meanwhile.
bool openRawPreview(const ConvertOptions& o, OpenedInput& opened, std::string& error)
{
    media::RawPreview raw = media::largestRawPreview(opened.file.fd(), opened.file.size());
    if (raw.bytes.empty() && !raw.error.empty())
        return fail(error, "unable to load " + quoted(o.input) + ": a camera RAW file without an embedded preview (" +
                               raw.error + ")");
    if (raw.bytes.empty())
        return fail(error, "unable to load " + quoted(o.input) + ": a camera RAW file without an embedded preview");
    opened.preview = std::make_unique<MemoryInput>(raw.bytes);
    std::string reason;
    if (opened.preview->path().empty() || !opened.previewInput.open(opened.preview->path(), reason))
        return fail(error, "unable to load " + quoted(o.input) + ": no memory for its preview");
    opened.in = &opened.previewInput;
    opened.rawOrientation = raw.orientation;
    return true;
}

// The format by the first bytes alone, whatever the file is called; a JPEG's scans are counted here.
bool readFormat(const ConvertOptions& o, OpenedInput& opened, std::string& error)
{
    opened.format = detectInputFormat(opened.in->head(kFormatHeadBytes));
    if (!opened.format)
        return fail(error, "unable to load " + quoted(o.input) + ": not a picture this tool can read");
    if (!opened.isJpeg())
        return true;
    std::string reason;
    opened.jpeg = opened.in->bytes(reason);
    if (opened.jpeg.empty())
        return fail(error, "unable to read " + quoted(o.input) + ": " + reason);
    // libvips' JPEG loader has no scan limit of its own: every path is guarded here, before any decoding.
    if (countJpegScans(opened.jpeg, kMaxJpegScans + 1) > kMaxJpegScans)
        return fail(error, "unable to load " + quoted(o.input) + ": more than " + std::to_string(kMaxJpegScans) +
                               " scans in a progressive JPEG");
    return true;
}

bool openInput(const ConvertOptions& o, OpenedInput& opened, std::string& error)
{
    std::error_code ec;
    if (!fs::is_regular_file(o.input, ec))
        return fail(error, "unable to read " + quoted(o.input) + ": " +
                               (fs::exists(o.input, ec) ? "not a regular file" : "no such file"));
    // Every decoder reads the input through this one handle (see InputFile).
    std::string reason;
    if (!opened.file.open(o.input, reason))
        return fail(error, "unable to read " + quoted(o.input) + ": " + reason);
    // Nothing of the file is read before its size is known: a 3 GB file named .jpg is refused here.
    if (opened.file.size() > kMaxInputBytes)
        return fail(error, "unable to load " + quoted(o.input) + ": file too large (" +
                               std::to_string(opened.file.size()) + " bytes)");

    if (isRawInput(o))
        return openRawPreview(o, opened, error) && readFormat(o, opened, error);

    // The decoders never see the file itself, only a copy of it read in one go: another program may cut
    // the file short meanwhile, and libvips maps some inputs (a mapped page past the new end is a bus
    // fault). A file that changes while it is read is refused before anything is written.
    const ByteView whole = opened.file.bytes(reason);
    // An empty file is left to the format check, which names it for what it is not.
    if (whole.empty() && opened.file.size() != 0)
        return fail(error, "unable to read " + quoted(o.input) + ": " + reason);
    opened.snapshot = std::make_unique<MemoryInput>(whole);
    opened.file.dropBytes();
    if (opened.snapshot->path().empty() || !opened.snapshotInput.open(opened.snapshot->path(), reason))
        return fail(error, "unable to load " + quoted(o.input) + ": no memory for a copy of it");
    opened.in = &opened.snapshotInput;
    return readFormat(o, opened, error);
}

// What the command line asks of the picture as a whole.
struct Plan {
    Orientation turns;
    bool derived = false; // a cut, a new size or several sizes: a copy (for a page), not the photo rewritten
    bool jpegOut = false;
    bool losslessTurn = false;
};

bool planConversion(const ConvertOptions& o, OpenedInput& opened, Plan& plan, std::string& error)
{
    for (Turn t : o.turns)
        plan.turns = orientationOf(t).after(plan.turns);
    plan.derived = o.crop || o.resample || !o.also.empty();
    plan.jpegOut = hasJpegExtension(o.output);

    // Turning a photo in place never loses quality silently: what cannot be turned losslessly is refused.
    if (!o.turns.empty() && !plan.derived) {
        const std::vector<unsigned char> head = opened.snapshotInput.head(1 << 16);
        const media::TurnVerdict verdict = media::turnVerdict(o.input, head.data(), head.size());
        if (verdict.kind == media::TurnKind::Refused)
            return fail(error, "unable to turn " + quoted(o.input) + ": " + verdict.reason);
        plan.losslessTurn = verdict.kind == media::TurnKind::Lossless;
    }
    return true;
}

// The picture as stored, from its header alone, and how it stands upright.
struct Stored {
    vips::VImage header;
    long long width = 0, height = 0;
    Orientation upright;
    VipsFailOn failOn = VIPS_FAIL_ON_NONE;
};

// Reads the header and refuses what would take too much memory before any pixel is decoded.
bool readHeader(const ConvertOptions& o, const OpenedInput& opened, const Plan& plan, Stored& stored,
                std::string& error)
{
    // Rewriting a photo must not bake damage into it; a copy for a page may show what could be read.
    stored.failOn = plan.derived ? VIPS_FAIL_ON_NONE : VIPS_FAIL_ON_TRUNCATED;
    stored.header = load(*opened.format, opened.source(),
                         vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", stored.failOn));
    const vips::VImage& header = stored.header;
    const long long rawW = header.width(), rawH = header.height();
    stored.width = rawW;
    stored.height = rawH;
    if ((unsigned long long)rawW * (unsigned long long)rawH * (unsigned long long)header.bands() > kMaxDecodedBytes)
        return fail(error, "unable to load " + quoted(o.input) + ": picture too large (" + std::to_string(rawW) + "x" +
                               std::to_string(rawH) + ")");
    // libvips composes every frame of an animation on a whole canvas, however small the frame itself,
    // so a few kilobytes of 1x1 frames on a huge canvas cost minutes: the bound covers them all.
    const unsigned long long frames = animationFrames(*opened.format, header);
    if (frames > 1 &&
        (unsigned long long)rawW * (unsigned long long)rawH * (unsigned long long)header.bands() * frames >
            kMaxDecodedBytes)
        return fail(error, "unable to load " + quoted(o.input) + ": animation too large (" + std::to_string(rawW) +
                               "x" + std::to_string(rawH) + ", " + std::to_string(frames) + " frames)");
    int exif = header.get_typeof(VIPS_META_ORIENTATION) ? header.get_int(VIPS_META_ORIENTATION) : 1;
    // The preview rarely has an orientation of its own; the camera wrote it into the RAW file.
    if (opened.rawOrientation != 0 && header.get_typeof(VIPS_META_ORIENTATION) == 0)
        exif = opened.rawOrientation;
    stored.upright = Orientation::fromExif(exif);
    return true;
}

// The cut and the sizes asked for, in the stored pixels, and the scale the decoder may read them at.
struct CutPlan {
    EdgeRect rawCut;
    int rawCutW = 0, rawCutH = 0;
    int rawTargetW = 0, rawTargetH = 0;
    std::vector<SizedOutput> sizes; // with /also: every output's size
    int shrink = 1, eighths = 8;
};

// The cut, in the pixels of the upright picture, clamped to it.
bool uprightCut(const ConvertOptions& o, long long uprightW, long long uprightH, EdgeRect& cut, std::string& error)
{
    cut = {0, 0, uprightW, uprightH};
    if (!o.crop)
        return true;
    const CropBox& c = *o.crop;
    cut = {std::max(0LL, c.left), std::max(0LL, c.top), std::min(uprightW, c.left + c.width),
           std::min(uprightH, c.top + c.height)};
    if (cut.x0 >= cut.x1 || cut.y0 >= cut.y1)
        return fail(error, "unable to crop " + quoted(o.input) + ": the rectangle (" + std::to_string(c.left) + "," +
                               std::to_string(c.top) + "," + std::to_string(c.width) + "," + std::to_string(c.height) +
                               ") lies outside the " + std::to_string(uprightW) + "x" + std::to_string(uprightH) +
                               " picture");
    return true;
}

bool planCut(const ConvertOptions& o, const OpenedInput& opened, const Plan& plan, const Stored& stored, CutPlan& p,
             std::string& error)
{
    const Orientation& upright = stored.upright;
    EdgeRect cut;
    if (!uprightCut(o, upright.swapsSides() ? stored.height : stored.width,
                    upright.swapsSides() ? stored.width : stored.height, cut, error))
        return false;
    const int cutW = int(cut.x1 - cut.x0), cutH = int(cut.y1 - cut.y0);
    int targetW = cutW, targetH = cutH;
    if (o.resample)
        resampledSize(cutW, cutH, *o.resample, o.keepAspect, targetW, targetH);
    // The result is held whole in memory before it is written, so it gets the same bound as the input.
    const int bands = stored.header.bands();
    if ((unsigned long long)targetW * (unsigned long long)targetH * (unsigned long long)bands > kMaxDecodedBytes)
        return fail(error, "unable to resample " + quoted(o.input) + ": the result would be too large (" +
                               std::to_string(targetW) + "x" + std::to_string(targetH) + ")");

    // The same work on the stored pixels: cut and resample first, turn the small result last.
    p.rawCut = mapBack(upright, cut, stored.width, stored.height);
    p.rawCutW = int(p.rawCut.x1 - p.rawCut.x0);
    p.rawCutH = int(p.rawCut.y1 - p.rawCut.y0);
    p.rawTargetW = upright.swapsSides() ? targetH : targetW;
    p.rawTargetH = upright.swapsSides() ? targetW : targetH;
    if (!o.also.empty() && !planSeveralSizes(o, cutW, cutH, upright.swapsSides(), bands, p.sizes, error))
        return false;

    if (opened.isJpeg() && plan.derived && p.sizes.empty()) {
        p.shrink = decoderShrink(std::min(double(p.rawCutW) / p.rawTargetW, double(p.rawCutH) / p.rawTargetH));
        p.eighths = 8 / p.shrink;
    } else if (opened.isJpeg() && plan.derived) {
        p.eighths = decoderEighthsForSizes(p.rawCutW, p.rawCutH, p.sizes);
        p.shrink = decoderShrinkForEighths(p.eighths);
    }
    return true;
}

// Decodes the cut, at the planned scale, and says where in the decoded pixels it lies.
bool decodeCut(const ConvertOptions& o, const OpenedInput& opened, const Stored& stored, const CutPlan& p,
               vips::VImage& image, CutPlacement& placement, std::string& error)
{
    // A real cut of a plain JPEG decodes only what the cut needs, straight from the file; so does a
    // JPEG that feeds several sizes, for the scales in eighths that libvips' loader does not offer.
    const bool partial = p.rawCutW < stored.width || p.rawCutH < stored.height;
    const RegionDecode region = opened.isJpeg() && (partial || !p.sizes.empty())
                                    ? decodeJpegRegion(opened.source(), p.eighths, p.rawCut, image, &placement)
                                    : RegionDecode::NotThisWay;
    if (region == RegionDecode::Refused)
        return fail(error, "unable to load " + quoted(o.input) + ": scans that repeat or exceed " +
                               std::to_string(kMaxJpegScans) + " in a progressive JPEG");
    if (region != RegionDecode::NotThisWay)
        return true;
    // An option list is freed only by the call it is handed to, so it is made only when there is one.
    image = stored.header;
    if (p.shrink > 1)
        image = load(*opened.format, opened.source(),
                     vips::VImage::option()
                         ->set("access", VIPS_ACCESS_SEQUENTIAL)
                         ->set("fail_on", stored.failOn)
                         ->set("shrink", p.shrink));

    // Cut in the decoder's (possibly shrunk) coordinates.
    const double fx = double(image.width()) / double(stored.width);
    const double fy = double(image.height()) / double(stored.height);
    const EdgeRect& rawCut = p.rawCut;
    const int x0 = std::clamp(int(std::floor(rawCut.x0 * fx)), 0, image.width() - 1);
    const int y0 = std::clamp(int(std::floor(rawCut.y0 * fy)), 0, image.height() - 1);
    const int x1 = std::clamp(int(std::ceil(rawCut.x1 * fx)), x0 + 1, image.width());
    const int y1 = std::clamp(int(std::ceil(rawCut.y1 * fy)), y0 + 1, image.height());
    if (x0 != 0 || y0 != 0 || x1 != image.width() || y1 != image.height())
        image = image.extract_area(x0, y0, x1 - x0, y1 - y0);
    placement = {rawCut.x0 * fx - x0, rawCut.y0 * fy - y0, double(p.rawCutW) * fx, double(p.rawCutH) * fy};
    return true;
}

// Resamples, turns and writes the decoded cut: the one output, or every size of several.
bool writeOutputs(const ConvertOptions& o, OpenedInput& opened, const Plan& plan, const Stored& stored, CutPlan& p,
                  vips::VImage image, const CutPlacement& placement, std::string& error)
{
    // Only a copy for a page is made sRGB; a photo rewritten as it is keeps its own description.
    if (plan.derived && opened.format->name == "heif" && image.format() == VIPS_FORMAT_USHORT)
        image = withHdrProfile(image, *opened.in);

    const Orientation turned = plan.turns.after(stored.upright);
    if (!p.sizes.empty())
        return writeSeveralSizes(image, placement, std::move(p.sizes), turned, o.jpegQuality, error);

    image = resampleExactly(image, p.rawTargetW, p.rawTargetH);
    if (plan.derived)
        image = toSrgb(image);
    if (plan.jpegOut && image.has_alpha())
        image = image.flatten(vips::VImage::option()->set("background", std::vector<double>{255.0}));
    image = applyOrientation(image, turned);
    image = image.copy();
    image.set(VIPS_META_ORIENTATION, 1);

    if (!checkOutputType(o.output, error))
        return false;
    return encodeAndWrite(image, o.output, plan.derived, o.jpegQuality, error, plan.losslessTurn);
}

} // namespace

// Open, plan, decode, write: each step refuses what it cannot do with its reason, before anything is written.
bool convertImage(const ConvertOptions& o, std::string& error)
{
    startImageLibrary();
    OpenedInput opened;
    if (!openInput(o, opened, error))
        return false;
    Plan plan;
    if (!planConversion(o, opened, plan, error))
        return false;

    if (!plan.derived && plan.jpegOut && opened.isJpeg() && !opened.preview) {
        bool done = false;
        if (!tryLossless(o, opened.jpeg, plan.turns, error, done))
            return false;
        if (done)
            return true;
    }

    try {
        Stored stored;
        CutPlan cut;
        vips::VImage image;
        CutPlacement placement;
        return readHeader(o, opened, plan, stored, error) && planCut(o, opened, plan, stored, cut, error) &&
               decodeCut(o, opened, stored, cut, image, placement, error) &&
               writeOutputs(o, opened, plan, stored, cut, image, placement, error);
    } catch (const vips::VError& e) {
        return fail(error, "unable to convert " + quoted(o.input) + ": " + vipsReason(e));
    }
}

} // namespace marquelo::convert
