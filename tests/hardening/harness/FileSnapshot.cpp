#include "harness/FileSnapshot.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace marquelo::test {

std::string sha256OfFile(const std::string& path)
{
    // std::ifstream takes the bytes of the name as they are; QFile would have to decode them first.
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        hash.addData(QByteArrayView(buffer, in.gcount()));
    }
    return hash.result().toHex().toStdString();
}

FileSnapshot FileSnapshot::of(const std::string& root)
{
    FileSnapshot snapshot;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError))
            snapshot.m_hashes[fs::relative(it->path(), root, typeError).native()] = sha256OfFile(it->path().native());
    }
    return snapshot;
}

std::vector<std::string> FileSnapshot::changedSince(const FileSnapshot& before,
                                                    const std::vector<std::string>& allowed) const
{
    std::vector<std::string> changed;
    for (const auto& [path, hash] : before.m_hashes) {
        if (std::find(allowed.begin(), allowed.end(), path) != allowed.end())
            continue;
        const auto now = m_hashes.find(path);
        if (now == m_hashes.end() || now->second != hash)
            changed.push_back(path);
    }
    return changed;
}

} // namespace marquelo::test
