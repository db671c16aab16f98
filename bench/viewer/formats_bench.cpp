// Showing photos of today's formats nothing has prepared, against baselines measured in the same run:
// - the corpus's 8-bit HEICs (12 and 16 MP phone photos) and an AVIF for a 1920x1080 screen against
//   libheif's own single-threaded full decode;
// - a RAW file against decoding its embedded preview JPEG alone;
// - a Display P3 / Adobe RGB JPEG with its profile against the same bytes with the profile taken out
//   (what the colour conversion adds to a cold show);
// - every file of the formats corpus: the viewer's cold show, for reference.
// The colour figures are given three ways: wall time (what a person waits on a machine with a core to
// spare; on a busy machine the conversion's own threads wait for one too), the decoding thread's CPU
// time (the same wait with a free core, undisturbed by other processes), and the process's CPU time
// (all the work, on whichever threads).
//
// Usage: bench_viewer_formats [heic|raw|colour|all]... (default: every part)
#include "../Corpus.h"
#include "core/viewer/PictureDecoder.h"
#include "core/viewer/VipsPictureDecoder.h"
#include "media/Exiv2Library.h"

#include <QFile>

#include <libheif/heif.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using marquelo::PictureDecoder;
using marquelo::VipsPictureDecoder;

const QSize kScreen(1920, 1080);

std::string formats(const char* name)
{
    return marquelo::bench::corpusDir() + "/formats/" + name;
}

QByteArray readAll(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeMs(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// libheif alone, one decoding thread, primary image to interleaved RGB at full size.
void heifSingleThreaded(const QByteArray& bytes)
{
    heif_context* ctx = heif_context_alloc();
    heif_context_set_max_decoding_threads(ctx, 0);
    if (heif_context_read_from_memory_without_copy(ctx, bytes.constData(), size_t(bytes.size()), nullptr).code ==
        heif_error_Ok) {
        heif_image_handle* handle = nullptr;
        if (heif_context_get_primary_image_handle(ctx, &handle).code == heif_error_Ok) {
            heif_image* image = nullptr;
            if (heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code ==
                heif_error_Ok)
                heif_image_release(image);
            heif_image_handle_release(handle);
        }
    }
    heif_context_free(ctx);
}

// The JPEG without its APP2 ICC_PROFILE segments: the same picture, shown without conversion.
QByteArray withoutProfile(const QByteArray& jpeg)
{
    QByteArray out = jpeg.left(2);
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size() && uchar(jpeg[pos]) == 0xFF) {
        const uchar marker = uchar(jpeg[pos + 1]);
        if (marker == 0xDA)
            break;
        const int length = (uchar(jpeg[pos + 2]) << 8) | uchar(jpeg[pos + 3]);
        if (!(marker == 0xE2 && jpeg.mid(pos + 4, 11) == "ICC_PROFILE"))
            out += jpeg.mid(pos, 2 + length);
        pos += 2 + length;
    }
    return out + jpeg.mid(pos);
}

struct Pair {
    double ours, baseline;
};

double cpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Wall, calling thread's CPU and whole process's CPU milliseconds of `work`.
struct Times {
    double wall, thread, process;
};

Times times(const std::function<void()>& work)
{
    const double thread = cpuMs(CLOCK_THREAD_CPUTIME_ID), process = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    const double wall = timeMs(work);
    return {wall, cpuMs(CLOCK_THREAD_CPUTIME_ID) - thread, cpuMs(CLOCK_PROCESS_CPUTIME_ID) - process};
}

Pair compare(const std::function<void()>& ours, const std::function<void()>& baseline, int rounds = 7)
{
    std::vector<double> a, b;
    for (int i = 0; i < rounds; ++i) { // interleaved, so load from other processes hits both alike
        a.push_back(timeMs(ours));
        b.push_back(timeMs(baseline));
    }
    return {median(a), median(b)};
}

double medianOf(const std::vector<Times>& runs, double Times::*field)
{
    std::vector<double> values;
    for (const Times& t : runs)
        values.push_back(t.*field);
    return median(values);
}

} // namespace

bool wanted(int argc, char** argv, const char* part)
{
    if (argc < 2)
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], part) == 0 || std::strcmp(argv[i], "all") == 0)
            return true;
    return false;
}

