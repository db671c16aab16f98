#pragma once
// Movies that play on a Modern page. Cameras write AVI, MOV or MPEG that phones and most browsers
// cannot play, so beside the copy of the original an H.264/AAC MP4 and a poster frame are made by
// ffmpeg, started like every outside program (an argument list, no shell) and watched on the event
// loop, with a progress line and a Cancel. The page first gets the plain link; only when both files
// are there is that one figure rewritten into a video player, so a failed, cancelled or missing ffmpeg
// leaves the page as it always was and the line says why.

#include "core/page/PageHost.h"

#include <QPointer>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

class ToolJob;

// The web copy's long side at most; a smaller movie keeps its size (never enlarged).
inline constexpr int kMovieLongSide = 1280;

// ffmpeg's arguments for one movie: `input` into an MP4 at `mp4Path` and its first frame as a JPEG at
// `posterPath` (both given their formats, so temporary names work), from one decode.
std::vector<std::string> movieWebCopyArguments(const std::string& input, const std::string& mp4Path,
                                               const std::string& posterPath);

// Seconds of an ffmpeg time ("00:01:02.50") after `label` in `line` ("Duration: ", "time="), if any.
std::optional<double> ffmpegSeconds(std::string_view line, std::string_view label);

// A movie's figure as a player: the MP4 with its poster, and the original as a download link with the
// caption and its size in kB.
struct MovieFigure {
    std::int64_t number = 0;
    std::string original;
    std::string mp4;
    std::string poster;
    int width = 0;
    int height = 0;
    std::string caption;
    std::uint64_t sizeInBytes = 0;
};
std::string modernVideoFragmentText(const MovieFigure& figure);

// The names of one movie's web files beside `originalName` in the page's folder: NAME-web.mp4 and
// NAME-poster.jpg.
std::string movieWebName(std::string_view originalName);
std::string moviePosterName(std::string_view originalName);

class MovieWebCopies {
public:
    explicit MovieWebCopies(PageHost& host);
    // Runs still going are cancelled and their temporary files removed.
    ~MovieWebCopies();
    MovieWebCopies(const MovieWebCopies&) = delete;
    MovieWebCopies& operator=(const MovieWebCopies&) = delete;

    struct Request {
        std::string pagePath;  // the page holding `linkFragment`
        std::string source;    // the movie as the user has it
        std::string shownName; // its name, for the notices
        std::string folder;    // the page's folder
        std::string mp4Name;   // reserved names in the folder
        std::string posterName;
        std::string linkFragment; // the figure written at once, replaced when the copy is made
        MovieFigure figure;       // what replaces it (width and height are filled in)
    };
    // Starts the copy, or says why the movie stays a link. `ffmpeg` is the program to run ("ffmpeg",
    // found on PATH, unless a test gives another).
    void start(Request request, const std::string& ffmpeg = "ffmpeg");

    int running() const { return int(m_jobs.size()); }
    // Cancels every running copy (what Cancel on a line does for one).
    void cancelAll();

private:
    struct Run;
    void finished(const std::shared_ptr<Run>& run, int exitCode);
    void failed(const Run& run, const std::string& why);

    PageHost& m_host;
    int m_nextKey = 0;
    std::map<int, QPointer<ToolJob>> m_jobs;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace marquelo
