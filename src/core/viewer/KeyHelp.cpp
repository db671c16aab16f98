#include "core/viewer/KeyHelp.h"

#include <QString>

#include <vector>

namespace marquelo {

std::string_view commandDescription(Command command)
{
    switch (command) {
    case Command::Nothing: return "Nothing (the key is ignored)";
    case Command::First: return "First image";
    case Command::Last: return "Last image";
    case Command::Previous: return "Previous image";
    case Command::Next: return "Next image";
    case Command::Back5: return "Step 5 images back";
    case Command::Forward5: return "Step 5 images forward";
    case Command::Back10: return "Step 10 images back";
    case Command::Forward10: return "Step 10 images forward";
    case Command::ToggleToolbar: return "Show/hide toolbar";
    case Command::ToggleInfo: return "Show/hide image info";
    case Command::Delete: return "Move image to the trash";
    case Command::Reload: return "Refresh image from disk";
    case Command::Help: return "Show help";
    case Command::ClosePage: return "Close Page";
    case Command::AddFavorite: return "Add to favorites";
    case Command::Mirror: return "Mirror image";
    case Command::Flip: return "Flip image";
    case Command::Enlarge: return "Inflate image display size";
    case Command::Shrink: return "Deflate image display size";
    case Command::Fit: return "Fit to window";
    case Command::RotateLeft: return "Rotate image left";
    case Command::RotateRight: return "Rotate image right";
    case Command::OpenPage:
        return "Open existing HTML file for edit (hold Shift when selecting the file to "
               "show the info box)";
    case Command::Edit: return "Edit (a copy of) the image";
    case Command::Swap: return "Swap images (edited vs. original)";
    case Command::AddImage: return "Compress and add image to web page (crop if zoomed in)";
    case Command::PreviewPage: return "Preview page in browser";
    case Command::EditHtml: return "Launch HTML editor";
    case Command::View: return "View image in default viewer";
    case Command::Tool1: return "Execute user configurable tool 1";
    case Command::Tool2: return "Execute user configurable tool 2";
    case Command::Tool3: return "Execute user configurable tool 3";
    case Command::Tool4: return "Execute user configurable tool 4";
    case Command::Preferences: return "Preferences";
    case Command::Cancel: return "Abort caption input, or exit";
    case Command::ImageInfo: return "Show detailed image information";
    case Command::Rename: return "Rename current image file";
    case Command::ToggleFullScreen: return "Full screen on/off";
    case Command::UndoDelete: return "Put the last deleted image back";
    case Command::ToggleGrid: return "Thumbnail grid on/off";
    case Command::RateClear: return "Clear the rating";
    case Command::Rate1: return "Rate 1 star";
    case Command::Rate2: return "Rate 2 stars";
    case Command::Rate3: return "Rate 3 stars";
    case Command::Rate4: return "Rate 4 stars";
    case Command::Rate5: return "Rate 5 stars";
    case Command::Reject: return "Reject";
    case Command::LabelRed: return "Red label on/off";
    case Command::LabelYellow: return "Yellow label on/off";
    case Command::LabelGreen: return "Green label on/off";
    case Command::LabelBlue: return "Blue label on/off";
    case Command::LabelPurple: return "Purple label on/off";
    case Command::NextFilter: return "Next filter: all, not rejected, at least 1 to 5 stars, rejected only";
    case Command::FilterMenu: return "Filter menu: choose the filter, the current one checked";
    case Command::ShowControls: return "Show the toolbar again after it faded (Modern appearance)";
    case Command::SendTo1: return "Move the image to send-to folder 1";
    case Command::SendTo2: return "Move the image to send-to folder 2";
    case Command::SendTo3: return "Move the image to send-to folder 3";
    case Command::SendTo4: return "Move the image to send-to folder 4";
    case Command::OpenPageFolder: return "Open the page's folder in the file manager";
    case Command::PublishPage: return "Publish the page with the publish command";
    case Command::Compare: return "Compare the photo with the next one side by side, or leave the comparison";
    case Command::ComparePanes: return "Compare: two or four panes";
    case Command::Count_: break;
    }
    return "";
}

std::string keyName(const KeyBinding& binding)
{
    std::string name(binding.label);
    const QKeyCombination first = binding.chords[0];
    // Qt reports "!" and "?" with the Shift that typed them; the table names the symbol alone.
    if (first.keyboardModifiers().testFlag(Qt::ShiftModifier) && !name.starts_with("Shift+") &&
        name.find("+Shift") == std::string::npos)
        name = "Shift+" + name;
    return name;
}

namespace {

std::string escaped(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toHtmlEscaped().toStdString();
}

void addRow(std::string& out, std::string_view keys, std::string_view action)
{
    out += "<tr><td><b>" + escaped(keys) + "</b></td><td>" + escaped(action) + "</td></tr>\n";
}

} // namespace

std::string keyHelpPage(KeyHelpLook look)
{
    std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Shortcut Keys</title>\n";
    if (look == KeyHelpLook::Modern) {
        // The overlays' dark ground and light text; links and the table's lines light enough to see on it.
        out += "<style>a { color: #8ab4f8; } th, td { border-color: #5a5a5a; }</style>\n"
               "</head>\n<body id=\"HtmlHelpDlg\" bgcolor=\"#242424\" text=\"#eeeeee\">\n"
               "<h2>Shortcut Keys</h2>\n"
               "<table border=\"1\" bordercolor=\"#5a5a5a\" cellspacing=\"0\" cellpadding=\"4\" width=\"100%\">\n";
    } else {
        out += "</head>\n<body id=\"HtmlHelpDlg\" bgcolor=\"#cccc99\" text=\"#000000\">\n"
               "<h2>Shortcut Keys</h2>\n"
               "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n";
    }
    out += "<tr><th align=\"left\">Key</th><th align=\"left\">Action</th></tr>\n";
    // Commands in the order their first key appears in the table; all their keys on that one line.
    std::vector<Command> order;
    std::vector<std::string> keys(static_cast<std::size_t>(kCommandCount));
    for (const KeyBinding& binding : kKeyTable) {
        std::string& line = keys[std::size_t(binding.command)];
        if (line.empty())
            order.push_back(binding.command);
        else
            line += ", ";
        line += keyName(binding);
    }
    for (Command command : order)
        addRow(out, keys[std::size_t(command)], commandDescription(command));
    addRow(out, "Left mouse button", "Select area to zoom in");
    addRow(out, "Right mouse button", "Fit to window");
    addRow(out, "Enter",
           "Add the caption to the page (while typing a caption); otherwise press the focused "
           "button, or keep the shown edited image and go on");
    addRow(out, "Shift+Enter", "After adding the image caption: extra image size and alignment options");
    addRow(out, "Space", "Press the focused toolbar button");
    addRow(out, "Enter (comparing)", "Swap: the candidate becomes the reference");
    addRow(out, "Shift+arrow keys (comparing)", "Move the zoomed part of every pane");
    addRow(out, "Middle mouse button (comparing)", "Drag to move the zoomed part of every pane");
    out += "</table>\n"
           "<h3>Hints:</h3>\n<ul>\n"
           "<li>Drag and drop an image file onto the window to jump to that image in the current folder.</li>\n"
           "<li>Other file types such as GIF pictures and movies are listed too; view them with <b>V</b>.</li>\n"
           "<li>Show the edited image (<b>S</b>) when the edited image is the one to add to the page.</li>\n"
           "<li>Stars, rejects and labels are kept in an XMP sidecar beside the photo (photo.jpg.xmp, or photo.xmp "
           "when that one exists), never in the photo. darktable and digiKam read them; "
           "<b>exiftool -XMP:Rating photo.jpg.xmp</b> shows the rating.</li>\n"
           "</ul>\n<h3>Basic steps:</h3>\n<ol>\n"
           "<li>Start Marquelo on a photo or a folder, or drop a photo onto its window.</li>\n"
           "<li><b>E</b> to edit a copy of the image in your image editor; save the edited image there.</li>\n"
           "<li><b>A</b> to add the current image to the page, then type a caption and press Enter.</li>\n"
           "<li>For the first image of a new page, enter the page information.</li>\n"
           "<li>The arrow keys go through the images.</li>\n"
           "<li><b>Shift+!</b> when the page is done.</li>\n"
           "</ol>\n<h3>Contact</h3>\n"
           "<p>Questions, ideas and reports of faults are welcome through the Marquelo project's issue "
           "tracker.</p>\n"
           "<p align=\"right\"><a id=\"ButtonOK\" href=\"#ButtonOK\"><b>&nbsp;OK&nbsp;</b></a></p>\n"
           "</body>\n</html>\n";
    return out;
}

} // namespace marquelo
