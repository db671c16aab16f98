#include "support/HostilePictures.h"

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <QByteArray>
#include <QFile>

#include <jpeglib.h>

namespace marquelo::test {

namespace {

// Opens the writing end without blocking: it succeeds only while a reader waits in open(), which it
// then lets go on to read an empty stream.
bool releaseReader(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

std::uint32_t crc32(const QByteArray& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendBigEndian(QByteArray& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    const QByteArray typed = QByteArray(type) + data;
    appendBigEndian(png, std::uint32_t(data.size()));
    png += typed;
    appendBigEndian(png, crc32(typed));
}

} // namespace

bool writePngClaiming(const std::string& path, QSize size)
{
    QByteArray header;
    appendBigEndian(header, std::uint32_t(size.width()));
    appendBigEndian(header, std::uint32_t(size.height()));
    header.append("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, no filter, no interlace
    // qCompress puts the length in front of a zlib stream, which is what IDAT holds.
    const QByteArray rows = qCompress(QByteArray(64 * 1024, '\0'), 9).mid(4);
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", rows);
    appendChunk(png, "IEND", QByteArray());
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
}

Fifo::Fifo(std::string path, std::chrono::seconds patience) : m_path(std::move(path))
{
    m_created = ::mkfifo(m_path.c_str(), 0600) == 0;
    if (!m_created)
        return;
    m_watchdog = std::thread([path = m_path, patience, released = m_released, stop = m_stop] {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!stop->load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // Whoever still waits on it now is let go, however often it opens it again.
        while (!stop->load()) {
            if (releaseReader(path))
                released->store(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

Fifo::~Fifo()
{
    if (releaseReader(m_path))
        m_released->store(true);
    m_stop->store(true);
    if (m_watchdog.joinable())
        m_watchdog.join();
    ::unlink(m_path.c_str());
}

std::vector<unsigned char> progressiveJpeg(int width, int height, int passesPerBand)
{
    if (passesPerBand < 1 || passesPerBand > 10 || width < 1 || height < 1)
        return {};
    std::vector<jpeg_scan_info> scans;
    scans.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k <= 63; ++k) {
        // The first pass sends the high bits, each further one the next bit down.
        const int low = passesPerBand - 1;
        scans.push_back({1, {0}, k, k, 0, low});
        for (int bit = low; bit > 0; --bit)
            scans.push_back({1, {0}, k, k, bit, bit - 1});
    }
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    std::vector<JSAMPLE> row(std::size_t(width), 0);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    info.scan_info = scans.data();
    info.num_scans = int(scans.size());
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // A pattern, so that the scans carry bits.
        for (int x = 0; x < width; ++x)
            row[std::size_t(x)] = JSAMPLE((x * 7 + int(info.next_scanline) * 13) & 0xff);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<unsigned char> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

bool writeProgressiveJpeg(const std::string& path, QSize size, int passesPerBand)
{
    const std::vector<unsigned char> bytes = progressiveJpeg(size.width(), size.height(), passesPerBand);
    if (bytes.empty())
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

namespace {
void appendLittleEndian(QByteArray& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

void appendRiffChunk(QByteArray& out, const char* fourcc, const QByteArray& payload)
{
    out.append(fourcc, 4);
    appendLittleEndian(out, std::uint64_t(payload.size()), 4);
    out.append(payload);
    if (payload.size() % 2)
        out.append('\0');
}
} // namespace

bool writeAnimatedWebp(const std::string& path, int canvas, int frames)
{
    // A lossless 1x1 black picture, as libwebp encodes it.
    static const unsigned char kPixel[] = {0x2f, 0x00, 0x00, 0x00, 0x00, 0x07, 0x10,
                                           0x11, 0xfd, 0x0f, 0x44, 0x44, 0xff, 0x03};
    QByteArray pixel;
    appendRiffChunk(pixel, "VP8L", QByteArray(reinterpret_cast<const char*>(kPixel), sizeof kPixel));
    QByteArray header;
    header.append(char(0x02)); // animation
    header.append(3, '\0');
    appendLittleEndian(header, std::uint64_t(canvas - 1), 3);
    appendLittleEndian(header, std::uint64_t(canvas - 1), 3);
    QByteArray webp("WEBP");
    appendRiffChunk(webp, "VP8X", header);
    appendRiffChunk(webp, "ANIM", QByteArray(6, '\0'));
    for (int f = 0; f < frames; ++f) {
        QByteArray frame;
        appendLittleEndian(frame, std::uint64_t(f % (canvas / 2)), 3); // x / 2
        appendLittleEndian(frame, std::uint64_t(f % (canvas / 2)), 3); // y / 2
        appendLittleEndian(frame, 0, 6);                               // 1x1, as stored minus one
        appendLittleEndian(frame, 100, 3);                             // milliseconds
        frame.append('\0');
        frame.append(pixel);
        appendRiffChunk(webp, "ANMF", frame);
    }
    QByteArray file("RIFF");
    appendLittleEndian(file, std::uint64_t(webp.size()), 4);
    file.append(webp);
    QFile out(QString::fromStdString(path));
    return out.open(QIODevice::WriteOnly) && out.write(file) == file.size();
}

} // namespace marquelo::test
