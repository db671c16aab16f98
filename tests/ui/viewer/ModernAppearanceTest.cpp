// The Modern appearance's structure (not its pixels): the toolbar in a translucent bar that fades while
// walking and comes back, 24-pixel icons sharp at every ratio, the labels as shadowed overlays, the
// notices clear of the bar, and a way back to Classic that leaves the window as Classic built it.
#include "ViewerFixture.h"

#include "core/viewer/Appearance.h"
#include "core/viewer/Toolbar.h"
#include "ui/settings/HelpWindow.h"
#include "ui/viewer/NoticeOverlay.h"
#include "ui/viewer/ThemeIcons.h"
#include "ui/viewer/ViewerAppearance.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <map>

namespace marquelo::test {
namespace {

using ModernAppearance = ViewerFixture;

QLabel* label(QWidget* window, const char* name)
{
    return window->findChild<QLabel*>(QLatin1String(name));
}

TEST_F(ModernAppearance, PutsTheToolbarInABarAtTheBottomWithThemeSizedIcons)
{
    config.Appearance = 1;
    makePhotos(3);
    open(0);
    ViewerAppearance& look = window->appearance();
    ASSERT_EQ(look.current(), Appearance::Modern);
    QWidget* bar = look.bar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    // Centred on the bottom edge, inside the window.
    EXPECT_TRUE(window->rect().contains(bar->geometry()));
    EXPECT_NEAR(bar->geometry().center().x(), window->width() / 2, 1);
    EXPECT_EQ(bar->geometry().bottom() + 1, window->height() - ViewerAppearance::kBarMargin);
    window->resize(1000, 700);
    EXPECT_EQ(bar->geometry().bottom() + 1, 700 - ViewerAppearance::kBarMargin);
    // A narrow window gets smaller buttons, never a bar cut off at its sides; a wide one the full size.
    window->resize(640, 480);
    EXPECT_TRUE(window->rect().contains(bar->geometry()));
    EXPECT_LT(window->toolbarButton(Command::Next)->width(), ViewerAppearance::kIconSize + 12);
    window->resize(1200, 700);
    EXPECT_TRUE(window->rect().contains(bar->geometry()));
    EXPECT_EQ(window->toolbarButton(Command::Next)->width(), ViewerAppearance::kIconSize + 12);
    window->resize(800, 600);

    for (const ToolbarButton& row : kToolbar) {
        QToolButton* b = window->toolbarButton(row.command);
        SCOPED_TRACE(row.tooltip);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->parentWidget(), bar);
        EXPECT_EQ(b->iconSize(), QSize(ViewerAppearance::kIconSize, ViewerAppearance::kIconSize));
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_FALSE(b->autoFillBackground());
        EXPECT_TRUE(b->isVisible());
    }
    // Left to right in the table's order.
    for (std::size_t i = 1; i < kToolbar.size(); ++i)
        EXPECT_LT(window->toolbarButton(kToolbar[i - 1].command)->x(), window->toolbarButton(kToolbar[i].command)->x());

    // T hides the bar with its buttons and brings both back.
    window->runCommand(Command::ToggleToolbar);
    EXPECT_FALSE(bar->isVisible());
    window->runCommand(Command::ToggleToolbar);
    EXPECT_TRUE(bar->isVisible());
    // So does the caption box, which takes the toolbar's place.
    window->startCaptionInput();
    EXPECT_FALSE(bar->isVisible());
    window->endCaptionInput();
    EXPECT_TRUE(bar->isVisible());
}

TEST_F(ModernAppearance, BarFadesWhileWalkingAndComesBackOnMouseOrKey)
{
    config.Appearance = 1;
    makePhotos(4);
    open(0);
    QApplication::setActiveWindow(window.get());
    ViewerAppearance& look = window->appearance();
    EXPECT_EQ(look.barOpacity(), 1.0);

    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(images.currentIndex(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return look.barOpacity() == 0.0; }, 5000));
    // Faded, not hidden: the focused button keeps the focus, so Space goes on stepping.
    EXPECT_TRUE(look.bar()->isVisible());

    QTest::mouseMove(window.get(), QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return look.barOpacity() == 1.0; }, 5000));

    window->runCommand(Command::Next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return look.barOpacity() == 0.0; }, 5000));
    QTest::keyClick(window.get(), Qt::Key_M);
    ASSERT_TRUE(QTest::qWaitFor([&] { return look.barOpacity() == 1.0; }, 5000));
    EXPECT_EQ(images.currentIndex(), 2);

    // Zooming is not walking: the bar stays.
    window->runCommand(Command::Enlarge);
    QTest::qWait(ViewerAppearance::kFadeOutMs + 50);
    EXPECT_EQ(look.barOpacity(), 1.0);
}

