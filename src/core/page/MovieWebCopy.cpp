#include "core/page/MovieWebCopy.h"

#include "core/page/CaptionMarkup.h"
#include "core/page/PageFile.h"
#include "core/settings/Logging.h"
#include "core/tools/Launcher.h"
#include "core/tools/OutputNames.h"
#include "core/tools/ToolJob.h"
#include "media/TemporaryFiles.h"

#include <QImageReader>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace marquelo {

namespace {

void addLine(std::string& out, std::string_view text)
{
    out.append(text);
    out.append(kLineEnd);
}

// The long side limited to kMovieLongSide, the aspect kept, both sides even (yuv420p needs them even).
std::string scaleFilter()
{
    const std::string side = std::to_string(kMovieLongSide);
    return "scale=w='min(" + side + ",iw)':h='min(" + side +
           ",ih)':force_original_aspect_ratio=decrease:force_divisible_by=2";
}

std::string stemOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

std::vector<std::string> movieWebCopyArguments(const std::string& input, const std::string& mp4Path,
                                               const std::string& posterPath)
{
    // "-nostdin": the program must never wait for a key. The audio is taken when there is one ("?").
    return {"-hide_banner", "-nostdin", "-y", "-i", input,
            // The movie.
            "-map", "0:v:0", "-map", "0:a:0?", "-vf", scaleFilter(), "-c:v", "libx264", "-crf", "23", "-pix_fmt",
            "yuv420p", "-movflags", "+faststart", "-c:a", "aac", "-b:a", "128k", "-f", "mp4", mp4Path,
            // Its first frame, from the same decode.
            "-map", "0:v:0", "-vf", scaleFilter(), "-frames:v", "1", "-q:v", "3", "-f", "mjpeg", posterPath};
}

std::optional<double> ffmpegSeconds(std::string_view line, std::string_view label)
{
    const std::size_t at = line.find(label);
    if (at == std::string_view::npos)
        return std::nullopt;
    int h = 0, m = 0;
    double s = 0;
    const std::string rest(line.substr(at + label.size(), 24));
    if (std::sscanf(rest.c_str(), "%d:%d:%lf", &h, &m, &s) != 3 || h < 0 || m < 0 || s < 0)
        return std::nullopt;
    return h * 3600.0 + m * 60.0 + s;
}

std::string movieWebName(std::string_view originalName)
{
    return stemOf(originalName) + "-web.mp4";
}

std::string moviePosterName(std::string_view originalName)
{
    return stemOf(originalName) + "-poster.jpg";
}

std::string modernVideoFragmentText(const MovieFigure& f)
{
    const std::uint32_t kilobytes = std::uint32_t(f.sizeInBytes & 0xffffffffu) / 1024;
    std::string link = inlineCaptionHtml(f.caption, /*insideLink=*/true);
    link += std::string(link.empty() ? "" : " ") + "<small>(" + std::to_string(kilobytes) + " kB movie file)</small>";
    std::string video = "<video controls preload=\"none\" poster=\"" + f.poster + "\"";
    if (f.width > 0 && f.height > 0)
        video += " width=\"" + std::to_string(f.width) + "\" height=\"" + std::to_string(f.height) + "\"";
    // The page's style sheet sizes images only; the player follows the same rule here.
    video += " style=\"max-width:100%;height:auto\">";
    std::string out;
    addLine(out, "");
    addLine(out, "<figure id=\"" + std::to_string(f.number) + "\" class=\"movie\">");
    addLine(out, video);
    addLine(out, "<source src=\"" + f.mp4 + "\" type=\"video/mp4\">");
    addLine(out, "</video>");
    addLine(out, "<figcaption><a href=\"" + f.original + "\" download>" + link + "</a></figcaption>");
    addLine(out, "</figure>");
    return out;
}

struct MovieWebCopies::Run {
    int key = 0;
    Request request;
    std::string mp4Temp;
    std::string posterTemp;
    double duration = 0;
    QPointer<ToolJob> job;
};

MovieWebCopies::MovieWebCopies(PageHost& host) : m_host(host) {}

MovieWebCopies::~MovieWebCopies()
{
    *m_alive = false;
    cancelAll();
}

void MovieWebCopies::cancelAll()
{
    for (auto& [key, job] : m_jobs)
        if (job)
            job->cancel();
}

void MovieWebCopies::failed(const Run& run, const std::string& why)
{
    for (const std::string& temp : {run.mp4Temp, run.posterTemp})
        if (!temp.empty())
            ::unlink(temp.c_str());
    OutputNames::instance().release(run.request.folder, run.request.mp4Name);
    OutputNames::instance().release(run.request.folder, run.request.posterName);
    qCWarning(lcPage).noquote() << q(run.request.shownName) << "stays a link:" << q(why);
}

void MovieWebCopies::start(Request request, const std::string& ffmpeg)
{
    auto run = std::make_shared<Run>();
    run->key = ++m_nextKey;
    run->request = std::move(request);
    const std::string& name = run->request.shownName;
    if (resolveApplication(ffmpeg).kind != ResolvedApplication::Program) {
        const std::string why = "ffmpeg is not installed (Debian package ffmpeg), so it cannot play on phones.";
        failed(*run, why);
        m_host.notice(name + " stays a link: " + why);
        return;
    }
    for (std::string* temp : {&run->mp4Temp, &run->posterTemp}) {
        const int fd = media::createTemporaryFile(run->request.folder, *temp);
        if (fd < 0) {
            const std::string why = std::string("no file can be made in the page's folder: ") + std::strerror(errno);
            temp->clear();
            failed(*run, why);
            m_host.notice(name + " stays a link: " + why);
            return;
        }
        ::close(fd);
    }
    unsigned code = kLaunchOk;
    ToolJob* job = ToolJob::launch(
        ffmpeg, movieWebCopyArguments(run->request.source, run->mp4Temp, run->posterTemp),
        [this, alive = m_alive, run](int exitCode, const QString&) {
            if (*alive)
                finished(run, exitCode);
        },
        &code);
    if (!job) {
        const std::string why = "ffmpeg could not be started (code " + std::to_string(code) + ")";
        failed(*run, why);
        m_host.notice(name + " stays a link: " + why);
        return;
    }
    run->job = job;
    m_jobs[run->key] = job;
    const std::string progressKey = "movie-" + std::to_string(run->key);
    const std::string text = "Making a web copy of " + name + " ...";
    auto cancel = [alive = m_alive, job = QPointer<ToolJob>(job)] {
        if (*alive && job)
            job->cancel();
    };
    m_host.showProgress(progressKey, text, cancel);
    QObject::connect(job, &ToolJob::errorLine, job,
                     [this, alive = m_alive, run, progressKey, text, cancel](const QString& line) {
                         if (!*alive)
                             return;
                         const std::string l = line.toStdString();
                         if (const auto d = ffmpegSeconds(l, "Duration: "); d && run->duration == 0)
                             run->duration = *d;
                         const auto t = ffmpegSeconds(l, "time=");
                         if (!t || run->duration <= 0)
                             return;
                         const int percent = std::clamp(int(*t * 100 / run->duration), 0, 100);
                         m_host.showProgress(progressKey, text + " " + std::to_string(percent) + "%", cancel);
                     });
}

void MovieWebCopies::finished(const std::shared_ptr<Run>& run, int exitCode)
{
    m_jobs.erase(run->key);
    const std::string progressKey = "movie-" + std::to_string(run->key);
    const std::string& name = run->request.shownName;
    const bool cancelled = run->job && run->job->wasCancelled();
    const QString errors = run->job ? lastLinesOf(run->job->errorOutput(), 4) : QString();
    if (cancelled) {
        failed(*run, "cancelled");
        m_host.endProgress(progressKey, name + " stays a link: its web copy was cancelled.", false);
        return;
    }
    const QSize posterSize = QImageReader(q(run->posterTemp)).size();
    if (exitCode != 0 || !posterSize.isValid()) {
        std::string why = "ffmpeg could not read it";
        if (exitCode != 0)
            why += exitCode < 0 ? std::string(" (it crashed)") : " (exit status " + std::to_string(exitCode) + ")";
        if (!errors.isEmpty())
            why += ":\n" + errors.toStdString();
        failed(*run, why);
        m_host.endProgress(progressKey, name + " stays a link: " + why, true);
        return;
    }
    const Request& r = run->request;
    // The reserved names are empty placeholders of ours: the made files take their place.
    const std::string mp4 = r.folder + "/" + r.mp4Name;
    const std::string poster = r.folder + "/" + r.posterName;
    if (::rename(run->mp4Temp.c_str(), mp4.c_str()) != 0 || ::rename(run->posterTemp.c_str(), poster.c_str()) != 0) {
        const std::string why = std::string("the web copy could not be saved: ") + std::strerror(errno);
        ::unlink(mp4.c_str());
        failed(*run, why);
        m_host.endProgress(progressKey, name + " stays a link: " + why, true);
        return;
    }
    MovieFigure figure = r.figure;
    figure.mp4 = r.mp4Name;
    figure.poster = r.posterName;
    figure.width = posterSize.width();
    figure.height = posterSize.height();
    // Only the one figure written for this movie is replaced, and only when it is there exactly once.
    // Read and rewritten under one lock, so that an addition another program makes meanwhile is kept.
    std::string reason;
    PageFile file;
    if (!PageFile::readable(r.pagePath) || !file.open(r.pagePath)) {
        reason = "the page can no longer be opened";
    } else {
        std::string content = file.readAll();
        const std::size_t at = content.find(r.linkFragment);
        if (at == std::string::npos || content.find(r.linkFragment, at + 1) != std::string::npos) {
            reason = "its figure is no longer on the page";
            file.close();
        } else {
            content.replace(at, r.linkFragment.size(), modernVideoFragmentText(figure));
            if (!file.replaceAll(content))
                reason = file.error().empty() ? std::string("the page could not be written") : file.error();
        }
    }
    if (!reason.empty()) {
        qCWarning(lcPage).noquote() << q(name) << "stays a link:" << q(reason);
        m_host.endProgress(progressKey, name + " stays a link: " + reason, true);
        return;
    }
    m_host.endProgress(progressKey, name + " plays on the page now.", false);
}

} // namespace marquelo
