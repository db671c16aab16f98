#include "media/Exiv2Library.h"

#include "media/RegularFile.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo::media {

namespace {

// A sidecar or photo read on a worker registers the namespaces it meets in the XMP toolkit's one
// registry, which other threads read at the same time; libexiv2 serializes that with this lock.
void lockXmpRegistry(void* data, bool lock)
{
    auto* mutex = static_cast<std::recursive_mutex*>(data);
    if (lock)
        mutex->lock();
    else
        mutex->unlock();
}

// libexiv2 reports damage, unknown formats and failed writes by throwing; its messages name the fault.
template <typename Open> MetadataImage openWith(Open&& open)
{
    startExiv2();
    MetadataImage result;
    try {
        auto image = open();
        if (!image.get()) {
            result.error = "not a picture with metadata";
            return result;
        }
        image->readMetadata();
        result.image.reset(image.release());
    } catch (const std::exception& error) {
        result.error = error.what();
    } catch (...) {
        result.error = "the metadata library failed without a reason";
    }
    return result;
}

// libexiv2 reading a file through pread: whatever it seeks past is never read. Small reads (it reads
// box and tag headers a few bytes at a time) are served from one block read ahead, so a slow medium
// sees a few large requests rather than thousands of tiny ones. Read-only: every write fails.
//
// Its preview loaders (and some parsers) ask for the whole file as memory. Normally that is read
// whole. Once `sparse` is set, they get a file-sized buffer of zeros holding only the bytes read so
// far and the ranges fetched on purpose; the caller must then check that what came out of it is
// made of fetched bytes.
class FileRangeIo final : public Exiv2::BasicIo {
public:
    FileRangeIo(int fd, std::uint64_t size, ReadWatch* watch) : fd_(fd), size_(size), watch_(watch) {}

    int open() override
    {
        position_ = 0;
        eof_ = false;
        return 0;
    }
    int close() override { return 0; }
    long write(const Exiv2::byte*, long) override { return 0; }
    long write(Exiv2::BasicIo&) override { return 0; }
    int putb(Exiv2::byte) override { return EOF; }
    void transfer(Exiv2::BasicIo&) override { throw Exiv2::Error(Exiv2::kerFunctionNotSupported, "transfer"); }

    Exiv2::DataBuf read(long count) override
    {
        Exiv2::DataBuf buffer(count > 0 ? count : 0);
        const long got = read(buffer.pData_, count);
        if (got < count)
            buffer.size_ = got;
        return buffer;
    }

    long read(Exiv2::byte* into, long count) override
    {
        long done = 0;
        while (done < count) {
            if (position_ >= size_) {
                eof_ = true;
                break;
            }
            const std::size_t want =
                std::size_t(std::min<std::uint64_t>(std::uint64_t(count - done), size_ - position_));
            std::size_t got = 0;
            if (whole_ && !sparse_) {
                got = want;
                std::memcpy(into + done, whole_.get() + position_, got);
            } else if (const Piece* piece = pieceHolding(position_)) {
                got = std::min<std::size_t>(want, std::size_t(piece->first + piece->second.size() - position_));
                std::memcpy(into + done, piece->second.data() + (position_ - piece->first), got);
            } else {
                // A large read is kept as it is; a small one brings the block around it along.
                got = keep(position_,
                           want >= kBlock ? want : std::size_t(std::min<std::uint64_t>(kBlock, size_ - position_)));
                if (got == 0)
                    break;
                continue;
            }
            position_ += got;
            done += long(got);
        }
        return done;
    }

    int getb() override
    {
        Exiv2::byte b;
        return read(&b, 1) == 1 ? b : EOF;
    }

    int seek(long offset, Position from) override
    {
        std::int64_t base = 0;
        if (from == cur)
            base = std::int64_t(position_);
        else if (from == end)
            base = std::int64_t(size_);
        const std::int64_t target = base + offset;
        if (target < 0 || std::uint64_t(target) > size_)
            return 1;
        position_ = std::uint64_t(target);
        eof_ = false;
        return 0;
    }

