#include "core/settings/CommandLine.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>

namespace marquelo {

namespace {

// The options QGuiApplication and QApplication take out of argv themselves on Linux.
constexpr std::array<std::string_view, 17> kQtOptionsWithValue = {"-platform",
                                                                  "-platformpluginpath",
                                                                  "-platformtheme",
                                                                  "-plugin",
                                                                  "-qwindowgeometry",
                                                                  "-qwindowicon",
                                                                  "-qwindowtitle",
                                                                  "-display",
                                                                  "-geometry",
                                                                  "-style",
                                                                  "-stylesheet",
                                                                  "-session",
                                                                  "-name",
                                                                  "-title",
                                                                  "-visual",
                                                                  "-im",
                                                                  "-qmljsdebugger"};
constexpr std::array<std::string_view, 5> kQtFlags = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

// Qt accepts its options with one dash or two, and "-style=fusion" as well as "-style fusion".
std::string_view withOneDash(std::string_view word)
{
    if (word.size() > 2 && word[0] == '-' && word[1] == '-')
        word.remove_prefix(1);
    return word;
}

template <std::size_t N> bool among(const std::array<std::string_view, N>& list, std::string_view word)
{
    return std::find(list.begin(), list.end(), word) != list.end();
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found && !ec;
}

// The plugins that talk to a real display server; any other (offscreen, minimal, vnc, eglfs,
// linuxfb) draws without one.
bool needsDisplayServer(std::string_view platform)
{
    const std::string_view name = platform.substr(0, platform.find(':'));
    return name.empty() || name == "xcb" || name == "wayland" || name.starts_with("wayland-");
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& argv)
{
    CommandLine line;
    line.qtArguments.push_back(argv.empty() ? std::string("marquelo") : argv.front());
    if (argv.size() >= 2 && (argv[1] == "--help" || argv[1] == "--version")) {
        line.action = argv[1] == "--help" ? CommandLine::Action::Help : CommandLine::Action::Version;
        return line;
    }
    bool options = true;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string& word = argv[i];
        if (!options || word.size() < 2 || word[0] != '-') {
            line.paths.push_back(word);
            continue;
        }
        if (word == "--") {
            options = false;
            continue;
        }
        const std::string_view option = withOneDash(word);
        const std::string_view name = option.substr(0, option.find('='));
        if (among(kQtOptionsWithValue, name)) {
            line.qtArguments.push_back(word);
            std::string value;
            if (name.size() < option.size()) {
                value = std::string(option.substr(name.size() + 1));
            } else if (i + 1 < argv.size()) {
                value = argv[++i];
                line.qtArguments.push_back(value);
            }
            if (name == "-platform")
                line.platform = value;
            if (name == "-display")
                line.displayOption = true;
            continue;
        }
        if (among(kQtFlags, option)) {
            line.qtArguments.push_back(word);
            continue;
        }
        if (exists(word)) {
            line.paths.push_back(word);
            continue;
        }
        line.action = CommandLine::Action::Usage;
        line.unknown = word;
        return line;
    }
    return line;
}

bool canReachDisplay(const CommandLine& line, const std::function<std::string(const char*)>& env)
{
    const std::string platform = line.platform.empty() ? env("QT_QPA_PLATFORM") : line.platform;
    // A list ("wayland;xcb") is tried in order: it needs a display server only when every entry does.
    bool onlyServers = true;
    std::string_view rest = platform;
    while (onlyServers && !rest.empty()) {
        const std::size_t semicolon = rest.find(';');
        const std::string_view entry = rest.substr(0, semicolon);
        if (!entry.empty() && !needsDisplayServer(entry))
            onlyServers = false;
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    }
    if (!onlyServers)
        return true;
    return line.displayOption || !env("DISPLAY").empty() || !env("WAYLAND_DISPLAY").empty();
}

} // namespace marquelo
