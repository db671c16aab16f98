#pragma once
// The list of the image folder's photos and movies, in display order, with their edited copies paired.
// Filled once by one scan at start-up; afterwards it changes only through delete, rename and edit.

#include "core/settings/AppConfig.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

struct PictureSlot; // core/viewer/PictureSlot.h

// What the directory scan records of one file.
struct FileRecord {
    std::string name;             // bare name, relative to the image directory
    std::int64_t lastWriteNs = 0; // last-write time, nanoseconds since the epoch (0: unknown)
    std::uint64_t size = 0;       // bytes
    // Capture time (core/viewer/CaptureTime.h), else the last-write time; read only for that order.
    std::int64_t captureNs = 0;
};

enum ImageVersion : int { kOriginal = 0, kEdited = 1 };

struct ImageEntry {
    bool isPicture = false;  // found by *.jpg / *.jpeg or PictureExtensions: decoded and drawn
    bool hasEdited = false;  // files[kEdited] is meaningful
    bool editedKept = false; // the edited copy survives the clean-up at exit
    bool missing = false;    // the last change check did not find the shown file
    int shown = kOriginal;   // which version is displayed and acted on; kEdited only while hasEdited
    std::array<FileRecord, 2> files;
    // The camera RAW file shot together with this JPEG, carried by its entry instead of listed on its
    // own ("" when none).
    std::string rawCompanion;
    // Decoded pictures, one per version. Shared so that a loader still running when the entry moves
    // or is removed writes into its own slot, never into another entry.
    std::array<std::shared_ptr<PictureSlot>, 2> pictures;

    const std::string& shownName() const { return files[shown].name; }
};

class ImageList {
public:
    static constexpr int kCapacity = 4095;

    // The storage for kCapacity entries is allocated here, once, and kept until the list is destroyed.
    ImageList();

    // Lists the folder's files matching *.jpg, *.jpeg, each pattern of config.PictureExtensions (as
    // pictures), then each pattern of config.OtherExtensions (letter case ignored, a file matching two
    // patterns listed twice, at most kCapacity entries), sorts by config.Sorting (the capture-time order reads each
    // file's first bytes) and pairs edited copies when config.BundleEditedImages is on. With config.BundleRawImages a
    // RAW file whose JPEG twin is in the folder is carried by the JPEG's entry instead. Makes the folder the process's
    // current directory. False (and an empty list) when the folder cannot be read.
    bool scanDirectory(const std::string& directory, const AppConfig& config);

    struct Found {
        int index;
        int version;
    };
    // The first entry whose original, then edited copy, is exactly `name` (case-sensitive).
    std::optional<Found> findByName(std::string_view name) const;

    // Lists `name`, a picture of the folder that no pattern listed (the photo the program was started
    // on), where config.Sorting places it. Nothing when it is not a regular file of the folder.
    std::optional<Found> addUnlisted(const std::string& name, const AppConfig& config);

    // Clamps into 0..count-1 (0 when empty).
    void setCurrent(int index);

    int count() const { return int(m_entries.size()); }
    int currentIndex() const { return m_current; }
    // The current entry; with an empty list an all-empty entry that is not a picture.
    ImageEntry& current();
    const ImageEntry& current() const;
    ImageEntry& at(int index) { return m_entries.at(std::size_t(index)); }
    const ImageEntry& at(int index) const { return m_entries.at(std::size_t(index)); }
    // The shown version's name of the current entry ("" when the list is empty).
    const std::string& currentName() const { return current().shownName(); }
    // The image folder, without a trailing separator.
    const std::string& directory() const { return m_directory; }
    // directory() + "/" + name
    std::string pathOf(std::string_view name) const;

    // Removes entry `index`, moving the later ones down (file operations); the current position is
    // clamped into the shorter list. Slots of loads still running stay alive with their workers.
    void remove(int index);
    // Puts `entry` at `index` (clamped), moving the later ones up; nothing beyond kCapacity entries.
    void insert(int index, ImageEntry entry);

    // Pairs edited copies with their originals: a name holding EditFileSuffix exactly once is the copy of
    // the first entry named like it without the suffix; the later copy wins, and every paired copy's own
    // entry is removed. Runs at the end of the scan.
    void pairEditedCopies(std::string_view suffix);

    // For tests and the scan itself: replace the whole list (at most kCapacity entries are kept).
    void assign(std::string directory, std::vector<ImageEntry> entries);

private:
    std::string m_directory;
    std::vector<ImageEntry> m_entries;
    ImageEntry m_empty;
    int m_current = 0;
};

} // namespace marquelo
