#include "media/Exiv2Library.h"

#include "media/RegularFile.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>

namespace marquelo::media {

namespace {

// A sidecar or photo read on a worker registers the namespaces it meets in the XMP toolkit's one
// registry, which other threads read at the same time; libexiv2 serializes that with this lock.
void lockXmpRegistry(void* data, bool lock)
{
    auto* mutex = static_cast<std::recursive_mutex*>(data);
    if (lock)
        mutex->lock();
    else
        mutex->unlock();
}

// libexiv2 reports damage, unknown formats and failed writes by throwing; its messages name the fault.
template <typename Open> MetadataImage openWith(Open&& open)
{
    startExiv2();
    MetadataImage result;
    try {
        auto image = open();
        if (!image.get()) {
            result.error = "not a picture with metadata";
            return result;
        }
        image->readMetadata();
        result.image.reset(image.release());
    } catch (const std::exception& error) {
        result.error = error.what();
    } catch (...) {
        result.error = "the metadata library failed without a reason";
    }
    return result;
}

RawPreview largestPreviewOf(MetadataImage opened)
{
    RawPreview result;
    if (!opened) {
        result.error = opened.error;
        return result;
    }
    result.readable = true;
    try {
        Exiv2::PreviewManager previews(*opened.image);
        const Exiv2::PreviewPropertiesList list = previews.getPreviewProperties();
        if (list.empty()) {
            result.error = "a camera RAW file without an embedded preview";
            return result;
        }
        // By pixels, and among previews of one size by bytes (the better-compressed one is smaller).
        const auto largest = std::max_element(list.begin(), list.end(), [](const auto& a, const auto& b) {
            const auto area = [](const Exiv2::PreviewProperties& p) {
                return std::uint64_t(p.width_) * p.height_ * 16 + p.size_ / 1024;
            };
            return area(a) < area(b);
        });
        const Exiv2::PreviewImage preview = previews.getPreviewImage(*largest);
        result.bytes.assign(preview.pData(), preview.pData() + preview.size());
        if (result.bytes.empty())
            result.error = "a camera RAW file whose embedded preview is empty";
        result.orientation = exifOrientation(opened.image->exifData());
    } catch (const std::exception& error) {
        result = RawPreview();
        result.error = error.what();
    } catch (...) {
        result = RawPreview();
        result.error = "the metadata library failed without a reason";
    }
    return result;
}

} // namespace

void startExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Its warnings about odd maker notes would fill the terminal; callers report damage themselves.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        static std::recursive_mutex registry;
        Exiv2::XmpParser::initialize(lockXmpRegistry, &registry);
#ifdef EXV_ENABLE_BMFF
        Exiv2::enableBMFF(true);
#endif
    });
}

MetadataImage openMetadata(const void* data, std::size_t size)
{
    if (size == 0 || size > std::size_t(std::numeric_limits<long>::max())) {
        MetadataImage empty;
        empty.error = size == 0 ? "empty file" : "file too large";
        return empty;
    }
    return openWith([&] { return Exiv2::ImageFactory::open(static_cast<const Exiv2::byte*>(data), long(size)); });
}

MetadataImage openMetadataFile(const std::string& path)
{
    MetadataImage refused;
    if (!isRegularFile(path, &refused.error))
        return refused;
    return openWith([&] { return Exiv2::ImageFactory::open(path, false); });
}

std::optional<std::string> exifText(const Exiv2::ExifData& exif, const char* key)
{
    try {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it == exif.end())
            return std::nullopt;
        return it->toString();
    } catch (const std::exception&) {
        return std::nullopt; // a key this libexiv2 does not know: the program asks for none such
    }
}

std::optional<std::string> xmpText(const Exiv2::XmpData& xmp, const char* key)
{
    try {
        const auto it = xmp.findKey(Exiv2::XmpKey(key));
        if (it == xmp.end())
            return std::nullopt;
        if (const auto* alt = dynamic_cast<const Exiv2::LangAltValue*>(&it->value())) {
            if (alt->value_.empty())
                return std::string();
            const auto preferred = alt->value_.find("x-default");
            return preferred != alt->value_.end() ? preferred->second : alt->value_.begin()->second;
        }
        return it->toString();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<double> exifRational(const Exiv2::ExifData& exif, const char* key, long index)
{
    try {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it == exif.end() || index < 0 || it->count() <= index)
            return std::nullopt;
        const Exiv2::Rational r = it->toRational(index);
        if (r.second == 0)
            return std::nullopt;
        return double(r.first) / double(r.second);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

int exifOrientation(const Exiv2::ExifData& exif)
{
    try {
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found == exif.end() || found->count() == 0)
            return 1;
        const long value = found->toLong();
        return value >= 1 && value <= 8 ? int(value) : 1;
    } catch (const std::exception&) {
        return 1;
    }
}

RawPreview largestRawPreview(const void* data, std::size_t size)
{
    return largestPreviewOf(openMetadata(data, size));
}

RawPreview largestRawPreview(const std::string& path)
{
    return largestPreviewOf(openMetadataFile(path));
}

} // namespace marquelo::media
