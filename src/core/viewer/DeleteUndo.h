#pragma once
// Deleting a photo moves it to the desktop's trash (the freedesktop.org trash on Linux), and the last
// deletions can be taken back: the files return to their folder and the entry to its place in the list.

#include "core/viewer/ImageList.h"
#include "core/viewer/Trash.h"

#include <string>
#include <vector>

namespace marquelo {

class PictureCache;

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
    // was, made current. A file that cannot return is reported and its record kept for another try,
    // unless the trash no longer holds it: then the record is dropped. True when the list changed.
    bool undoLast(ImageList& images, PictureCache& cache, std::string& error);

private:
    std::vector<Record> m_records;
};

} // namespace marquelo
