#pragma once
// Every command the viewer window can run, from a key of the key table or a toolbar button.
// The viewer routes navigation, zoom and file commands itself; the other rooms (tools, page,
// preferences, help) register a handler for theirs when the program is wired together at start-up.

#include <cstdint>

namespace marquelo {

enum class Command : std::uint8_t {
    Nothing, // in the key table to swallow its key
    First,
    Last,
    Previous,
    Next,
    Back5,
    Forward5,
    Back10,
    Forward10,
    ToggleToolbar,
    ToggleInfo,
    Delete,
    Reload,
    Help,
    ClosePage,
    AddFavorite,
    Mirror,
    Flip,
    Enlarge,
    Shrink,
    Fit,
    RotateLeft,
    RotateRight,
    OpenPage,
    Edit,
    Swap,
    AddImage,
    PreviewPage,
    EditHtml,
    View,
    Tool1,
    Tool2,
    Tool3,
    Tool4,
    Preferences,
    Cancel,
    ImageInfo,
    Rename,
    ToggleFullScreen,
    UndoDelete,
    ToggleGrid,
    // The cull: stars, reject and colour labels kept in XMP sidecars, the filter, send-to folders.
    RateClear,
    Rate1,
    Rate2,
    Rate3,
    Rate4,
    Rate5,
    Reject,
    LabelRed,
    LabelYellow,
    LabelGreen,
    LabelBlue,
    LabelPurple,
    NextFilter,
    SendTo1,
    SendTo2,
    SendTo3,
    SendTo4,
    FilterMenu,
    // The page's place: its folder in the file manager, and putting it online.
    OpenPageFolder,
    PublishPage,
    // The compare view: open or leave it, and two or four panes.
    Compare,
    ComparePanes,
    // Brings the Modern appearance's faded toolbar back (the Classic toolbar never fades).
    ShowControls,
    Count_
};

inline constexpr int kCommandCount = int(Command::Count_);

} // namespace marquelo
