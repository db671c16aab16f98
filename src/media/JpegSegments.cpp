#include "media/JpegSegments.h"

#include <cstring>

namespace marquelo::media {

namespace {

bool standsAlone(unsigned char marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// From `pos` inside entropy-coded data to the next marker that is not a restart: there every 0xFF is
// followed by a stuffed zero, a fill byte or a marker. `size` when the data ends first.
std::size_t skipScanData(std::span<const unsigned char> d, std::size_t pos, const JpegWalk& how)
{
    const std::size_t n = d.size();
    while (pos + 1 < n) {
        const void* hit = std::memchr(d.data() + pos, 0xFF, n - pos - 1);
        if (!hit)
            return n;
        pos = std::size_t(static_cast<const unsigned char*>(hit) - d.data());
        const unsigned char next = d[pos + 1];
        if (next == 0x00) {
            pos += 2;
        } else if (next == 0xFF) {
            pos += 1;
        } else if (next >= 0xD0 && next <= 0xD7) {
            if (how.restart)
                how.restart(pos, next);
            pos += 2;
        } else {
            return pos;
        }
    }
    return n;
}

} // namespace

JpegWalkEnd walkJpeg(std::span<const unsigned char> d, const std::function<bool(const JpegSegment&)>& visit,
                     const JpegWalk& how)
{
    const std::size_t n = d.size();
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return JpegWalkEnd::Broken;
    std::size_t pos = 2;
    while (pos + 1 < n) {
        if (d[pos] != 0xFF || d[pos + 1] == 0x00) {
            if (!how.skipStrayBytes)
                return JpegWalkEnd::Broken;
            ++pos;
            continue;
        }
        const unsigned char marker = d[pos + 1];
        if (marker == 0xFF) { // a fill byte before the marker
            ++pos;
            continue;
        }
        if (marker == 0xD9) {
            visit(JpegSegment{marker, pos, pos + 2, 0});
            return JpegWalkEnd::EndOfImage;
        }
        if (marker == 0xD8)
            return JpegWalkEnd::Broken;
        if (standsAlone(marker)) {
            if (!how.skipStrayBytes)
                return JpegWalkEnd::Broken;
            pos += 2;
            continue;
        }
        if (pos + 4 > n)
            return JpegWalkEnd::EndOfData;
        const std::size_t length = std::size_t(d[pos + 2]) << 8 | d[pos + 3];
        if (length < 2 || length > n - pos - 2)
            return JpegWalkEnd::Broken;
        const JpegSegment segment{marker, pos, pos + 4, length - 2};
        if (!visit(segment))
            return JpegWalkEnd::Stopped;
        pos = segment.end();
        if (marker == 0xDA) {
            if (!how.throughScans)
                return JpegWalkEnd::Stopped;
            pos = skipScanData(d, pos, how);
        }
    }
    return JpegWalkEnd::EndOfData;
}

int countJpegScans(std::span<const unsigned char> jpeg, int stopAt)
{
    int scans = 0;
    JpegWalk how;
    how.throughScans = true;
    how.skipStrayBytes = true;
    walkJpeg(
        jpeg,
        [&](const JpegSegment& s) {
            scans += s.marker == 0xDA;
            return scans < stopAt;
        },
        how);
    return scans;
}

std::optional<ByteRange> findJpegExif(std::span<const unsigned char> jpeg)
{
    std::optional<ByteRange> found;
    walkJpeg(jpeg, [&](const JpegSegment& s) {
        if (s.marker == 0xDA || s.marker == 0xD9)
            return false;
        if (s.marker == 0xE1 && s.bodyLength >= 6 && std::memcmp(jpeg.data() + s.bodyAt, "Exif\0\0", 6) == 0) {
            found = ByteRange{s.bodyAt + 6, s.bodyLength - 6};
            return false;
        }
        return true;
    });
    return found;
}

} // namespace marquelo::media
