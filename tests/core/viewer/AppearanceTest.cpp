// Which look the settings ask for and the ground behind the photos in each.
#include "core/viewer/Appearance.h"

#include "core/settings/AppConfig.h"

#include <gtest/gtest.h>

namespace marquelo {
namespace {

TEST(Appearance, ModernDarkensOnlyTheUntouchedDefaultGround)
{
    AppConfig config;
    EXPECT_EQ(appearanceOf(config), Appearance::Classic);
    EXPECT_EQ(config.BackgroundColor, kClassicBackground);
    EXPECT_EQ(viewerBackground(config), kClassicBackground);

    config.Appearance = 1;
    EXPECT_EQ(appearanceOf(config), Appearance::Modern);
    EXPECT_EQ(viewerBackground(config), kModernBackground);

    // A colour the user chose wins in both looks, even one next to the default.
    for (ColourRef chosen : {makeColour(0, 0, 0), makeColour(212, 208, 197), makeColour(255, 255, 255)}) {
        config.BackgroundColor = chosen;
        config.Appearance = 1;
        EXPECT_EQ(viewerBackground(config), chosen);
        config.Appearance = 0;
        EXPECT_EQ(viewerBackground(config), chosen);
    }
}

TEST(Appearance, UnknownStoredNumbersAreClassic)
{
    AppConfig config;
    for (std::uint8_t stored : {2, 7, 255}) {
        config.Appearance = stored;
        EXPECT_EQ(appearanceOf(config), Appearance::Classic) << int(stored);
        EXPECT_EQ(viewerBackground(config), kClassicBackground) << int(stored);
    }
}

TEST(Appearance, SettingIsTheLastRowAndDefaultsToClassic)
{
    const SettingDef& last = kSettings.back();
    EXPECT_EQ(last.key, "Appearance");
    EXPECT_EQ(last.kind, SettingKind::SmallNumber);
    EXPECT_EQ(last.numberDefault, 0);
}

TEST(Appearance, OnlyStepsBetweenPhotosAreWalking)
{
    for (Command c : {Command::First, Command::Last, Command::Previous, Command::Next, Command::Back5,
                      Command::Forward5, Command::Back10, Command::Forward10})
        EXPECT_TRUE(isWalkCommand(c)) << int(c);
    for (Command c :
         {Command::Enlarge, Command::Fit, Command::ToggleGrid, Command::Delete, Command::ShowControls, Command::Help})
        EXPECT_FALSE(isWalkCommand(c)) << int(c);
}

} // namespace
} // namespace marquelo
