#include "core/viewer/vips/HevcGrid.h"

#include "core/viewer/DecodeReasons.h"
#include "core/viewer/vips/TileScaler.h"

#include <libde265/de265.h>

#include <glib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>

namespace marquelo {

namespace {

// Offsets into an 'hvcC' body (ISO/IEC 14496-15).
constexpr std::size_t kChromaFormat = 16;
constexpr std::size_t kLumaDepth = 17;
constexpr std::size_t kChromaDepth = 18;
constexpr std::size_t kLengthSize = 21;
constexpr std::size_t kArrays = 22;

struct DecoderDeleter {
    void operator()(de265_decoder_context* decoder) const { de265_free_decoder(decoder); }
};

bool pushNal(de265_decoder_context* decoder, const std::uint8_t* data, std::size_t size)
{
    return size >= 2 && size < (1u << 30) && de265_isOK(de265_push_NAL(decoder, data, int(size), 0, nullptr));
}

// The parameter sets of the configuration, then the tile's own NAL units.
bool pushTile(de265_decoder_context* decoder, const HeifGridTile& tile)
{
    const std::uint8_t* config = tile.config;
    std::size_t at = kArrays + 1;
    for (int array = 0, arrays = config[kArrays]; array < arrays; ++array) {
        if (tile.configSize - at < 3)
            return false;
        const int count = (config[at + 1] << 8) | config[at + 2];
        at += 3;
        for (int n = 0; n < count; ++n) {
            if (tile.configSize - at < 2)
                return false;
            const std::size_t length = std::size_t((config[at] << 8) | config[at + 1]);
            at += 2;
            if (tile.configSize - at < length || !pushNal(decoder, config + at, length))
                return false;
            at += length;
        }
    }
    const int lengthBytes = (config[kLengthSize] & 3) + 1;
    std::size_t pos = 0;
    while (pos < tile.size) {
        if (tile.size - pos < std::size_t(lengthBytes))
            return false;
        std::size_t length = 0;
        for (int i = 0; i < lengthBytes; ++i)
            length = (length << 8) | tile.data[pos++];
        if (tile.size - pos < length || !pushNal(decoder, tile.data + pos, length))
            return false;
        pos += length;
    }
    return de265_isOK(de265_flush_data(decoder));
}

struct GridJob {
    const HeifGrid* grid;
    HevcLayout layout;
    TileScaler* scaler;
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::mutex reasonMutex;
    QString reason;

    void fail(QString why)
    {
        const std::lock_guard<std::mutex> lock(reasonMutex);
        if (!failed.exchange(true))
            reason = std::move(why);
    }

