#pragma once

// Opening a file the user named is never allowed to block or to read something that is not a file:
// a FIFO named like a photo would hang an open() forever, and a device or folder is not a picture.
// Every reader of user files goes through here (or checks with isRegularFile first when a library
// insists on opening the path itself).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace marquelo::media {

// An open descriptor of a regular file, closed on destruction. fd() is -1 when the open failed;
// error() then says why in words ("not a regular file", or the system's reason).
class RegularFile {
public:
    explicit RegularFile(const std::string& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::string error_;
};

// True when `path` names a regular file (symbolic links followed); never opens it, so never blocks.
// For libraries that open paths themselves: there is a window between this check and their open, so
// prefer reading through RegularFile where the library takes bytes.
bool isRegularFile(const std::string& path, std::string* error = nullptr);

// Up to `count` bytes from the start of the open file `fd` (fewer when it is shorter or a read fails):
// the head a format is told by, read without moving the descriptor's offset.
std::vector<unsigned char> readHead(int fd, std::size_t count);

struct FileBytes {
    std::vector<unsigned char> bytes;
    bool ok = false;
    std::string error;
};

// Reads a whole regular file of at most maxBytes (a larger one fails with "file too large"). The
// bytes are read, not mapped: a file cut short by another program while it is read gives a short
// read and an error, never a bus fault.
FileBytes readRegularFile(const std::string& path, std::size_t maxBytes);

} // namespace marquelo::media
