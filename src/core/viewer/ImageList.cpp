#include "core/viewer/ImageList.h"

#include "core/viewer/CaptureTime.h"
#include "core/viewer/ImageOrder.h"
#include "core/viewer/PictureFormats.h"
#include "core/viewer/PictureSlot.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace marquelo {

namespace {

// A pattern stops adding once the list holds this many; the next pattern may still add one file.
constexpr int kPatternStop = ImageList::kCapacity - 1;

std::string withoutTrailingSeparator(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::vector<FileRecord> readDirectory(const fs::path& dir, std::error_code& ec)
{
    std::vector<FileRecord> files;
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return files;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::error_code entryEc;
        // A folder is never a photo or a movie, whatever its name.
        if (it->is_directory(entryEc))
            continue;
        FileRecord record;
        record.name = it->path().filename().string();
        const auto written = it->last_write_time(entryEc);
        if (!entryEc)
            record.lastWriteNs = nanosecondsSince1970(written);
        const auto bytes = it->file_size(entryEc);
        record.size = entryEc ? 0 : bytes;
        files.push_back(std::move(record));
    }
    return files;
}

// Places every entry's original on the capture-time line.
void readCaptureTimes(std::vector<ImageEntry>& entries, const std::string& directory, const AppConfig& config)
{
    const ClockOffsets offsets = parseClockOffsets(config.CameraClockOffsets).offsets;
    for (ImageEntry& entry : entries) {
        FileRecord& record = entry.files[kOriginal];
        // A movie or other file carries no EXIF in its head worth opening it for.
        record.captureNs = entry.isPicture
                               ? captureTimeOrFileTime(directory + "/" + record.name, record.lastWriteNs, offsets)
                               : record.lastWriteNs;
    }
}

// Orders `entries` by Sorting; the keys are computed once per entry, not per comparison.
void sortEntries(std::vector<ImageEntry>& entries, int sorting)
{
    if (sorting < 0 || sorting > kSortByCaptureTime)
        return;
    std::vector<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    auto record = [&](int i) -> const FileRecord& { return entries[std::size_t(i)].files[kOriginal]; };
    if (sorting == 0) {
        std::vector<std::string> keys(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            keys[i] = digitText(entries[i].files[kOriginal].name);
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return keys[std::size_t(a)] < keys[std::size_t(b)]; });
    } else if (sorting == 1) {
        std::sort(order.begin(), order.end(), [&](int a, int b) { return lessByName(record(a), record(b)); });
    } else if (sorting == 2) {
        std::sort(order.begin(), order.end(), [&](int a, int b) { return lessByFileTime(record(a), record(b)); });
    } else {
        std::sort(order.begin(), order.end(), [&](int a, int b) { return lessByCaptureTime(record(a), record(b)); });
    }
    std::vector<ImageEntry> sorted;
    sorted.reserve(std::size_t(ImageList::kCapacity));
    for (int i : order)
        sorted.push_back(std::move(entries[std::size_t(i)]));
    // Move back so the list keeps the block it allocated once.
    std::move(sorted.begin(), sorted.end(), entries.begin());
}

bool isJpegTwinName(std::string_view name)
{
    const std::string ext = lowerExtension(name);
    return ext == "jpg" || ext == "jpeg";
}

// RAW files that ride with a JPEG twin (same stem, .jpg/.jpeg in any case), by stem; the first RAW of a
// stem is carried, a second one (x.CR2 beside x.DNG) stays listed so no file disappears from view.
std::unordered_map<std::string, std::string> rawTwins(const std::vector<FileRecord>& files)
{
    std::unordered_set<std::string_view> jpegStems;
    for (const FileRecord& f : files)
        if (isJpegTwinName(f.name))
            jpegStems.insert(nameStem(f.name));
    std::unordered_map<std::string, std::string> twins;
    for (const FileRecord& f : files)
        if (isRawName(f.name) && jpegStems.count(nameStem(f.name)))
            twins.emplace(std::string(nameStem(f.name)), f.name);
    return twins;
}

} // namespace

ImageList::ImageList()
{
    m_entries.reserve(std::size_t(kCapacity));
}

bool ImageList::scanDirectory(const std::string& directory, const AppConfig& config)
{
    m_entries.clear();
    m_current = 0;
    m_directory = withoutTrailingSeparator(directory);

    std::error_code ec;
    const fs::path dir(m_directory);
    if (!fs::is_directory(dir, ec))
        return false;
    fs::current_path(dir, ec);
    if (ec)
        return false;
    const std::vector<FileRecord> files = readDirectory(dir, ec);
    if (ec)
        return false;

    std::vector<std::pair<std::string, bool>> patterns{{"*.jpg", true}, {"*.jpeg", true}};
    for (std::string& p : splitPatterns(config.PictureExtensions))
        patterns.emplace_back(std::move(p), true);
    for (std::string& p : splitPatterns(config.OtherExtensions))
        patterns.emplace_back(std::move(p), false);

    std::unordered_map<std::string, std::string> twins;
    std::unordered_set<std::string_view> carried;
    if (config.BundleRawImages) {
        twins = rawTwins(files);
        for (const auto& [stem, raw] : twins)
            carried.insert(raw);
    }

    for (const auto& [pattern, isPicture] : patterns) {
        if (count() >= kCapacity)
            break;
        for (const FileRecord& file : files) {
            if (!matchesPattern(pattern, file.name) || carried.count(file.name))
                continue;
            ImageEntry& e = m_entries.emplace_back();
            e.isPicture = isPicture;
            e.files[kOriginal] = file;
            if (count() >= kPatternStop)
                break;
        }
    }

    if (!twins.empty())
        for (ImageEntry& e : m_entries)
            if (isJpegTwinName(e.files[kOriginal].name)) {
                const auto twin = twins.find(std::string(nameStem(e.files[kOriginal].name)));
                if (twin != twins.end())
                    e.rawCompanion = twin->second;
            }

    if (config.Sorting == kSortByCaptureTime)
        readCaptureTimes(m_entries, m_directory, config);
    sortEntries(m_entries, config.Sorting);
    if (config.BundleEditedImages)
        pairEditedCopies(config.EditFileSuffix);
    return true;
}

