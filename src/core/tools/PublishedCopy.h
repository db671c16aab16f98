#pragma once
// Copies of the user's pictures that go onto a public page as they are (no re-encoding). A camera's
// file says where it was taken, which camera took it (serial numbers included) and keeps a small copy
// of the whole frame: none of that may reach the page. Only what changes how the pixels look stays:
// the colour profile and a turn the pixels still need (EXIF Orientation other than 1).

#include "core/tools/FileCopy.h"

#include <optional>
#include <string>

namespace marquelo {

// `picture` without its EXIF, XMP, IPTC and comments, its compressed pixels untouched. nullopt when
// libexiv2 cannot read the picture or cannot take its metadata out; `reason` then says why.
std::optional<std::string> withoutMetadata(const std::string& picture, std::string& reason);

// Copies the regular file `source` to the reserved name `destination` as withoutMetadata makes it,
// through a temporary file and a rename. On failure nothing is written; when the picture itself was
// the problem, `problem.keepsMetadata` is set and `problem.reason` says why.
bool copyWithoutMetadata(const std::string& source, const std::string& destination, FileProblem& problem);

} // namespace marquelo
