#pragma once
// The page file on disk: appended to line by line while one operation runs, read whole for the numbering
// and the ending removal, and rewritten only through a temporary file and a rename, so that a page is
// never left half written. Paths are the names' own bytes; only regular files are read or written.
//
// While one operation has the page open it holds an exclusive lock on it, so two running programs that
// add to one page take turns: each numbers its anchor from the page as it is at that moment.

#include <optional>
#include <string>
#include <string_view>

namespace marquelo {

class PageFile {
public:
    PageFile() = default;
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // Opens `path` for reading and appending, creating it when missing and never truncating it, and
    // locks it. False when it cannot be opened that way (a read-only file, a missing directory, a FIFO).
    bool open(const std::string& path);
    bool isOpen() const { return m_fd >= 0; }

    // The whole file from its first byte; the append position is not disturbed.
    std::string readAll();

    // Appends `text` and CR LF. False when the write failed.
    bool writeLine(std::string_view text);
    // Appends `text` as it stands (it carries its own line ends).
    bool write(std::string_view text);

    // Replaces the whole open page with `content` through a temporary file and a rename, still under
    // this operation's lock, then closes it (what follows would go to the replaced file). False, with the
    // page as it was, when the new file could not be written.
    bool replaceAll(std::string_view content);

    // Flushes, unlocks and closes; false when the data could not all be written.
    bool close();
    // Why the last open, write or close failed (the system's words); empty when none did.
    const std::string& error() const { return m_error; }

    // The whole content of a regular file, or nullopt when it cannot be read.
    static std::optional<std::string> read(const std::string& path);

    // True when `path` is a regular file that can be opened for reading (never waits on a FIFO).
    static bool readable(const std::string& path);

    // Replaces `path` with `content` through a temporary file in the same folder and an atomic rename,
    // under the page's lock. On failure the old file stays exactly as it was, and `reason` (when given)
    // says why.
    static bool rewrite(const std::string& path, std::string_view content, std::string* reason = nullptr);

private:
    int m_fd = -1;
    std::string m_path;
    bool m_failed = false;
    std::string m_error;
};

} // namespace marquelo
