#pragma once
// Reading ISOBMFF boxes (the container of HEIF and AVIF) out of bytes that may be damaged or crafted.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace marquelo::heifboxes {

// A bounded view of bytes: every read past the end fails instead of reading on.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_pos >= m_size; }
    std::size_t left() const { return m_size - m_pos; }
    // The bytes not read yet.
    const std::uint8_t* here() const { return m_data + m_pos; }

    bool read(std::uint64_t& value, int bytes)
    {
        if (left() < std::size_t(bytes))
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | m_data[m_pos++];
        return true;
    }

    bool skip(std::size_t bytes)
    {
        if (left() < bytes)
            return false;
        m_pos += bytes;
        return true;
    }

    // The next box: its four-letter type and its body as a reader of its own.
    bool box(std::string_view& type, Reader& body)
    {
        std::uint64_t size = 0;
        const std::size_t start = m_pos;
        if (!read(size, 4) || left() < 4)
            return false;
        type = std::string_view(reinterpret_cast<const char*>(m_data + m_pos), 4);
        m_pos += 4;
        if (size == 1 && !read(size, 8))
            return false;
        const std::size_t header = m_pos - start;
        if (size == 0) // to the end of its container
            size = header + left();
        if (size < header || size - header > left())
            return false;
        body = Reader(m_data + m_pos, std::size_t(size - header));
        m_pos += std::size_t(size - header);
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace marquelo::heifboxes
