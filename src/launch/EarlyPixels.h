#pragma once
// Pixels for the early window, without Qt: 32-bit xRGB words (as an X screen of depth 24 takes them),
// scaled by area averages, the way the viewer's smooth scaling looks, and made upright.

#include "media/Orientation.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace marquelo {

struct XrgbPicture {
    int width = 0;
    int height = 0;
    // Rows of `width` words, one after the other.
    std::vector<std::uint32_t> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
};

// Scales a picture fed to it row by row, top to bottom, to `toWidth` x `toHeight`: each pixel the
// average of the source area it covers (larger or smaller alike). Each finished row goes to `row` as
// soon as the source rows under it are in, so a decoder's rows are scaled as they come and the
// picture at full size never exists.
class RowScaler {
public:
    using RowDone = std::function<void(int y, const std::uint32_t* row)>;
    RowScaler(int width, int height, int toWidth, int toHeight, RowDone row);
    // The next source row, `width` words.
    void push(const std::uint32_t* row);

private:
    // Per output column: its first source column and how many follow, with their 14-bit shares.
    std::vector<int> m_firstColumn;
    std::vector<int> m_columnCount;
    std::vector<std::uint16_t> m_columnWeights; // kMaxTaps per output column
    // Per source row: the output rows it adds to and its 12-bit share in each.
    struct Share {
        int row;
        std::uint32_t weight;
    };
    std::vector<std::vector<Share>> m_rowShares;
    std::vector<int> m_lastSourceRow; // per output row
    int m_width = 0;
    int m_toWidth = 0;
    int m_next = 0;
    int m_maxTaps = 0;
    std::vector<std::uint16_t> m_across;
    // Sums of the output rows under way, by output row modulo their count.
    std::vector<std::vector<std::uint32_t>> m_sums;
    std::vector<std::uint32_t> m_out;
    RowDone m_row;
};

// A RowScaler on a thread of its own, so a decoder goes on with the next rows while the last ones are
// scaled: rows pushed are copied into one of a few reused batches (the producer waits when all are
// full). RowDone is called on that thread.
class RowScalerThread {
public:
    RowScalerThread(int width, int height, int toWidth, int toHeight, RowScaler::RowDone row);
    // Waits for the rows pushed so far to be scaled.
    ~RowScalerThread();
    RowScalerThread(const RowScalerThread&) = delete;
    RowScalerThread& operator=(const RowScalerThread&) = delete;
    // `count` rows of `width` words, one after the other.
    void push(const std::uint32_t* rows, int count);
    // Waits until every row pushed has been scaled.
    void finish();

private:
    struct Batch {
        std::vector<std::uint32_t> rows;
        int count = 0;
    };
    void run();

    RowScaler m_scaler;
    int m_width;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Batch> m_batches;
    // Batches filled and not yet scaled, from m_first on, in order.
    std::size_t m_first = 0;
    std::size_t m_filled = 0;
    bool m_finishing = false;
    std::thread m_thread;
};

// `width` x `height` words `stride` bytes apart, scaled to `toWidth` x `toHeight` by RowScaler.
XrgbPicture scaledByArea(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride, int toWidth,
                         int toHeight);

// `picture` turned and mirrored as `orientation` says.
XrgbPicture oriented(XrgbPicture picture, const media::Orientation& orientation);

} // namespace marquelo
