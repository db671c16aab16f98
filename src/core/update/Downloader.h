#pragma once
// Fetches one document of the update endpoint over HTTP(S) into memory, with the progress window for
// large bodies. It never trusts the server: the body must announce its length, is read into a block of
// exactly that length, and a server that stops sending ends the download as incomplete.

#include "core/UserInterface.h"
#include "core/update/DownloadProgress.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace marquelo {

class Downloader {
public:
    // Bodies above this many bytes show the progress window.
    static constexpr std::int64_t kProgressThreshold = 10000;
    // The most a single read takes out of the connection.
    static constexpr std::int64_t kPieceSize = 1024;
    // How long a connection may go without any byte before the download is given up.
    static constexpr std::chrono::milliseconds kDefaultStallTimeout{30000};

    // `progress` may be empty: large downloads then run without a window.
    Downloader(UserInterface& ui, DownloadProgressFactory progress);

    void setStallTimeout(std::chrono::milliseconds timeout) { m_stallTimeout = timeout; }

    // The whole body of `address`, exactly as long as its Content-Length. Empty after a failure, having
    // told the user what they need to know ("Failed to retrieve update:\n%s", "Download did not
    // complete"); a body without a length is not downloaded and not reported.
    std::optional<std::vector<char>> downloadToMemory(const std::string& address);

    // The body as text; empty on every failure and when the text begins with "<" (an error page).
    std::string fetchText(const std::string& address);

    // Writes the body to `path`; true when the file was written and does not begin with "<HTML".
    bool downloadToFile(const std::string& address, const std::string& path);

private:
    UserInterface& m_ui;
    DownloadProgressFactory m_progress;
    std::chrono::milliseconds m_stallTimeout = kDefaultStallTimeout;
};

} // namespace marquelo
