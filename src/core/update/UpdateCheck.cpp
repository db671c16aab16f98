#include "core/update/UpdateCheck.h"

#include "core/settings/Logging.h"

#include "core/settings/AppConfig.h"
#include "core/update/Downloader.h"
#include "core/update/ExecutableSwap.h"
#include "core/update/UpdateEndpoint.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace marquelo {

namespace {

// The request for the endpoint's upgrade page is only a courtesy to the server: whatever goes wrong with
// it has already been told by the version request, so it is not told twice.
class SilentUserInterface : public UserInterface {
public:
    void message(std::string_view) override {}
    Answer ask(std::string_view, Buttons) override { return Answer::Cancel; }
};

// QFile rather than a stream: a read error (a bad sector, a path that became a folder) must come back as
// "not verified", and std::istreambuf_iterator throws on one instead. A file above `maxBytes` is not read.
std::optional<std::vector<char>> readWholeFile(const std::string& path, std::int64_t maxBytes)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes)
        return std::nullopt;
    std::vector<char> data;
    data.reserve(std::size_t(file.size()));
    char buffer[65536];
    qint64 got = 0;
    while (std::int64_t(data.size()) < maxBytes && (got = file.read(buffer, sizeof buffer)) > 0)
        data.insert(data.end(), buffer, buffer + got);
    if (got < 0)
        return std::nullopt;
    return data;
}

std::string inFolder(const std::string& folder, const char* name)
{
    return (fs::path(folder) / name).string();
}

} // namespace

int leadingVersionNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX;
    }
    return int(negative ? -value : value);
}

UpdateCheck::UpdateCheck(Options options, UserInterface& ui, DownloadProgressFactory progress, UpgradePageViewer& pages)
    : m_options(std::move(options)), m_ui(ui), m_progress(std::move(progress)), m_pages(pages)
{
}

void UpdateCheck::offerUpdateCheck()
{
    if (m_ui.ask("Connect to the internet and check for updates?", UserInterface::Buttons::YesNoCancel) ==
        UserInterface::Answer::Yes)
        checkForUpdates();
}

void UpdateCheck::checkForUpdates()
{
    const std::string& folder = m_options.installationPath;
    Downloader downloader(m_ui, m_progress);
    downloader.setStallTimeout(m_options.stallTimeout);

    const std::string text =
        downloader.fetchText(m_options.baseAddress + kVersionFile, {kMaxVersionFileBytes, false, m_options.deadline});
    if (text.empty()) {
        qCWarning(lcUpdate) << "no version file from" << QString::fromStdString(m_options.baseAddress);
        if (!showUpgradePage())
            m_ui.message("Connection to the server failed. Please try again later.");
        return;
    }

    const int published = leadingVersionNumber(text);
    const std::string running = std::to_string(kProgramVersion);
    if (published <= kProgramVersion) {
        m_ui.information("You are running the latest version (" + running + ").");
        return;
    }

    // A packaged installation belongs to the package manager: downloading would only fail at the end.
    if (!canWriteInDirectory(folder)) {
        m_ui.message("You are running version " + running + ".\nVersion " + std::to_string(published) +
                     " is available.\n\nMarquelo cannot upgrade itself because its folder (" + folder +
                     ") is not writable.\nIf it was installed by a package manager, the package manager updates "
                     "this installation.");
        return;
    }

    if (m_ui.ask("You are running version " + running + ".\nVersion " + std::to_string(published) +
                     " is available.\n\nUpgrade now?  (might take a few minutes)",
                 UserInterface::Buttons::YesNoCancel) != UserInterface::Answer::Yes)
        return;

    if (!downloadVerifiedExecutable(inFolder(folder, kNewExecutableFile))) {
        qCWarning(lcUpdate) << "the new version was not downloaded whole or its signature did not verify";
        m_ui.message("Failed to download the new version. Please try again later.");
        return;
    }
    if (!swapInNewExecutable(folder)) {
        qCWarning(lcUpdate) << "replacing the program in" << QString::fromStdString(folder) << "failed";
        m_ui.message("Download complete. Failed to replace current version.\n"
                     "Try to manually replace the current version with the new version.");
        return;
    }
    m_ui.message("Upgrade complete. Please restart Marquelo.");
}

bool UpdateCheck::downloadVerifiedExecutable(const std::string& newPath)
{
    Downloader downloader(m_ui, m_progress);
    downloader.setStallTimeout(m_options.stallTimeout);

    // The signature first: without one there is no point in fetching the program.
    const std::optional<std::vector<char>> signature = downloader.downloadToMemory(
        m_options.baseAddress + kSignatureFile, {std::int64_t(kSignatureBytes), true, m_options.deadline});
    if (!signature || signature->size() != kSignatureBytes)
        return false;

    bool verified = downloader.downloadToFile(m_options.baseAddress + kExecutableFile, newPath,
                                              {kMaxProgramBytes, false, m_options.programDeadline});
    if (verified) {
        // Check the bytes on disk: they are what the swap installs.
        const std::optional<std::vector<char>> program = readWholeFile(newPath, kMaxProgramBytes);
        verified = program && verifySignature(*program, *signature, m_options.publicKey);
    }
    if (!verified) {
        // Whatever was rejected must not lie beside the program looking like its next version.
        std::error_code ec;
        fs::remove(newPath, ec);
    }
    return verified;
}

bool UpdateCheck::showUpgradePage()
{
    SilentUserInterface silent;
    Downloader downloader(silent, nullptr);
    downloader.setStallTimeout(m_options.stallTimeout);
    downloader.fetchText(m_options.baseAddress + kUpgradePageFile, {kMaxUpgradePageBytes, false, m_options.deadline});
    return m_pages.show(inFolder(m_options.installationPath, kUpgradePageFile));
}

} // namespace marquelo
