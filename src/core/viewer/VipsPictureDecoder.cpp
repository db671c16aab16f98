#include "core/viewer/VipsPictureDecoder.h"

#include "core/settings/Logging.h"
#include "core/viewer/DecodeReasons.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/vips/VipsModule.h"
#include "media/ExceptionText.h"
#include "media/Exiv2Library.h"

#include <QBuffer>
#include <QImageReader>
#include <QTransform>

#include <exiv2/exiv2.hpp>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace marquelo {

namespace {

bool turnsQuarter(int orientation)
{
    return orientation >= 5;
}

// EXIF orientation 1..8 applied to a picture: mirror or flip first, then a quarter turn.
QImage oriented(QImage image, int orientation)
{
    switch (orientation) {
    case 2: return std::move(image).mirrored(true, false);
    case 3: return std::move(image).mirrored(true, true);
    case 4: return std::move(image).mirrored(false, true);
    case 5: return image.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6: return image.transformed(QTransform().rotate(90));
    case 7: return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8: return image.transformed(QTransform().rotate(270));
    default: return image;
    }
}

// Beside the program's folder: bin/../lib/marquelo in the build tree, the multiarch library folder when
// installed; tests and benchmarks of the build tree find it where the build put it.
std::vector<std::string> moduleCandidates()
{
    std::vector<std::string> paths;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        paths.push_back((exe.parent_path() / "../lib/marquelo/marquelo_vips.so").lexically_normal().string());
#ifdef MARQUELO_VIPS_MODULE_INSTALLED
        paths.push_back((exe.parent_path() / MARQUELO_VIPS_MODULE_INSTALLED).lexically_normal().string());
#endif
    }
#ifdef MARQUELO_VIPS_MODULE_BUILT
    paths.emplace_back(MARQUELO_VIPS_MODULE_BUILT);
#endif
    return paths;
}

const VipsModule* loadModule()
{
    std::string failure;
    for (const std::string& path : moduleCandidates()) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            if (failure.empty())
                failure = dlerror();
            continue;
        }
        // Never closed: libvips cannot be unloaded from a process once it ran.
        const auto entry = reinterpret_cast<const VipsModule* (*)()>(dlsym(handle, "marquelo_vips_module"));
        const VipsModule* module = entry ? entry() : nullptr;
        if (module && module->version == kVipsModuleVersion)
            return module;
        failure = path + ": not this program's version of the module";
    }
    // Said once: every picture but JPEG then shows the no-picture sign, and this says why.
    std::fprintf(stderr, "marquelo: the decoders of formats other than JPEG are missing (%s)\n",
                 failure.empty() ? "marquelo_vips.so not found" : failure.c_str());
    return nullptr;
}

// libvips, once for the process; null when the module cannot be loaded or libvips cannot start.
const VipsModule* vips()
{
    static const VipsModule* const module = [] {
        const VipsModule* loaded = loadModule();
        return loaded && loaded->start() ? loaded : nullptr;
    }();
    return module;
}

QByteArray profileOf(const VipsPixels& pixels)
{
    if (pixels.madeSrgb)
        return {};
    if (pixels.hdr.transfer != media::HdrTransfer::None) {
        const std::vector<unsigned char> icc = media::hdrProfile(pixels.hdr);
        return QByteArray(reinterpret_cast<const char*>(icc.data()), qsizetype(icc.size()));
    }
    return pixels.icc;
}

} // namespace

bool VipsPictureDecoder::startLibrary()
{
    return vips() != nullptr;
}

bool VipsPictureDecoder::recognises(const QByteArray& bytes)
{
    const VipsModule* module = bytes.isEmpty() ? nullptr : vips();
    return module && module->recognises(bytes);
}

DecodedPicture VipsPictureDecoder::decode(const QByteArray& bytes, QSize fitInto, double minScale,
                                          std::int64_t maxDecodedBytes)
{
    DecodedPicture out;
    if (bytes.isEmpty()) {
        out.error = QStringLiteral("the file is empty");
        return out;
    }
    const VipsModule* module = vips();
    if (!module) {
        out.error = QStringLiteral("the decoders of formats other than JPEG are missing");
        return out;
    }
    try {
        VipsPixels pixels = module->decode(bytes, fitInto, minScale, maxDecodedBytes);
        if (!pixels.ok) {
            out.error = pixels.error.isEmpty() ? reasons::damaged(QString()) : pixels.error;
            return out;
        }
        QImage picture =
            PictureColour::fromInterleaved(pixels.data.get(), pixels.width, pixels.height, qsizetype(pixels.stride),
                                           pixels.bands, pixels.bits, profileOf(pixels));
        pixels.data.reset();
        if (picture.isNull()) {
            out.error = reasons::noMemory();
            return out;
        }
        out.image = oriented(std::move(picture), pixels.orientation);
        out.fullSize = pixels.fullSize;
        out.fullResolution = pixels.fullResolution;
        out.ok = !out.image.isNull();
        if (!out.ok)
            out.error = reasons::noMemory();
    } catch (const std::bad_alloc&) {
        out = DecodedPicture();
        out.error = reasons::noMemory();
    }
    return out;
}

VipsPictureDecoder::RawPreview VipsPictureDecoder::largestRawPreview(const QByteArray& raw)
{
    RawPreview result;
    if (raw.isEmpty())
        return result;
    media::startExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(raw.constData()), long(raw.size()));
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
        result.bytes = QByteArray(reinterpret_cast<const char*>(preview.pData()), qsizetype(preview.size()));
        const Exiv2::ExifData& exif = image->exifData();
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found != exif.end() && found->count() > 0) {
            const long o = found->toLong();
            result.orientation = o >= 1 && o <= 8 ? int(o) : 1;
        }
    } catch (...) {
        // libexiv2 throws on every kind of damage; a RAW it cannot read has no preview for us.
        RawPreview none;
        none.error = QString::fromStdString(media::currentExceptionText());
        qCWarning(lcViewer) << "RAW preview:" << none.error;
        return none;
    }
    return result;
}

DecodedPicture VipsPictureDecoder::decodeRawPreview(const QByteArray& bytes, QSize fitInto, double minScale)
{
    const RawPreview preview = largestRawPreview(bytes);
    if (preview.bytes.isEmpty()) {
        DecodedPicture none;
        none.error = preview.error.isEmpty() ? QStringLiteral("the RAW file holds no preview picture")
                                             : QStringLiteral("the RAW file cannot be read (%1)").arg(preview.error);
        return none;
    }
    // The preview JPEG rarely carries an orientation of its own; the camera wrote it into the RAW.
    QByteArray copy = preview.bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const bool ownOrientation = QImageReader(&buffer).transformation() != QImageIOHandler::TransformationNone;
    const int orientation = ownOrientation ? 1 : preview.orientation;
    // Scale to fit the upright picture: ask with the box turned when the RAW turns a quarter.
    const QSize box = turnsQuarter(orientation) ? fitInto.transposed() : fitInto;
    DecodedPicture decoded = PictureDecoder::decode(preview.bytes, box, minScale);
    if (!decoded.ok || orientation == 1)
        return decoded;
    decoded.image = oriented(std::move(decoded.image), orientation);
    if (turnsQuarter(orientation))
        decoded.fullSize.transpose();
    return decoded;
}

} // namespace marquelo
