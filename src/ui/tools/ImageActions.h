#pragma once
// The viewer commands that hand the current photo, or the current page, to an outside program:
// edit, swap, rotate, flip, mirror, the four user tools, preview, edit HTML, view and add to favorites.
// None of them waits for the program it starts.

#include <string>
#include <vector>

namespace marquelo {

class ViewerWindow;
struct SendOutcome;
class UserInterface;
struct AppConfig;

// Registers every image action as the handler of its command in `window`.
void bindToolCommands(ViewerWindow& window);

// The page file: CurOutputDirectory + "/" + OutputFilename.
std::string pageFilePath(const AppConfig& config);

// The "Browser Preview" of the close-page question: opens the page file in PreviewBrowser without
// testing that it exists; "No preview browser configured" when none is set.
void previewPage(const AppConfig& config, UserInterface& ui);

// The notice of a favorite whose RAW twin and sidecars (`along`) were copied with it: both photo files
// by name, the numbered name a taken one was copied under, or why they were not copied (also logged).
std::string favoriteNotice(const std::string& photo, const std::vector<std::string>& along, const SendOutcome& copied);

} // namespace marquelo
