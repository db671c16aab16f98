// A movie's web copy for a Modern page (an H.264/AAC MP4 and a poster from one ffmpeg run) through the
// program's own path — reserved names, temporary files, the watched job with its progress lines, the
// figure rewritten — against the same ffmpeg command run alone, and against ffmpeg making the MP4 only.
// The figures to read are the ratios of wall and processor time to "ffmpeg alone".
// Arguments: [movie] [repeats]; without a movie, the sample movie of samples/ and a 10 s 640x480 AVI with
// sound made first (the sample is tiny, so the fixed costs show; the longer one shows the encode).
#include "core/page/MovieWebCopy.h"
#include "core/page/PageFile.h"
#include "core/tools/OutputNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace marquelo;

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Sample {
    double wall = 0;
    double cpu = 0;
};

struct Host : PageHost {
    bool done = false;
    std::string said;
    void startCaptionInput() override {}
    void endCaptionInput() override {}
    std::string captionText() override { return {}; }
    void showNext() override {}
    bool shiftHeld() override { return false; }
    bool editPageInfo(PageInfoValues&) override { return false; }
    bool editPageSetup(PageSetupValues&, bool) override { return false; }
    bool chooseImageSize(AddImageChoice&, bool) override { return false; }
    bool confirmClosePage(const std::string&, const std::function<void()>&) override { return false; }
    std::optional<std::string> browseForPage(const std::string&, const std::string&) override { return {}; }
    bool showOpenFailNotice(const std::string&, bool&) override { return false; }
    void notice(const std::string& text) override
    {
        said = text;
        done = true;
    }
    void endProgress(const std::string&, const std::string& text, bool) override { notice(text); }
};

Sample ourPath(const QString& movie, const QString& folder)
{
    const std::string dir = folder.toStdString();
    const std::string link = "\r\n<figure id=\"1\" class=\"movie\">\r\n<a href=\"m.avi\">m</a>\r\n</figure>\r\n";
    PageFile::rewrite(dir + "/index.html", "<!DOCTYPE html>" + link + "</main>\r\n");
    Host host;
    MovieWebCopies copies(host);
    MovieWebCopies::Request r;
    r.pagePath = dir + "/index.html";
    r.source = movie.toStdString();
    r.shownName = "m.avi";
    r.folder = dir;
    r.mp4Name = OutputNames::instance().reserve(dir, "m-web.mp4");
    r.posterName = OutputNames::instance().reserve(dir, "m-poster.jpg");
    r.linkFragment = link;
    r.figure.number = 1;
    r.figure.original = "m.avi";
    const double cpu0 = childCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    copies.start(r);
    while (!host.done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const Sample s{double(clock.nsecsElapsed()) / 1e9, childCpuSeconds() - cpu0};
    if (host.said != "m.avi plays on the page now.")
        std::fprintf(stderr, "our path failed: %s\n", host.said.c_str());
    QFile::remove(folder + "/m-web.mp4");
    QFile::remove(folder + "/m-poster.jpg");
    OutputNames::instance().clear();
    return s;
}

Sample ffmpegAlone(const QStringList& arguments)
{
    const double cpu0 = childCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral("ffmpeg"), arguments);
    p.waitForFinished(-1);
    const Sample s{double(clock.nsecsElapsed()) / 1e9, childCpuSeconds() - cpu0};
    if (p.exitCode() != 0)
        std::fprintf(stderr, "ffmpeg alone failed\n");
    return s;
}

QStringList toList(const std::vector<std::string>& words)
{
    QStringList list;
    for (const std::string& w : words)
        list << QString::fromStdString(w);
    return list;
}

Sample median(std::vector<Sample> samples)
{
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.wall < b.wall; });
    return samples[samples.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        std::printf("ffmpeg is not installed: nothing to measure\n");
        return 0;
    }
    QTemporaryDir tmp;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QStringList movies;
    if (argc > 1 && argv[1][0] != '\0') { // "" takes the default movies, with a count of repeats after it
        movies << QString::fromLocal8Bit(argv[1]);
    } else {
        movies << QStringLiteral(MARQUELO_SOURCE_DIR "/samples/MVI_0012.avi");
        const QString made = tmp.filePath(QStringLiteral("sample-10s.avi"));
        QProcess make;
        make.start(QStringLiteral("ffmpeg"),
                   {"-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc2=duration=10:size=640x480:rate=25",
                    "-f", "lavfi", "-i", "sine=duration=10", "-c:v", "mpeg4", "-q:v", "4", "-c:a", "pcm_s16le", made});
        make.waitForFinished(-1);
        movies << made;
    }
    const QString out = tmp.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    for (const QString& movie : movies) {
        const QStringList both = toList(
            movieWebCopyArguments(movie.toStdString(), (out + "/a.mp4").toStdString(), (out + "/a.jpg").toStdString()));
        // The same MP4 without the poster output: what the poster adds.
        const QStringList mp4Only =
            both.mid(0, both.indexOf(QStringLiteral("-map"), both.indexOf(QStringLiteral("mp4"))));
        std::vector<Sample> ours, alone, only;
        for (int i = 0; i < repeats; ++i) {
            alone.push_back(ffmpegAlone(both));
            ours.push_back(ourPath(movie, out));
            only.push_back(ffmpegAlone(mp4Only));
        }
        const Sample a = median(alone), o = median(ours), m = median(only);
        std::printf("movie: %s, %d repeats, medians\n", qPrintable(movie), repeats);
        std::printf("%-28s %8s %8s %10s %10s\n", "run", "wall s", "cpu s", "wall/alone", "cpu/alone");
        auto row = [&](const char* name, const Sample& s) {
            std::printf("%-28s %8.3f %8.3f %10.2f %10.2f\n", name, s.wall, s.cpu, s.wall / a.wall, s.cpu / a.cpu);
        };
        row("ffmpeg alone (MP4 + poster)", a);
        row("our path (MP4 + poster)", o);
        row("ffmpeg, MP4 only", m);
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
