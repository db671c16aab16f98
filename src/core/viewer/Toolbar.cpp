#include "core/viewer/Toolbar.h"

namespace marquelo {

const std::array<ToolbarButton, kToolbarSize> kToolbar = {{
    {1003, Command::Previous, "Previous (PgUp, Up)", "previous", 155, ToolRequirement::None},
    {1004, Command::Next, "Next (PgDn, Down, Space)", "next", 173, ToolRequirement::None},
    {1000, Command::Edit, "Edit image (E)", "edit", 191, ToolRequirement::ImageEditApp},
    {1001, Command::Swap, "Swap original/edited image (S)", "swap", 209, ToolRequirement::None},
    {1017, Command::RotateLeft, "Rotate left (Ctrl+Left)", "rotate-left", 227, ToolRequirement::RotateLeftApp},
    {1016, Command::RotateRight, "Rotate right (Ctrl+Right)", "rotate-right", 245, ToolRequirement::RotateRightApp},
    {1014, Command::Flip, "Flip image (Ctrl+Up)", "flip", 263, ToolRequirement::FlipApp},
    {1015, Command::Mirror, "Mirror image (Ctrl+Down)", "mirror", 281, ToolRequirement::MirrorApp},
    {1013, Command::Reload, "Reload image (F5)", "reload", 303, ToolRequirement::None},
    {1002, Command::AddImage, "Add image to web page (A)", "add", 321, ToolRequirement::None},
    {1021, Command::PreviewPage, "Preview page in browser (B)", "preview", 344, ToolRequirement::PreviewBrowser},
    {1022, Command::EditHtml, "Edit HTML (H)", "edit-html", 362, ToolRequirement::HtmlEditor},
    {1023, Command::View, "View movie/image (V)", "view", 380, ToolRequirement::None},
    {1025, Command::ClosePage, "Close Page (Shift+!)", "close-page", 398, ToolRequirement::None},
    {1011, Command::Tool1, "User tool 1 (1)", "tool1", 421, ToolRequirement::Tool1App},
    {1018, Command::Tool2, "User tool 2 (2)", "tool2", 439, ToolRequirement::Tool2App},
    {1019, Command::Tool3, "User tool 3 (3)", "tool3", 457, ToolRequirement::Tool3App},
    {1020, Command::Tool4, "User tool 4 (4)", "tool4", 475, ToolRequirement::Tool4App},
    {1024, Command::AddFavorite, "Add to Favorites (Ctrl+B)", "favorite", 498, ToolRequirement::Favorites},
    {1007, Command::Preferences, "Preferences (C)", "preferences", 516, ToolRequirement::None},
    {1012, Command::Help, "Help (?, /)", "help", 534, ToolRequirement::None},
    {1010, Command::Delete, "Delete image (Delete)", "delete", 558, ToolRequirement::None},
    {1026, Command::ToggleGrid, "Thumbnail grid (G)", "grid", 581, ToolRequirement::None},
}};

bool toolAvailable(ToolRequirement requirement, const AppConfig& config)
{
    switch (requirement) {
    case ToolRequirement::None: return true;
    case ToolRequirement::ImageEditApp: return !config.ImageEditApp.empty();
    case ToolRequirement::RotateLeftApp: return !config.RotateLeftApp.empty();
    case ToolRequirement::RotateRightApp: return !config.RotateRightApp.empty();
    case ToolRequirement::FlipApp: return !config.FlipApp.empty();
    case ToolRequirement::MirrorApp: return !config.MirrorApp.empty();
    case ToolRequirement::PreviewBrowser: return !config.PreviewBrowser.empty();
    case ToolRequirement::HtmlEditor: return !config.HtmlEditor.empty();
    case ToolRequirement::Tool1App: return !config.Tool1App.empty();
    case ToolRequirement::Tool2App: return !config.Tool2App.empty();
    case ToolRequirement::Tool3App: return !config.Tool3App.empty();
    case ToolRequirement::Tool4App: return !config.Tool4App.empty();
    case ToolRequirement::Favorites: return !config.BestOfDirectory.empty() && !config.ImageCompressApp.empty();
    }
    return false;
}

} // namespace marquelo
