// The window on two monitors: the picture is decoded for the screen the window is on.
#include "ScreensProcess.h"
#include "ViewerFixture.h"

#include "core/viewer/PictureCache.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QtTest/QTest>

namespace marquelo::test {
namespace {

TEST(ViewerScreens, PictureOnTheLargerMonitorIsDecodedAtThatMonitorsSize)
{
    runWithScreens(R"({"screens": [
        {"name": "small", "x": 0, "y": 0, "width": 800, "height": 600, "logicalDpi": 96},
        {"name": "large", "x": 800, "y": 0, "width": 2560, "height": 1920, "logicalDpi": 96}]})",
                   QStringLiteral("ViewerScreensChild.*"));
}

class ViewerScreensChild : public ViewerFixture {};

TEST_F(ViewerScreensChild, PictureFollowsTheWindowToTheLargerScreen)
{
    if (!inScreensChild())
        GTEST_SKIP() << "runs with two screens in the process ViewerScreens starts";
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2);
    QScreen* small = screens[0]->size().width() < screens[1]->size().width() ? screens[0] : screens[1];
    QScreen* large = small == screens[0] ? screens[1] : screens[0];

    writePhoto(path(QStringLiteral("big.jpg")), QSize(3200, 2400), Qt::red);
    writePhoto(path(QStringLiteral("next.jpg")), QSize(3200, 2400), Qt::green);
    config.Sorting = 1;
    ASSERT_TRUE(images.scanDirectory(dir.path().toStdString(), config));
    window = std::make_unique<ViewerWindow>(config, images, ui);
    window->setGeometry(QRect(small->geometry().topLeft() + QPoint(10, 10), QSize(640, 480)));
    window->show();
    window->windowHandle()->setScreen(small);
    window->showCurrent();
    QTRY_COMPARE(window->cache().shown().image.size(), QSize(800, 600));
    const auto neighbour = [this] {
        const auto& slot = images.at(1).pictures[kOriginal];
        return slot && slot->ready() ? slot->image.size() : QSize();
    };
    QTRY_COMPARE(neighbour(), QSize(800, 600));

    // Moved to the large monitor: the current picture and the one read ahead are decoded for it.
    window->windowHandle()->setScreen(large);
    window->move(large->geometry().topLeft() + QPoint(10, 10));
    QTRY_COMPARE(window->screen(), large);
    QTRY_VERIFY_WITH_TIMEOUT(window->cache().shown().image.width() >= 2560, 20'000);
    EXPECT_GE(window->cache().shown().image.height(), 1920);
    QTRY_VERIFY_WITH_TIMEOUT(neighbour().width() >= 2560, 20'000);
    EXPECT_EQ(window->cache().viewSize(), large->size() * large->devicePixelRatio());
}

} // namespace
} // namespace marquelo::test
