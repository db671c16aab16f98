#include "convert/JpegRegion.h"

#include "convert/JpegFile.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace marquelo::convert {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    volatile bool refused = false; // set before the jump, read after it
};

void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Damaged data is decoded as far as it goes, but a scan that repeats or contradicts the earlier ones is
// how scan bombs multiply their cost: that warning ends the decode.
void onMessage(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_BOGUS_PROGRESSION) {
        reinterpret_cast<ErrorManager*>(info->err)->refused = true;
        onError(info);
    }
}

// Called while the scans are read in: more than kMaxJpegScans of them ends the decode.
void onProgress(j_common_ptr info)
{
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans) {
        reinterpret_cast<ErrorManager*>(info->err)->refused = true;
        onError(info);
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// An empty 8-bit picture to be written row by row, or null. Not asked for in transparent huge pages:
// where the system grants them on request (Debian's default) a fragmented memory is compacted first,
// which can stall a copy for longer than all the page faults it would save.
VipsImage* newPicture(int width, int height, int bands, VipsInterpretation interpretation)
{
    VipsImage* image = vips_image_new_memory();
    vips_image_init_fields(image, width, height, bands, VIPS_FORMAT_UCHAR, VIPS_CODING_NONE, interpretation, 1.0, 1.0);
    if (vips_image_write_prepare(image) != 0) {
        g_object_unref(image);
        return nullptr;
    }
    image->Type = interpretation;
    return image;
}

} // namespace

RegionDecode decodeJpegRegion(const std::string& path, int eighths, const EdgeRect& region, vips::VImage& out,
                              CutPlacement* placement)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return RegionDecode::NotThisWay;
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = onProgress;
    // Everything that must be released after a jump lives outside the protected block.
    std::vector<unsigned char> line;
    VipsImage* volatile image = nullptr;
    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    volatile bool ok = false;
    jpeg_create_decompress(&info);
    info.progress = &progress;
    if (setjmp(errors.jump) == 0) {
        jpeg_stdio_src(&info, file.get());
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF); // the ICC profile
        jpeg_read_header(&info, TRUE);
        const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
        if (grey || info.jpeg_color_space == JCS_YCbCr) {
            jpeg_read_icc_profile(&info, &icc, &iccLength);
            const long long width = info.image_width, height = info.image_height;
            info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
            info.scale_num = unsigned(std::clamp(eighths, 1, 8));
            info.scale_denom = 8;
            jpeg_start_decompress(&info);
            const long long ow = info.output_width, oh = info.output_height;
            const double fx = double(ow) / double(width), fy = double(oh) / double(height);
            const JDIMENSION x0 = JDIMENSION(std::clamp<long long>((long long)std::floor(region.x0 * fx), 0, ow - 1));
            const JDIMENSION y0 = JDIMENSION(std::clamp<long long>((long long)std::floor(region.y0 * fy), 0, oh - 1));
            const JDIMENSION x1 = JDIMENSION(std::clamp<long long>((long long)std::ceil(region.x1 * fx), x0 + 1, ow));
            const JDIMENSION y1 = JDIMENSION(std::clamp<long long>((long long)std::ceil(region.y1 * fy), y0 + 1, oh));
            JDIMENSION left = x0, columns = x1 - x0;
            if (columns < ow)
                jpeg_crop_scanline(&info, &left, &columns); // widens to whole blocks
            if (y0 > 0)
                jpeg_skip_scanlines(&info, y0);
            const int bands = info.output_components;
            const std::size_t cutStride = std::size_t(x1 - x0) * std::size_t(bands);
            const std::size_t skip = std::size_t(x0 - left) * std::size_t(bands);
            image = newPicture(int(x1 - x0), int(y1 - y0), bands,
                               grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
            if (image) {
                // Rows that are the cut exactly go straight into the picture, others through one line.
                const bool direct = skip == 0 && info.output_width == x1 - x0;
                if (!direct)
                    line.resize(std::size_t(info.output_width) * std::size_t(bands));
                JDIMENSION y = y0;
                for (; y < y1; ++y) {
                    VipsPel* target = VIPS_IMAGE_ADDR(image, 0, y - y0);
                    JSAMPROW row = direct ? target : line.data();
                    if (jpeg_read_scanlines(&info, &row, 1) != 1)
                        break;
                    if (!direct)
                        std::copy_n(line.data() + skip, cutStride, target);
                }
                for (; y < y1; ++y) // what could not be read stays black
                    std::fill_n(VIPS_IMAGE_ADDR(image, 0, y - y0), cutStride, 0);
                if (icc && iccLength > 0)
                    vips_image_set_blob_copy(image, VIPS_META_ICC_NAME, icc, iccLength);
                out = vips::VImage(image, vips::STEAL);
                image = nullptr;
                if (placement)
                    *placement = {region.x0 * fx - x0, region.y0 * fy - y0, double(region.x1 - region.x0) * fx,
                                  double(region.y1 - region.y0) * fy};
                ok = true;
            }
        }
    }
    if (image)
        g_object_unref(image);
    jpeg_destroy_decompress(&info);
    std::free(icc);
    if (errors.refused)
        return RegionDecode::Refused;
    return ok ? RegionDecode::Decoded : RegionDecode::NotThisWay;
}

} // namespace marquelo::convert
