#pragma once
// The viewer commands that hand the current photo, or the current page, to an outside program:
// edit, swap, rotate, flip, mirror, the four user tools, preview, edit HTML, view and add to favorites.
// None of them waits for the program it starts.

#include <string>

namespace marquelo {

class ViewerWindow;
class UserInterface;
struct AppConfig;

// Registers every image action as the handler of its command in `window`.
void bindToolCommands(ViewerWindow& window);

// The page file: CurOutputDirectory + "/" + OutputFilename.
std::string pageFilePath(const AppConfig& config);

// The "Browser Preview" of the close-page question: opens the page file in PreviewBrowser without
// testing that it exists; "No preview browser configured" when none is set.
void previewPage(const AppConfig& config, UserInterface& ui);

} // namespace marquelo
