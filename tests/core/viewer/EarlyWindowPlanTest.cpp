// When the start photo gets a window before Qt is ready, and how it looks.
#include "core/viewer/EarlyWindowPlan.h"
#include "core/viewer/Appearance.h"

#include <gtest/gtest.h>

#include <map>

namespace marquelo {
namespace {

struct Env {
    std::map<std::string, std::string> values{{"DISPLAY", ":0"}};
    std::string operator()(const char* name) const
    {
        const auto found = values.find(name);
        return found == values.end() ? std::string() : found->second;
    }
};

EarlyWindowChoice choose(const Env& env, const AppConfig* config, bool startPicture = true, bool qtOptions = false)
{
    return chooseEarlyWindow(startPicture, qtOptions, config, env);
}

TEST(EarlyWindowPlanTest, FallsBackWhereQtWouldNotDrawOnThatXDisplay)
{
    AppConfig config;
    ASSERT_TRUE(choose(Env{}, &config).plan);

    const auto reason = [&](std::map<std::string, std::string> extra, bool startPicture = true,
                            bool qtOptions = false) {
        Env env;
        for (auto& [name, value] : extra)
            env.values[name] = value;
        const EarlyWindowChoice choice = choose(env, &config, startPicture, qtOptions);
        EXPECT_FALSE(choice.plan);
        return choice.reason;
    };
    EXPECT_EQ(reason({{"MARQUELO_NO_EARLY_WINDOW", "1"}}), "switched off by MARQUELO_NO_EARLY_WINDOW");
    EXPECT_EQ(reason({}, false), "no start photo is being decoded");
    EXPECT_EQ(reason({}, true, true), "Qt's own options were given");
    EXPECT_EQ(reason({{"QT_QPA_PLATFORM", "offscreen"}}), "Qt draws through offscreen");
    EXPECT_EQ(reason({{"QT_QPA_PLATFORM", "wayland"}}), "Qt draws through wayland");
    EXPECT_EQ(reason({{"WAYLAND_DISPLAY", "wayland-0"}}), "a Wayland session");
    EXPECT_EQ(reason({{"XDG_SESSION_TYPE", "wayland"}}), "a Wayland session");
    EXPECT_EQ(reason({{"DISPLAY", ""}}), "no X display");

    // Xwayland with Qt told to use it is X as far as the window goes; "0" leaves the switch on.
    Env xwayland;
    xwayland.values = {{"DISPLAY", ":1"},
                       {"WAYLAND_DISPLAY", "wayland-0"},
                       {"QT_QPA_PLATFORM", "xcb"},
                       {"MARQUELO_NO_EARLY_WINDOW", "0"}};
    EXPECT_TRUE(choose(xwayland, &config).plan);
}

TEST(EarlyWindowPlanTest, FollowsTheStoredWindowSettings)
{
    // Before the first run stored anything there is a disclaimer to show, not a photo.
    EXPECT_EQ(choose(Env{}, nullptr).reason, "no stored settings yet");

    AppConfig config;
    config.StartMaximized = false;
    EXPECT_FALSE(choose(Env{}, &config).plan);

    config.StartMaximized = true;
    config.FullScreenTitleBar = true;
    EXPECT_FALSE(choose(Env{}, &config).plan->fullScreen);
    config.FullScreenTitleBar = false;
    EXPECT_TRUE(choose(Env{}, &config).plan->fullScreen);

    // The background the viewer window paints, the Modern look's own included.
    config.BackgroundColor = makeColour(10, 20, 30);
    EXPECT_EQ(choose(Env{}, &config).plan->background, makeColour(10, 20, 30));
    config.BackgroundColor = AppConfig().BackgroundColor;
    config.Appearance = 1;
    ASSERT_EQ(appearanceOf(config), Appearance::Modern);
    EXPECT_EQ(choose(Env{}, &config).plan->background, viewerBackground(config));
    EXPECT_NE(choose(Env{}, &config).plan->background, AppConfig().BackgroundColor);
}

TEST(EarlyWindowPlanTest, LaysThePictureOutAsTheViewerDoes)
{
    // Shrunk to fit and centred.
    EXPECT_EQ(earlyPictureRect(QSize(1600, 1000), QSize(4000, 3000)), QRect(133, 0, 1333, 1000));
    EXPECT_EQ(earlyPictureRect(QSize(1600, 1000), QSize(3000, 4000)), QRect(425, 0, 750, 1000));
    // Never enlarged.
    EXPECT_EQ(earlyPictureRect(QSize(1600, 1000), QSize(400, 300)), QRect(600, 350, 400, 300));
    EXPECT_TRUE(earlyPictureRect(QSize(1600, 1000), QSize()).isEmpty());
    EXPECT_TRUE(earlyPictureRect(QSize(), QSize(400, 300)).isEmpty());
}

} // namespace
} // namespace marquelo
