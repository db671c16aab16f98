// The media floor's readers of JPEG structure: libjpeg's header reader with its metadata blocks, the
// segment walk, the EXIF orientation and thumbnail readers, the turn rules. Whatever the bytes, they
// answer within the input and agree with each other.
#include "FuzzCheck.h"

#include "media/ExifTiff.h"
#include "media/JpegHeader.h"
#include "media/JpegSegments.h"
#include "media/Orientation.h"
#include "media/TurnRules.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace marquelo::media;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const unsigned char> bytes(data, size);

    const JpegHeader header = readJpegHeader(bytes);
    if (header.ok) {
        MARQUELO_FUZZ_CHECK(header.width > 0 && header.height > 0 && header.components > 0);
        MARQUELO_FUZZ_CHECK(header.exif.size() < 65536 && header.xmp.size() < 65536);
        MARQUELO_FUZZ_CHECK(header.coefficientBytes > 0);
    } else {
        MARQUELO_FUZZ_CHECK(!header.error.empty());
    }
    const int fromHeader = exifOrientation(header.exif);
    MARQUELO_FUZZ_CHECK(fromHeader >= 1 && fromHeader <= 8);
    if (const auto place = findExifThumbnail(header.exif))
        MARQUELO_FUZZ_CHECK(place->size > 0 && place->offset + place->size <= header.exif.size());

    // The walk finds the same EXIF block libjpeg saved, when libjpeg read the file through.
    if (const auto range = findJpegExif(bytes)) {
        MARQUELO_FUZZ_CHECK(range->offset + range->size <= size);
        const auto tiff = bytes.subspan(range->offset, range->size);
        const int fromWalk = exifOrientation(tiff);
        MARQUELO_FUZZ_CHECK(fromWalk >= 1 && fromWalk <= 8);
        if (const auto field = findExifOrientation(tiff))
            MARQUELO_FUZZ_CHECK(field->at + 2 <= tiff.size());
        if (header.ok && !header.exif.empty() &&
            std::equal(tiff.begin(), tiff.end(), header.exif.begin(), header.exif.end()))
            MARQUELO_FUZZ_CHECK(fromWalk == fromHeader);
    }

    JpegWalk how;
    how.throughScans = size % 2 == 0;
    how.skipStrayBytes = size % 3 == 0;
    std::size_t last = 0;
    how.restart = [&](std::size_t at, unsigned char marker) {
        MARQUELO_FUZZ_CHECK(at + 2 <= size && marker >= 0xD0 && marker <= 0xD7);
    };
    walkJpeg(
        bytes,
        [&](const JpegSegment& s) {
            MARQUELO_FUZZ_CHECK(s.at >= last && s.end() <= size);
            last = s.end();
            return true;
        },
        how);
    const int scans = countJpegScans(bytes, 600);
    MARQUELO_FUZZ_CHECK(scans >= 0 && scans <= 600);

    const Orientation o = Orientation::fromExif(fromHeader);
    const OrientationSteps steps = o.steps();
    MARQUELO_FUZZ_CHECK(steps.quarterRight == o.swapsSides());

    const TurnVerdict verdict = turnVerdict("picture", data, size);
    MARQUELO_FUZZ_CHECK((verdict.kind == TurnKind::Refused) == !verdict.reason.empty());
    return 0;
}
