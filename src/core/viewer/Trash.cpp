#include "core/viewer/Trash.h"

#include "core/settings/Logging.h"
#include "media/FileMove.h"
#include "media/RegularFile.h"

#include <QDateTime>
#include <QDir>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo {

namespace {

namespace fs = std::filesystem;

// The note is named after the file plus ".trashinfo" and a " (N)" when the name is taken: a name near
// the file system's limit of 255 bytes cannot get one.
constexpr std::size_t kLongestName = 200;

std::string systemReason(int error)
{
    return std::strerror(error);
}

std::string inQuotes(const std::string& path)
{
    return "'" + path + "'";
}

// Makes `path` and any missing parent, each private to the user as the desktop's data folders are.
bool makeFolders(const std::string& path, std::string& reason)
{
    std::string sofar;
    for (const auto& part : fs::path(path)) {
        sofar = (fs::path(sofar) / part).string();
        if (part == "/" || part.empty())
            continue;
        if (::mkdir(sofar.c_str(), 0700) == 0 || errno == EEXIST) {
            struct stat st {};
            if (::stat(sofar.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                continue;
            reason = "cannot make the folder " + inQuotes(sofar) + ": it is not a folder";
            return false;
        }
        reason = "cannot make the folder " + inQuotes(sofar) + ": " + systemReason(errno);
        return false;
    }
    return true;
}

// A trash folder with its files/ and info/, made when missing.
bool makeTrash(const std::string& trash, std::string& reason)
{
    for (const std::string& folder : {trash + "/files", trash + "/info"}) {
        if (!makeFolders(folder, reason))
            return false;
        if (::access(folder.c_str(), W_OK | X_OK) != 0) {
            reason = "cannot write into " + inQuotes(folder) + ": " + systemReason(errno);
            return false;
        }
    }
    return true;
}

std::uint64_t deviceOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::uint64_t(st.st_dev) : 0;
}

// The device of `path`, or of its nearest existing parent when it does not exist.
std::uint64_t deviceOfNearest(fs::path path)
{
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0)
            return std::uint64_t(st.st_dev);
        if (!path.has_relative_path())
            return 0;
        path = path.parent_path();
    }
}

// The top folder of the file system that holds `folder` (canonical).
std::string topOf(const fs::path& folder, std::uint64_t device)
{
    fs::path top = folder;
    while (top.has_relative_path() && deviceOf(top.parent_path().string()) == device)
        top = top.parent_path();
    return top.string();
}

std::string noteText(const std::string& notedPath, const std::string& date)
{
    const QByteArray encoded = QUrl::toPercentEncoding(QByteArray::fromStdString(notedPath), "/");
    return "[Trash Info]\nPath=" + encoded.toStdString() + "\nDeletionDate=" + date + "\n";
}

// Writes the note completely under a temporary name, then gives it its name unless that is taken: the
// note reserves the name in the trash. 0, EEXIST or another errno.
int writeNote(const std::string& infoFolder, const std::string& noteFile, const std::string& text)
{
    std::string temp = infoFolder + "/.marquelo-note-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errno;
    std::size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            error = wrote < 0 ? errno : EIO;
            break;
        }
        done += std::size_t(wrote);
    }
    if (::fsync(fd) != 0 && error == 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0)
        error = media::renameNoReplace(temp, noteFile);
    if (error != 0)
        ::unlink(temp.c_str());
    return error;
}

std::optional<TrashedFile> trashInto(const std::string& trash, const std::string& path, const std::string& notedPath,
                                     std::string& reason)
{
    const fs::path name = fs::path(path).filename();
    const std::string stem = name.stem().string();
    const std::string extension = name.extension().string();
    const std::string date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toStdString();
    const std::string text = noteText(notedPath, date);
    for (int n = 1; n < 10000; ++n) {
        const std::string candidate = n == 1 ? name.string() : stem + " (" + std::to_string(n) + ")" + extension;
        const std::string note = trash + "/info/" + candidate + ".trashinfo";
        int error = writeNote(trash + "/info", note, text);
        if (error == EEXIST)
            continue;
        if (error != 0) {
            reason = "cannot write the trash's note " + inQuotes(note) + ": " + systemReason(error);
            return std::nullopt;
        }
        const std::string target = trash + "/files/" + candidate;
        error = media::renameNoReplace(path, target);
        if (error != 0) {
            ::unlink(note.c_str());
            if (error == EEXIST)
                continue;
            reason = systemReason(error);
            return std::nullopt;
        }
        TrashedFile trashed{path, target, note, notedPath, date};
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0) {
            trashed.device = std::uint64_t(st.st_dev);
            trashed.inode = std::uint64_t(st.st_ino);
        }
        return trashed;
    }
    reason = "the trash holds too many files of this name";
    return std::nullopt;
}

