// Showing a photo nothing has prepared: the viewer's decode for a 1920x1080 screen against
// TurboJPEG's own full-size decode of the same bytes, measured in the same run, per camera photo.
// Also measures Qt's reader asked for the same scaled size, the other candidate decoder.
#include "../Corpus.h"
#include "../Statistics.h"
#include "core/viewer/PictureDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace {

using marquelo::bench::median;

double timeMs(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void turboFull(const QByteArray& bytes)
{
    tjhandle tj = tjInitDecompress();
    auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
    int w = 0, h = 0, sub = 0, cs = 0;
    if (tjDecompressHeader3(tj, data, static_cast<unsigned long>(bytes.size()), &w, &h, &sub, &cs) == 0) {
        // Uninitialised like the viewer's own picture buffer, so neither side pays for clearing memory.
        std::unique_ptr<unsigned char[]> pixels(new unsigned char[std::size_t(w) * std::size_t(h) * 4]);
        tjDecompress2(tj, data, static_cast<unsigned long>(bytes.size()), pixels.get(), w, w * 4, h, TJPF_BGRX, 0);
    }
    tjDestroy(tj);
}

void qtScaled(const QByteArray& bytes, QSize screen)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize raw = reader.size();
    reader.setScaledSize(raw.scaled(screen, Qt::KeepAspectRatio));
    QImage image = reader.read();
}

} // namespace

int main()
{
    const QSize screen(1920, 1080);
    const std::string camera = marquelo::bench::corpusFolder("camera", "bench_viewer_decode");
    if (camera.empty())
        return marquelo::bench::kSkipped;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(camera))
        files.push_back(e.path());
    std::sort(files.begin(), files.end());

    std::printf("%-36s %7s %9s %9s %7s %9s %7s %9s %7s\n", "photo", "MP", "tj full", "viewer", "ratio", "qt scaled",
                "ratio", "v. full", "ratio");
    double sumTj = 0, sumOurs = 0, sumQt = 0, sumFull = 0;
    double worst = 0;
    std::vector<double> ratios;
    for (const auto& path : files) {
        QFile file(QString::fromStdString(path.string()));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const marquelo::DecodedPicture probe = marquelo::PictureDecoder::decode(bytes, QSize());
        const double mp = probe.fullSize.width() * double(probe.fullSize.height()) / 1e6;
        // Rounds interleave the four decoders so that load from other processes hits them alike.
        std::vector<double> tjRuns, oursRuns, qtRuns, fullRuns;
        for (int round = 0; round < 7; ++round) {
            tjRuns.push_back(timeMs([&] { turboFull(bytes); }));
            oursRuns.push_back(timeMs([&] { marquelo::PictureDecoder::decode(bytes, screen); }));
            qtRuns.push_back(timeMs([&] { qtScaled(bytes, screen); }));
            fullRuns.push_back(timeMs([&] { marquelo::PictureDecoder::decode(bytes, QSize()); }));
        }
        const double tj = median(tjRuns), ours = median(oursRuns), qt = median(qtRuns), full = median(fullRuns);
        std::printf("%-36s %7.1f %7.1fms %7.1fms %7.2fx %7.1fms %7.2fx %7.1fms %7.2fx\n",
                    path.filename().string().c_str(), mp, tj, ours, ours / tj, qt, qt / tj, full, full / tj);
        sumTj += tj;
        sumOurs += ours;
        sumQt += qt;
        sumFull += full;
        worst = std::max(worst, ours / tj);
        ratios.push_back(ours / tj);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("\nall photos: viewer/tj full %.2fx (median %.2fx, worst %.2fx); qt scaled/tj full %.2fx; "
                "viewer full resolution/tj full %.2fx\n",
                sumOurs / sumTj, ratios.empty() ? 0 : ratios[ratios.size() / 2], worst, sumQt / sumTj, sumFull / sumTj);
    return 0;
}
