#pragma once
// The update check: asks the endpoint for the newest version number and, when the user agrees, downloads
// the new executable, checks its signature and swaps it in for the next start.

#include "core/UserInterface.h"
#include "core/update/DownloadProgress.h"
#include "core/update/ReleaseSignature.h"
#include "core/update/UpgradePageViewer.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace marquelo {

// The number at the start of `text` as strtol reads it: leading white space skipped, an optional sign and
// the digits after it; 0 when the text does not start with a number. Out-of-range values are clamped.
int leadingVersionNumber(std::string_view text);

// The most each published file may be; a server announcing more is not read from.
inline constexpr std::int64_t kMaxVersionFileBytes = 64;
inline constexpr std::int64_t kMaxUpgradePageBytes = 1 << 20;
inline constexpr std::int64_t kMaxProgramBytes = 256ll << 20;

class UpdateCheck {
public:
    struct Options {
        std::string baseAddress;      // ends in "/"
        std::string installationPath; // the folder of marquelo, marquelo_new and marquelo_old
        SigningPublicKey publicKey = kReleasePublicKey;
        std::chrono::milliseconds stallTimeout{30000};
        // How long each request may take in all: the small files, and the program (which has Cancel).
        std::chrono::milliseconds deadline{30000};
        std::chrono::milliseconds programDeadline{600000};
    };

    UpdateCheck(Options options, UserInterface& ui, DownloadProgressFactory progress, UpgradePageViewer& pages);

    // Asks "Connect to the internet and check for updates?" and on Yes runs checkForUpdates().
    void offerUpdateCheck();

    // The whole check without asking first. Every outcome is told to the user; nothing is thrown.
    void checkForUpdates();

    // Requests the endpoint's upgrade page and opens the installation's own; false when nothing was shown.
    bool showUpgradePage();

private:
    bool downloadVerifiedExecutable(const std::string& newPath);

    Options m_options;
    UserInterface& m_ui;
    DownloadProgressFactory m_progress;
    UpgradePageViewer& m_pages;
};

} // namespace marquelo
