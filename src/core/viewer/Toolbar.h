#pragma once
// The viewer's toolbar: its 23 buttons left to right, each with its command, tooltip, icon and the
// setting a tool button needs before it can be pressed. The window builds its buttons from this table.

#include "core/Command.h"
#include "core/settings/AppConfig.h"

#include <array>
#include <string_view>

namespace marquelo {

// What a button needs before it is enabled by the settings. Navigation buttons (Previous, Next, Swap)
// are enabled by the position instead, and Edit by both.
enum class ToolRequirement {
    None,
    ImageEditApp,
    RotateLeftApp,
    RotateRightApp,
    FlipApp,
    MirrorApp,
    PreviewBrowser,
    HtmlEditor,
    Tool1App,
    Tool2App,
    Tool3App,
    Tool4App,
    Favorites, // BestOfDirectory and ImageCompressApp
};

struct ToolbarButton {
    int id; // the button's control id, also its tooltip's string id
    Command command;
    std::string_view tooltip;
    std::string_view icon; // base name of the icon drawing
    int x;                 // left edge in layout units (a button is 16 units wide, the row starts at 155)
    ToolRequirement requirement;
};

inline constexpr int kToolbarSize = 23;
// The layout unit's width and height in pixels at 1x: the row was designed on a 1.5 px grid.
inline constexpr double kToolbarUnit = 1.5;

extern const std::array<ToolbarButton, kToolbarSize> kToolbar;

// True when the settings hold what the button needs (always true for ToolRequirement::None).
bool toolAvailable(ToolRequirement requirement, const AppConfig& config);

} // namespace marquelo
