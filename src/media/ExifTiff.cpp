#include "media/ExifTiff.h"

#include "media/JpegHeader.h"
#include "media/RegularFile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace marquelo::media {

namespace {

constexpr unsigned kAscii = 2;
constexpr unsigned kShort = 3;
constexpr unsigned kLong = 4;

class TiffReader {
public:
    explicit TiffReader(TiffView tiff) : m_tiff(tiff)
    {
        if (tiff.size() >= 8 && tiff[0] == 'I' && tiff[1] == 'I')
            m_big = false;
        else if (tiff.size() >= 8 && tiff[0] == 'M' && tiff[1] == 'M')
            m_big = true;
        else
            m_tiff = {};
    }

    bool bigEndian() const { return m_big; }

    std::optional<std::uint32_t> u16(std::size_t at) const
    {
        if (at > m_tiff.size() || m_tiff.size() - at < 2)
            return std::nullopt;
        return m_big ? std::uint32_t(m_tiff[at] << 8 | m_tiff[at + 1])
                     : std::uint32_t(m_tiff[at + 1] << 8 | m_tiff[at]);
    }
    std::optional<std::uint32_t> u32(std::size_t at) const
    {
        const auto first = u16(at);
        const auto second = u16(at + 2);
        if (!first || !second)
            return std::nullopt;
        return m_big ? *first << 16 | *second : *second << 16 | *first;
    }

    struct Entry {
        std::uint32_t tag;
        std::uint32_t type;
        std::uint32_t count;
        std::size_t valueAt; // where the value (or its offset) lies
    };

    // Calls `visit` for each entry of the IFD at `ifd` until it returns false; the offset of the next
    // IFD (0: none) or nothing when the IFD runs past the block.
    template <typename Visit> std::optional<std::uint32_t> walk(std::size_t ifd, Visit visit) const
    {
        const auto count = u16(ifd);
        if (!count)
            return std::nullopt;
        for (std::uint32_t e = 0; e < *count; ++e) {
            const std::size_t at = ifd + 2 + 12 * std::size_t(e);
            const auto tag = u16(at), type = u16(at + 2), n = u32(at + 4);
            if (!tag || !type || !n || !u32(at + 8))
                return std::nullopt;
            if (!visit(Entry{*tag, *type, *n, at + 8}))
                return 0;
        }
        return u32(ifd + 2 + 12 * std::size_t(*count));
    }

    std::optional<std::uint32_t> firstIfd() const { return u32(4); }

    // An ASCII entry's text up to its first NUL, without trailing blanks; empty when it is not ASCII or
    // runs past the block.
    std::string ascii(const Entry& e) const
    {
        if (e.type != kAscii || e.count == 0)
            return {};
        std::size_t at = e.valueAt;
        if (e.count > 4) {
            const auto offset = u32(e.valueAt);
            if (!offset)
                return {};
            at = *offset;
        }
        if (at > m_tiff.size() || m_tiff.size() - at < e.count)
            return {};
        std::string text(reinterpret_cast<const char*>(m_tiff.data() + at), e.count);
        text.resize(std::min(text.find('\0'), text.size()));
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    }

private:
    TiffView m_tiff;
    bool m_big = false;
};

} // namespace

std::optional<OrientationField> findExifOrientation(TiffView tiff)
{
    const TiffReader reader(tiff);
    const auto ifd0 = reader.firstIfd();
    if (!ifd0)
        return std::nullopt;
    std::optional<OrientationField> found;
    reader.walk(*ifd0, [&](const TiffReader::Entry& e) {
        if (e.tag != 0x0112)
            return true;
        if (e.type == kShort && e.count == 1)
            found = OrientationField{e.valueAt, reader.bigEndian()};
        return false; // the first one counts, valid or not
    });
    return found;
}

int exifOrientation(TiffView tiff)
{
    const auto field = findExifOrientation(tiff);
    if (!field)
        return 1;
    const int value =
        field->bigEndian ? tiff[field->at] << 8 | tiff[field->at + 1] : tiff[field->at + 1] << 8 | tiff[field->at];
    return value >= 1 && value <= 8 ? value : 1;
}

std::optional<ExifThumbnailPlace> findExifThumbnail(TiffView tiff)
{
    const TiffReader reader(tiff);
    const auto ifd0 = reader.firstIfd();
    if (!ifd0)
        return std::nullopt;
    const auto ifd1 = reader.walk(*ifd0, [](const TiffReader::Entry&) { return true; });
    if (!ifd1 || *ifd1 == 0)
        return std::nullopt;
    std::optional<std::uint32_t> offset, size;
    // Offsets are LONG by the standard; some writers use SHORT, which TIFF allows for offsets.
    auto value = [&](const TiffReader::Entry& e) -> std::optional<std::uint32_t> {
        if (e.count != 1)
            return std::nullopt;
        if (e.type == kLong)
            return reader.u32(e.valueAt);
        if (e.type == kShort)
            return reader.u16(e.valueAt);
        return std::nullopt;
    };
    if (!reader.walk(*ifd1, [&](const TiffReader::Entry& e) {
            if (e.tag == 0x0201)
                offset = value(e);
            else if (e.tag == 0x0202)
                size = value(e);
            return true;
        }))
        return std::nullopt;
    if (!offset || !size || *size == 0 || *offset > tiff.size() || tiff.size() - *offset < *size)
        return std::nullopt;
    return ExifThumbnailPlace{*offset, *size};
}

ExifCaptureFields exifCaptureFields(TiffView tiff)
{
    ExifCaptureFields fields;
    const TiffReader reader(tiff);
    const auto ifd0 = reader.firstIfd();
    if (!ifd0)
        return fields;
    std::optional<std::uint32_t> exifIfd;
    reader.walk(*ifd0, [&](const TiffReader::Entry& e) {
        if (e.tag == 0x010F)
            fields.make = reader.ascii(e);
        else if (e.tag == 0x0110)
            fields.model = reader.ascii(e);
        else if (e.tag == 0x8769 && e.count == 1 && (e.type == kLong || e.type == 13 /* IFD */))
            exifIfd = reader.u32(e.valueAt);
        return true;
    });
    // An EXIF IFD pointing back at IFD0 would be walked as if it were one; it holds nothing of ours.
    if (!exifIfd || *exifIfd == *ifd0)
        return fields;
    reader.walk(*exifIfd, [&](const TiffReader::Entry& e) {
        if (e.tag == 0x9003)
            fields.dateTimeOriginal = reader.ascii(e);
        else if (e.tag == 0x9011)
            fields.offsetTimeOriginal = reader.ascii(e);
        else if (e.tag == 0x9291)
            fields.subSecTimeOriginal = reader.ascii(e);
        return true;
    });
    return fields;
}

ExifCaptureFields readCaptureFields(const std::string& path)
{
    // A JPEG's EXIF block (at most 64 KiB) follows at most a JFIF block; a TIFF-based RAW file keeps its
    // IFD0 and EXIF IFD near its start. This much covers both without reading the picture.
    constexpr std::size_t kHeadBytes = 80u * 1024u;
    RegularFile file(path);
    if (!file.isOpen())
        return {};
    const std::vector<unsigned char> head = readHead(file.fd(), kHeadBytes);
    if (startsLikeJpeg(head)) {
        const JpegHeader header = readJpegHeader(head);
        return exifCaptureFields(header.exif);
    }
    return exifCaptureFields(head);
}

} // namespace marquelo::media