void ImageList::pairEditedCopies(std::string_view suffix)
{
    // Every name to the indices that carry it, ascending, so "the first entry named so" is found
    // without walking the list for every copy.
    std::unordered_map<std::string, std::vector<int>> byName;
    for (int i = 0; i < count(); ++i)
        byName[m_entries[std::size_t(i)].files[kOriginal].name].push_back(i);

    bool removedAny = false;
    for (int i = 0; i < count(); ++i) {
        ImageEntry& copy = m_entries[std::size_t(i)];
        const std::optional<std::string> original = originalNameOf(copy.files[kOriginal].name, suffix);
        if (!original)
            continue;
        const auto found = byName.find(*original);
        if (found == byName.end())
            continue;
        // Entries already emptied as copies no longer carry their name.
        const auto j = std::find_if(found->second.begin(), found->second.end(),
                                    [&](int k) { return !m_entries[std::size_t(k)].files[kOriginal].name.empty(); });
        if (j == found->second.end())
            continue;
        ImageEntry& target = m_entries[std::size_t(*j)];
        target.files[kEdited] = copy.files[kOriginal];
        target.hasEdited = true;
        target.editedKept = true;
        target.shown = kEdited;
        copy.files[kOriginal].name.clear();
        removedAny = true;
    }
    if (removedAny)
        std::erase_if(m_entries, [](const ImageEntry& e) { return e.files[kOriginal].name.empty(); });
    setCurrent(m_current);
}

std::optional<ImageList::Found> ImageList::findByName(std::string_view name) const
{
    for (int i = 0; i < count(); ++i) {
        const ImageEntry& e = m_entries[std::size_t(i)];
        if (e.files[kOriginal].name == name)
            return Found{i, kOriginal};
        if (e.hasEdited && e.files[kEdited].name == name)
            return Found{i, kEdited};
    }
    return std::nullopt;
}

std::optional<ImageList::Found> ImageList::addUnlisted(const std::string& name, const AppConfig& config)
{
    std::error_code ec;
    const fs::path path = fs::path(m_directory) / name;
    if (name.empty() || name.find('/') != std::string::npos || !fs::is_regular_file(path, ec))
        return std::nullopt;
    ImageEntry entry;
    entry.isPicture = true;
    entry.files[kOriginal].name = name;
    const auto written = fs::last_write_time(path, ec);
    if (!ec)
        entry.files[kOriginal].lastWriteNs = nanosecondsSince1970(written);
    const auto bytes = fs::file_size(path, ec);
    entry.files[kOriginal].size = ec ? 0 : bytes;
    if (config.Sorting == kSortByCaptureTime)
        entry.files[kOriginal].captureNs = captureTimeOrFileTime(path.string(), entry.files[kOriginal].lastWriteNs,
                                                                 parseClockOffsets(config.CameraClockOffsets).offsets);

    const FileRecord& record = entry.files[kOriginal];
    const auto after = [&](const ImageEntry& e) {
        const FileRecord& other = e.files[kOriginal];
        switch (config.Sorting) {
        case 0: return lessByNumber(record, other);
        case 1: return lessByName(record, other);
        case 2: return lessByFileTime(record, other);
        case kSortByCaptureTime: return lessByCaptureTime(record, other);
        default: return false;
        }
    };
    const auto at = std::find_if(m_entries.begin(), m_entries.end(), after);
    int index = int(at - m_entries.begin());
    // A full list makes room at its end: the photo asked for is the one that must be there.
    if (count() >= kCapacity) {
        m_entries.pop_back();
        index = std::min(index, count());
    }
    insert(index, std::move(entry));
    return Found{index, kOriginal};
}

void ImageList::setCurrent(int index)
{
    if (index > count() - 1)
        index = count() - 1;
    if (index < 0)
        index = 0;
    m_current = index;
}

ImageEntry& ImageList::current()
{
    return m_entries.empty() ? m_empty : m_entries[std::size_t(m_current)];
}

const ImageEntry& ImageList::current() const
{
    return m_entries.empty() ? m_empty : m_entries[std::size_t(m_current)];
}

std::string ImageList::pathOf(std::string_view name) const
{
    return m_directory + "/" + std::string(name);
}

void ImageList::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    m_entries.erase(m_entries.begin() + index);
    setCurrent(m_current);
}

void ImageList::insert(int index, ImageEntry entry)
{
    if (count() >= kCapacity)
        return;
    const int at = std::clamp(index, 0, count());
    m_entries.insert(m_entries.begin() + at, std::move(entry));
}

void ImageList::assign(std::string directory, std::vector<ImageEntry> entries)
{
    m_directory = withoutTrailingSeparator(std::move(directory));
    m_entries.clear();
    const std::size_t n = std::min(entries.size(), std::size_t(kCapacity));
    std::move(entries.begin(), entries.begin() + std::ptrdiff_t(n), std::back_inserter(m_entries));
    m_current = 0;
}

} // namespace marquelo
