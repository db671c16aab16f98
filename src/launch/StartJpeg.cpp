#include "launch/StartJpeg.h"

#include "media/ExifTiff.h"
#include "media/JpegHeader.h"

#include <cstdio> // jpeglib.h needs FILE declared first
#include <jpeglib.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <memory>
#include <vector>

#include <unistd.h>

namespace marquelo {

namespace {

struct ErrorManager {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void fail(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings (a picture cut short, data after the end) are the program's to report: the front shows
// what libjpeg made of the data, as the viewer does.
void quiet(j_common_ptr, int) {}

struct Decompressor {
    jpeg_decompress_struct info{};
    ~Decompressor() { jpeg_destroy_decompress(&info); }
};

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// True when `icc` describes sRGB (the primaries, white point and tone curves of lcms2's own sRGB, within
// what 8-bit pixels can show): the viewer's colour conversion leaves such a photo's pixels as they are,
// so the front may show them as they are too.
bool describesSrgb(const std::vector<unsigned char>& icc)
{
    const Profile profile(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!profile || !srgb || cmsGetColorSpace(profile.get()) != cmsSigRgbData || !cmsIsMatrixShaper(profile.get()))
        return false;
    constexpr std::array kColorants{cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (const cmsTagSignature tag : kColorants) {
        const auto* mine = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile.get(), tag));
        const auto* theirs = static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), tag));
        if (!mine || !theirs || std::abs(mine->X - theirs->X) > 0.002 || std::abs(mine->Y - theirs->Y) > 0.002 ||
            std::abs(mine->Z - theirs->Z) > 0.002)
            return false;
    }
    constexpr std::array kCurves{cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (const cmsTagSignature tag : kCurves) {
        const auto* mine = static_cast<const cmsToneCurve*>(cmsReadTag(profile.get(), tag));
        const auto* theirs = static_cast<const cmsToneCurve*>(cmsReadTag(srgb.get(), tag));
        if (!mine || !theirs)
            return false;
        for (int level = 0; level <= 255; ++level) {
            const float x = float(level) / 255.0f;
            if (std::abs(cmsEvalToneCurveFloat(mine, x) - cmsEvalToneCurveFloat(theirs, x)) > 0.5f / 255.0f)
                return false;
        }
    }
    return true;
}

// libjpeg's input straight from the file, a piece at a time: the photo's bytes are never held whole.
struct FileSource {
    jpeg_source_mgr manager{};
    int fd = -1;
    std::array<unsigned char, 64 * 1024> buffer{};

    static void init(j_decompress_ptr) {}
    static boolean fill(j_decompress_ptr info)
    {
        auto* self = reinterpret_cast<FileSource*>(info->src);
        ssize_t got = -1;
        do
            got = ::read(self->fd, self->buffer.data(), self->buffer.size());
        while (got < 0 && errno == EINTR);
        if (got <= 0) {
            // Cut short: an end marker, so libjpeg shows what it has, as the viewer does.
            self->buffer[0] = 0xff;
            self->buffer[1] = JPEG_EOI;
            got = 2;
        }
        self->manager.next_input_byte = self->buffer.data();
        self->manager.bytes_in_buffer = std::size_t(got);
        return TRUE;
    }
    static void skip(j_decompress_ptr info, long count)
    {
        auto* self = reinterpret_cast<FileSource*>(info->src);
        while (count > 0) {
            if (self->manager.bytes_in_buffer == 0)
                fill(info);
            const std::size_t step = std::min(std::size_t(count), self->manager.bytes_in_buffer);
            self->manager.next_input_byte += step;
            self->manager.bytes_in_buffer -= step;
            count -= long(step);
        }
    }
    static void term(j_decompress_ptr) {}
};

// Decodes at `eighths` of full size; libjpeg's reason when it fails.
std::string decodeScaled(FileSource& source, unsigned eighths, const DecodedRows& deliver)
{
    Decompressor d;
    ErrorManager errors;
    d.info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = fail;
    errors.manager.emit_message = quiet;
    std::vector<std::uint32_t> rows;
    if (setjmp(errors.jump))
        return errors.message;
    jpeg_create_decompress(&d.info);
    source.manager.init_source = FileSource::init;
    source.manager.fill_input_buffer = FileSource::fill;
    source.manager.skip_input_data = FileSource::skip;
    source.manager.resync_to_restart = jpeg_resync_to_restart;
    source.manager.term_source = FileSource::term;
    d.info.src = &source.manager;
    jpeg_read_header(&d.info, TRUE);
    d.info.scale_num = eighths;
    d.info.scale_denom = 8;
    d.info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&d.info);
    const int width = int(d.info.output_width);
    const int height = int(d.info.output_height);
    // Several of libjpeg's row groups at a time: fewer hand-overs to whoever scales them.
    constexpr int kBatch = 16;
    rows.resize(std::size_t(width) * kBatch);
    std::array<JSAMPROW, kBatch> pointers{};
    for (int k = 0; k < kBatch; ++k)
        pointers[std::size_t(k)] = reinterpret_cast<JSAMPROW>(rows.data() + std::size_t(width) * std::size_t(k));
    while (d.info.output_scanline < d.info.output_height) {
        JDIMENSION got = 0;
        while (got + JDIMENSION(d.info.rec_outbuf_height) <= kBatch && d.info.output_scanline < d.info.output_height)
            got += jpeg_read_scanlines(&d.info, pointers.data() + got, JDIMENSION(kBatch) - got);
        deliver(rows.data(), int(got), width, height);
    }
    jpeg_finish_decompress(&d.info);
    return {};
}

} // namespace

