#pragma once
// What a folder chooser offers: the sub-folders of a folder as the disk names them. Folder names are the
// user's bytes, so a folder whose name is not UTF-8 is listed (and chosen) like any other; only its
// shown text carries replacement characters.

#include <QString>

#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace marquelo {

struct Subfolder {
    std::string name; // the entry's name on disk, byte for byte
    QString shown;    // the same name as text, for display
};

struct FolderListing {
    std::vector<Subfolder> subfolders;
    std::error_code error; // set when the folder could not be read (the list then holds what was read)
};

// The visible sub-folders of folder (names starting with '.' are hidden; a link to a folder counts as
// one), in the order a file manager shows them: case-insensitive, numbers by value ("Day 9" before
// "Day 10").
FolderListing listSubfolders(const std::string& folder);

// folder/name without doubling the '/' after the root.
std::string subfolderPath(const std::string& folder, const std::string& name);

// The user's home folder, byte for byte ($HOME, else the password database, else "/").
std::string homeFolder();

// A path typed into the chooser's path line, read against the folder the chooser shows: relative to it,
// "~" for the home folder, parts holding U+FFFD mapped back to their names on disk. Absolute and
// normalised; nothing when no folder fits.
std::optional<std::string> typedFolder(const QString& typed, const std::string& current);

} // namespace marquelo
