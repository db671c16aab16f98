#include "core/viewer/vips/HeifGeometry.h"

#include <string_view>
#include <vector>

namespace marquelo {

namespace {

// A bounded view of bytes: every read past the end fails instead of reading on.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_pos >= m_size; }
    std::size_t left() const { return m_size - m_pos; }

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

// An 'ipco' child: its type and its first byte (an 'irot' keeps its angle there).
struct Property {
    std::string_view type;
    std::uint8_t firstByte = 0;
};

// The 'ipco' children in order (the associations count them from 1).
bool readPropertyBoxes(Reader ipco, std::vector<Property>& properties)
{
    Property property;
    Reader body(nullptr, 0);
    while (!ipco.atEnd()) {
        if (!ipco.box(property.type, body))
            return false;
        std::uint64_t first = 0;
        property.firstByte = body.read(first, 1) ? std::uint8_t(first) : std::uint8_t(0);
        properties.push_back(property);
    }
    return true;
}

// The property indices 'ipma' associates with `item`.
bool readAssociations(Reader ipma, std::uint64_t item, std::vector<std::uint64_t>& indices)
{
    std::uint64_t version = 0, flags = 0, entries = 0;
    if (!ipma.read(version, 1) || !ipma.read(flags, 3) || !ipma.read(entries, 4))
        return false;
    for (std::uint64_t e = 0; e < entries; ++e) {
        std::uint64_t id = 0, count = 0;
        if (!ipma.read(id, version < 1 ? 2 : 4) || !ipma.read(count, 1))
            return false;
        for (std::uint64_t a = 0; a < count; ++a) {
            std::uint64_t association = 0;
            const bool wide = flags & 1;
            if (!ipma.read(association, wide ? 2 : 1))
                return false;
            if (id == item)
                indices.push_back(association & (wide ? 0x7fff : 0x7f));
        }
    }
    return true;
}

} // namespace

std::optional<int> heifPrimaryQuarterTurns(const std::uint8_t* data, std::size_t size)
{
    Reader file(data, size);
    std::string_view type;
    Reader meta(nullptr, 0);
    do {
        if (!file.box(type, meta))
            return std::nullopt;
    } while (type != "meta");
    std::uint64_t versionAndFlags = 0;
    if (!meta.read(versionAndFlags, 4))
        return std::nullopt;

    std::optional<std::uint64_t> primary;
    std::vector<Property> properties;
    std::vector<Reader> associationBoxes;
    Reader body(nullptr, 0);
    while (!meta.atEnd()) {
        if (!meta.box(type, body))
            return std::nullopt;
        if (type == "pitm") {
            std::uint64_t version = 0, id = 0;
            if (!body.read(version, 1) || !body.skip(3) || !body.read(id, version == 0 ? 2 : 4))
                return std::nullopt;
            primary = id;
        } else if (type == "iprp") {
            Reader child(nullptr, 0);
            while (!body.atEnd()) {
                if (!body.box(type, child))
                    return std::nullopt;
                if (type == "ipco" && !readPropertyBoxes(child, properties))
                    return std::nullopt;
                if (type == "ipma")
                    associationBoxes.push_back(child);
            }
        }
    }
    if (!primary)
        return std::nullopt;
    std::vector<std::uint64_t> indices;
    for (const Reader& ipma : associationBoxes)
        if (!readAssociations(ipma, *primary, indices))
            return std::nullopt;

    int turns = 0;
    for (const std::uint64_t index : indices) {
        if (index == 0)
            continue;
        if (index > properties.size())
            return std::nullopt;
        const Property& property = properties[index - 1];
        if (property.type == "imir" || property.type == "clap")
            return std::nullopt;
        if (property.type == "irot")
            turns = (turns + (property.firstByte & 3)) % 4;
    }
    return turns;
}

} // namespace marquelo
