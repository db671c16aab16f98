#include "core/viewer/FileProbe.h"

#include "core/settings/Logging.h"
#include "core/viewer/DecodeReasons.h"
#include "core/viewer/PictureFormats.h"
#include "media/Exiv2Library.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo {

namespace {

FileStatus statusOf(const struct stat& info)
{
    FileStatus status;
    if (S_ISDIR(info.st_mode))
        status.kind = FileKind::Directory;
    else if (S_ISREG(info.st_mode))
        status.kind = FileKind::Regular;
    else
        status.kind = FileKind::Other;
    status.stamp.lastWriteNs = std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    status.stamp.size = status.kind == FileKind::Regular ? std::uint64_t(info.st_size) : 0;
    return status;
}

// O_NONBLOCK: a FIFO swapped in after the look-up must not hold the open until a writer comes.
// O_NOCTTY: a terminal device must never become the program's controlling terminal.
int openWithoutBlocking(const std::string& path)
{
    int fd;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// The system's words for an errno, lower case as the rest of a reason is.
QString systemReason(int error)
{
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

QString kindReason(FileKind kind)
{
    switch (kind) {
    case FileKind::Missing: return QStringLiteral("the file is no longer there");
    case FileKind::Directory: return QStringLiteral("it is a folder, not a file");
    case FileKind::Other: return QStringLiteral("it is not a regular file");
    case FileKind::Regular: break;
    }
    return {};
}

} // namespace

FileStatus statFile(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return FileStatus();
    return statusOf(info);
}

bool opensForReading(const std::string& path)
{
    if (statFile(path).kind != FileKind::Regular)
        return false;
    const int fd = openWithoutBlocking(path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

namespace {

// Opens what still is a regular file, with `out.status` of the opened file; -1 with out.error set
// otherwise.
int openChecked(const std::string& path, FileContents& out)
{
    out.status = statFile(path);
    // Opening some devices has effects of its own (a tape rewinds when closed), so only what looks
    // like a regular file is opened at all.
    if (out.status.kind != FileKind::Regular) {
        out.error = kindReason(out.status.kind);
        return -1;
    }
    const int fd = openWithoutBlocking(path);
    if (fd < 0) {
        out.error = QStringLiteral("the file cannot be opened (%1)").arg(systemReason(errno));
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        out.error = QStringLiteral("the file cannot be opened (%1)").arg(systemReason(errno));
        ::close(fd);
        return -1;
    }
    out.status = statusOf(info);
    if (out.status.kind != FileKind::Regular) {
        out.error = kindReason(out.status.kind);
        ::close(fd);
        return -1;
    }
    if (info.st_size <= 0) {
        out.error = QStringLiteral("the file is empty");
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

FileContents readRegularFile(const std::string& path, std::int64_t maxBytes)
{
    FileContents out;
    const int fd = openChecked(path, out);
    if (fd < 0)
        return out;
    if (std::int64_t(out.status.stamp.size) > maxBytes) {
        out.error = QStringLiteral("the file is larger than %1").arg(reasons::byteSize(maxBytes));
    } else {
        QByteArray bytes;
        bytes.resize(qsizetype(out.status.stamp.size));
        qsizetype have = 0;
        int readError = 0;
        while (have < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                readError = errno;
            if (got <= 0)
                break;
            have += got;
        }
        if (have == bytes.size()) {
            out.bytes = std::move(bytes);
            out.ok = true;
        } else if (readError != 0) {
            out.error = QStringLiteral("the file cannot be read (%1)").arg(systemReason(readError));
        } else {
            out.error = QStringLiteral("the file was cut short while it was read");
        }
    }
    ::close(fd);
    return out;
}

FileContents readRawPreview(const std::string& path, media::ReadWatch* watch)
{
    FileContents out;
    const int fd = openChecked(path, out);
    if (fd < 0)
        return out;
    const media::RawPreview raw = media::largestRawPreview(fd, out.status.stamp.size, watch);
    ::close(fd);
    if (raw.bytes.empty()) {
        qCWarning(lcViewer) << "RAW preview:" << raw.error.c_str();
        out.error = raw.readable
                        ? QStringLiteral("the RAW file holds no preview picture")
                        : QStringLiteral("the RAW file cannot be read (%1)").arg(QString::fromStdString(raw.error));
        return out;
    }
    out.bytes = QByteArray(reinterpret_cast<const char*>(raw.bytes.data()), qsizetype(raw.bytes.size()));
    out.previewOrientation = raw.orientation;
    out.ok = true;
    return out;
}

FileContents readPictureFile(const std::string& path, std::int64_t maxBytes)
{
    return isRawName(path) ? readRawPreview(path) : readRegularFile(path, maxBytes);
}

} // namespace marquelo
