#pragma once
// What the command line asks for, decided before Qt starts: Qt aborts the process when it cannot reach
// a display, so whatever can be answered without one (help, version, a mistyped option, no display at
// all) is answered here.

#include <functional>
#include <string>
#include <vector>

namespace marquelo {

struct CommandLine {
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    // The program name and the window system's own options with their values, for QApplication.
    std::vector<std::string> qtArguments;
    // The words of the photo or folder, in order (joined with spaces later).
    std::vector<std::string> paths;
    // With Action::Usage: the word that is not an option of ours or of the window system.
    std::string unknown;
    // The window system plugin named by -platform ("" when none was given).
    std::string platform;
    // -display was given.
    bool displayOption = false;
};

// Reads argv. "--help" and "--version" as the first word answer at once; "--" ends the options, so
// every later word is a path; a word starting with "-" that is neither ours nor the window system's is
// a path when a file or folder of that name exists (a photo named "-1.jpg"), otherwise a mistake.
CommandLine parseCommandLine(const std::vector<std::string>& argv);

// True when Qt can find a display: a platform plugin that needs none (offscreen, minimal, vnc, ...)
// chosen by -platform or QT_QPA_PLATFORM, or a non-empty DISPLAY or WAYLAND_DISPLAY (or -display).
// `env` reads a variable ("" when unset).
bool canReachDisplay(const CommandLine& line, const std::function<std::string(const char*)>& env);

} // namespace marquelo
