#include "core/tools/PublishedCopy.h"

#include "media/Exiv2Library.h"
#include "media/RegularFile.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace marquelo {

namespace {

// The picture is held three times while its metadata goes (as read, in libexiv2, as written).
constexpr std::size_t kLargestPicture = 512u * 1024 * 1024;

bool carriesMetadata(Exiv2::Image& image)
{
    return !image.exifData().empty() || !image.xmpData().empty() || !image.xmpPacket().empty() ||
           !image.iptcData().empty() || !image.comment().empty();
}

// The turn a viewer still has to apply, 1 (none) when the value is missing or makes no sense.
long orientationOf(const Exiv2::ExifData& exif)
{
    const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (found == exif.end() || found->count() == 0)
        return 1;
    const long value = found->toLong();
    return value >= 1 && value <= 8 ? value : 1;
}

} // namespace

std::optional<std::string> withoutMetadata(const std::string& picture, std::string& reason)
{
    media::startExiv2();
    try {
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(picture.data()), long(picture.size()));
        if (!image.get()) {
            reason = "Its camera data could not be read.";
            return std::nullopt;
        }
        image->readMetadata();
        // Nothing to take out: published unchanged. This is how formats libexiv2 only reads (GIF, AVIF)
        // get through; one of them that carries camera data fails below, where writing throws.
        if (!carriesMetadata(*image))
            return picture;

        const long orientation = orientationOf(image->exifData());
        image->clearExifData();
        image->clearXmpData();
        image->clearXmpPacket();
        image->clearIptcData();
        image->clearComment();
        if (orientation != 1)
            image->exifData()["Exif.Image.Orientation"] = std::uint16_t(orientation);
        image->writeMetadata();

        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0) {
            reason = "Its camera data could not be removed.";
            return std::nullopt;
        }
        const Exiv2::DataBuf written = io.read(long(io.size()));
        io.close();
        return std::string(reinterpret_cast<const char*>(written.pData_), std::size_t(written.size_));
    } catch (const std::exception& error) {
        // libexiv2 throws on damage, on files it does not know and on formats it cannot write.
        reason = std::string("Its camera data could not be removed: ") + error.what();
        return std::nullopt;
    }
}

bool copyWithoutMetadata(const std::string& source, const std::string& destination, FileProblem& problem)
{
    const media::FileBytes file = media::readRegularFile(source, kLargestPicture);
    if (!file.ok) {
        problem.notRegular = file.error == "not a regular file" || file.error == "is a folder, not a file";
        problem.reason = file.error;
        return false;
    }
    const std::string picture(file.bytes.begin(), file.bytes.end());
    std::optional<std::string> published = withoutMetadata(picture, problem.reason);
    if (!published) {
        problem.keepsMetadata = true;
        return false;
    }
    return writeCopy(destination, *published, problem);
}

} // namespace marquelo
