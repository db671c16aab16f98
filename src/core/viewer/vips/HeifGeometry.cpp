#include "core/viewer/vips/HeifGeometry.h"

#include "core/viewer/vips/HeifBoxes.h"

#include <map>
#include <optional>
#include <vector>

namespace marquelo {

namespace {

using heifboxes::Reader;

// An 'ipco' child: its type, its first byte (an 'irot' keeps its angle there) and its whole body.
struct Property {
    std::string_view type;
    std::uint8_t firstByte = 0;
    Reader body{nullptr, 0};
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
        property.body = body;
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

// What every reader takes from 'meta': the primary item and the item properties.
struct PrimaryAndProperties {
    std::uint64_t primary = 0;
    std::vector<Property> properties;
    std::vector<Reader> associationBoxes;

    // The properties of an item; nullopt when an index points past them.
    std::optional<std::vector<const Property*>> propertiesOf(std::uint64_t id) const
    {
        std::vector<std::uint64_t> indices;
        for (const Reader& ipma : associationBoxes)
            if (!readAssociations(ipma, id, indices))
                return std::nullopt;
        std::vector<const Property*> out;
        for (const std::uint64_t index : indices) {
            if (index > properties.size())
                return std::nullopt;
            if (index > 0)
                out.push_back(&properties[index - 1]);
        }
        return out;
    }
};

// Reads the file's 'meta' box into `out`: 'pitm' and 'iprp' here, every other child box through
// `other(type, body)`, which returns false to refuse the file. False too without a primary item.
template <typename Other>
bool readMeta(const std::uint8_t* data, std::size_t size, PrimaryAndProperties& out, Other other)
{
    Reader file(data, size);
    std::string_view type;
    Reader meta(nullptr, 0);
    do {
        if (!file.box(type, meta))
            return false;
    } while (type != "meta");
    std::uint64_t versionAndFlags = 0;
    if (!meta.read(versionAndFlags, 4))
        return false;

    std::optional<std::uint64_t> primary;
    Reader body(nullptr, 0);
    while (!meta.atEnd()) {
        if (!meta.box(type, body))
            return false;
        if (type == "pitm") {
            std::uint64_t version = 0, id = 0;
            if (!body.read(version, 1) || !body.skip(3) || !body.read(id, version == 0 ? 2 : 4))
                return false;
            primary = id;
        } else if (type == "iprp") {
            Reader child(nullptr, 0);
            std::string_view childType;
            while (!body.atEnd()) {
                if (!body.box(childType, child))
                    return false;
                if (childType == "ipco" && !readPropertyBoxes(child, out.properties))
                    return false;
                if (childType == "ipma")
                    out.associationBoxes.push_back(child);
            }
        } else if (!other(type, body)) {
            return false;
        }
    }
    if (!primary)
        return false;
    out.primary = *primary;
    return true;
}

} // namespace

std::optional<int> heifPrimaryQuarterTurns(const std::uint8_t* data, std::size_t size)
{
    PrimaryAndProperties meta;
    if (!readMeta(data, size, meta, [](std::string_view, const Reader&) { return true; }))
        return std::nullopt;
    const std::optional<std::vector<const Property*>> properties = meta.propertiesOf(meta.primary);
    if (!properties)
        return std::nullopt;
    int turns = 0;
    for (const Property* property : *properties) {
        if (property->type == "imir" || property->type == "clap")
            return std::nullopt;
        if (property->type == "irot")
            turns = (turns + (property->firstByte & 3)) % 4;
    }
    return turns;
}

namespace {

// Where an item's bytes are: one extent in the file (method 0) or in 'idat' (method 1).
struct Location {
    int method = 0;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

bool readSized(Reader& reader, std::uint64_t& value, std::uint64_t bytes)
{
    if (bytes != 0 && bytes != 4 && bytes != 8)
        return false;
    value = 0;
    return bytes == 0 || reader.read(value, int(bytes));
}

// The items stored in one extent; items in several extents or in another file are left out.
bool readLocations(Reader iloc, std::map<std::uint64_t, Location>& locations)
{
    std::uint64_t version = 0, sizes = 0, moreSizes = 0, count = 0;
    if (!iloc.read(version, 1) || !iloc.skip(3) || version > 2 || !iloc.read(sizes, 1) || !iloc.read(moreSizes, 1) ||
        !iloc.read(count, version < 2 ? 2 : 4))
        return false;
    const std::uint64_t offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = moreSizes >> 4;
    const std::uint64_t indexSize = version >= 1 ? moreSizes & 15 : 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t id = 0, method = 0, reference = 0, base = 0, extents = 0;
        if (!iloc.read(id, version < 2 ? 2 : 4))
            return false;
        if (version >= 1 && !iloc.read(method, 2))
            return false;
        if (!iloc.read(reference, 2) || !readSized(iloc, base, baseSize) || !iloc.read(extents, 2))
            return false;
        Location location;
        location.method = int(method & 15);
        for (std::uint64_t e = 0; e < extents; ++e) {
            std::uint64_t index = 0, offset = 0, length = 0;
            if (!readSized(iloc, index, indexSize) || !readSized(iloc, offset, offsetSize) ||
                !readSized(iloc, length, lengthSize))
                return false;
            location.offset = base + offset;
            location.length = length;
        }
        if (extents == 1 && reference == 0 && location.length > 0 && location.method <= 1 && base < (1ull << 62) &&
            location.offset - base < (1ull << 62))
            locations[id] = location;
    }
    return true;
}

// Each item's four-letter type ('infe' of version 2 and 3).
bool readItemTypes(Reader iinf, std::map<std::uint64_t, std::string_view>& types)
{
    std::uint64_t version = 0, count = 0;
    if (!iinf.read(version, 1) || !iinf.skip(3) || !iinf.read(count, version == 0 ? 2 : 4))
        return false;
    std::string_view type;
    Reader infe(nullptr, 0);
    while (!iinf.atEnd()) {
        if (!iinf.box(type, infe))
            return false;
        std::uint64_t infeVersion = 0, id = 0;
        if (type != "infe" || !infe.read(infeVersion, 1) || !infe.skip(3) || infeVersion < 2)
            continue;
        if (!infe.read(id, infeVersion == 2 ? 2 : 4) || !infe.skip(2) || infe.left() < 4)
            return false;
        types[id] = std::string_view(reinterpret_cast<const char*>(infe.here()), 4);
    }
    return true;
}

// The items `item` is derived from ('dimg'), in order.
bool readDerivedFrom(Reader iref, std::uint64_t item, std::vector<std::uint64_t>& from)
{
    std::uint64_t version = 0;
    if (!iref.read(version, 1) || !iref.skip(3))
        return false;
    const int idBytes = version == 0 ? 2 : 4;
    std::string_view type;
    Reader reference(nullptr, 0);
    while (!iref.atEnd()) {
        if (!iref.box(type, reference))
            return false;
        std::uint64_t id = 0, count = 0;
        if (!reference.read(id, idBytes) || !reference.read(count, 2))
            return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint64_t to = 0;
            if (!reference.read(to, idBytes))
                return false;
            if (type == "dimg" && id == item)
                from.push_back(to);
        }
    }
    return true;
}

// What the 'meta' box says of the items: enough to find the primary picture's coded bytes.
struct Items : PrimaryAndProperties {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::map<std::uint64_t, Location> locations;
    std::map<std::uint64_t, std::string_view> types;
    std::optional<Reader> iref;
    Reader idat{nullptr, 0};

