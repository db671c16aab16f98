#pragma once
// The cull's marks (stars, reject, colour label) of the listed photos, as their XMP sidecars hold them.
// Read when first asked for and remembered; a RAW+JPEG pair is one photo, so a change goes to the
// sidecars of both files. Failures keep their reason for the notice and the log.

#include "media/XmpSidecar.h"

#include <QString>

#include <string>
#include <unordered_map>
#include <vector>

namespace marquelo {

class ImageList;
struct ImageEntry;

// The files of an entry that carry its marks: the original and, for a RAW+JPEG pair, the RAW.
std::vector<std::string> markedFiles(const ImageList& images, const ImageEntry& entry);
// What goes along with a copy of the entry's photo: its RAW twin and the sidecars there are of both
// (NAME.EXT.xmp, then NAME.xmp), as full paths.
std::vector<std::string> companionFiles(const ImageList& images, const ImageEntry& entry);

// "★★★", "Rejected" or "" (no stars), followed by the label's name when there is one.
QString marksText(const media::XmpMarks& marks);

// The change of a key: stars 0..5 (0 clears), reject, or a label that clears itself when set again.
struct MarksKey {
    enum Kind { Stars, Reject, Label } kind;
    int stars = 0;
    std::string label;
};

class PhotoMarks {
public:
    struct Known {
        media::XmpMarks marks;
        media::SidecarStamp stamp;
        std::string problem; // why the sidecar could not be used (its marks read as none)
    };

    // The marks of `path`, read on first ask (sidecars, then the photo's own XMP).
    const Known& of(const std::string& path);
    // The marks of an entry: those of its first marked file.
    media::XmpMarks ofEntry(const ImageList& images, const ImageEntry& entry);
    // Whether `path` was read already (the filter reads the others in the background).
    bool isKnown(const std::string& path) const { return m_known.contains(path); }
    // Marks read elsewhere (in the background) for `path`.
    void remember(const std::string& path, Known known) { m_known[path] = std::move(known); }
    // Forget a file (after it was renamed, moved or deleted): the next ask reads it again.
    void forget(const std::string& path) { m_known.erase(path); }

    struct Outcome {
        bool ok = false;
        QString notice;  // what the user is told either way
        std::string log; // a failure's reason, for the log
    };
    // Applies a key's change to every file of the entry, each sidecar merged with what is on disk.
    Outcome apply(const ImageList& images, const ImageEntry& entry, const MarksKey& key, media::SidecarNaming naming);

private:
    std::unordered_map<std::string, Known> m_known;
};

} // namespace marquelo
