#include "convert/JpegFile.h"

#include <turbojpeg.h>

#include <memory>

namespace marquelo::convert {

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

// Where the orientation value of the EXIF block lies in the file, or 0 when there is none.
std::size_t orientationOffset(ByteView d, bool& bigEndian)
{
    if (!isJpeg(d))
        return 0;
    std::size_t pos = 2;
    while (pos + 4 <= d.size()) {
        if (d[pos] != 0xFF)
            return 0;
        const unsigned char marker = d[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // image data or end: no EXIF before it
            return 0;
        const std::size_t length = (std::size_t(d[pos + 2]) << 8) | d[pos + 3];
        const std::size_t body = pos + 4;
        if (length < 2 || pos + 2 + length > d.size())
            return 0;
        const std::size_t end = pos + 2 + length;
        if (marker == 0xE1 && length >= 16 && d[body] == 'E' && d[body + 1] == 'x' && d[body + 2] == 'i' &&
            d[body + 3] == 'f' && d[body + 4] == 0 && d[body + 5] == 0) {
            const std::size_t tiff = body + 6;
            if (d[tiff] == 'I' && d[tiff + 1] == 'I')
                bigEndian = false;
            else if (d[tiff] == 'M' && d[tiff + 1] == 'M')
                bigEndian = true;
            else
                return 0;
            auto u16 = [&](std::size_t at) -> std::size_t {
                return bigEndian ? (std::size_t(d[at]) << 8) | d[at + 1] : (std::size_t(d[at + 1]) << 8) | d[at];
            };
            auto u32 = [&](std::size_t at) -> std::size_t {
                return bigEndian ? (u16(at) << 16) | u16(at + 2) : (u16(at + 2) << 16) | u16(at);
            };
            if (tiff + 8 > end)
                return 0;
            const std::size_t ifd = tiff + u32(tiff + 4);
            if (ifd < tiff || ifd + 2 > end)
                return 0;
            const std::size_t count = u16(ifd);
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t entry = ifd + 2 + 12 * i;
                if (entry + 12 > end)
                    return 0;
                if (u16(entry) == 0x0112 && u16(entry + 2) == 3 /* SHORT */ && u32(entry + 4) == 1)
                    return entry + 8;
            }
            return 0;
        }
        pos = end;
    }
    return 0;
}

} // namespace

bool isJpeg(ByteView data)
{
    return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

int exifOrientation(ByteView jpeg)
{
    bool bigEndian = false;
    const std::size_t at = orientationOffset(jpeg, bigEndian);
    if (at == 0)
        return 1;
    const int v = bigEndian ? (jpeg[at] << 8) | jpeg[at + 1] : (jpeg[at + 1] << 8) | jpeg[at];
    return v >= 1 && v <= 8 ? v : 1;
}

void setExifOrientation(Bytes& jpeg, int value)
{
    bool bigEndian = false;
    const std::size_t at = orientationOffset(jpeg, bigEndian);
    if (at == 0)
        return;
    jpeg[at] = bigEndian ? 0 : (unsigned char)value;
    jpeg[at + 1] = bigEndian ? (unsigned char)value : 0;
}

int countJpegScans(ByteView d, int stopAt)
{
    if (!isJpeg(d))
        return 0;
    int scans = 0;
    std::size_t pos = 2;
    while (pos + 1 < d.size() && scans < stopAt) {
        if (d[pos] != 0xFF) { // stray bytes between segments: the decoders skip them too
            ++pos;
            continue;
        }
        const unsigned char marker = d[pos + 1];
        if (marker == 0xD9) // end of the picture; whatever follows (an MPF image) is not decoded
            break;
        if (marker == 0xFF || marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (pos + 4 > d.size())
            break;
        pos += 2 + ((std::size_t(d[pos + 2]) << 8) | d[pos + 3]);
        if (marker != 0xDA)
            continue;
        ++scans;
        // The scan's data: inside it every 0xFF is followed by 0x00 or a restart marker.
        while (pos + 1 < d.size() && !(d[pos] == 0xFF && d[pos + 1] != 0x00 && d[pos + 1] != 0xFF &&
                                       (d[pos + 1] < 0xD0 || d[pos + 1] > 0xD7)))
            ++pos;
    }
    return scans;
}

bool jpegSize(ByteView jpeg, int& width, int& height)
{
    TjHandle handle(tjInitDecompress());
    int subsamp = 0, colorspace = 0;
    return handle && tjDecompressHeader3(handle.get(), jpeg.data(), (unsigned long)jpeg.size(), &width, &height,
                                         &subsamp, &colorspace) == 0;
}

bool losslessTransform(ByteView jpeg, const Orientation& o, Bytes& out, std::string& error)
{
    int op = TJXOP_NONE;
    if (o == Orientation{-1, 0, 0, 1})
        op = TJXOP_HFLIP;
    else if (o == Orientation{1, 0, 0, -1})
        op = TJXOP_VFLIP;
    else if (o == Orientation{-1, 0, 0, -1})
        op = TJXOP_ROT180;
    else if (o == Orientation{0, 1, 1, 0})
        op = TJXOP_TRANSPOSE;
    else if (o == Orientation{0, -1, -1, 0})
        op = TJXOP_TRANSVERSE;
    else if (o == Orientation{0, -1, 1, 0})
        op = TJXOP_ROT90;
    else if (o == Orientation{0, 1, -1, 0})
        op = TJXOP_ROT270;

    TjHandle handle(tjInitTransform());
    if (!handle) {
        error = "cannot start the JPEG transformer";
        return false;
    }
    tjtransform transform{};
    transform.op = op;
    transform.options = TJXOPT_PERFECT;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    // Warnings mean damaged data: better to refuse than to bake the damage into the photo.
    const int rc = tjTransform(handle.get(), jpeg.data(), (unsigned long)jpeg.size(), 1, &buffer, &size, &transform,
                               TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS);
    if (rc != 0) {
        error = tjGetErrorStr2(handle.get());
        tjFree(buffer);
        return false;
    }
    out.assign(buffer, buffer + size);
    tjFree(buffer);
    return true;
}

} // namespace marquelo::convert
