#pragma once
// Deleting a photo moves it to the desktop's trash (the freedesktop.org trash on Linux), and the last
// deletions can be taken back: the files return to their folder and the entry to its place in the list.

#include "core/viewer/ImageList.h"

#include <optional>
#include <string>
#include <vector>

namespace marquelo {

class PictureCache;

struct TrashedFile {
    std::string original; // where the file was
    std::string inTrash;  // where the trash keeps it
};

// Moves `path` to the trash; where it is kept there, or nullopt when no trash takes it (a file system
// without one, a name Qt cannot spell).
std::optional<std::string> moveFileToTrash(const std::string& path);

// Moves a trashed file back, never replacing a file that took its name meanwhile. False with `error`
// set when it could not.
bool restoreFromTrash(const TrashedFile& file, std::string& error);

class DeleteUndo {
public:
    // One deletion: the entry as it was (without decoded pictures), where it stood, whether it left the
    // list, and the files now in the trash.
    struct Record {
        int index = 0;
        ImageEntry before;
        bool removedFromList = false;
        std::vector<TrashedFile> files;
    };

    void push(Record record);
    bool empty() const { return m_records.empty(); }

    // Takes back the last deletion: its files return and the entry stands at its place again as it
    // was, made current. A file that cannot return is reported and its record kept for another try.
    // True when the list changed.
    bool undoLast(ImageList& images, PictureCache& cache, std::string& error);

private:
    std::vector<Record> m_records;
};

} // namespace marquelo