    // Read, never mapped: a file cut short meanwhile gives an error, not a bus fault.
    Exiv2::byte* mmap(bool writeable) override
    {
        if (writeable)
            throw Exiv2::Error(Exiv2::kerFunctionNotSupported, "writing");
        if (whole_)
            return whole_.get();
        // One byte more, so that a zero-sized file still gets a buffer.
        whole_.reset(static_cast<Exiv2::byte*>(std::calloc(std::size_t(size_) + 1, 1)));
        if (!whole_)
            throw std::bad_alloc();
        if (sparse_) {
            for (const Piece& piece : pieces_)
                std::memcpy(whole_.get() + piece.first, piece.second.data(), piece.second.size());
        } else {
            pieces_.clear();
            if (readAt(0, whole_.get(), std::size_t(size_)) != size_) {
                whole_.reset();
                throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
            }
            readWhole_ = true;
        }
        return whole_.get();
    }
    // The loaders map and unmap once each: the copy stays until the sparse setting changes.
    int munmap() override { return 0; }

    long tell() const override { return long(position_); }
    size_t size() const override { return size_t(size_); }
    bool isopen() const override { return true; }
    int error() const override { return error_; }
    bool eof() const override { return eof_; }
    std::string path() const override { return "RAW file"; }

    // The bytes of [at, at + count), read now and kept for the sparse buffer; false when they cannot
    // all be read.
    bool fetch(std::uint64_t at, std::size_t count)
    {
        if (at > size_ || count > size_ - at)
            return false;
        // What the parser has read already is not read again: only the gaps between its pieces.
        std::vector<Exiv2::byte> bytes(count);
        std::uint64_t done = 0;
        while (done < count) {
            const std::uint64_t here = at + done;
            std::uint64_t gapEnd = at + count;
            const Piece* holding = nullptr;
            for (const Piece& piece : pieces_) {
                if (here >= piece.first && here < piece.first + piece.second.size())
                    holding = &piece;
                else if (piece.first > here)
                    gapEnd = std::min(gapEnd, piece.first);
            }
            std::size_t step;
            if (holding) {
                step =
                    std::size_t(std::min<std::uint64_t>(count - done, holding->first + holding->second.size() - here));
                std::memcpy(bytes.data() + done, holding->second.data() + (here - holding->first), step);
            } else {
                step = std::size_t(gapEnd - here);
                if (readAt(here, bytes.data() + done, step) != step)
                    return false;
            }
            done += step;
        }
        pieces_.emplace_back(at, std::move(bytes));
        return true;
    }
    // The kept bytes starting at `at` (empty when none start there).
    std::vector<Exiv2::byte> const* fetched(std::uint64_t at) const
    {
        for (const Piece& piece : pieces_)
            if (piece.first == at)
                return &piece.second;
        return nullptr;
    }
    void setSparse(bool sparse)
    {
        sparse_ = sparse;
        whole_.reset();
    }
    bool readWhole() const { return readWhole_; }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    using Piece = std::pair<std::uint64_t, std::vector<Exiv2::byte>>;

    struct FreeBuffer {
        void operator()(Exiv2::byte* p) const { std::free(p); }
    };

    const Piece* pieceHolding(std::uint64_t at) const
    {
        for (auto it = pieces_.rbegin(); it != pieces_.rend(); ++it)
            if (at >= it->first && at < it->first + it->second.size())
                return &*it;
        return nullptr;
    }

    std::size_t keep(std::uint64_t at, std::size_t count)
    {
        std::vector<Exiv2::byte> bytes(count);
        bytes.resize(readAt(at, bytes.data(), count));
        const std::size_t got = bytes.size();
        if (got > 0)
            pieces_.emplace_back(at, std::move(bytes));
        return got;
    }