int main(int argc, char** argv)
{
    if (marquelo::bench::corpusFolder("formats", "bench_viewer_formats").empty())
        return marquelo::bench::kSkipped;
    VipsPictureDecoder::startLibrary();

    if (wanted(argc, argv, "heic")) {
        // The phones' grids of HEVC tiles, then an AVIF (one AV1 picture, libheif's planes scaled here).
        for (const char* file :
             {"apple_iphone13pro_grid_irot270_p3.heic", "apple_iphone_xr_grid_irot270_p3.heic",
              "samsung_galaxy_s10_irot270.heic", "hmd_nokia_8_3_irot270_exif1.heif", "canon_eos70d.avif"}) {
            const QByteArray heic = readAll(formats(file));
            std::vector<Times> ours, libheif;
            for (int i = 0; i < 7; ++i) { // interleaved, so load from other processes hits both alike
                // Two threads, as the viewer gives the picture it shows (a read-ahead gets one).
                ours.push_back(
                    times([&] { PictureDecoder::decode(heic, kScreen, 0, PictureDecoder::kMaxDecodedBytes, 2); }));
                libheif.push_back(times([&] { heifSingleThreaded(heic); }));
            }
            const double wall = medianOf(ours, &Times::wall), baseWall = medianOf(libheif, &Times::wall);
            const double cpu = medianOf(ours, &Times::process), baseCpu = medianOf(libheif, &Times::process);
            double load[3] = {};
            getloadavg(load, 3);
            std::printf("%s cold show %.1f ms, libheif single-threaded full decode %.1f ms: %.2fx (goal <= 0.6x on 2 "
                        "cores), load average %.2f\n",
                        file, wall, baseWall, wall / baseWall, load[0]);
            std::printf("  process CPU (all threads' work) %.1f ms / %.1f ms: %.2fx\n", cpu, baseCpu, cpu / baseCpu);
        }
    }

    if (wanted(argc, argv, "raw")) {
        for (const char* raw : {"canon_eos_r6_pruned.cr3", "canon_powershot_g2.crw"}) {
            const std::string path = formats(raw);
            const QByteArray file = readAll(path);
            const std::vector<unsigned char> jpeg =
                marquelo::media::largestRawPreview(file.constData(), std::size_t(file.size())).bytes;
            const QByteArray preview(reinterpret_cast<const char*>(jpeg.data()), qsizetype(jpeg.size()));
            // The viewer's cold show reads the file too; the baseline gets the preview bytes for free.
            const Pair r = compare([&] { PictureDecoder::decodeFile(path, kScreen); },
                                   [&] { PictureDecoder::decode(preview, kScreen); });
            std::printf("RAW %-30s cold show %.1f ms, its preview JPEG alone %.1f ms: %.2fx (goal <= 1.2x)\n", raw,
                        r.ours, r.baseline, r.ours / r.baseline);
        }
    }

    if (wanted(argc, argv, "colour")) {
        for (const char* jpeg : {"apple_iphone13pro_p3_orient6.jpg", "canon_eos7d_adobergb.jpg"}) {
            const QByteArray bytes = readAll(formats(jpeg));
            const QByteArray plain = withoutProfile(bytes);
            PictureDecoder::decode(bytes, kScreen); // the transform is made once a profile, not once a show
            std::vector<Times> with, without;
            for (int i = 0; i < 15; ++i) { // interleaved, so load from other processes hits both alike
                with.push_back(times([&] { PictureDecoder::decode(bytes, kScreen); }));
                without.push_back(times([&] { PictureDecoder::decode(plain, kScreen); }));
            }
            std::printf("colour %-34s with profile / without (goal <= +10%%):\n", jpeg);
            for (const auto& [name, field] :
                 {std::pair{"wall", &Times::wall}, std::pair{"decoding thread CPU", &Times::thread},
                  std::pair{"process CPU", &Times::process}}) {
                const double a = medianOf(with, field), b = medianOf(without, field);
                std::printf("  %-20s %7.1f ms / %7.1f ms: %+.1f%%\n", name, a, b, 100.0 * (a / b - 1.0));
            }
        }
    }

    if (!wanted(argc, argv, "files"))
        return 0;
    std::printf("\n%-44s %9s %11s\n", "file", "cold show", "decoded");
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(marquelo::bench::corpusDir() + "/formats"))
        if (e.path().extension() != ".tsv")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::vector<double> runs;
        marquelo::DecodedPicture d;
        for (int i = 0; i < 3; ++i)
            runs.push_back(timeMs([&] { d = PictureDecoder::decodeFile(path.string(), kScreen); }));
        std::printf("%-44s %7.1fms %5dx%-5d%s\n", path.filename().string().c_str(), median(runs), d.image.width(),
                    d.image.height(), d.ok ? "" : " (not shown)");
    }
    return 0;
}
