#include "core/settings/CommandLine.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <map>

namespace marquelo {
namespace {

using Action = CommandLine::Action;

CommandLine parse(std::vector<std::string> words)
{
    words.insert(words.begin(), "marquelo");
    return parseCommandLine(words);
}

TEST(CommandLine, OptionsPathsAndMistakes)
{
    EXPECT_EQ(parse({"--help"}).action, Action::Help);
    EXPECT_EQ(parse({"--version", "--foo"}).action, Action::Version);

    const CommandLine foo = parse({"--foo", "a.jpg"});
    EXPECT_EQ(foo.action, Action::Usage);
    EXPECT_EQ(foo.unknown, "--foo");
    EXPECT_EQ(parse({"My", "-x"}).action, Action::Usage);

    // After "--" every word is a path, options and help included.
    const CommandLine ended = parse({"--", "--help", "-rf.jpg"});
    EXPECT_EQ(ended.action, Action::Run);
    EXPECT_EQ(ended.paths, (std::vector<std::string>{"--help", "-rf.jpg"}));

    // The window system's options go to Qt with their values, never into the path.
    const CommandLine qt = parse({"-platform", "offscreen", "My", "--style=fusion", "Photos"});
    EXPECT_EQ(qt.action, Action::Run);
    EXPECT_EQ(qt.paths, (std::vector<std::string>{"My", "Photos"}));
    EXPECT_EQ(qt.qtArguments, (std::vector<std::string>{"marquelo", "-platform", "offscreen", "--style=fusion"}));
    EXPECT_EQ(qt.platform, "offscreen");
}

TEST(CommandLine, ExistingNameWithALeadingDashIsAPhoto)
{
    QTemporaryDir dir;
    const std::string photo = dir.filePath(QStringLiteral("-1.jpg")).toStdString();
    std::ofstream(photo).put('x');
    const std::string relative = "-" + dir.path().toStdString(); // no such file or folder
    const CommandLine line = parse({photo});
    EXPECT_EQ(line.action, Action::Run);
    EXPECT_EQ(line.paths, std::vector<std::string>{photo});
    EXPECT_EQ(parse({relative}).action, Action::Usage);
}

TEST(CommandLine, DisplayIsNeededOnlyByTheDisplayServerPlugins)
{
    const auto reach = [](std::map<std::string, std::string> vars, std::vector<std::string> words = {}) {
        return canReachDisplay(parse(std::move(words)), [&](const char* name) { return vars[name]; });
    };
    EXPECT_FALSE(reach({}));
    EXPECT_FALSE(reach({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}));
    EXPECT_TRUE(reach({{"DISPLAY", ":0"}}));
    EXPECT_TRUE(reach({{"WAYLAND_DISPLAY", "wayland-0"}}));
    EXPECT_FALSE(reach({{"QT_QPA_PLATFORM", "xcb"}}));
    EXPECT_FALSE(reach({{"QT_QPA_PLATFORM", "wayland;xcb"}}));
    for (const char* plugin : {"offscreen", "minimal", "vnc:size=800x600", "xcb;offscreen"})
        EXPECT_TRUE(reach({{"QT_QPA_PLATFORM", plugin}})) << plugin;
    EXPECT_TRUE(reach({}, {"-platform", "offscreen"}));
    EXPECT_FALSE(reach({{"QT_QPA_PLATFORM", "offscreen"}}, {"-platform", "xcb"}));
    EXPECT_TRUE(reach({}, {"-display", ":1"}));
}

} // namespace
} // namespace marquelo
