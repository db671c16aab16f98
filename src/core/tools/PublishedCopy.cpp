#include "core/tools/PublishedCopy.h"

#include "media/Exiv2Library.h"
#include "media/RegularFile.h"

#include <exiv2/exiv2.hpp>

namespace marquelo {

namespace {

// The picture is held three times while its metadata goes (as read, in libexiv2, as written).
constexpr std::size_t kLargestPicture = 512u * 1024 * 1024;

bool carriesMetadata(Exiv2::Image& image)
{
    return !image.exifData().empty() || !image.xmpData().empty() || !image.xmpPacket().empty() ||
           !image.iptcData().empty() || !image.comment().empty();
}

} // namespace

std::optional<std::string> withoutMetadata(const std::string& picture, std::string& reason)
{
    media::MetadataImage opened = media::openMetadata(picture.data(), picture.size());
    if (!opened) {
        reason = "Its camera data could not be read: " + opened.error;
        return std::nullopt;
    }
    Exiv2::Image* image = opened.image.get();
    try {
        // Nothing to take out: published unchanged. This is how formats libexiv2 only reads (GIF, AVIF)
        // get through; one of them that carries camera data fails below, where writing throws.
        if (!carriesMetadata(*image))
            return picture;

        // The turn a viewer still has to apply stays: the published picture must stand as the photo does.
        const int orientation = media::exifOrientation(image->exifData());
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