TEST_F(ModernAppearance, LabelsAreShadowedOverlaysAndNoticesStayClearOfTheBar)
{
    config.Appearance = 1;
    makePhotos(2);
    open(0);
    for (const char* name : {"info", "fileName"}) {
        QLabel* l = label(window.get(), name);
        ASSERT_NE(l, nullptr) << name;
        EXPECT_FALSE(l->autoFillBackground()) << name;
        EXPECT_NE(qobject_cast<QGraphicsDropShadowEffect*>(l->graphicsEffect()), nullptr) << name;
        EXPECT_GT(l->palette().color(QPalette::WindowText).lightness(), 200) << name;
    }
    window->showNotice(QStringLiteral("Added to favorites: a.jpg"));
    QLabel* notice = label(window.get(), "notice");
    ASSERT_NE(notice, nullptr);
    EXPECT_LT(notice->geometry().bottom(), window->appearance().bar()->geometry().top());
}

TEST_F(ModernAppearance, SwitchesBothWaysAtOnceAndClassicIsAsBuilt)
{
    makePhotos(2);
    open(0);
    // What Classic built, before any switch.
    std::map<Command, QRect> places;
    for (const ToolbarButton& row : kToolbar)
        places[row.command] = window->toolbarButton(row.command)->geometry();
    QLabel* info = label(window.get(), "info");
    const QColor infoGround = info->palette().color(QPalette::Window);
    EXPECT_EQ(window->appearance().bar(), nullptr);

    config.Appearance = 1;
    window->applySettings();
    ASSERT_NE(window->appearance().bar(), nullptr);
    EXPECT_EQ(window->toolbarButton(Command::Next)->parentWidget(), window->appearance().bar());
    EXPECT_TRUE(window->hasMouseTracking());

    config.Appearance = 0;
    window->applySettings();
    EXPECT_EQ(window->appearance().bar(), nullptr);
    EXPECT_FALSE(window->hasMouseTracking());
    for (const ToolbarButton& row : kToolbar) {
        QToolButton* b = window->toolbarButton(row.command);
        SCOPED_TRACE(row.tooltip);
        EXPECT_EQ(b->parentWidget(), window.get());
        EXPECT_EQ(b->geometry(), places[row.command]);
        EXPECT_EQ(b->iconSize(), QSize(18, 18));
        EXPECT_TRUE(b->autoFillBackground());
        EXPECT_TRUE(b->styleSheet().isEmpty());
        EXPECT_TRUE(b->isVisible());
    }
    EXPECT_EQ(info->graphicsEffect(), nullptr);
    EXPECT_TRUE(info->autoFillBackground());
    EXPECT_EQ(info->palette().color(QPalette::Window), infoGround);
    EXPECT_EQ(info->palette().color(QPalette::WindowText), QColor(Qt::black));
    // Walking in Classic never fades anything.
    window->runCommand(Command::Next);
    EXPECT_EQ(window->appearance().barOpacity(), 1.0);
}

TEST_F(ModernAppearance, BackgroundIsDarkUnlessTheUserChoseOne)
{
    makePhotos(1);
    config.Appearance = 1;
    open(0);
    // The photo is fitted into the window's middle: the top left corner is background.
    const QColor dark(colourRed(kModernBackground), colourGreen(kModernBackground), colourBlue(kModernBackground));
    EXPECT_EQ(window->palette().color(QPalette::Window), dark);
    config.BackgroundColor = makeColour(0, 0, 90);
    window->applySettings();
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(0, 0, 90));
}

TEST_F(ModernAppearance, KeyHelpIsOnTheDarkGroundAndClassicOnItsOwn)
{
    config.Appearance = 1;
    const std::unique_ptr<HelpWindow> modern = makeKeyHelp(nullptr, config);
    EXPECT_LT(modern->browser()->palette().color(QPalette::Base).lightness(), 60);
    EXPECT_TRUE(modern->browser()->toHtml().contains(QStringLiteral("#242424")));
    config.Appearance = 0;
    const std::unique_ptr<HelpWindow> classic = makeKeyHelp(nullptr, config);
    EXPECT_EQ(classic->browser()->palette(), HelpWindow(QString(), nullptr).browser()->palette());
    EXPECT_TRUE(classic->browser()->toHtml().contains(QStringLiteral("#cccc99")));
}