    std::size_t readAt(std::uint64_t at, Exiv2::byte* into, std::size_t count)
    {
        if (watch_)
            watch_->reading(at, count);
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(fd_, into + done, count - done, off_t(at + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                error_ = errno;
            if (got <= 0)
                break;
            done += std::size_t(got);
        }
        return done;
    }

    int fd_;
    std::uint64_t size_;
    ReadWatch* watch_;
    std::uint64_t position_ = 0;
    bool eof_ = false;
    int error_ = 0;
    bool sparse_ = false;
    bool readWhole_ = false;
    std::vector<Piece> pieces_;
    std::unique_ptr<Exiv2::byte, FreeBuffer> whole_;
};

// The preview libexiv2 finds largest: by pixels, and among previews of one size by bytes (the
// better-compressed one is smaller). Throws what libexiv2 throws.
std::vector<unsigned char> largestPreviewBytes(Exiv2::Image& image, std::string& error)
{
    Exiv2::PreviewManager previews(image);
    const Exiv2::PreviewPropertiesList list = previews.getPreviewProperties();
    if (list.empty()) {
        error = "a camera RAW file without an embedded preview";
        return {};
    }
    const auto largest = std::max_element(list.begin(), list.end(), [](const auto& a, const auto& b) {
        const auto area = [](const Exiv2::PreviewProperties& p) {
            return std::uint64_t(p.width_) * p.height_ * 16 + p.size_ / 1024;
        };
        return area(a) < area(b);
    });
    const Exiv2::PreviewImage preview = previews.getPreviewImage(*largest);
    std::vector<unsigned char> bytes(preview.pData(), preview.pData() + preview.size());
    if (bytes.empty())
        error = "a camera RAW file whose embedded preview is empty";
    return bytes;
}

template <typename Find> RawPreview previewWith(MetadataImage opened, Find&& find)
{
    RawPreview result;
    if (!opened) {
        result.error = opened.error;
        return result;
    }
    result.readable = true;
    try {
        result.bytes = find(*opened.image, result.error);
        if (!result.bytes.empty())
            result.orientation = exifOrientation(opened.image->exifData());
    } catch (const std::exception& error) {
        result = RawPreview();
        result.readable = true;
        result.error = error.what();
    } catch (...) {
        result = RawPreview();
        result.readable = true;
        result.error = "the metadata library failed without a reason";
    }
    return result;
}

RawPreview largestPreviewOf(MetadataImage opened)
{
    return previewWith(std::move(opened), largestPreviewBytes);
}

// Where the previews of a file lie, as far as its metadata says: the container's own (CR3's boxes)
// and the JPEG pointers of its EXIF directories and maker notes. The sensor data is never among them.
std::vector<std::pair<std::uint64_t, std::uint64_t>> previewRanges(const Exiv2::Image& image)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (const Exiv2::NativePreview& native : image.nativePreviews())
        if (native.position_ >= 0)
            ranges.emplace_back(std::uint64_t(native.position_), native.size_);
    static const std::pair<const char*, const char*> kPairs[] = {
        {"JPEGInterchangeFormat", "JPEGInterchangeFormatLength"},
        {"PreviewImageStart", "PreviewImageLength"},
        {"PreviewOffset", "PreviewLength"},
        {"ThumbnailOffset", "ThumbnailLength"},
    };
    const Exiv2::ExifData& exif = image.exifData();
    for (const Exiv2::Exifdatum& datum : exif) {
        for (const auto& [start, length] : kPairs) {
            if (datum.tagName() != start || datum.count() != 1)
                continue;
            const auto size =
                exif.findKey(Exiv2::ExifKey(datum.familyName() + std::string(".") + datum.groupName() + "." + length));
            if (size != exif.end() && size->count() == 1 && datum.toLong() >= 0 && size->toLong() > 0)
                ranges.emplace_back(std::uint64_t(datum.toLong()), std::uint64_t(size->toLong()));
        }
    }
    return ranges;
}

// A RAW file's preview, fetched by the ranges its metadata names. The preview that comes out must be
// the bytes of one of those ranges, read from the file; anything else (a preview libexiv2 puts
// together from strips, a range this list does not know) is looked for again in the whole file.
std::vector<unsigned char> fetchedPreviewBytes(Exiv2::Image& image, std::string& error)
{
    auto* io = dynamic_cast<FileRangeIo*>(&image.io());
    if (!io || io->readWhole())
        return largestPreviewBytes(image, error);
    // A preview beyond this is not one; its "range" would be the sensor data.
    constexpr std::uint64_t kLargestPreview = 64u << 20;
    const auto ranges = previewRanges(image);
    for (const auto& [at, size] : ranges)
        if (size <= kLargestPreview)
            io->fetch(at, std::size_t(size));
    io->setSparse(true);
    std::string sparseError;
    std::vector<unsigned char> bytes = largestPreviewBytes(image, sparseError);
    io->setSparse(false);
    for (const auto& [at, size] : ranges) {
        const std::vector<Exiv2::byte>* kept = io->fetched(at);
        if (!bytes.empty() && kept && bytes.size() <= kept->size() &&
            std::equal(bytes.begin(), bytes.end(), kept->begin()))
            return bytes;
    }
    return largestPreviewBytes(image, error);
}

// A Canon CRW (CIFF) file: a heap of records whose directory sits at its end. libexiv2 reads such a
// file whole to parse it; the preview is one record of the top directory and the turn another, so
// both are read here directly.
class CiffFile {
public:
    CiffFile(int fd, std::uint64_t size, ReadWatch* watch) : fd_(fd), size_(size), watch_(watch) {}

