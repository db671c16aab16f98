// The media floor's libexiv2 readers on any bytes: the metadata a photo carries, the EXIF values the
// program shows and the largest preview of a camera RAW file come back or come back with a reason, and
// nothing libexiv2 throws gets out.
#include "FuzzCheck.h"

#include "media/Exiv2Library.h"

#include <cstddef>
#include <cstdint>

using namespace marquelo::media;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const MetadataImage opened = openMetadata(data, size);
    MARQUELO_FUZZ_CHECK(opened || !opened.error.empty());
    if (opened) {
        const Exiv2::ExifData& exif = opened.image->exifData();
        const int orientation = exifOrientation(exif);
        MARQUELO_FUZZ_CHECK(orientation >= 1 && orientation <= 8);
        for (const char* key : {"Exif.Image.Make", "Exif.Photo.DateTimeOriginal", "Exif.Photo.ISOSpeedRatings"})
            (void)exifText(exif, key);
        for (long index = 0; index < 3; ++index)
            (void)exifRational(exif, "Exif.GPSInfo.GPSLatitude", index);
        (void)exifRational(exif, "Exif.Photo.ExposureTime");
    }
    const RawPreview preview = largestRawPreview(data, size);
    MARQUELO_FUZZ_CHECK(preview.bytes.empty() != preview.error.empty());
    MARQUELO_FUZZ_CHECK(preview.orientation >= 1 && preview.orientation <= 8);
    return 0;
}
