// Scanning a full folder (4095 files, a tenth of them edited copies) in each sort order, against a
// plain listing of the same folder as the baseline.
#include "core/viewer/ImageList.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace {

const QTemporaryDir& fullFolder()
{
    static QTemporaryDir dir;
    static const bool filled = [] {
        const std::string base = dir.path().toStdString();
        int made = 0;
        for (int i = 0; made < marquelo::ImageList::kCapacity; ++i) {
            const std::string name = "IMG_" + std::to_string(10000 + i);
            std::ofstream(base + "/" + name + ".JPG").put('x');
            ++made;
            if (i % 10 == 0 && made < marquelo::ImageList::kCapacity) {
                std::ofstream(base + "/" + name + "_edit.JPG").put('x');
                ++made;
            }
        }
        return true;
    }();
    (void)filled;
    return dir;
}

void BM_PlainListing(benchmark::State& state)
{
    const std::string path = fullFolder().path().toStdString();
    for (auto _ : state) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path)) {
            names.push_back(e.path().filename().string());
            benchmark::DoNotOptimize(e.last_write_time());
        }
        benchmark::DoNotOptimize(names.data());
    }
}
BENCHMARK(BM_PlainListing)->Unit(benchmark::kMillisecond);

void BM_Scan(benchmark::State& state)
{
    const std::string path = fullFolder().path().toStdString();
    marquelo::AppConfig config;
    config.Sorting = std::uint8_t(state.range(0));
    config.BundleEditedImages = true;
    config.EditFileSuffix = "_edit";
    config.OtherExtensions = "*.mpg;*.mpeg;*.mov;*.wmv;*.avi;*.gif";
    marquelo::ImageList list;
    for (auto _ : state) {
        list.scanDirectory(path, config);
        benchmark::DoNotOptimize(list.count());
    }
    state.counters["entries"] = list.count();
}
BENCHMARK(BM_Scan)->Arg(0)->Arg(1)->Arg(2)->ArgName("sorting")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