    static bool recognises(const std::vector<unsigned char>& head)
    {
        return head.size() >= 14 && ((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M')) &&
               std::memcmp(head.data() + 6, "HEAPCCDR", 8) == 0;
    }

    RawPreview preview()
    {
        RawPreview result;
        const std::vector<unsigned char> head = bytesAt(0, 14);
        if (!recognises(head)) {
            result.error = "a damaged camera RAW file (its header cannot be read)";
            return result;
        }
        little_ = head[0] == 'I';
        const std::uint64_t headerSize = number(head.data() + 2, 4);
        std::optional<Record> jpeg;
        std::optional<Record> info;
        // The JPEG is a record of the top heap; the picture's size and turn sit in a heap below it.
        if (!walk(headerSize, size_, 0, jpeg, info) || !jpeg) {
            result.error = "a camera RAW file without an embedded preview";
            result.readable = jpeg.has_value() || info.has_value();
            return result;
        }
        result.readable = true;
        result.bytes = bytesAt(jpeg->offset, jpeg->size);
        if (result.bytes.size() != jpeg->size || result.bytes.size() < 2 || result.bytes[0] != 0xff ||
            result.bytes[1] != 0xd8) {
            result.bytes.clear();
            result.error = "a camera RAW file whose embedded preview is damaged";
            return result;
        }
        if (info && info->size >= 16) {
            const std::vector<unsigned char> fields = bytesAt(info->offset, 16);
            if (fields.size() == 16)
                result.orientation = orientationOf(std::int32_t(std::uint32_t(number(fields.data() + 12, 4))));
        }
        return result;
    }

private:
    struct Record {
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };

    static int orientationOf(std::int32_t degrees)
    {
        switch ((degrees % 360 + 360) % 360) {
        case 90: return 6;
        case 180: return 3;
        case 270: return 8;
        default: return 1;
        }
    }

    // The records of the heap [start, end), and of the heaps within it (not deeper than a few levels,
    // so that a damaged file pointing back at itself ends).
    bool walk(std::uint64_t start, std::uint64_t end, int depth, std::optional<Record>& jpeg,
              std::optional<Record>& info)
    {
        if (depth > 4 || end <= start || end - start < 6)
            return false;
        const std::vector<unsigned char> tail = bytesAt(end - 4, 4);
        if (tail.size() != 4)
            return false;
        const std::uint64_t table = start + number(tail.data(), 4);
        if (table >= end - 2)
            return false;
        const std::vector<unsigned char> countBytes = bytesAt(table, 2);
        if (countBytes.size() != 2)
            return false;
        const std::uint64_t count = number(countBytes.data(), 2);
        if (count * 10 > end - table - 2)
            return false;
        const std::vector<unsigned char> entries = bytesAt(table + 2, std::size_t(count * 10));
        if (entries.size() != count * 10)
            return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            const unsigned char* entry = entries.data() + i * 10;
            const std::uint64_t tag = number(entry, 2);
            if ((tag & 0xc000) != 0) // values held in the directory itself
                continue;
            Record record{start + number(entry + 6, 4), number(entry + 2, 4)};
            if (record.offset > end || record.size > end - record.offset)
                continue;
            const std::uint64_t id = tag & 0x3fff;
            if (id == 0x2007 && depth == 0)
                jpeg = record;
            else if (id == 0x1810)
                info = record;
            else if ((tag & 0x3800) == 0x2800 || (tag & 0x3800) == 0x3000) // a heap of its own
                if (!info && id != 0x2005)
                    walk(record.offset, record.offset + record.size, depth + 1, jpeg, info);
        }
        return true;
    }

    std::uint64_t number(const unsigned char* p, int bytes) const
    {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint64_t(p[little_ ? i : bytes - 1 - i]) << (8 * i);
        return value;
    }

    std::vector<unsigned char> bytesAt(std::uint64_t at, std::size_t count)
    {
        if (at > size_ || count > size_ - at)
            return {};
        if (watch_)
            watch_->reading(at, count);
        std::vector<unsigned char> bytes(count);
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(fd_, bytes.data() + done, count - done, off_t(at + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += std::size_t(got);
        }
        bytes.resize(done);
        return bytes;
    }

    int fd_;
    std::uint64_t size_;
    ReadWatch* watch_;
    bool little_ = true;
};

} // namespace

void startExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Its warnings about odd maker notes would fill the terminal; callers report damage themselves.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        static std::recursive_mutex registry;
        Exiv2::XmpParser::initialize(lockXmpRegistry, &registry);
#ifdef EXV_ENABLE_BMFF
        Exiv2::enableBMFF(true);
#endif
    });
}

