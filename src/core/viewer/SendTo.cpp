#include "core/viewer/SendTo.h"

#include "media/AtomicFile.h"
#include "media/FileMove.h"
#include "media/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo {

namespace {

namespace fs = std::filesystem;

std::string nameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool taken(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The name of `file` in the group whose photo `photoName` gets the number `n` (0: unchanged): the
// photo's stem carries the number, so "IMG_1.jpg", "IMG_1.dng", "IMG_1.jpg.xmp", "IMG_1.xmp" become
// "IMG_1-2.jpg", "IMG_1-2.dng", "IMG_1-2.jpg.xmp", "IMG_1-2.xmp".
std::string numberedName(const std::string& file, const std::string& photoName, int n)
{
    if (n == 0)
        return file;
    const auto dot = photoName.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? photoName : photoName.substr(0, dot);
    if (file.compare(0, stem.size(), stem) == 0)
        return stem + "-" + std::to_string(n) + file.substr(stem.size());
    return std::to_string(n) + "-" + file;
}

// Moves one file, refusing a taken name; across file systems through a copy under a temporary name.
int moveOne(const std::string& from, const std::string& to)
{
    int error = media::renameNoReplace(from, to);
    if (error != EXDEV)
        return error;
    const std::string temp = to.substr(0, to.rfind('/') + 1) + "." + nameOf(to) + ".marquelo-send";
    std::error_code ec;
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return ec.value() ? ec.value() : EIO;
    error = media::renameNoReplace(temp, to);
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    if (::unlink(from.c_str()) != 0) {
        error = errno;
        ::unlink(to.c_str());
        return error;
    }
    return 0;
}

// A RAW of a medium format camera is some 200 MB; a larger "companion" is no photo's.
constexpr std::size_t kMaxCopyBytes = std::size_t(1) << 30;

std::string stemOf(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

SendOutcome sendFiles(const std::vector<std::string>& files, const std::string& folder)
{
    SendOutcome outcome;
    if (files.empty())
        return outcome;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        outcome.error = "cannot use the folder " + folder + (ec ? ": " + ec.message() : std::string());
        return outcome;
    }
    const std::string photoName = nameOf(files.front());
    for (int n = 0; n < 1000; ++n) {
        std::vector<std::string> targets;
        bool free = true;
        for (const std::string& file : files) {
            targets.push_back(folder + "/" + numberedName(nameOf(file), photoName, n));
            free = free && !taken(targets.back());
        }
        if (!free)
            continue;
        outcome.moved.clear();
        int error = 0;
        for (std::size_t i = 0; i < files.size() && error == 0; ++i) {
            error = moveOne(files[i], targets[i]);
            if (error == 0)
                outcome.moved.push_back({files[i], targets[i]});
        }
        if (error == 0) {
            outcome.ok = true;
            outcome.numbered = n > 0;
            return outcome;
        }
        std::string backError;
        if (!moveBack(outcome.moved, backError))
            outcome.error = backError + "; ";
        outcome.moved.clear();
        if (error == EEXIST)
            continue; // a file took one of the names meanwhile: the next number
        outcome.error += "cannot move " + nameOf(files.front()) + " to " + folder + ": " + std::strerror(error);
        return outcome;
    }
    outcome.error = "no free name for " + photoName + " in " + folder;
    return outcome;
}

bool moveBack(const std::vector<MovedFile>& moved, std::string& error)
{
    bool ok = true;
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
        const int failed = moveOne(it->to, it->from);
        if (failed != 0) {
            ok = false;
            error = "cannot move " + it->to + " back: " + std::strerror(failed);
        }
    }
    return ok;
}

SendOutcome copyAlong(const std::vector<std::string>& files, const std::string& photoName, const std::string& folder,
                      const std::string& copyName)
{
    SendOutcome outcome;
    if (files.empty())
        return outcome;
    const std::string photoStem = stemOf(photoName);
    const std::string copyStem = stemOf(copyName);
    std::vector<std::string> names;
    for (const std::string& file : files) {
        const std::string name = nameOf(file);
        names.push_back(name.compare(0, photoStem.size(), photoStem) == 0 ? copyStem + name.substr(photoStem.size())
                                                                          : name);
    }
    auto undo = [&outcome] {
        for (const MovedFile& file : outcome.moved)
            ::unlink(file.to.c_str());
        outcome.moved.clear();
    };
    for (int n = 0; n < 1000; ++n) {
        std::vector<std::string> targets;
        bool free = true;
        for (const std::string& name : names) {
            targets.push_back(folder + "/" + numberedName(name, copyName, n));
            free = free && !taken(targets.back());
        }
        if (!free)
            continue;
        bool clash = false;
        for (std::size_t i = 0; i < files.size() && !clash; ++i) {
            const media::FileBytes bytes = media::readRegularFile(files[i], kMaxCopyBytes);
            std::string error = bytes.error;
            // Written with no replacing: a name taken meanwhile fails, never loses its file.
            media::AtomicWriteOptions options;
            options.replace = false;
            if (bytes.ok &&
                media::writeFileAtomically(targets[i], bytes.bytes.data(), bytes.bytes.size(), error, options)) {
                outcome.moved.push_back({files[i], targets[i]});
                continue;
            }
            undo();
            clash = bytes.ok && taken(targets[i]);
            if (!clash) {
                outcome.error = "cannot copy " + nameOf(files[i]) + " to " + folder + ": " + error;
                return outcome;
            }
        }
        if (clash)
            continue; // a file took one of the names meanwhile: the next number
        outcome.ok = true;
        outcome.numbered = n > 0;
        return outcome;
    }
    outcome.error = "no free name for " + copyName + "'s companions in " + folder;
    return outcome;
}

} // namespace marquelo
