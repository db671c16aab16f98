#pragma once
// Folders of one photo format each, made from the formats corpus for benchmarks that step through a
// folder: every file of the format is linked in turn under a new name until the folder holds `count`,
// so a format with few files still gives enough steps. The links keep each file's own extension.

#include "core/settings/AppConfig.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace marquelo::bench {

struct FormatFolder {
    std::string format; // "HEIF", "AVIF", ...
    std::unique_ptr<QTemporaryDir> dir;
    std::string path() const { return dir->path().toStdString(); }
};

inline std::string formatOf(std::string extension)
{
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    static const std::map<std::string, std::string> kFormats = {
        {".jpg", "JPEG"},    {".heic", "HEIF"}, {".heif", "HEIF"}, {".hif", "HEIF"},
        {".avif", "AVIF"},   {".webp", "WebP"}, {".png", "PNG"},   {".tif", "TIFF"},
        {".jxl", "JPEG XL"}, {".cr3", "RAW"},   {".crw", "RAW"},
    };
    const auto found = kFormats.find(extension);
    return found == kFormats.end() ? std::string() : found->second;
}

// One folder a format of `corpusFormats` (GIF, an "other" file, is left out), each of `count` links.
inline std::vector<FormatFolder> formatFolders(const std::string& corpusFormats, int count)
{
    std::map<std::string, std::vector<std::filesystem::path>> files;
    for (const auto& e : std::filesystem::directory_iterator(corpusFormats)) {
        const std::string format = formatOf(e.path().extension().string());
        if (!format.empty())
            files[format].push_back(e.path());
    }
    std::vector<FormatFolder> folders;
    for (auto& [format, paths] : files) {
        std::sort(paths.begin(), paths.end());
        FormatFolder folder{format, std::make_unique<QTemporaryDir>()};
        for (int i = 0; i < count; ++i) {
            const std::filesystem::path& source = paths[std::size_t(i) % paths.size()];
            char name[32];
            std::snprintf(name, sizeof name, "P%03d", i);
            std::filesystem::create_symlink(source, folder.path() + "/" + name + source.extension().string());
        }
        folders.push_back(std::move(folder));
    }
    return folders;
}

// The default picture extensions (an AppConfig made in code has none: the defaults come with loading)
// and those of the corpus that the default leaves out, camera HEIF's .hif and Canon's old .crw, added
// for the benchmark only.
inline std::string corpusExtensions()
{
    const SettingDef* setting = findSetting("PictureExtensions");
    return (setting ? std::string(setting->textDefault) : std::string()) + ";*.hif;*.crw";
}

} // namespace marquelo::bench
