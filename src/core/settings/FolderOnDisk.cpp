// Kept apart from the rest of StartPath, which the program's front uses without Qt.
#include "core/settings/StartPath.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace marquelo {

namespace fs = std::filesystem;

std::optional<std::string> folderOnDisk(const QString& shown, const std::string& base)
{
    if (shown.isEmpty())
        return std::nullopt;
    std::string path = shown.startsWith(u'/') ? "/" : base;
    const auto join = [](const std::string& parent, const std::string& name) {
        if (parent.empty())
            return name;
        return parent.back() == '/' ? parent + name : parent + '/' + name;
    };
    std::error_code ec;
    for (const QString& part : shown.split(u'/', Qt::SkipEmptyParts)) {
        if (!part.contains(QChar::ReplacementCharacter)) {
            path = join(path, QFile::encodeName(part).toStdString());
            continue;
        }
        // The text's own UTF-8 is one of the candidates too: it shows the same way.
        std::optional<std::string> match;
        for (fs::directory_iterator it(path.empty() ? fs::path(".") : fs::path(path), ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (QFile::decodeName(QByteArray::fromStdString(name)) != part)
                continue;
            if (match)
                return std::nullopt; // two look-alikes: neither is known to be the one chosen
            match = name;
        }
        if (ec || !match)
            return std::nullopt;
        path = join(path, *match);
    }
    if (!fs::is_directory(fs::path(path), ec))
        return std::nullopt;
    return path;
}

} // namespace marquelo
