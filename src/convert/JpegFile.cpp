#include "convert/JpegFile.h"

#include "media/ExifTiff.h"

#include <turbojpeg.h>

#include <memory>

namespace marquelo::convert {

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

} // namespace

int exifOrientation(ByteView jpeg)
{
    const auto exif = media::findJpegExif(jpeg);
    return exif ? media::exifOrientation(jpeg.subspan(exif->offset, exif->size)) : 1;
}

void setExifOrientation(Bytes& jpeg, int value)
{
    const auto exif = media::findJpegExif(jpeg);
    if (!exif)
        return;
    const auto field = media::findExifOrientation(ByteView(jpeg).subspan(exif->offset, exif->size));
    if (!field)
        return;
    const std::size_t at = exif->offset + field->at;
    jpeg[at] = field->bigEndian ? 0 : (unsigned char)value;
    jpeg[at + 1] = field->bigEndian ? (unsigned char)value : 0;
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