// A trash folder found at the top of a file system: a real folder (no link someone else could point
// elsewhere), owned by the user.
bool isOwnFolder(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

std::optional<TrashedFile> moveToTopTrash(const std::string& path, const std::string& folder, std::uint64_t device,
                                          std::string& reason)
{
    std::error_code ec;
    const fs::path canonicalFolder = fs::canonical(folder, ec);
    if (ec) {
        reason = ec.message();
        return std::nullopt;
    }
    const std::string top = topOf(canonicalFolder, device);
    const std::string uid = std::to_string(::getuid());
    // The note names the file relative to the top, so the trash stays right wherever the drive is mounted.
    const std::string notedPath =
        (canonicalFolder.lexically_relative(top) / fs::path(path).filename()).lexically_normal().string();

    // A shared .Trash counts only as a real sticky folder; each user has a folder of their own in it.
    const std::string shared = top + "/.Trash";
    struct stat st {};
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const std::string own = shared + "/" + uid;
        std::string sharedReason;
        if ((::mkdir(own.c_str(), 0700) == 0 || errno == EEXIST) && isOwnFolder(own) && makeTrash(own, sharedReason))
            return trashInto(own, path, notedPath, reason);
    }
    const std::string personal = top + "/.Trash-" + uid;
    if (::lstat(personal.c_str(), &st) != 0) {
        // Made at the top of the drive only: a trash folder never appears among the photos.
        if (fs::path(top) == canonicalFolder) {
            reason = "there is no trash on the drive that holds it";
            return std::nullopt;
        }
        if (::mkdir(personal.c_str(), 0700) != 0) {
            reason = "cannot make the trash folder " + inQuotes(personal) + ": " + systemReason(errno);
            return std::nullopt;
        }
    }
    if (!isOwnFolder(personal)) {
        reason = inQuotes(personal) + " is not a trash folder of this user";
        return std::nullopt;
    }
    if (!makeTrash(personal, reason))
        return std::nullopt;
    return trashInto(personal, path, notedPath, reason);
}

// The value of `key=` in a note, as written.
std::string noteValue(const std::string& text, const std::string& key)
{
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
        at = end + 1;
    }
    return {};
}

} // namespace

std::string homeTrashFolder()
{
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/Trash";
    return QDir::homePath().toStdString() + "/.local/share/Trash";
}

std::optional<TrashedFile> moveFileToTrash(const std::string& given, std::string& reason)
{
    std::error_code ec;
    const std::string path = fs::absolute(given, ec).lexically_normal().string();
    const fs::path name = fs::path(path).filename();
    if (ec || name.empty()) {
        reason = "not a file name";
        return std::nullopt;
    }
    if (name.string().size() > kLongestName) {
        reason = "the name is too long for the trash";
        return std::nullopt;
    }
    struct stat file {};
    if (::lstat(path.c_str(), &file) != 0) {
        reason = systemReason(errno);
        return std::nullopt;
    }
    const std::uint64_t device = std::uint64_t(file.st_dev);

    const std::string home = homeTrashFolder();
    std::string homeReason;
    if (makeTrash(home, homeReason)) {
        if (deviceOf(home + "/files") == device)
            return trashInto(home, path, path, reason);
    } else if (deviceOfNearest(home) == device) {
        reason = homeReason;
        return std::nullopt;
    }
    return moveToTopTrash(path, fs::path(path).parent_path().string(), device, reason);
}

bool restoreFromTrash(const TrashedFile& file, std::string& error, bool* gone)
{
    const auto entryGone = [&] {
        error = inQuotes(file.original) + " is no longer in the trash";
        if (gone)
            *gone = true;
        return false;
    };
    struct stat st {};
    if (::lstat(file.inTrash.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return entryGone();
        error = systemReason(errno);
        return false;
    }
    // The trash may have been emptied and another file trashed under the same name since: only the very
    // entry made here comes back.
    if (std::uint64_t(st.st_dev) != file.device || std::uint64_t(st.st_ino) != file.inode)
        return entryGone();
    const media::FileBytes note = media::readRegularFile(file.infoFile, 64 * 1024);
    if (!note.ok)
        return entryGone();
    const std::string text(note.bytes.begin(), note.bytes.end());
    const QByteArray encoded = QUrl::toPercentEncoding(QByteArray::fromStdString(file.notedPath), "/");
    if (noteValue(text, "Path") != encoded.toStdString() || noteValue(text, "DeletionDate") != file.deletionDate)
        return entryGone();

    const int result = media::renameNoReplace(file.inTrash, file.original);
    if (result == EEXIST) {
        error = inQuotes(file.original) + " exists again";
        return false;
    }
    if (result != 0) {
        error = systemReason(result);
        return false;
    }
    // The note would otherwise describe a file that is no longer there.
    if (::unlink(file.infoFile.c_str()) != 0)
        qCWarning(lcViewer) << "Could not remove the trash note" << file.infoFile.c_str() << ":"
                            << systemReason(errno).c_str();
    return true;
}

} // namespace marquelo
