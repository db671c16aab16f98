#pragma once
// The edited copy of a photo: its name beside the original, and making it without ever leaving half a file.

#include <string>
#include <string_view>

namespace marquelo {

// The original's name with `suffix` in front of every "." (IMG_0042.JPG -> IMG_0042_edit.JPG). A name
// without a dot gets the suffix at its end, so the copy can never be the original itself; an empty
// suffix counts as "_edit" for the same reason.
std::string editedName(std::string_view original, std::string_view suffix);

// Copies `source` to `destination` through a temporary file in the destination's folder and a rename,
// replacing a file of that name. False with `error` set on failure; then nothing has changed.
bool copyFileReplacing(const std::string& source, const std::string& destination, std::string& error);

} // namespace marquelo
