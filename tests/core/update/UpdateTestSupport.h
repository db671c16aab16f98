#pragma once
// What the update tests share: a release key pair made at run time, an installation folder with its
// program, and stand-ins for the progress window and the upgrade page that record what they were asked.

#include "core/update/DownloadProgress.h"
#include "core/update/ReleaseSignature.h"
#include "core/update/UpgradePageViewer.h"

#include <QTemporaryDir>

#include <sodium.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace marquelo::test {

struct TestKeyPair {
    SigningPublicKey publicKey{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secretKey{};

    TestKeyPair()
    {
        if (sodium_init() >= 0)
            crypto_sign_keypair(publicKey.data(), secretKey.data());
    }

    std::string sign(const std::string& data) const
    {
        std::string signature(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                             reinterpret_cast<const unsigned char*>(data.data()), data.size(), secretKey.data());
        return signature;
    }
};

inline std::string readFileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFileText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// `size` bytes of a made-up program (an ELF header, then a pattern no text test could mistake).
inline std::string programBytes(std::size_t size, char seed = 'a')
{
    std::string bytes = "\x7f"
                        "ELF";
    for (std::size_t i = bytes.size(); i < size; ++i)
        bytes += char((i * 31 + std::size_t(seed)) % 251);
    return bytes.substr(0, size);
}

// Records the window's life; nobody presses its Cancel.
class RecordingProgress : public DownloadProgress {
public:
    struct Log {
        int windows = 0;
        std::string format;
        std::int64_t lower = -1, upper = -1;
        std::vector<std::int64_t> positions;
        bool closedByDownload = false;
    };

    explicit RecordingProgress(Log& log) : m_log(log) { ++m_log.windows; }

    void start(const std::string& format, std::int64_t lower, std::int64_t upper) override
    {
        m_log.format = format;
        m_log.lower = lower;
        m_log.upper = upper;
    }
    void setPosition(std::int64_t position) override { m_log.positions.push_back(position); }
    void closeWindow() override { m_log.closedByDownload = m_closed = true; }
    bool closed() const override { return m_closed; }

private:
    Log& m_log;
    bool m_closed = false;
};

inline DownloadProgressFactory recordingProgress(RecordingProgress::Log& log)
{
    return [&log] { return std::make_unique<RecordingProgress>(log); };
}

class RecordingUpgradePage : public UpgradePageViewer {
public:
    std::vector<std::string> shown;
    bool result = true;
    bool show(const std::string& localPath) override
    {
        shown.push_back(localPath);
        return result;
    }
};

} // namespace marquelo::test
