#include "convert/Converter.h"

#include "convert/AtomicFile.h"
#include "convert/JpegFile.h"
#include "convert/JpegRegion.h"
#include "convert/Orientation.h"
#include "convert/RawPreview.h"
#include "convert/TurnRules.h"

#include <vips/vips8>

#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

namespace fs = std::filesystem;

namespace marquelo::convert {

namespace {

// Holds the input open for the length of one conversion and names it by that handle where the system
// can (Linux: /proc/self/fd/N reopens the same file even after the path was replaced); elsewhere the
// plain path.
class PinnedInput {
public:
    explicit PinnedInput(const std::string& path) : m_path(path)
    {
#ifdef __linux__
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd >= 0 && ::access("/proc/self/fd", R_OK) == 0)
            m_path = "/proc/self/fd/" + std::to_string(m_fd);
#endif
    }
    ~PinnedInput()
    {
#ifdef __linux__
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }
    PinnedInput(const PinnedInput&) = delete;
    PinnedInput& operator=(const PinnedInput&) = delete;
    const std::string& path() const
    {
        return m_path;
    }

private:
    std::string m_path;
    int m_fd = -1;
};

// Bytes held in an anonymous in-memory file that every decoder can open by name (/proc/self/fd/N),
// so the preview of a RAW file goes through the same loaders, limits and cut as any photo.
class MemoryInput {
public:
    explicit MemoryInput(const std::vector<unsigned char>& bytes)
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

std::vector<unsigned char> fileHead(const std::string& path, std::size_t limit)
{
    std::vector<unsigned char> head(limit);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head.data()), std::streamsize(limit));
    head.resize(in ? limit : std::size_t(std::max<std::streamsize>(0, in.gcount())));
    return head;
}

void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

} // namespace

void startImageLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("marquelo-convert") != 0)
            return;
        g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, quiet, nullptr);
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

