#include "core/viewer/vips/Av1Picture.h"

#include "core/viewer/DecodeReasons.h"
#include "core/viewer/vips/HevcGrid.h"

#include <dav1d/dav1d.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>

namespace marquelo {

namespace {

struct ContextDeleter {
    void operator()(Dav1dContext* context) const { dav1d_close(&context); }
};

struct PictureDeleter {
    void operator()(Dav1dPicture* picture) const
    {
        dav1d_picture_unref(picture);
        delete picture;
    }
};

VipsPixels refusal(QString reason)
{
    VipsPixels out;
    out.error = std::move(reason);
    return out;
}

} // namespace

std::optional<VipsPixels> decodeAv1Picture(const HeifCodedPicture& picture, int targetWidth, int targetHeight,
                                           const YcbcrToRgb& conversion, const PictureThreads& threads)
{
    Dav1dSettings settings;
    dav1d_default_settings(&settings);
    settings.n_threads = std::clamp(threads.count, 1, 8);
    settings.max_frame_delay = 1;
    settings.all_layers = 0;
    settings.frame_size_limit =
        unsigned(std::min<std::uint64_t>(std::uint64_t(picture.width) * std::uint64_t(picture.height), 0xffffffffu));
    // A damaged picture is refused with its reason; dav1d's own words would go to the terminal.
    settings.logger.cookie = nullptr;
    settings.logger.callback = [](void*, const char*, va_list) {};
    Dav1dContext* rawContext = nullptr;
    if (dav1d_open(&rawContext, &settings) != 0)
        return refusal(reasons::noMemory());
    const std::unique_ptr<Dav1dContext, ContextDeleter> context(rawContext);

    // dav1d reads the file's bytes where they are; they outlive the decode.
    Dav1dData data{};
    if (dav1d_data_wrap(
            &data, picture.data, picture.size, [](const std::uint8_t*, void*) {}, nullptr) != 0)
        return refusal(reasons::noMemory());
    const std::unique_ptr<Dav1dPicture, PictureDeleter> decoded(new Dav1dPicture{});
    int result = dav1d_send_data(context.get(), &data);
    for (int attempt = 0; attempt < 64; ++attempt) {
        if (result != 0 && result != DAV1D_ERR(EAGAIN))
            break;
        result = dav1d_get_picture(context.get(), decoded.get());
        if (result == 0 || result != DAV1D_ERR(EAGAIN))
            break;
        if (data.sz > 0)
            result = dav1d_send_data(context.get(), &data);
    }
    dav1d_data_unref(&data);
    if (result != 0 || !decoded->data[0])
        return refusal(reasons::damaged(QStringLiteral("the AV1 picture cannot be decoded")));
    const Dav1dPictureParameters& p = decoded->p;
    if (p.bpc != 8)
        return std::nullopt;
    if (p.w != picture.width || p.h != picture.height)
        return refusal(reasons::damaged(QStringLiteral("the AV1 picture is not as its file describes it")));
    const bool grey = p.layout == DAV1D_PIXEL_LAYOUT_I400;
    const int shiftX = p.layout == DAV1D_PIXEL_LAYOUT_I420 || p.layout == DAV1D_PIXEL_LAYOUT_I422 ? 1 : 0;
    const int shiftY = p.layout == DAV1D_PIXEL_LAYOUT_I420 ? 1 : 0;

    // The picture goes to the scaler in bands of whole rows (an even number of them, so that each band
    // starts on a chroma row), each band's share of the target added by whichever thread takes it.
    TileScaler scaler(p.w, p.h, targetWidth, targetHeight, shiftX, shiftY, grey);
    const int bands = std::min(std::max(1, threads.count) * 4, std::max(1, p.h / 16));
    const int bandHeight = ((p.h + bands - 1) / bands + 1) & ~1;
    const auto* luma = static_cast<const std::uint8_t*>(decoded->data[0]);
    const auto* cb = static_cast<const std::uint8_t*>(decoded->data[1]);
    const auto* cr = static_cast<const std::uint8_t*>(decoded->data[2]);
    const int strides[3] = {int(decoded->stride[0]), int(decoded->stride[1]), int(decoded->stride[1])};
    std::atomic<int> next{0};
    runPieces(threads, threads.count, [&](int) {
        for (int band = next++; band * bandHeight < p.h; band = next++) {
            const int y = band * bandHeight;
            const std::uint8_t* planes[3] = {
                luma + std::ptrdiff_t(y) * strides[0],
                grey ? nullptr : cb + std::ptrdiff_t(y >> shiftY) * strides[1],
                grey ? nullptr : cr + std::ptrdiff_t(y >> shiftY) * strides[2],
            };
            scaler.add(0, y, p.w, std::min(bandHeight, p.h - y), planes, strides);
        }
    });
    return scaledRgb(scaler, conversion, threads);
}

} // namespace marquelo
