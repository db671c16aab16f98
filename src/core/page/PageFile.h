#pragma once
// The page file on disk: appended to line by line while one operation runs, read whole for the numbering
// and the ending removal, and rewritten only through a temporary file and a rename, so that a page is
// never left half written.

#include <QFile>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace marquelo {

class PageFile {
public:
    // Opens `path` for reading and appending, creating it when missing and never truncating it.
    // False when it cannot be opened that way (a read-only file, a missing directory).
    bool open(const std::string& path);
    bool isOpen() const { return m_file.isOpen(); }

    // The whole file from its first byte; the append position is not disturbed.
    std::string readAll();

    // Appends `text` and CR LF. False when the write failed.
    bool writeLine(std::string_view text);
    // Appends `text` as it stands (it carries its own line ends).
    bool write(std::string_view text);

    // Flushes and closes; false when the data could not all be written.
    bool close();

    // The whole content of a file, or nullopt when it cannot be read.
    static std::optional<std::string> read(const std::string& path);

    // Replaces `path` with `content` through a temporary file in the same folder and an atomic rename.
    // On failure the old file stays exactly as it was.
    static bool rewrite(const std::string& path, std::string_view content);

    // Copies `source` to `target` (which must not exist yet) through a temporary file and a rename.
    static bool copyNew(const std::string& source, const std::string& target);

private:
    QFile m_file;
    bool m_failed = false;
};

} // namespace marquelo
