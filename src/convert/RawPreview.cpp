#include "convert/RawPreview.h"

#include "media/ExceptionText.h"
#include "media/Exiv2Library.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace marquelo::convert {

RawPreview largestRawPreview(const std::string& path)
{
    media::startExiv2();
    RawPreview result;
    try {
        auto image = Exiv2::ImageFactory::open(path);
        if (!image.get())
            return result;
        image->readMetadata();
        Exiv2::PreviewManager previews(*image);
        const Exiv2::PreviewPropertiesList list = previews.getPreviewProperties();
        if (list.empty())
            return result;
        const auto largest = std::max_element(list.begin(), list.end(), [](const auto& a, const auto& b) {
            const auto area = [](const Exiv2::PreviewProperties& p) {
                return std::uint64_t(p.width_) * p.height_ * 16 + p.size_ / 1024;
            };
            return area(a) < area(b);
        });
        const Exiv2::PreviewImage preview = previews.getPreviewImage(*largest);
        result.bytes.assign(preview.pData(), preview.pData() + preview.size());
        const Exiv2::ExifData& exif = image->exifData();
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found != exif.end() && found->count() > 0) {
            const long o = found->toLong();
            result.orientation = o >= 1 && o <= 8 ? int(o) : 1;
        }
    } catch (...) {
        // libexiv2 throws on every kind of damage: such a file has no preview for us, and says why.
        RawPreview none;
        none.error = media::currentExceptionText();
        return none;
    }
    return result;
}

} // namespace marquelo::convert
