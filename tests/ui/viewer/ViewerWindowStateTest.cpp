// Full screen with and without the title bar, at start and after the preferences change it.
#include "ViewerFixture.h"

#include <QTest>

namespace marquelo::test {
namespace {

class WindowState : public ViewerFixture {
protected:
    void openHidden()
    {
        makePhotos(2);
        config.Sorting = 1;
        ASSERT_TRUE(images.scanDirectory(dir.path().toStdString(), config));
        window = std::make_unique<ViewerWindow>(config, images, ui);
    }
};

TEST_F(WindowState, StartMaximizedWithoutTitleBarIsFullScreen)
{
    config.StartMaximized = true;
    config.FullScreenTitleBar = false;
    openHidden();
    window->start();
    EXPECT_TRUE(window->isFullScreen());
}

TEST_F(WindowState, StartMaximizedWithTitleBarKeepsTheFrame)
{
    config.StartMaximized = true;
    config.FullScreenTitleBar = true;
    openHidden();
    window->start();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_FALSE(window->isFullScreen());
}

TEST_F(WindowState, MaximizingWithoutTitleBarGoesFullScreenAndRestoringComesBack)
{
    config.FullScreenTitleBar = false;
    openHidden();
    window->show();
    window->showCurrent();
    window->showMaximized();
    EXPECT_TRUE(window->isFullScreen());
    window->showNormal();
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_FALSE(window->isMaximized());
}

TEST_F(WindowState, PreferencesSwitchTheTitleBarOfAMaximizedWindow)
{
    config.StartMaximized = true;
    config.FullScreenTitleBar = true;
    openHidden();
    window->start();
    config.FullScreenTitleBar = false;
    window->applySettings();
    EXPECT_TRUE(window->isFullScreen());
    config.FullScreenTitleBar = true;
    window->applySettings();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_FALSE(window->isFullScreen());
}

TEST_F(WindowState, StartShowsTheCurrentPictureAndRunsTheChangeCheck)
{
    config.StartMaximized = false;
    openHidden();
    images.setCurrent(1);
    window->start();
    EXPECT_EQ(infoText(), QStringLiteral("2/2"));
    EXPECT_TRUE(window->changeTimer().isActive());
    EXPECT_EQ(window->changeTimer().interval(), 250);
}

} // namespace
} // namespace marquelo::test
