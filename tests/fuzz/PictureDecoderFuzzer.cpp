// The viewer's decoding of whatever bytes a file named like a photo holds: a picture within the memory
// bound, or a clean refusal.
#include "FuzzCheck.h"

#include "core/viewer/PictureDecoder.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

using marquelo::DecodedPicture;
using marquelo::PictureDecoder;

// Qt's readers warn about every damaged file; at thousands of inputs a second the warnings would fill
// the disk, and they say nothing the checks below do not.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The area comes from the length, not from the bytes, so that a seed photo stays a valid photo; the
    // four areas reach TurboJPEG's 1/1 to 1/8 scales and Qt's scaled reading. Full resolution is not
    // asked for: a small header may claim a gigabyte, which is allowed and only slow.
    static const QSize kAreas[] = {QSize(96, 96), QSize(640, 480), QSize(33, 17), QSize(1, 1)};
    const QSize area = kAreas[size % 4];
    const double minScale = (size / 4) % 3 == 0 ? 0.0 : 0.125;

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const DecodedPicture picture = PictureDecoder::decode(bytes, area, minScale);
    if (!picture.ok)
        return 0;
    MARQUELO_FUZZ_CHECK(!picture.image.isNull());
    MARQUELO_FUZZ_CHECK(picture.fullSize.isValid() && !picture.fullSize.isEmpty());
    const std::int64_t fullBytes = std::int64_t(picture.fullSize.width()) * picture.fullSize.height() * 4;
    MARQUELO_FUZZ_CHECK(fullBytes <= PictureDecoder::kMaxDecodedBytes);
    // A scaled picture is never larger than the full one; a full-resolution one is exactly that size.
    MARQUELO_FUZZ_CHECK(picture.image.width() <= picture.fullSize.width());
    MARQUELO_FUZZ_CHECK(picture.image.height() <= picture.fullSize.height());
    if (picture.fullResolution)
        MARQUELO_FUZZ_CHECK(picture.image.size() == picture.fullSize);
    // The viewer draws only these two formats.
    MARQUELO_FUZZ_CHECK(picture.image.format() == QImage::Format_RGB32 ||
                        picture.image.format() == QImage::Format_ARGB32_Premultiplied);
    return 0;
}
