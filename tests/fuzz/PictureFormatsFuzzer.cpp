// The viewer's decoding of today's formats (HEIF/AVIF, WebP, PNG, TIFF, JPEG XL through libvips) and of
// camera RAW files through their embedded preview: a picture within the memory bound, or a refusal.
#include "FuzzCheck.h"

#include "core/viewer/VipsPictureDecoder.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

using marquelo::DecodedPicture;
using marquelo::PictureDecoder;
using marquelo::VipsPictureDecoder;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    VipsPictureDecoder::startLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The length chooses the path and the area, so a seed photo stays a valid photo of its format.
    static const QSize kAreas[] = {QSize(96, 96), QSize(640, 480), QSize(33, 17)};
    const QSize area = kAreas[size % 3];
    const bool asRaw = (size / 3) % 4 == 0;

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const DecodedPicture picture =
        asRaw ? VipsPictureDecoder::decodeRawPreview(bytes, area) : VipsPictureDecoder::decode(bytes, area);
    if (!picture.ok)
        return 0;
    MARQUELO_FUZZ_CHECK(!picture.image.isNull());
    MARQUELO_FUZZ_CHECK(picture.fullSize.isValid() && !picture.fullSize.isEmpty());
    const std::int64_t fullBytes = std::int64_t(picture.fullSize.width()) * picture.fullSize.height() * 4;
    MARQUELO_FUZZ_CHECK(fullBytes <= PictureDecoder::kMaxDecodedBytes);
    // Never more pixels than the full picture (one of rounding allowed per side).
    MARQUELO_FUZZ_CHECK(picture.image.width() <= picture.fullSize.width() + 1);
    MARQUELO_FUZZ_CHECK(picture.image.height() <= picture.fullSize.height() + 1);
    MARQUELO_FUZZ_CHECK(picture.image.format() == QImage::Format_RGB32 ||
                        picture.image.format() == QImage::Format_ARGB32_Premultiplied);
    return 0;
}
