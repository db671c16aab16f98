#include "media/XmpSidecar.h"

#include "media/AtomicFile.h"

#include "media/Exiv2Library.h"
#include "media/FileMove.h"
#include "media/RegularFile.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo::media {

namespace {

// libexiv2's XMP toolkit is set up without a lock of its own, and its namespace registry is shared by
// the whole process: one parse or write at a time, from whichever thread reads marks.
std::mutex& xmpMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The photo's own XMP sits in its first segments (a JPEG's APP1 after the EXIF of at most 64 KB); this
// much is read to find it, never the whole photo; it is what the thumbnail maker reads too.
constexpr std::size_t kEmbeddedPrefixBytes = 128u * 1024u;

std::string errnoText(int error)
{
    return std::strerror(error);
}

SidecarStamp stampOf(const std::string& path)
{
    SidecarStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = std::uint64_t(st.st_size);
    stamp.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = std::uint64_t(st.st_ino);
    return stamp;
}

bool containsNoCase(std::string_view text, std::string_view needle)
{
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

// Entities are how an XML file makes a parser expand a few bytes into gigabytes, or read another file;
// no sidecar needs them, so a document type declaration is refused before any parser sees the bytes.
bool declaresEntities(std::string_view text)
{
    return containsNoCase(text, "<!DOCTYPE") || containsNoCase(text, "<!ENTITY");
}

// A rating as the XMP basic schema has it: an integer, here -1 (reject) to 5. "3.0" and " 3" are
// written by some programs and mean 3; anything else is not a rating.
std::optional<int> parseRating(std::string text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(" \t\r\n");
    text = text.substr(first, last - first + 1);
    if (text.size() > 2 && text.ends_with(".0"))
        text.resize(text.size() - 2);
    if (text == "-1")
        return kRatingRejected;
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '5')
        return text[0] - '0';
    return std::nullopt;
}

struct Parsed {
    Exiv2::XmpData data;
    XmpMarks marks;
    std::string problem; // empty when the packet is usable
};

// Marks from parsed XMP; a rating outside -1..5 makes the whole packet unusable for marks.
void takeMarks(Parsed& parsed)
{
    const auto rating = parsed.data.findKey(Exiv2::XmpKey("Xmp.xmp.Rating"));
    if (rating != parsed.data.end()) {
        const auto value = parseRating(rating->toString());
        if (!value) {
            parsed.problem = "rating \"" + rating->toString().substr(0, 20) + "\" is not -1 to 5";
            return;
        }
        parsed.marks.rating = *value;
    }
    const auto label = parsed.data.findKey(Exiv2::XmpKey("Xmp.xmp.Label"));
    if (label != parsed.data.end())
        parsed.marks.label = label->toString();
}

Parsed parsePacket(const std::vector<unsigned char>& bytes)
{
    Parsed parsed;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.empty()) {
        parsed.problem = "empty file";
        return parsed;
    }
    if (declaresEntities(text)) {
        parsed.problem = "declares a DOCTYPE or entities (refused)";
        return parsed;
    }
    if (text.find("rdf:RDF") == std::string_view::npos && text.find("xmpmeta") == std::string_view::npos) {
        parsed.problem = "not XMP";
        return parsed;
    }
    startExiv2();
    try {
        const std::lock_guard lock(xmpMutex());
        if (Exiv2::XmpParser::decode(parsed.data, std::string(text)) != 0) {
            parsed.data.clear();
            parsed.problem = "not well-formed XMP (damaged or cut short)";
            return parsed;
        }
    } catch (const std::exception& e) {
        parsed.data.clear();
        parsed.problem = std::string("not readable as XMP: ") + e.what();
        return parsed;
    }
    takeMarks(parsed);
    return parsed;
}

struct LoadedSidecar {
    std::string path;
    SidecarStamp stamp;
    Parsed parsed;
};

LoadedSidecar loadSidecar(const std::string& path)
{
    LoadedSidecar loaded;
    loaded.path = path;
    loaded.stamp = stampOf(path);
    FileBytes file = readRegularFile(path, kMaxSidecarBytes);
    if (!file.ok) {
        loaded.parsed.problem = file.error;
        return loaded;
    }
    loaded.parsed = parsePacket(file.bytes);
    return loaded;
}

