#pragma once
// Files that only look like photos, made on the fly: FIFOs that nobody writes, progressive JPEGs with
// far too many scans, pictures whose decoding takes far more memory than their files.

#include <QSize>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace marquelo::test {

// A FIFO at `path`. A reader that opens it would wait for a writer forever; so that a test of code
// that does so fails instead of hanging, a writer opens it once `patience` has passed (and when the
// FIFO is destroyed). released() tells whether that was needed.
class Fifo {
public:
    explicit Fifo(std::string path, std::chrono::seconds patience = std::chrono::seconds(20));
    ~Fifo();
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    const std::string& path() const { return m_path; }
    bool created() const { return m_created; }
    // True when a reader was found waiting on it and had to be let go.
    bool released() const { return m_released->load(); }

private:
    void release();

    std::string m_path;
    bool m_created = false;
    std::shared_ptr<std::atomic<bool>> m_released = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    std::thread m_watchdog;
};

// A scan bomb: a grey progressive JPEG of width x height whose every AC coefficient is sent in
// `passesPerBand` scans (1..10), one bit more each, so it holds progressiveScans(passesPerBand) scans
// and keeps a decoder busy far longer than its size says. Empty when it could not be made.
std::vector<unsigned char> progressiveJpeg(int width, int height, int passesPerBand);

// progressiveJpeg() written to `path`. False when it could not be written.
bool writeProgressiveJpeg(const std::string& path, QSize size, int passesPerBand);

// A PNG whose header claims `size` (8-bit RGBA) over a few rows of zeros: a decompression bomb as
// far as any reader that believes the header is concerned. False when it could not be written.
bool writePngClaiming(const std::string& path, QSize size);

// An animated WebP of `frames` black 1x1 frames on a `canvas` x `canvas` canvas (at most 16384): a few
// kilobytes whose every frame, as libvips composes it, is a whole canvas. False when it could not be
// written.
bool writeAnimatedWebp(const std::string& path, int canvas, int frames);

// The scans of writeProgressiveJpeg().
constexpr int progressiveScans(int passesPerBand)
{
    return 1 + 63 * passesPerBand;
}

} // namespace marquelo::test
