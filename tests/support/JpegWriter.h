#pragma once
// Small JPEGs written by libjpeg for tests, with the settings and markers a test needs (the support
// library links libjpeg). Scan bombs are in HostilePictures.h.

#include <cstdio>
#include <jpeglib.h>

#include <cstdlib>
#include <functional>
#include <vector>

namespace marquelo::test {

// A width x height JPEG written by libjpeg: a grey ramp (1 component) or a colour one (3). `setUp` may
// change the settings before compression starts; `afterStart` may write markers after SOI and JFIF.
inline std::vector<unsigned char> writeJpeg(int width, int height, int components,
                                            const std::function<void(jpeg_compress_struct&)>& setUp = {},
                                            const std::function<void(jpeg_compress_struct&)>& afterStart = {})
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    if (setUp)
        setUp(info);
    jpeg_start_compress(&info, TRUE);
    if (afterStart)
        afterStart(info);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * std::size_t(components));
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<unsigned char>(components == 1 ? (int(i) * 7 + y * 3) & 0xFF : int(i) * 5 + y);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<unsigned char> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

} // namespace marquelo::test
