// Making and reading thumbnails of the camera photos, one thread, stage by stage: making one for a cell
// (the photo's own thumbnail or a DCT-scaled decode), writing it to the shared cache, and reading it back
// the next time. Baseline in the same run: TurboJPEG decoding the same bytes at 1/8 scale, which is what
// `djpeg -scale 1/8` does, and its full-size decode.
//
// Usage: bench_thumbnail_make [cell device pixels] [rounds]   (defaults: 160, 3)
#include "../Corpus.h"
#include "core/viewer/ThumbnailCache.h"
#include "core/viewer/ThumbnailMaker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

using namespace marquelo;

double timeMs(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void turbo(const QByteArray& bytes, int num, int denom)
{
    tjhandle tj = tjInitDecompress();
    auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
    int w = 0, h = 0, sub = 0, cs = 0;
    if (tjDecompressHeader3(tj, data, static_cast<unsigned long>(bytes.size()), &w, &h, &sub, &cs) == 0) {
        const tjscalingfactor f{num, denom};
        const int sw = TJSCALED(w, f), sh = TJSCALED(h, f);
        std::unique_ptr<unsigned char[]> pixels(new unsigned char[std::size_t(sw) * std::size_t(sh) * 4]);
        tjDecompress2(tj, data, static_cast<unsigned long>(bytes.size()), pixels.get(), sw, sw * 4, sh, TJPF_BGRX, 0);
    }
    tjDestroy(tj);
}

} // namespace

int main(int argc, char** argv)
{
    const int cell = argc > 1 ? std::max(16, std::atoi(argv[1])) : 160;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string cameraFolder = marquelo::bench::corpusFolder("camera", "bench_thumbnail_make");
    if (cameraFolder.empty())
        return marquelo::bench::kSkipped;
    const QDir camera(QString::fromStdString(cameraFolder));
    const QStringList names = camera.entryList({QStringLiteral("*.jpg")}, QDir::Files);
    if (names.isEmpty()) {
        std::fprintf(stderr, "no photos in %s\n", qPrintable(camera.path()));
        return 1;
    }
    const ThumbnailSize size = thumbnailSizeFor(cell);
    QTemporaryDir cacheDir;
    const ThumbnailCache cache(cacheDir.path());

    double eighth = 0, full = 0, make = 0, store = 0, find = 0, cameraOnly = 0;
    int fromCamera = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& name : names) {
            const QByteArray path = QFile::encodeName(camera.filePath(name));
            QFile file(camera.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            eighth += timeMs([&] { turbo(bytes, 1, 8); });
            full += timeMs([&] { turbo(bytes, 1, 1); });
            struct stat info {};
            ::stat(path.constData(), &info);
            const QByteArray uri = ThumbnailCache::uriOf(path) + QByteArray::number(round);
            ThumbnailMaker::Made made;
            make += timeMs([&] { made = ThumbnailMaker::forCell(path, int(size), cell); });
            if (made.fullSize)
                store += timeMs([&] { cache.store(uri, info.st_mtim.tv_sec, made.image, size); });
            else
                cameraOnly += 1;
            fromCamera += made.fromCamera;
            if (made.fullSize)
                find += timeMs([&] { (void)cache.find(uri, info.st_mtim.tv_sec, size); });
        }
    }
    const double n = double(names.size()) * rounds;
    std::printf("%lld camera photos x %d rounds, cell %d device pixels (cache size %d)\n",
                static_cast<long long>(names.size()), rounds, cell, int(size));
    std::printf("baseline: TurboJPEG 1/8-scale decode %.2f ms per photo, full decode %.2f ms\n", eighth / n, full / n);
    std::printf("make: %.2f ms per photo (%.2f x the 1/8 decode); %d of %d from the camera's thumbnail, %d of them "
                "not stored\n",
                make / n, make / eighth, fromCamera, int(n), int(cameraOnly));
    std::printf("store PNG: %.2f ms per stored thumbnail (%.2f x the 1/8 decode)\n",
                store / std::max(1.0, n - cameraOnly), store / std::max(1.0, n - cameraOnly) / (eighth / n));
    const double stored = std::max(1.0, n - cameraOnly);
    std::printf("read back: %.2f ms per stored thumbnail (%.3f x the 1/8 decode)\n", find / stored,
                find / stored / (eighth / n));
    return 0;
}
