#include "core/viewer/VipsPictureDecoder.h"

#include "core/settings/Logging.h"
#include "core/settings/PrivateModules.h"
#include "core/viewer/DecodeReasons.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/Upright.h"
#include "core/viewer/WorkPools.h"
#include "core/viewer/vips/VipsModule.h"
#include "media/ExceptionText.h"
#include "media/ExifTiff.h"
#include "media/Exiv2Library.h"
#include "media/JpegHeader.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace marquelo {

namespace {

#ifndef MARQUELO_VIPS_MODULE_INSTALLED
#define MARQUELO_VIPS_MODULE_INSTALLED ""
#endif
#ifndef MARQUELO_VIPS_MODULE_BUILT
#define MARQUELO_VIPS_MODULE_BUILT ""
#endif

std::vector<std::string> moduleCandidates()
{
    return privateModulePlaces("marquelo_vips.so", MARQUELO_VIPS_MODULE_INSTALLED, MARQUELO_VIPS_MODULE_BUILT);
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

// The module's pieces of one picture, on the parts pool.
void runPieces(int count, void* context, void (*piece)(void* context, int index))
{
    std::vector<std::function<void()>> pieces;
    pieces.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        pieces.emplace_back([=] { piece(context, i); });
    workpools::runSplit(pieces);
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
                                          std::int64_t maxDecodedBytes, int threads)
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
        VipsPixels pixels =
            module->decode(bytes, fitInto, minScale, maxDecodedBytes, PictureThreads{std::max(1, threads), runPieces});
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
        out.image = upright(std::move(picture), media::Orientation::fromExif(pixels.orientation));
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

DecodedPicture VipsPictureDecoder::decodeRawPreview(const QByteArray& bytes, QSize fitInto, double minScale)
{
    const media::RawPreview raw = media::largestRawPreview(bytes.constData(), std::size_t(bytes.size()));
    if (raw.bytes.empty()) {
        qCWarning(lcViewer) << "RAW preview:" << raw.error.c_str();
        DecodedPicture none;
        none.error = raw.readable
                         ? QStringLiteral("the RAW file holds no preview picture")
                         : QStringLiteral("the RAW file cannot be read (%1)").arg(QString::fromStdString(raw.error));
        return none;
    }
    const QByteArray jpeg(reinterpret_cast<const char*>(raw.bytes.data()), qsizetype(raw.bytes.size()));
    return decodePreviewJpeg(jpeg, raw.orientation, fitInto, minScale);
}

DecodedPicture VipsPictureDecoder::decodePreviewJpeg(const QByteArray& jpeg, int rawOrientation, QSize fitInto,
                                                     double minScale)
{
    // The preview JPEG rarely carries an orientation of its own; the camera wrote it into the RAW.
    const media::JpegHeader own = media::readJpegHeader(
        media::ByteView(reinterpret_cast<const unsigned char*>(jpeg.constData()), std::size_t(jpeg.size())));
    const bool ownOrientation = media::exifOrientation(own.exif) != 1;
    const media::Orientation toUpright = media::Orientation::fromExif(ownOrientation ? 1 : rawOrientation);
    // Scale to fit the upright picture: ask with the box turned when the RAW turns a quarter.
    const QSize box = uprightSize(fitInto, toUpright);
    DecodedPicture decoded = PictureDecoder::decode(jpeg, box, minScale);
    if (!decoded.ok || toUpright.isIdentity())
        return decoded;
    decoded.image = upright(std::move(decoded.image), toUpright);
    decoded.fullSize = uprightSize(decoded.fullSize, toUpright);
    return decoded;
}

} // namespace marquelo
