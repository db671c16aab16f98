#pragma once
// Progressive JPEGs with as many scans as a test asks for, the way a scan bomb is built: every
// coefficient band of a grey picture is sent in its own scan and refined one bit at a time. Include
// only in tests that link libjpeg.

#include <cstdio>
#include <jpeglib.h>

#include <cstdlib>
#include <vector>

namespace marquelo::test {

// The number of scans progressiveJpeg(..., refinements) writes.
constexpr int progressiveScans(int refinements)
{
    return (refinements + 1) + 63 * refinements;
}

// A width x height grey JPEG (a diagonal ramp) whose DC is sent in refinements + 1 scans and each of its
// 63 AC coefficients in `refinements` scans (1 to 10).
inline std::vector<unsigned char> progressiveJpeg(int width, int height, int refinements)
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
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);

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
    info.scan_info = script.data();
    info.num_scans = int(script.size());

    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width));
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x)
            row[std::size_t(x)] = static_cast<unsigned char>((x * 7 + int(info.next_scanline) * 3) & 0xFF);
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
