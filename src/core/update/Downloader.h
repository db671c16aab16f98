#pragma once
// Fetches one document of the update endpoint over HTTP(S) into memory or a file, with the progress
// window for large bodies. It never trusts the server: the body must announce its length, which must lie
// within the document's bounds before a byte of it is read; no more than that length is ever read; a
// server that stops sending, or takes longer than the request's deadline, ends the download as incomplete.

#include "core/UserInterface.h"
#include "core/update/DownloadProgress.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace marquelo {

// What one document may be, checked against its announced length before any of its bytes is read.
struct BodyLimits {
    // The longest body accepted; with `exact`, the only length accepted.
    std::int64_t maxBytes = 256ll << 20;
    bool exact = false;
    // The whole request, from asking to the last byte, however steadily the server trickles.
    std::chrono::milliseconds deadline{30000};
};

class Downloader {
public:
    // Bodies above this many bytes show the progress window.
    static constexpr std::int64_t kProgressThreshold = 10000;
    // The most a single read takes out of the connection.
    static constexpr std::int64_t kPieceSize = 1024;
    // The most Qt holds of a body that has arrived but was not read yet.
    static constexpr std::int64_t kReadBufferBytes = 1 << 20;
    // How long a connection may go without any byte before the download is given up.
    static constexpr std::chrono::milliseconds kDefaultStallTimeout{30000};

    // `progress` may be empty: large downloads then run without a window.
    Downloader(UserInterface& ui, DownloadProgressFactory progress);

    void setStallTimeout(std::chrono::milliseconds timeout) { m_stallTimeout = timeout; }

    // The whole body of `address`, exactly as long as its Content-Length. Empty after a failure, having
    // told the user what they need to know ("Failed to retrieve update:\n%s", "Download did not
    // complete"); a body without a length, or with one outside `limits`, is not downloaded and not
    // reported.
    std::optional<std::vector<char>> downloadToMemory(const std::string& address, const BodyLimits& limits = {});

    // The body as text; empty on every failure and when the text begins with "<" (an error page).
    std::string fetchText(const std::string& address, const BodyLimits& limits = {});

    // Writes the body to `path` piece by piece as it arrives (it is never held in memory); true when the
    // whole body was written and does not begin with "<HTML". A failed download may leave part of it.
    bool downloadToFile(const std::string& address, const std::string& path, const BodyLimits& limits = {});

private:
    // Hands the body to `take` piece by piece; false after a failure (told as above) or when `take`
    // refuses a piece.
    bool download(const std::string& address, const BodyLimits& limits,
                  const std::function<bool(std::int64_t length)>& begin,
                  const std::function<bool(const char* piece, std::int64_t size)>& take);

    UserInterface& m_ui;
    DownloadProgressFactory m_progress;
    std::chrono::milliseconds m_stallTimeout = kDefaultStallTimeout;
};

} // namespace marquelo
