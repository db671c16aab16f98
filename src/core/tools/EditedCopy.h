#pragma once
// The name of a photo's edited copy beside the original (the copy itself is made by copyRegularFile).

#include <string>
#include <string_view>

namespace marquelo {

// The original's name with `suffix` in front of every "." (IMG_0042.JPG -> IMG_0042_edit.JPG). A name
// without a dot gets the suffix at its end, so the copy can never be the original itself; an empty
// suffix counts as "_edit" for the same reason.
std::string editedName(std::string_view original, std::string_view suffix);

} // namespace marquelo
