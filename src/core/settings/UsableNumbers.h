#pragma once
// The store keeps numbers as they were written, by this program, by hand or by another version. Code
// that uses a size, depth or layout number takes it through these: a value the preferences would refuse
// becomes the key's default, so a stored -500 never reaches a page or a tool.

#include "core/settings/AppConfig.h"

#include <cstdint>

namespace marquelo {

// The long side in pixels of the three sizes of a page image or favorite (1 to 100000).
std::int32_t usableSizeSmall(const AppConfig& config);
std::int32_t usableSizeMedium(const AppConfig& config);
std::int32_t usableSizeLarge(const AppConfig& config);

// Pictures decoded ahead on each side (0 to 4).
std::int32_t usableCacheDepth(const AppConfig& config);

// The page layout (0 Center to 3 L/R) and the side the next L/R image takes (0 left, 1 right).
std::int32_t usablePageLayoutStyle(const AppConfig& config);
std::int32_t usablePageLayoutTemp(const AppConfig& config);

} // namespace marquelo