    // One thread's share: tiles taken in turn until none is left.
    void decodeTiles()
    {
        const int count = int(grid->tiles.size());
        for (int index = next++; index < count && !failed; index = next++) {
            const HeifGridTile& tile = grid->tiles[std::size_t(index)];
            const std::unique_ptr<de265_decoder_context, DecoderDeleter> decoder(de265_new_decoder());
            if (!decoder)
                return fail(reasons::noMemory());
            if (!pushTile(decoder.get(), tile))
                return fail(reasons::damaged(QStringLiteral("a tile of the picture is cut short")));
            const de265_image* picture = nullptr;
            int more = 1;
            de265_error error = DE265_OK;
            while (more && !picture) {
                more = 0;
                error = de265_decode(decoder.get(), &more);
                if (error != DE265_OK)
                    break;
                picture = de265_get_next_picture(decoder.get());
            }
            if (!picture)
                return fail(reasons::damaged(QStringLiteral("a tile of the picture cannot be decoded (%1)")
                                                 .arg(QString::fromUtf8(de265_get_error_text(error)))));
            const de265_chroma expected = layout.grey           ? de265_chroma_mono
                                          : layout.chromaShiftY ? de265_chroma_420
                                          : layout.chromaShiftX ? de265_chroma_422
                                                                : de265_chroma_444;
            const int channels = layout.grey ? 1 : 3;
            bool fits = de265_get_chroma_format(picture) == expected &&
                        de265_get_image_width(picture, 0) == grid->tileWidth &&
                        de265_get_image_height(picture, 0) == grid->tileHeight;
            const std::uint8_t* planes[3] = {};
            int strides[3] = {};
            for (int channel = 0; channel < channels && fits; ++channel) {
                planes[channel] = de265_get_image_plane(picture, channel, &strides[channel]);
                const int width = (grid->tileWidth + (channel ? (1 << layout.chromaShiftX) - 1 : 0)) >>
                                  (channel ? layout.chromaShiftX : 0);
                const int height = (grid->tileHeight + (channel ? (1 << layout.chromaShiftY) - 1 : 0)) >>
                                   (channel ? layout.chromaShiftY : 0);
                fits = planes[channel] && de265_get_bits_per_pixel(picture, channel) == 8 &&
                       de265_get_image_width(picture, channel) == width &&
                       de265_get_image_height(picture, channel) == height && strides[channel] >= width;
            }
            if (!fits)
                return fail(reasons::damaged(QStringLiteral("a tile of the picture is not as its file describes it")));
            const int row = index / grid->columns, column = index % grid->columns;
            scaler->add(column * grid->tileWidth, row * grid->tileHeight, grid->tileWidth, grid->tileHeight, planes,
                        strides);
        }
    }
};

} // namespace

void runPieces(const PictureThreads& threads, int count, const std::function<void(int)>& piece)
{
    auto call = [](void* context, int index) { (*static_cast<const std::function<void(int)>*>(context))(index); };
    if (threads.run && threads.count > 1 && count > 1) {
        threads.run(count, const_cast<std::function<void(int)>*>(&piece), call);
        return;
    }
    for (int i = 0; i < count; ++i)
        call(const_cast<std::function<void(int)>*>(&piece), i);
}

VipsPixels scaledRgb(const TileScaler& scaler, const YcbcrToRgb& conversion, const PictureThreads& threads)
{
    VipsPixels out;
    const int width = scaler.targetWidth(), height = scaler.targetHeight();
    const std::int64_t stride = std::int64_t(width) * 3;
    out.data = std::shared_ptr<void>(g_try_malloc(std::size_t(stride) * std::size_t(height)), g_free);
    if (!out.data) {
        out.error = reasons::noMemory();
        return out;
    }
    auto* pixels = static_cast<std::uint8_t*>(out.data.get());
    const int bands = std::clamp(threads.count, 1, height);
    runPieces(threads, bands, [&](int piece) {
        const int first = int(std::int64_t(height) * piece / bands);
        const int last = int(std::int64_t(height) * (piece + 1) / bands);
        scaler.toRgb(conversion, first, last - first, pixels + first * stride, stride);
    });
    out.width = width;
    out.height = height;
    out.bands = 3;
    out.bits = 8;
    out.stride = stride;
    out.ok = true;
    return out;
}

std::optional<HevcLayout> hevcGridLayout(const HeifGrid& grid)
{
    if (grid.tiles.empty())
        return std::nullopt;
    const HeifGridTile& first = grid.tiles.front();
    if (first.configSize <= kArrays)
        return std::nullopt;
    HevcLayout layout;
    const int chroma = first.config[kChromaFormat] & 3;
    layout.grey = chroma == 0;
    layout.chromaShiftX = chroma == 1 || chroma == 2 ? 1 : 0;
    layout.chromaShiftY = chroma == 1 ? 1 : 0;
    if ((first.config[kLumaDepth] & 7) != 0 || (!layout.grey && (first.config[kChromaDepth] & 7) != 0))
        return std::nullopt;
    for (const HeifGridTile& tile : grid.tiles)
        if (tile.configSize <= kArrays || (tile.config[kChromaFormat] & 3) != chroma)
            return std::nullopt;
    return layout;
}

VipsPixels decodeHevcGrid(const HeifGrid& grid, const HevcLayout& layout, int targetWidth, int targetHeight,
                          const YcbcrToRgb& conversion, const PictureThreads& threads)
{
    TileScaler scaler(grid.width, grid.height, targetWidth, targetHeight, layout.chromaShiftX, layout.chromaShiftY,
                      layout.grey);
    GridJob job;
    job.grid = &grid;
    job.layout = layout;
    job.scaler = &scaler;
    runPieces(threads, threads.count, [&job](int) { job.decodeTiles(); });
    if (job.failed) {
        VipsPixels out;
        out.error = job.reason;
        return out;
    }
    return scaledRgb(scaler, conversion, threads);
}

} // namespace marquelo