vips::VImage applyOrientation(vips::VImage image, const Orientation& o)
{
    if (o.isIdentity())
        return image;
    // Turning needs the whole picture at hand; at this point it is the (small) result.
    image = image.copy_memory();
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

vips::VImage toSrgb(vips::VImage image)
{
    if (image.get_typeof(VIPS_META_ICC_NAME) != 0) {
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

bool fail(std::string& error, std::string text)
{
    error = std::move(text);
    return false;
}

bool tryLossless(const ConvertOptions& o, const Orientation& turns, std::string& error, bool& done)
{
    done = false;
    Bytes data;
    std::string reason;
    if (!readWholeFile(o.input, data, reason))
        return fail(error, "unable to read " + quoted(o.input) + ": " + reason);
    if (!isJpeg(data))
        return true;
    int width = 0, height = 0;
    if (!jpegSize(data, width, height))
        return true; // the decoder path gives the precise reason
    if ((unsigned long long)width * (unsigned long long)height * 3 > kMaxDecodedBytes)
        return fail(error, "unable to load " + quoted(o.input) + ": picture too large (" + std::to_string(width) + "x" +
                               std::to_string(height) + ")");
    const Orientation total = turns.after(Orientation::fromExif(exifOrientation(data)));
    Bytes out;
    if (!losslessTransform(data, total, out, reason))
        return true; // size not a whole number of blocks, or damaged data: re-encode (strictly) instead
    setExifOrientation(out, 1);
    if (!writeFileAtomically(o.output, out, reason))
        return fail(error, "unable to write " + quoted(o.output) + ": " + reason);
    done = true;
    return true;
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

bool convertImage(const ConvertOptions& o, std::string& error)
{
    startImageLibrary();
    std::error_code ec;
    if (!fs::is_regular_file(o.input, ec))
        return fail(error, "unable to read " + quoted(o.input) + ": " +
                               (fs::exists(o.input, ec) ? "not a regular file" : "no such file"));
    // The viewer's turn tools may replace this very photo while a copy for the page is being made. The
    // decoders open the input more than once (header, then pixels), so all of them read it through one
    // handle opened here: every pass sees the same file, never half of the old and half of the new.
    const PinnedInput pinned(o.input);
    std::string source = pinned.path();

    Orientation turns;
    for (Turn t : o.turns)
        turns = Orientation::fromTurn(t).after(turns);
    const bool derived = o.crop || o.resample;
    const bool jpegOut = hasJpegExtension(o.output);

    // Turning a photo in place never loses quality silently: what cannot be turned losslessly is refused.
    bool losslessTurn = false;
    if (!o.turns.empty() && !derived) {
        const std::vector<unsigned char> head = fileHead(source, 1 << 16);
        const TurnVerdict verdict = turnVerdict(o.input, head.data(), head.size());
        if (verdict.kind == TurnKind::Refused)
            return fail(error, "unable to turn " + quoted(o.input) + ": " + verdict.reason);
        losslessTurn = verdict.kind == TurnKind::Lossless;
    }

    // A camera RAW file is read through the largest preview the camera embedded in it.
    std::unique_ptr<MemoryInput> preview;
    int rawOrientation = 0;
    if (detail::rawExtension(detail::lowerExtension(o.input))) {
        RawPreview raw = largestRawPreview(source);
        if (raw.bytes.empty())
            return fail(error, "unable to load " + quoted(o.input) + ": a camera RAW file without an embedded preview");
        preview = std::make_unique<MemoryInput>(raw.bytes);
        if (preview->path().empty())
            return fail(error, "unable to load " + quoted(o.input) + ": no memory for its preview");
        source = preview->path();
        rawOrientation = raw.orientation;
    }

    if (!derived && jpegOut) {
        bool done = false;
        if (!tryLossless(o, turns, error, done))
            return false;
        if (done)
            return true;
    }

    const char* loader = vips_foreign_find_load(source.c_str());
    if (!loader) {
        vips_error_clear();
        return fail(error, "unable to load " + quoted(o.input) + ": not a picture this tool can read");
    }
    const bool jpegIn = std::strstr(loader, "Jpeg") != nullptr;

    try {
        // Rewriting a photo must not bake damage into it; a copy for a page may show what could be read.
        const VipsFailOn failOn = derived ? VIPS_FAIL_ON_NONE : VIPS_FAIL_ON_TRUNCATED;
        vips::VImage header = vips::VImage::new_from_file(
            source.c_str(), vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", failOn));
        const long long rawW = header.width(), rawH = header.height();
        if ((unsigned long long)rawW * (unsigned long long)rawH * (unsigned long long)header.bands() > kMaxDecodedBytes)
            return fail(error, "unable to load " + quoted(o.input) + ": picture too large (" + std::to_string(rawW) +
                                   "x" + std::to_string(rawH) + ")");
        int exif = header.get_typeof(VIPS_META_ORIENTATION) ? header.get_int(VIPS_META_ORIENTATION) : 1;
        // The preview rarely has an orientation of its own; the camera wrote it into the RAW file.
        if (rawOrientation != 0 && header.get_typeof(VIPS_META_ORIENTATION) == 0)
            exif = rawOrientation;
        const Orientation upright = Orientation::fromExif(exif);
        const long long uprightW = upright.swapsSides() ? rawH : rawW;
        const long long uprightH = upright.swapsSides() ? rawW : rawH;

        // The cut, in the pixels of the upright picture, clamped to it.
        EdgeRect cut{0, 0, uprightW, uprightH};
        if (o.crop) {
            const CropBox& c = *o.crop;
            cut = {std::max(0LL, c.left), std::max(0LL, c.top), std::min(uprightW, c.left + c.width),
                   std::min(uprightH, c.top + c.height)};
            if (cut.x0 >= cut.x1 || cut.y0 >= cut.y1)
                return fail(error, "unable to crop " + quoted(o.input) + ": the rectangle (" + std::to_string(c.left) +
                                       "," + std::to_string(c.top) + "," + std::to_string(c.width) + "," +
                                       std::to_string(c.height) + ") lies outside the " + std::to_string(uprightW) +
                                       "x" + std::to_string(uprightH) + " picture");
        }
        const int cutW = int(cut.x1 - cut.x0), cutH = int(cut.y1 - cut.y0);
        int targetW = cutW, targetH = cutH;
        if (o.resample)
            resampledSize(cutW, cutH, *o.resample, o.keepAspect, targetW, targetH);
        // The result is held whole in memory before it is written, so it gets the same bound as the input.
        if ((unsigned long long)targetW * (unsigned long long)targetH * (unsigned long long)header.bands() >
            kMaxDecodedBytes)
            return fail(error, "unable to resample " + quoted(o.input) + ": the result would be too large (" +
                                   std::to_string(targetW) + "x" + std::to_string(targetH) + ")");

        // The same work on the stored pixels: cut and resample first, turn the small result last.
        const EdgeRect rawCut = mapBack(upright, cut, rawW, rawH);
        const int rawCutW = int(rawCut.x1 - rawCut.x0), rawCutH = int(rawCut.y1 - rawCut.y0);
        const int rawTargetW = upright.swapsSides() ? targetH : targetW;
        const int rawTargetH = upright.swapsSides() ? targetW : targetH;

        int shrink = 1;
        if (jpegIn && derived)
            shrink = decoderShrink(std::min(double(rawCutW) / rawTargetW, double(rawCutH) / rawTargetH));
        vips::VImage image;
        // A real cut of a plain JPEG: decode only what the cut needs, straight from the file.
        const bool partial = rawCutW < rawW || rawCutH < rawH;
        if (!(jpegIn && partial && decodeJpegRegion(source, shrink, rawCut, image))) {
            // An option list is freed only by the call it is handed to, so it is made only when there is one.
            image = header;
            if (shrink > 1)
                image = vips::VImage::new_from_file(source.c_str(), vips::VImage::option()
                                                                        ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                                                        ->set("fail_on", failOn)
                                                                        ->set("shrink", shrink));

            // Cut in the decoder's (possibly shrunk) coordinates.
            const double fx = double(image.width()) / double(rawW), fy = double(image.height()) / double(rawH);
            const int x0 = std::clamp(int(std::floor(rawCut.x0 * fx)), 0, image.width() - 1);
            const int y0 = std::clamp(int(std::floor(rawCut.y0 * fy)), 0, image.height() - 1);
            const int x1 = std::clamp(int(std::ceil(rawCut.x1 * fx)), x0 + 1, image.width());
            const int y1 = std::clamp(int(std::ceil(rawCut.y1 * fy)), y0 + 1, image.height());
            if (x0 != 0 || y0 != 0 || x1 != image.width() || y1 != image.height())
                image = image.extract_area(x0, y0, x1 - x0, y1 - y0);
        }

        if (image.width() != rawTargetW || image.height() != rawTargetH) {
            image = image.resize(double(rawTargetW) / image.width(),
                                 vips::VImage::option()
                                     ->set("vscale", double(rawTargetH) / image.height())
                                     ->set("kernel", VIPS_KERNEL_LANCZOS3));
            // Rounding inside the resampler may leave a pixel more or less: the size asked for is exact.
            if (image.width() > rawTargetW || image.height() > rawTargetH)
                image =
                    image.extract_area(0, 0, std::min(image.width(), rawTargetW), std::min(image.height(), rawTargetH));
            if (image.width() < rawTargetW || image.height() < rawTargetH)
                image =
                    image.embed(0, 0, rawTargetW, rawTargetH, vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
        }

        if (derived)
            image = toSrgb(image);
        if (jpegOut && image.has_alpha())
            image = image.flatten(vips::VImage::option()->set("background", std::vector<double>{255.0}));
        image = applyOrientation(image, turns.after(upright));
        image = image.copy();
        image.set(VIPS_META_ORIENTATION, 1);

        std::string extension = fs::path(o.output).extension().string();
        if (extension.empty())
            return fail(error, "unable to write " + quoted(o.output) + ": no file type (extension) given");
        std::string ext = extension;
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        // libvips saves AVIF through its HEIF saver with the AV1 codec; only the file name knows ".avif".
        const bool avifOut = ext == ".avif";
        const std::string saver = avifOut ? ".heif" : extension;
        if (!vips_foreign_find_save_buffer(saver.c_str())) {
            vips_error_clear();
            return fail(error, "unable to write " + quoted(o.output) + ": unknown file type '" + extension + "'");
        }
        auto saveOptions = vips::VImage::option()->set("strip", derived);
        if (jpegOut || avifOut)
            saveOptions->set("Q", o.jpegQuality);
        if (avifOut)
            saveOptions->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1);
        if (losslessTurn) {
            if (ext == ".webp")
                saveOptions->set("lossless", true);
            else if (ext == ".tif" || ext == ".tiff")
                saveOptions->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE)
                    ->set("predictor", VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL);
        }
        void* buffer = nullptr;
        std::size_t length = 0;
        image.write_to_buffer(saver.c_str(), &buffer, &length, saveOptions);
        Bytes data(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + length);
        g_free(buffer);
        if (jpegOut)
            setExifOrientation(data, 1);
        std::string reason;
        if (!writeFileAtomically(o.output, data, reason))
            return fail(error, "unable to write " + quoted(o.output) + ": " + reason);
        return true;
    } catch (const vips::VError& e) {
        return fail(error, "unable to convert " + quoted(o.input) + ": " + vipsReason(e));
    }
}

} // namespace marquelo::convert