MetadataImage openMetadata(const void* data, std::size_t size)
{
    if (size == 0 || size > std::size_t(std::numeric_limits<long>::max())) {
        MetadataImage empty;
        empty.error = size == 0 ? "empty file" : "file too large";
        return empty;
    }
    return openWith([&] { return Exiv2::ImageFactory::open(static_cast<const Exiv2::byte*>(data), long(size)); });
}

MetadataImage openMetadataFile(const std::string& path)
{
    MetadataImage refused;
    if (!isRegularFile(path, &refused.error))
        return refused;
    return openWith([&] { return Exiv2::ImageFactory::open(path, false); });
}

std::optional<std::string> exifText(const Exiv2::ExifData& exif, const char* key)
{
    try {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it == exif.end())
            return std::nullopt;
        return it->toString();
    } catch (const std::exception&) {
        return std::nullopt; // a key this libexiv2 does not know: the program asks for none such
    }
}

std::optional<std::string> xmpText(const Exiv2::XmpData& xmp, const char* key)
{
    try {
        const auto it = xmp.findKey(Exiv2::XmpKey(key));
        if (it == xmp.end())
            return std::nullopt;
        if (const auto* alt = dynamic_cast<const Exiv2::LangAltValue*>(&it->value())) {
            if (alt->value_.empty())
                return std::string();
            const auto preferred = alt->value_.find("x-default");
            return preferred != alt->value_.end() ? preferred->second : alt->value_.begin()->second;
        }
        return it->toString();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<double> exifRational(const Exiv2::ExifData& exif, const char* key, long index)
{
    try {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it == exif.end() || index < 0 || it->count() <= index)
            return std::nullopt;
        const Exiv2::Rational r = it->toRational(index);
        if (r.second == 0)
            return std::nullopt;
        return double(r.first) / double(r.second);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

int exifOrientation(const Exiv2::ExifData& exif)
{
    try {
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found == exif.end() || found->count() == 0)
            return 1;
        const long value = found->toLong();
        return value >= 1 && value <= 8 ? int(value) : 1;
    } catch (const std::exception&) {
        return 1;
    }
}

RawPreview largestRawPreview(const void* data, std::size_t size)
{
    return largestPreviewOf(openMetadata(data, size));
}

RawPreview largestRawPreview(const std::string& path)
{
    return largestPreviewOf(openMetadataFile(path));
}

RawPreview largestRawPreview(int fd, std::uint64_t size, ReadWatch* watch)
{
    if (size == 0 || size > std::uint64_t(std::numeric_limits<long>::max())) {
        RawPreview refused;
        refused.error = size == 0 ? "empty file" : "file too large";
        return refused;
    }
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        RawPreview refused;
        refused.error = std::strerror(errno);
        return refused;
    }
    startExiv2();
    RawPreview result;
    if (CiffFile::recognises(readHead(fd, 14)))
        result = CiffFile(fd, size, watch).preview();
    else
        result =
            previewWith(openWith([&] {
                            return Exiv2::ImageFactory::open(Exiv2::BasicIo::AutoPtr(new FileRangeIo(fd, size, watch)));
                        }),
                        fetchedPreviewBytes);
    // Read in pieces, a file rewritten meanwhile could give a preview of two files: the change check.
    struct stat after {};
    if (::fstat(fd, &after) != 0 || std::uint64_t(after.st_size) != size || after.st_size != before.st_size ||
        after.st_mtim.tv_sec != before.st_mtim.tv_sec || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec) {
        result = RawPreview();
        result.error = "the file changed while it was read";
    }
    return result;
}

} // namespace marquelo::media