// Pictures of every look for a person to compare: set MARQUELO_VIEWER_SHOTS to a folder and run on a
// real display (xvfb-run), once as it is and once with QT_SCALE_FACTOR=2.
TEST_F(ModernAppearance, Pictures)
{
    const QByteArray folder = qgetenv("MARQUELO_VIEWER_SHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set MARQUELO_VIEWER_SHOTS to a folder to take the pictures";
    // A photo-like picture: a sky to ground gradient with a light patch, and smaller ones for the grid.
    QImage photo(1500, 1000, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixelColor(x, y, QColor::fromHsv((200 + x / 30) % 360, 120 + y / 10, 250 - y / 6));
    ASSERT_TRUE(photo.save(path(QStringLiteral("a-landscape.jpg")), "JPG", 90));
    for (int i = 1; i < 9; ++i)
        writePhoto(path(QStringLiteral("photo-%1.jpg").arg(i)), QSize(300, 200), colourOf(i).darker(100 + 15 * i));
    const QString scale = QString::fromLocal8Bit(qgetenv("QT_SCALE_FACTOR"));
    const auto shot = [&](QWidget* w, const char* what, int look) {
        QApplication::processEvents();
        QTest::qWait(400);
        const QString file = QStringLiteral("%1/%2-%3-%4x.png")
                                 .arg(QString::fromLocal8Bit(folder), QLatin1String(what),
                                      look ? QStringLiteral("modern") : QStringLiteral("classic"),
                                      scale.isEmpty() ? QStringLiteral("1") : scale);
        EXPECT_TRUE(w->grab().save(file)) << file.toStdString();
    };
    for (int look : {0, 1}) {
        config.Appearance = std::uint8_t(look);
        window.reset();
        open(0);
        window->resize(1100, 760);
        window->showNotice(QStringLiteral("Added to favorites: a-landscape.jpg"));
        shot(window.get(), "viewer", look);
        window->showFullScreen();
        shot(window.get(), "fullscreen", look);
        window->showNormal();
        window->runCommand(Command::ToggleGrid);
        QTest::qWait(800);
        shot(window.get(), "grid", look);
        window->runCommand(Command::ToggleGrid);
        const std::unique_ptr<HelpWindow> help = makeKeyHelp(window.get(), config);
        help->show();
        shot(help.get(), "keyhelp", look);
    }
}

TEST(ThemeIcons, InkedIconsAreDrawnAtEveryRatiosDevicePixelsInTheInk)
{
    const QColor ink(236, 236, 236);
    for (const char* name : {"next", "tool1", "delete"}) {
        const ThemedIcon themed = toolbarIcon(name, ink);
        SCOPED_TRACE(name);
        ASSERT_FALSE(themed.icon.isNull());
        for (qreal ratio : {1.0, 1.5, 2.0}) {
            const QPixmap pm = themed.icon.pixmap(QSize(24, 24), ratio);
            // Drawn for the device pixels, not scaled up from 24: sharp at 150 % and 200 %.
            EXPECT_EQ(pm.size(), QSize(24, 24) * ratio) << ratio;
            EXPECT_DOUBLE_EQ(pm.devicePixelRatio(), ratio);
        }
        if (themed.source == IconSource::ThemeColour)
            continue;
        // Every pixel that shows is the ink, so the icon reads on the dark bar.
        const QImage image = themed.icon.pixmap(QSize(24, 24), 2.0).toImage();
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() < 128)
                    continue;
                ++drawn;
                EXPECT_TRUE(near(c, ink, 4)) << x << "," << y;
                if (!near(c, ink, 4))
                    return;
            }
        }
        EXPECT_GT(drawn, 20);
    }
}

TEST(ThemeIcons, DisabledIconsAreFainter)
{
    const QIcon icon = toolbarIcon("next", Qt::white).icon;
    const QImage normal = icon.pixmap(QSize(24, 24), 1.0, QIcon::Normal).toImage();
    const QImage disabled = icon.pixmap(QSize(24, 24), 1.0, QIcon::Disabled).toImage();
    int strongest = 0, strongestDisabled = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            strongest = std::max(strongest, normal.pixelColor(x, y).alpha());
            strongestDisabled = std::max(strongestDisabled, disabled.pixelColor(x, y).alpha());
        }
    }
    EXPECT_GT(strongest, 200);
    EXPECT_LT(strongestDisabled, strongest / 2);
}

} // namespace
} // namespace marquelo::test
