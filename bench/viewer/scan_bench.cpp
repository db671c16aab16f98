// Scanning a full folder (4095 files, a tenth of them edited copies) in each sort order, against a
// plain listing of the same folder as the baseline; and 1,000 camera-sized JPEGs with EXIF listed by
// file time against by capture time, which reads each photo's first bytes.
#include "core/viewer/ImageList.h"
#include "core/viewer/ImageOrder.h"
#include "media/Exiv2Library.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>

#include <exiv2/exiv2.hpp>

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

// 1,000 photos of about 150 KB whose EXIF block carries 30 KB of comment (where a camera keeps its maker note), each
// with its own capture time, so the reader has a camera's layout to walk.
const QTemporaryDir& photoFolder()
{
    static QTemporaryDir dir;
    static const bool filled = [] {
        QImage noise(320, 240, QImage::Format_RGB32);
        auto* random = QRandomGenerator::global();
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, random->generate());
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        noise.save(&buffer, "JPEG", 90);
        marquelo::media::startExiv2();
        const std::string base = dir.path().toStdString();
        for (int i = 0; i < 1000; ++i) {
            auto photo =
                Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.constData()), long(jpeg.size()));
            Exiv2::ExifData exif;
            exif["Exif.Image.Make"] = std::string("OLYMPUS");
            exif["Exif.Image.Model"] = std::string("E-M5");
            exif["Exif.Photo.UserComment"] = Exiv2::DataValue(std::vector<Exiv2::byte>(30000, 7).data(), 30000);
            char when[32];
            std::snprintf(when, sizeof when, "2024:07:%02d %02d:%02d:%02d", 1 + (i * 7) % 28, (i * 13) % 24,
                          (i * 17) % 60, i % 60);
            exif["Exif.Photo.DateTimeOriginal"] = std::string(when);
            exif["Exif.Photo.SubSecTimeOriginal"] = std::to_string(i % 10);
            photo->setExifData(exif);
            photo->writeMetadata();
            Exiv2::BasicIo& io = photo->io();
            io.seek(0, Exiv2::BasicIo::beg);
            const Exiv2::DataBuf bytes = io.read(long(io.size()));
            std::ofstream(base + "/P" + std::to_string(100000 + i) + ".JPG", std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.pData_), bytes.size_);
        }
        return true;
    }();
    (void)filled;
    return dir;
}

void BM_PhotoScan(benchmark::State& state)
{
    const std::string path = photoFolder().path().toStdString();
    marquelo::AppConfig config;
    config.Sorting = std::uint8_t(state.range(0));
    config.CameraClockOffsets = "OLYMPUS E-M5 = -3600";
    marquelo::ImageList list;
    for (auto _ : state) {
        list.scanDirectory(path, config);
        benchmark::DoNotOptimize(list.count());
    }
    state.counters["entries"] = list.count();
}
BENCHMARK(BM_PhotoScan)->Arg(2)->Arg(marquelo::kSortByCaptureTime)->ArgName("sorting")->Unit(benchmark::kMillisecond);

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
BENCHMARK(BM_Scan)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->ArgName("sorting")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
