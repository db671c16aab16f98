#pragma once
// The rules the directory scan lists, orders and pairs files by: whole-name wildcard patterns that
// ignore letter case, the four sort orders, and the name an edited copy was made from.

#include "core/viewer/PictureFormats.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

struct FileRecord;

// A file time as nanoseconds since 1970 (UTC), the unit of FileRecord::lastWriteNs.
std::int64_t nanosecondsSince1970(std::filesystem::file_time_type time);

// The decimal digits of a name in their order, every other character dropped.
std::string digitText(std::string_view name);

// Less-than of the four orders of the Sorting setting (0 number, 1 name, 2 last-write time, 3 capture
// time, with the name between photos taken at the same instant). Stored values beyond these list
// unsorted, as before the fourth order existed.
inline constexpr int kSortByCaptureTime = 3;
bool lessByNumber(const FileRecord& a, const FileRecord& b);
bool lessByName(const FileRecord& a, const FileRecord& b);
bool lessByFileTime(const FileRecord& a, const FileRecord& b);
bool lessByCaptureTime(const FileRecord& a, const FileRecord& b);

// The name `name` would be an edited copy of: the name with its one occurrence of `suffix` removed.
// Nothing when the suffix is empty or occurs zero or several times (non-overlapping, left to right).
std::optional<std::string> originalNameOf(std::string_view name, std::string_view suffix);

} // namespace marquelo