int eighthsToCover(int width, int height, int toWidth, int toHeight)
{
    // Only the scales libjpeg-turbo has vector code for: a half decodes faster than three eighths.
    for (int eighths = 1; eighths < 8; eighths *= 2) {
        // libjpeg rounds a scaled side up.
        const long long scaledWidth = (static_cast<long long>(width) * eighths + 7) / 8;
        const long long scaledHeight = (static_cast<long long>(height) * eighths + 7) / 8;
        if (scaledWidth >= toWidth && scaledHeight >= toHeight)
            return eighths;
    }
    return 8;
}

StartJpegInfo readStartJpeg(media::ByteView head)
{
    StartJpegInfo info;
    if (!media::startsLikeJpeg(head)) {
        info.skipped = "not a JPEG file";
        return info;
    }
    const media::JpegHeader header = media::readJpegHeader(head);
    if (!header.ok) {
        info.skipped = "the JPEG's header cannot be read: " + header.error;
        return info;
    }
    if (!header.icc.empty() && !describesSrgb(header.icc)) {
        info.skipped = "the photo has a colour profile other than sRGB";
        return info;
    }
    if (header.colours != media::JpegColours::YCbCr && header.colours != media::JpegColours::Grey &&
        header.colours != media::JpegColours::Rgb) {
        info.skipped = "the photo is not in RGB, YCbCr or grey";
        return info;
    }
    info.orientation = media::Orientation::fromExif(media::exifOrientation(header.exif));
    info.storedWidth = header.width;
    info.storedHeight = header.height;
    const bool turned = info.orientation.swapsSides();
    info.fullWidth = turned ? header.height : header.width;
    info.fullHeight = turned ? header.width : header.height;
    return info;
}

std::string decodeStartJpeg(int fd, int eighths, const DecodedRows& rows)
{
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return "cannot read the photo from its start";
    const auto source = std::make_unique<FileSource>();
    source->fd = fd;
    return decodeScaled(*source, unsigned(std::clamp(eighths, 1, 8)), rows);
}

std::string decodeForPlace(int fd, const StartJpegInfo& info, int width, int height, const PlacedArea& placed)
{
    // Scaled as stored, a band of rows at a time; each band made upright on its own is one piece of the
    // upright picture: rows of it, or columns when the photo lies on its side.
    const media::Orientation orientation = info.orientation;
    const bool turned = orientation.swapsSides();
    const bool flipped = orientation.steps().flip;
    const int storedWidth = turned ? height : width;
    const int storedHeight = turned ? width : height;
    constexpr int kBandRows = 32;
    XrgbPicture band{storedWidth, 0, std::vector<std::uint32_t>(std::size_t(storedWidth) * kBandRows)};
    int bandTop = 0;
    const RowScaler::RowDone scaledRow = [&](int y, const std::uint32_t* row) {
        std::copy_n(row, storedWidth, band.pixels.data() + std::size_t(y - bandTop) * std::size_t(storedWidth));
        const int rows = y - bandTop + 1;
        if (rows < kBandRows && y + 1 < storedHeight)
            return;
        // Where the band's rows land once upright: from the top (or the bottom, flipped), or from the right
        // (or the left, flipped) when turned a quarter.
        const int from = flipped ? storedHeight - bandTop - rows : bandTop;
        if (orientation.isIdentity()) {
            placed(0, bandTop, storedWidth, rows, band.pixels.data());
        } else {
            band.height = rows;
            band.pixels.resize(std::size_t(storedWidth) * std::size_t(rows));
            const XrgbPicture piece = oriented(band, orientation);
            const int across = turned ? storedHeight - from - rows : 0;
            placed(across, turned ? 0 : from, piece.width, piece.height, piece.pixels.data());
            band.pixels.resize(std::size_t(storedWidth) * kBandRows);
        }
        bandTop = y + 1;
    };
    std::unique_ptr<RowScalerThread> scaler;
    const int eighths = eighthsToCover(info.storedWidth, info.storedHeight, storedWidth, storedHeight);
    const std::string error =
        decodeStartJpeg(fd, eighths, [&](const std::uint32_t* rows, int count, int decodedWidth, int decodedHeight) {
            if (!scaler)
                scaler = std::make_unique<RowScalerThread>(decodedWidth, decodedHeight, storedWidth, storedHeight,
                                                           scaledRow);
            scaler->push(rows, count);
        });
    if (scaler)
        scaler->finish();
    return error;
}

} // namespace marquelo
