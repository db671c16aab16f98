#pragma once
// The input of one conversion, held open through one handle for the whole conversion. The viewer's turn
// tools may replace this very photo while a copy for the page is being made, and the decoders open the
// input more than once (header, then pixels): through the handle every pass sees the same file, never
// half of the old and half of the new. Opening never blocks (a FIFO named .jpg does not hang the tool),
// only a regular file is accepted, and nothing is read before its size is known.
//
// Nothing is ever mapped: another program may cut the file short while it is read, and touching a
// mapped page past the new end kills the process with SIGBUS. The converter reads the whole input
// once and lets every decoder work on that copy.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace marquelo::convert {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False with `reason` set when `path` cannot be opened or is not a regular file.
    bool open(const std::string& path, std::string& reason);

    // The size when it was opened.
    std::uint64_t size() const { return m_size; }

    // A name that opens this same file again (Linux: /proc/self/fd/N, even after the path was
    // replaced); elsewhere the path itself.
    const std::string& path() const { return m_path; }

    // The open handle, -1 when not open.
    int fd() const { return m_fd; }

    // The first `count` bytes, fewer for a shorter file.
    std::vector<unsigned char> head(std::size_t count) const;

    // The whole file as it was opened, read into memory. Empty with `reason` set when it cannot be read,
    // among others when it is shorter (or longer) than when it was opened.
    std::span<const unsigned char> bytes(std::string& reason);

    // Gives back the memory of bytes() once the copy is no longer needed.
    void dropBytes();

private:
    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_size = 0;
    std::vector<unsigned char> m_bytes;
    bool m_read = false;
};

} // namespace marquelo::convert
