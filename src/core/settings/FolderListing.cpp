#include "core/settings/FolderListing.h"

#include "core/settings/StartPath.h"

#include <QCollator>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo {

FolderListing listSubfolders(const std::string& folder)
{
    FolderListing listing;
    // By bytes rather than through QDir or std::filesystem: the names are handed back exactly as read,
    // and nothing on the way turns a name that is not UTF-8 into text.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) {
        listing.error = std::error_code(errno, std::generic_category());
        return listing;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.empty() || name.front() == '.')
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // Follows a link, as a file manager does; a broken link is no folder.
            struct stat st {};
            isFolder = fstatat(dirfd(dir.get()), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isFolder)
            listing.subfolders.push_back({name, QFile::decodeName(QByteArray::fromStdString(name))});
        errno = 0;
    }
    if (errno != 0)
        listing.error = std::error_code(errno, std::generic_category());

    // Under the C locale Qt compares by code point and ignores numeric mode, while a file manager
    // still sorts naturally there: fall back to the locale-neutral order then.
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::sort(listing.subfolders.begin(), listing.subfolders.end(), [&](const Subfolder& a, const Subfolder& b) {
        const int order = collator.compare(a.shown, b.shown);
        // Names that only differ in case (or in bytes shown alike) keep one order in every run.
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return listing;
}

std::string subfolderPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::optional<std::string> typedFolder(const QString& typed, const std::string& current)
{
    QString rest = typed;
    std::string base = current;
    if (typed == u'~' || typed.startsWith(QStringLiteral("~/"))) {
        base = homeFolder();
        rest = typed.mid(2);
        if (rest.isEmpty())
            rest = QStringLiteral(".");
    }
    const std::optional<std::string> found = folderOnDisk(rest, base);
    if (!found)
        return std::nullopt;
    return absoluteFolder(*found);
}

} // namespace marquelo