// The sidecar a photo already has, in the order other tools look: NAME.EXT.xmp, then NAME.xmp.
std::string existingSidecar(const std::string& photoPath)
{
    for (const std::string& candidate : {sidecarNameWithExtension(photoPath), sidecarNameOnly(photoPath)}) {
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) == 0)
            return candidate;
    }
    return {};
}

// The photo's own XMP, read only. Whatever goes wrong here leaves the photo unrated without a word: the
// photo is not the user's sidecar, and only its first part is read, which libexiv2 may find cut short.
MarksRead readEmbedded(const std::string& photoPath)
{
    MarksRead read;
    RegularFile file(photoPath);
    if (!file.isOpen())
        return read;
    std::vector<unsigned char> bytes(std::min<std::uint64_t>(file.size(), kEmbeddedPrefixBytes));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(file.fd(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    bytes.resize(got);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // No XMP in the first segments, or XMP that declares entities: nothing is parsed.
    if (text.find("rdf:RDF") == std::string_view::npos || declaresEntities(text))
        return read;
    startExiv2();
    Parsed parsed;
    try {
        const std::lock_guard lock(xmpMutex());
        auto image = Exiv2::ImageFactory::open(bytes.data(), long(bytes.size()));
        image->readMetadata();
        parsed.data = image->xmpData();
    } catch (const std::exception&) {
        return read;
    }
    takeMarks(parsed);
    if (!parsed.problem.empty() || parsed.data.empty())
        return read;
    read.marks = parsed.marks;
    read.source = MarksSource::Embedded;
    return read;
}

std::string freeBackupName(const std::string& sidecar)
{
    std::string candidate = sidecar + ".bak";
    for (int i = 1; i < 1000; ++i) {
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0)
            return candidate;
        candidate = sidecar + "." + std::to_string(i) + ".bak";
    }
    return {};
}

std::string encodePacket(const Exiv2::XmpData& data, std::string* error)
{
    std::string packet;
    try {
        const std::lock_guard lock(xmpMutex());
        if (Exiv2::XmpParser::encode(
                packet, data, Exiv2::XmpParser::omitPacketWrapper | Exiv2::XmpParser::useCompactFormat, 0) != 0) {
            *error = "libexiv2 could not write the XMP";
            return {};
        }
    } catch (const std::exception& e) {
        *error = std::string("libexiv2 could not write the XMP: ") + e.what();
        return {};
    }
    if (!packet.starts_with("<?xml"))
        packet.insert(0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    return packet;
}

void applyChange(Exiv2::XmpData& data, const MarksChange& change)
{
    if (change.rating)
        data["Xmp.xmp.Rating"] = std::to_string(*change.rating);
    if (change.label) {
        if (change.label->empty()) {
            const auto it = data.findKey(Exiv2::XmpKey("Xmp.xmp.Label"));
            if (it != data.end())
                data.erase(it);
        } else {
            data["Xmp.xmp.Label"] = *change.label;
        }
    }
    if (change.description) {
        // A language alternative: the other languages another program wrote stay beside the default.
        Exiv2::LangAltValue value;
        const Exiv2::XmpKey key("Xmp.dc.description");
        const auto it = data.findKey(key);
        if (it != data.end()) {
            if (const auto* alt = dynamic_cast<const Exiv2::LangAltValue*>(&it->value()))
                value.value_ = alt->value_;
            data.erase(it);
        }
        if (change.description->empty())
            value.value_.erase("x-default");
        else
            value.value_["x-default"] = *change.description;
        if (!value.value_.empty())
            data.add(key, &value);
    }
}

// Whether a photo without a sidecar needs one after `change`.
bool recordsSomething(const Exiv2::XmpData& data)
{
    Parsed probe;
    probe.data = data;
    takeMarks(probe);
    return probe.marks != XmpMarks{} || data.findKey(Exiv2::XmpKey("Xmp.dc.description")) != data.end();
}

} // namespace

std::string sidecarNameWithExtension(const std::string& photoPath)
{
    return photoPath + ".xmp";
}

std::string sidecarNameOnly(const std::string& photoPath)
{
    const auto slash = photoPath.rfind('/');
    const auto dot = photoPath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return photoPath + ".xmp";
    return photoPath.substr(0, dot) + ".xmp";
}

MarksRead readMarks(const std::string& photoPath, bool readEmbedded)
{
    const std::string sidecar = existingSidecar(photoPath);
    if (sidecar.empty())
        return readEmbedded ? marquelo::media::readEmbedded(photoPath) : MarksRead{};
    LoadedSidecar loaded = loadSidecar(sidecar);
    MarksRead read;
    read.sidecarPath = sidecar;
    read.stamp = loaded.stamp;
    read.source = MarksSource::Sidecar;
    if (!loaded.parsed.problem.empty()) {
        read.problem = sidecar + ": " + loaded.parsed.problem;
        return read;
    }
    read.marks = loaded.parsed.marks;
    return read;
}

std::optional<std::string> readSidecarDescription(const std::string& photoPath, std::string* problem)
{
    const std::string sidecar = existingSidecar(photoPath);
    if (sidecar.empty())
        return std::nullopt;
    LoadedSidecar loaded = loadSidecar(sidecar);
    if (!loaded.parsed.problem.empty()) {
        if (problem)
            *problem = sidecar + ": " + loaded.parsed.problem;
        return std::nullopt;
    }
    return xmpText(loaded.parsed.data, "Xmp.dc.description");
}

MarksWrite writeMarks(const std::string& photoPath, const MarksChange& change, const SidecarStamp& seen,
                      SidecarNaming naming)
{
    MarksWrite result;
    // Another program may replace the sidecar between our reading and our rename; each such change
    // starts the merge again from what is on disk.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string sidecar = existingSidecar(photoPath);
        const bool exists = !sidecar.empty();
        if (!exists)
            sidecar =
                naming == SidecarNaming::NameOnly ? sidecarNameOnly(photoPath) : sidecarNameWithExtension(photoPath);
        LoadedSidecar loaded;
        loaded.path = sidecar;
        bool bad = false;
        if (exists) {
            std::string why;
            if (!isRegularFile(sidecar, &why)) {
                result.error = sidecar + ": " + why;
                return result;
            }
            loaded = loadSidecar(sidecar);
            bad = !loaded.parsed.problem.empty();
            if (bad)
                loaded.parsed.data.clear();
        }
        applyChange(loaded.parsed.data, change);
        if (!exists && !recordsSomething(loaded.parsed.data)) {
            result.ok = true; // nothing to record and nothing to keep
            return result;
        }
        std::string error;
        const std::string packet = encodePacket(loaded.parsed.data, &error);
        if (packet.empty()) {
            result.error = error;
            return result;
        }
        // An existing sidecar is replaced keeping its permissions; a new one (or one where a bad one was
        // set aside) must not replace whatever took the name meanwhile.
        AtomicWriteOptions options;
        options.keepPermissions = exists && !bad;
        options.replace = exists && !bad;
        AtomicFile temp(sidecar, options);
        if (!temp.isOpen() || !temp.write(packet.data(), packet.size())) {
            result.error = "cannot write " + sidecar + ": " + temp.error();
            return result;
        }
        if (exists && stampOf(sidecar) != loaded.stamp)
            continue; // changed while we wrote: the writer's destructor drops the temporary file
        if (bad) {
            const std::string backup = freeBackupName(sidecar);
            const int moved = backup.empty() ? EEXIST : renameNoReplace(sidecar, backup);
            if (moved != 0) {
                result.error = "cannot keep the unreadable " + sidecar + " aside: " + errnoText(moved);
                return result;
            }
            result.backupPath = backup;
        }
        if (!temp.commit()) {
            if (!options.replace && ::access(sidecar.c_str(), F_OK) == 0)
                continue; // a sidecar appeared meanwhile: merge with it
            result.error = "cannot replace " + sidecar + ": " + temp.error();
            return result;
        }
        result.ok = true;
        result.sidecarPath = sidecar;
        result.stamp = stampOf(sidecar);
        result.mergedOutsideChange = exists && !bad && seen != loaded.stamp;
        Parsed written;
        written.data = loaded.parsed.data;
        takeMarks(written);
        result.marks = written.marks;
        return result;
    }
    result.error = "the sidecar of " + photoPath + " keeps changing; try again";
    return result;
}

} // namespace marquelo::media
