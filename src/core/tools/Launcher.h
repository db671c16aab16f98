#pragma once
// Starting outside programs the way the desktop shell would, but never through a shell: the application
// is resolved (path, the program's own folder, PATH), an executable is started detached with its
// arguments split like a Windows command line, and a document is opened in the desktop's default
// program. No file name or caption can ever become a command.

#include "core/tools/ToolCommand.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

class UserInterface;
class ImageList;
struct ViewGeometry;
struct AppConfig;

// Result codes, with the shell's meaning: 32 and above is success.
enum LaunchCode : unsigned {
    kLaunchFileNotFound = 2,
    kLaunchAccessDenied = 5,
    kLaunchNoAssociation = 31,
    kLaunchOk = 42,
};

// Splits an argument text as a Windows command line is split: blanks separate, a double quote starts or
// ends a group in which blanks are kept, the quotes themselves are dropped, nothing else is special.
std::vector<std::string> splitCommandLine(std::string_view text);

struct ResolvedApplication {
    enum Kind { NotFound, Program, Document, NotAllowed } kind = NotFound;
    std::string path; // absolute when found
};

// Finds what `application` names: with a "/" that path, otherwise the program's own folder, then each
// folder of PATH. An executable file is a Program, another existing file or folder a Document.
ResolvedApplication resolveApplication(std::string_view application);

// Opens a document in the desktop's default program; false when none takes it.
using DocumentOpener = std::function<bool(const std::string& path)>;
// Replaces the document opener (tests); returns the previous one. An empty opener restores the default.
DocumentOpener setDocumentOpener(DocumentOpener opener);

// Starts `application` with `arguments` and does not wait; each argument reaches the program as one
// argument, unchanged. Returns kLaunchOk or a failure code. `hide` detaches the program's standard input
// and output. `pid`, when given, receives the started program's process id (0 when a document was handed
// to its program). Shows nothing.
unsigned startApplication(std::string_view application, const std::vector<std::string>& arguments, bool hide,
                          std::int64_t* pid = nullptr);

// Shows the failure message of a launch result; true when `code` is a success.
bool reportLaunch(unsigned code, std::string_view application, UserInterface& ui);

// startApplication, reporting a failure to the user: "Failed to launch '%s'" for a missing program,
// else "Failed to launch '%s'\n\n(ShellExecute returned %u)". True when the program was started.
bool launchTool(std::string_view application, const std::vector<std::string>& arguments, bool hide, UserInterface& ui);

// Opens an existing file in the desktop's default program, never running it even when it carries an
// execute bit (photos from a memory card often do). Reports a failure like launchTool.
bool openDocument(const std::string& path, UserInterface& ui);

// Does nothing for an empty application; otherwise expands the template for the shown version of the
// current entry with the image folder as output folder, and launches it. The result is not passed on.
void runToolOnImage(const ToolCommand& command, const ImageList& images, const ViewGeometry& geometry,
                    const AppConfig& config, UserInterface& ui);

} // namespace marquelo