    std::string_view typeOf(std::uint64_t id) const
    {
        const auto found = types.find(id);
        return found == types.end() ? std::string_view() : found->second;
    }

    // The bytes of an item, checked to lie inside the file.
    std::optional<Reader> bytesOf(std::uint64_t id) const
    {
        const auto found = locations.find(id);
        if (found == locations.end())
            return std::nullopt;
        const Location& at = found->second;
        const std::uint8_t* start = at.method == 0 ? data : idat.here();
        const std::size_t available = at.method == 0 ? size : idat.left();
        if (at.offset > available || at.length > available - at.offset)
            return std::nullopt;
        return Reader(start + at.offset, std::size_t(at.length));
    }
};

std::optional<Items> readItems(const std::uint8_t* data, std::size_t size)
{
    Items items;
    items.data = data;
    items.size = size;
    const bool read = readMeta(data, size, items, [&items](std::string_view type, const Reader& body) {
        if (type == "iloc")
            return readLocations(body, items.locations);
        if (type == "iinf")
            return readItemTypes(body, items.types);
        if (type == "iref")
            items.iref = body;
        else if (type == "idat")
            items.idat = body;
        return true;
    });
    if (!read)
        return std::nullopt;
    return items;
}

} // namespace

std::optional<HeifGrid> heifPrimaryHevcGrid(const std::uint8_t* data, std::size_t size)
{
    const std::optional<Items> items = readItems(data, size);
    std::vector<std::uint64_t> tileIds;
    if (!items || !items->iref || items->typeOf(items->primary) != "grid" ||
        !readDerivedFrom(*items->iref, items->primary, tileIds))
        return std::nullopt;

    HeifGrid grid;
    std::optional<Reader> descriptor = items->bytesOf(items->primary);
    std::uint64_t version = 0, flags = 0, rows = 0, columns = 0, width = 0, height = 0;
    if (!descriptor || !descriptor->read(version, 1) || version != 0 || !descriptor->read(flags, 1) ||
        !descriptor->read(rows, 1) || !descriptor->read(columns, 1) || !descriptor->read(width, (flags & 1) ? 4 : 2) ||
        !descriptor->read(height, (flags & 1) ? 4 : 2))
        return std::nullopt;
    grid.rows = int(rows) + 1;
    grid.columns = int(columns) + 1;
    if (width == 0 || height == 0 || width > (1u << 20) || height > (1u << 20) ||
        tileIds.size() != std::size_t(grid.rows) * std::size_t(grid.columns))
        return std::nullopt;
    grid.width = int(width);
    grid.height = int(height);

    for (const std::uint64_t id : tileIds) {
        const std::optional<Reader> coded = items->bytesOf(id);
        const std::optional<std::vector<const Property*>> tileProperties = items->propertiesOf(id);
        if (items->typeOf(id) != "hvc1" || !coded || !tileProperties)
            return std::nullopt;
        HeifGridTile tile{coded->here(), coded->left(), nullptr, 0};
        std::uint64_t tileWidth = 0, tileHeight = 0;
        for (const Property* property : *tileProperties) {
            Reader read = property->body;
            if (property->type == "hvcC") {
                tile.config = read.here();
                tile.configSize = read.left();
            } else if (property->type == "ispe") {
                if (!read.skip(4) || !read.read(tileWidth, 4) || !read.read(tileHeight, 4))
                    return std::nullopt;
            } else if (property->type == "irot" || property->type == "imir" || property->type == "clap") {
                return std::nullopt;
            }
        }
        if (!tile.config || tileWidth == 0 || tileHeight == 0 || tileWidth > 65536 || tileHeight > 65536)
            return std::nullopt;
        if (grid.tiles.empty()) {
            grid.tileWidth = int(tileWidth);
            grid.tileHeight = int(tileHeight);
        } else if (int(tileWidth) != grid.tileWidth || int(tileHeight) != grid.tileHeight) {
            return std::nullopt;
        }
        grid.tiles.push_back(tile);
    }
    // The tiles cover the picture, and no row or column of them lies wholly outside it.
    const std::int64_t coveredWidth = std::int64_t(grid.columns) * grid.tileWidth;
    const std::int64_t coveredHeight = std::int64_t(grid.rows) * grid.tileHeight;
    if (coveredWidth < grid.width || coveredHeight < grid.height || coveredWidth - grid.tileWidth >= grid.width ||
        coveredHeight - grid.tileHeight >= grid.height)
        return std::nullopt;
    return grid;
}

std::optional<HeifCodedPicture> heifPrimaryAv1(const std::uint8_t* data, std::size_t size)
{
    const std::optional<Items> items = readItems(data, size);
    if (!items || items->typeOf(items->primary) != "av01")
        return std::nullopt;
    const std::optional<Reader> coded = items->bytesOf(items->primary);
    const std::optional<std::vector<const Property*>> properties = items->propertiesOf(items->primary);
    if (!coded || !properties)
        return std::nullopt;
    HeifCodedPicture picture{coded->here(), coded->left(), 0, 0};
    for (const Property* property : *properties) {
        Reader read = property->body;
        std::uint64_t width = 0, height = 0;
        if (property->type == "ispe") {
            if (!read.skip(4) || !read.read(width, 4) || !read.read(height, 4) || width == 0 || height == 0 ||
                width > (1u << 16) || height > (1u << 16))
                return std::nullopt;
            picture.width = int(width);
            picture.height = int(height);
        } else if (property->type == "imir" || property->type == "clap" || property->type == "a1op" ||
                   property->type == "lsel" || property->type == "a1lx") {
            // A mirror or crop, or a picture of several layers: libheif's.
            return std::nullopt;
        }
    }
    if (picture.width == 0 || picture.size == 0)
        return std::nullopt;
    return picture;
}

} // namespace marquelo
