#pragma once
// How the viewer touches the files of the image folder: by the bytes of their names, never waiting on
// something that only looks like a file. A FIFO or a device named like a photo (or a symlink to one)
// is looked at with stat only; it is never opened, so nothing can block on it or read it endlessly.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>

namespace marquelo::media {
class ReadWatch;
}

namespace marquelo {

// When a file was last written and how long it was: what the change check compares.
struct FileStamp {
    std::int64_t lastWriteNs = 0; // nanoseconds since the epoch; 0 when there is no file
    std::uint64_t size = 0;       // bytes; 0 for anything but a regular file
    bool operator==(const FileStamp&) const = default;
};

enum class FileKind { Missing, Directory, Regular, Other };

struct FileStatus {
    FileKind kind = FileKind::Missing;
    FileStamp stamp;
};

// Looks the file up (following symlinks) without opening it.
FileStatus statFile(const std::string& path);

// True when a regular file opens for reading now: a writer that holds it exclusively has let go.
// Never opens anything else.
bool opensForReading(const std::string& path);

struct FileContents {
    bool ok = false;   // the whole regular file was read
    QByteArray bytes;  // empty unless ok
    FileStatus status; // of the file that was opened (or looked up, when it was not opened)
    QString error;     // why it was not read, in words for the user; empty when ok
    // Set (1..8) when `bytes` hold a camera RAW file's embedded preview rather than the file: the
    // RAW file's EXIF orientation, which the preview rarely carries itself.
    int previewOrientation = 0;
};

// Reads a whole regular file of at most `maxBytes` in one read. The file is opened without blocking
// and checked again after opening, so a name swapped for a FIFO or a device in between is refused
// too. A file cut short while it is read is not ok (it is being rewritten).
FileContents readRegularFile(const std::string& path, std::int64_t maxBytes);

// A camera RAW file's largest embedded preview, reading only the container's directories and the
// preview, never the sensor data around them (seconds of reading on a memory card or a share). The
// same checks as readRegularFile; a file that changes while it is read is not ok. `watch` hears of
// every read (benchmarks).
FileContents readRawPreview(const std::string& path, media::ReadWatch* watch = nullptr);

// readRawPreview for a camera RAW file by its name, readRegularFile for everything else.
FileContents readPictureFile(const std::string& path, std::int64_t maxBytes);

} // namespace marquelo
