#pragma once
// JPEGs written by libjpeg for tests: small pictures with the markers a test needs, and progressive ones
// with as many scans as a test asks for, the way a scan bomb is built: every coefficient band of a grey
// picture is sent in its own scan and refined one bit at a time. Include only in tests that link libjpeg.

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

// The number of scans progressiveJpeg(..., refinements) writes.
constexpr int progressiveScans(int refinements)
{
    return (refinements + 1) + 63 * refinements;
}

// A width x height grey JPEG (a diagonal ramp) whose DC is sent in refinements + 1 scans and each of its
// 63 AC coefficients in `refinements` scans (1 to 10).
inline std::vector<unsigned char> progressiveJpeg(int width, int height, int refinements)
{
    std::vector<jpeg_scan_info> script;
    auto scan = [&script](int ss, int se, int ah, int al) {
        jpeg_scan_info s{};
        s.comps_in_scan = 1;
        s.component_index[0] = 0;
        s.Ss = ss;
        s.Se = se;
        s.Ah = ah;
        s.Al = al;
        script.push_back(s);
    };
    scan(0, 0, 0, refinements);
    for (int al = refinements - 1; al >= 0; --al)
        scan(0, 0, al + 1, al);
    for (int k = 1; k < 64; ++k) {
        scan(k, k, 0, refinements - 1);
        for (int al = refinements - 2; al >= 0; --al)
            scan(k, k, al + 1, al);
    }
    return writeJpeg(width, height, 1, [&](jpeg_compress_struct& info) {
        info.scan_info = script.data();
        info.num_scans = int(script.size());
    });
}

} // namespace marquelo::test
