#pragma once
// The desktop's trash as freedesktop.org describes it: the home trash ($XDG_DATA_HOME/Trash), made
// when it is missing, for files on its own file system, and the trash at the top of another file
// system for files there. A file is only ever renamed into a trash on its own file system: no trash
// folder is made beside the photos, and nothing is copied.

#include <cstdint>
#include <optional>
#include <string>

namespace marquelo {

struct TrashedFile {
    std::string original;  // where the file was
    std::string inTrash;   // where the trash keeps it
    std::string infoFile;  // the trash's note about it
    std::string notedPath; // the note's Path= and DeletionDate= as written, to know the entry again
    std::string deletionDate;
    std::uint64_t device = 0; // the trashed file itself, to tell it from a later one of the same name
    std::uint64_t inode = 0;
};

// Where the home trash is: $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
std::string homeTrashFolder();

// Moves `path` to the trash. Nullopt with `reason` set when no trash takes it.
std::optional<TrashedFile> moveFileToTrash(const std::string& path, std::string& reason);

// Moves a trashed file back, only when the trash still holds the very entry moveFileToTrash made, and
// never over a file that took its name meanwhile. False with `error` set when it could not; `gone` says
// that the entry is no longer in the trash (emptied, or put back by another program), so no later try
// can succeed.
bool restoreFromTrash(const TrashedFile& file, std::string& error, bool* gone = nullptr);

} // namespace marquelo
