// The EXIF orientation of the camera photos, read from the same bytes (the first 128 KiB of each file,
// what the thumbnail path reads) three ways: the segment walk and the EXIF reader of the media floor,
// libjpeg's header reader with the same EXIF reader (what the viewer runs for every photo it shows), and
// libexiv2. The figure decides whether the hand-written reader stays (see media/ExifTiff.h).
#include "../Corpus.h"

#include "media/ExifTiff.h"
#include "media/Exiv2Library.h"
#include "media/JpegHeader.h"
#include "media/JpegSegments.h"

#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

const std::vector<Bytes>& heads()
{
    static const std::vector<Bytes> all = [] {
        std::vector<Bytes> out;
        const std::string folder = marquelo::bench::corpusFolder("camera", "bench_media_orientation");
        if (folder.empty())
            return out;
        std::vector<std::filesystem::path> paths;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.path().extension() == ".jpg")
                paths.push_back(e.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& path : paths) {
            std::ifstream in(path, std::ios::binary);
            Bytes head(128 * 1024);
            in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
            head.resize(std::size_t(in.gcount()));
            out.push_back(std::move(head));
        }
        return out;
    }();
    return all;
}

int byWalk(const Bytes& jpeg)
{
    const auto exif = marquelo::media::findJpegExif(jpeg);
    return exif ? marquelo::media::exifOrientation(marquelo::media::TiffView(jpeg).subspan(exif->offset, exif->size))
                : 1;
}

int byJpegHeader(const Bytes& jpeg)
{
    return marquelo::media::exifOrientation(marquelo::media::readJpegHeader(jpeg).exif);
}

int byExiv2(const Bytes& jpeg)
{
    try {
        auto image = Exiv2::ImageFactory::open(jpeg.data(), long(jpeg.size()));
        image->readMetadata();
        const auto found = image->exifData().findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found == image->exifData().end() || found->count() != 1)
            return 1;
        const long o = found->toLong();
        return o >= 1 && o <= 8 ? int(o) : 1;
    } catch (const Exiv2::Error&) {
        return 1;
    }
}

template <int (*Read)(const Bytes&)> void BM_Orientation(benchmark::State& state)
{
    const auto& photos = heads();
    if (photos.empty()) {
        state.SkipWithError("no photo corpus");
        return;
    }
    marquelo::media::startExiv2();
    // Both readers must agree for the figure to mean anything.
    int disagreements = 0;
    for (const Bytes& jpeg : photos)
        disagreements += Read(jpeg) != byExiv2(jpeg);
    for (auto _ : state)
        for (const Bytes& jpeg : photos)
            benchmark::DoNotOptimize(Read(jpeg));
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(photos.size()));
    state.counters["photos"] = double(photos.size());
    state.counters["disagree"] = disagreements;
}
BENCHMARK_TEMPLATE(BM_Orientation, byWalk)->Name("OrientationBySegmentWalk")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Orientation, byJpegHeader)->Name("OrientationByJpegHeader")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Orientation, byExiv2)->Name("OrientationByLibexiv2")->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (heads().empty())
        return marquelo::bench::kSkipped;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
