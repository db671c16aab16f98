#include "core/viewer/JpegStream.h"

#include <QSysInfo>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <vector>

#include <jpeglib.h>

namespace marquelo {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back to the
// setjmp in readRows. A warning only counts: the picture is then decoded again in one piece, where
// TurboJPEG decides what a damaged file shows.
struct ErrorManager {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool warned = false;
};

[[noreturn]] void errorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void emitMessage(j_common_ptr info, int level)
{
    if (level < 0)
        reinterpret_cast<ErrorManager*>(info->err)->warned = true;
}

void outputMessage(j_common_ptr) {}

struct Target {
    unsigned char* dst;
    int pitch;
    int width;
    int height;
    int bandRows;
    const std::function<void(int, int)>* band;
    const std::atomic<bool>* stop;
};

// Everything between setjmp and the jumps to it is plain data: a longjmp skips no destructor.
bool readRows(jpeg_decompress_struct* info, ErrorManager* errors, JpegScale scale, const Target* target, JSAMPROW* rows)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_read_header(info, TRUE);
    if (jpeg_has_multiple_scans(info) || info->out_color_space == JCS_CMYK || info->out_color_space == JCS_YCCK)
        return false;
    info->scale_num = unsigned(scale.num);
    info->scale_denom = unsigned(scale.denom);
    info->out_color_space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_start_decompress(info);
    if (int(info->output_width) != target->width || int(info->output_height) != target->height)
        return false;
    int reported = 0;
    while (int(info->output_scanline) < target->height && !errors->warned) {
        if (target->stop && target->stop->load(std::memory_order_relaxed))
            return false;
        const int at = int(info->output_scanline);
        const int want = target->height - at;
        for (int i = 0; i < want; ++i)
            rows[i] = target->dst + std::ptrdiff_t(at + i) * target->pitch;
        if (jpeg_read_scanlines(info, rows, JDIMENSION(want)) == 0)
            return false;
        const int done = int(info->output_scanline);
        if (done - reported >= target->bandRows || done == target->height) {
            (*target->band)(reported, done - reported);
            reported = done;
        }
    }
    if (errors->warned)
        return false;
    jpeg_finish_decompress(info);
    return !errors->warned;
}

} // namespace

bool decodeJpegRows(const unsigned char* data, std::size_t size, JpegScale scale, unsigned char* dst, int pitch,
                    int width, int height, int bandRows, const std::function<void(int first, int count)>& band,
                    const std::atomic<bool>* stop)
{
    if (!data || !dst || width <= 0 || height <= 0 || bandRows <= 0)
        return false;
    std::vector<JSAMPROW> rows(std::size_t(height), nullptr);
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = errorExit;
    errors.mgr.emit_message = emitMessage;
    errors.mgr.output_message = outputMessage;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    const Target target{dst, pitch, width, height, bandRows, &band, stop};
    const bool ok = readRows(&info, &errors, scale, &target, rows.data());
    jpeg_destroy_decompress(&info);
    return ok;
}

} // namespace marquelo
