// What the window shows: pictures, placeholders, zoom, the change check and settings applied later.
#include "ViewerFixture.h"

#include "core/viewer/PictureCache.h"
#include "support/TestSupport.h"
#include "ui/viewer/Placeholders.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace marquelo::test {
namespace {

const QColor kPlaceholderRed(0xd0, 0x1c, 0x1c);
const QColor kCameraBody(0x3a, 0x3a, 0x3a);

// A point on the prohibition ring's left side, and one in the camera's body, in window pixels.
QPoint ringPoint(const QWidget& w)
{
    const QSize s = placeholderSize(Placeholder::NoPicture);
    return QPoint((w.width() - s.width()) / 2 + 36, (w.height() - s.height()) / 2 + 114);
}
QPoint cameraPoint(const QWidget& w)
{
    const QSize s = placeholderSize(Placeholder::Movie);
    return QPoint((w.width() - s.width()) / 2 + 150, (w.height() - s.height()) / 2 + 190);
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
           Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, mods);
    QApplication::sendEvent(w, &event);
}

TEST_F(ViewerFixture, PictureIsCentredOnTheBackground)
{
    config.BackgroundColor = makeColour(10, 20, 30);
    makePhotos(1);
    open(0);
    EXPECT_EQ(window->geometry().destination, (Rect{320, 240, 479, 359}));
    EXPECT_TRUE(near(centre(), Qt::red));
    EXPECT_EQ(pixelAt(5, 590), QColor(10, 20, 30));
    EXPECT_EQ(pixelAt(319, 300), QColor(10, 20, 30));
    EXPECT_TRUE(near(pixelAt(320, 240), Qt::red));
}

TEST_F(ViewerFixture, EmptyFolderShowsTheMoviePlaceholder)
{
    open(0);
    EXPECT_EQ(infoText(), QStringLiteral("1/0"));
    EXPECT_EQ(fileNameText(), QStringLiteral("file_not_found"));
    EXPECT_EQ(window->windowTitle(), dir.path() + QStringLiteral("/file_not_found - Marquelo"));
    EXPECT_FALSE(window->toolbarButton(Command::Previous)->isEnabled());
    EXPECT_FALSE(window->toolbarButton(Command::Next)->isEnabled());
    EXPECT_FALSE(window->toolbarButton(Command::Edit)->isEnabled());
    const QPoint body = cameraPoint(*window);
    EXPECT_TRUE(near(pixelAt(body.x(), body.y()), kCameraBody, 8));
    EXPECT_EQ(pixelAt(5, 590), kLabelColour);
}

TEST_F(ViewerFixture, BrokenAndMissingPicturesShowTheNoPicturePlaceholder)
{
    QFile broken(path("a.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\xff\xd8\xff\xe0 this is no JPEG");
    broken.close();
    makePhotos(0);
    writePhoto(path("b.jpg"), QSize(160, 120), Qt::green);
    open(0);
    const QPoint ring = ringPoint(*window);
    EXPECT_TRUE(near(pixelAt(ring.x(), ring.y()), kPlaceholderRed, 8));

    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_TRUE(near(centre(), Qt::green));
    QFile::remove(path("b.jpg"));
    window->changeTimer().stop();
    window->changeTimer().start(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return near(pixelAt(ring.x(), ring.y()), kPlaceholderRed, 8); }, 2000))
        << "missing is shown within a tick";
}

TEST_F(ViewerFixture, OutsideRewriteIsShownWithinOneTick)
{
    makePhotos(2);
    open(0);
    ASSERT_TRUE(near(centre(), Qt::red));
    writePhoto(path("new.tmp.jpg"), QSize(160, 120), Qt::blue);
    // An outside program writes the shown file in place and closes it. ThreadSanitizer cannot follow a
    // fork of this threaded process, so under it the same in-place write is done here.
#if defined(__SANITIZE_THREAD__)
    QFile source(path("new.tmp.jpg"));
    QFile shown(path("a.jpg"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly) && shown.open(QIODevice::WriteOnly | QIODevice::Truncate));
    shown.write(source.readAll());
    shown.close();
#else
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {path("new.tmp.jpg"), path("a.jpg")}), 0);
#endif
    QElapsedTimer clock;
    clock.start();
    while (!near(centre(), Qt::blue) && clock.elapsed() < 2000)
        QTest::qWait(25);
    EXPECT_TRUE(near(centre(), Qt::blue));
    EXPECT_LT(clock.elapsed(), 600) << "one 250 ms tick, with room for a slow machine";
}

TEST_F(ViewerFixture, ReloadReadsTheFileAgain)
{
    makePhotos(1);
    open(0);
    window->changeTimer().stop();
    writePhoto(path("a.jpg"), QSize(160, 120), Qt::cyan);
    EXPECT_TRUE(near(centre(), Qt::red)) << "nothing noticed without the check";
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_TRUE(near(centre(), Qt::cyan));
}

TEST_F(ViewerFixture, DragZoomsAndShiftOrRightButtonOrEscapeCancel)
{
    writePhoto(path("a.jpg"), QSize(400, 300), Qt::red, Qt::blue);
    open(0);
    const Rect whole{0, 0, 399, 299};
    ASSERT_EQ(window->geometry().source, whole);
    QSignalSpy exits(window.get(), &ViewerWindow::exitRequested);

    // Shift during the drag ends it without a zoom.
    mouse(window.get(), QEvent::MouseButtonPress, {420, 160}, Qt::LeftButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseMove, {500, 300}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    mouse(window.get(), QEvent::MouseButtonRelease, {599, 449}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(window->geometry().source, whole);

    // The right button cancels a drag.
    mouse(window.get(), QEvent::MouseButtonPress, {420, 160}, Qt::LeftButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseMove, {500, 300}, Qt::NoButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseButtonPress, {500, 300}, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    mouse(window.get(), QEvent::MouseButtonRelease, {599, 449}, Qt::LeftButton, Qt::RightButton);
    EXPECT_EQ(window->geometry().source, whole);

    // Escape cancels a drag and does not leave the program.
    mouse(window.get(), QEvent::MouseButtonPress, {420, 160}, Qt::LeftButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseMove, {500, 300}, Qt::NoButton, Qt::LeftButton);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    mouse(window.get(), QEvent::MouseButtonRelease, {599, 449}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(window->geometry().source, whole);
    EXPECT_EQ(exits.count(), 0);

    // A drag from outside the picture is clamped into it: the right half is zoomed.
    mouse(window.get(), QEvent::MouseButtonPress, {400, 100}, Qt::LeftButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseMove, {700, 500}, Qt::NoButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseButtonRelease, {700, 500}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(window->geometry().source.left, 200);
    EXPECT_EQ(window->geometry().source.right, 399);
    EXPECT_TRUE(near(centre(), Qt::blue));

    // The right button returns to the whole picture.
    mouse(window.get(), QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(window->geometry().source, whole);
}

TEST_F(ViewerFixture, EnlargeShrinkAndFitKeys)
{
    writePhoto(path("a.jpg"), QSize(400, 300), Qt::red);
    open(0);
    const Rect fitted = window->geometry().destination;
    QTest::keyClick(window.get(), Qt::Key_Equal);
    EXPECT_EQ(window->geometry().destination,
              (Rect{fitted.left - 7, fitted.top - 5, fitted.right + 7, fitted.bottom + 5}));
    QTest::keyClick(window.get(), Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(window->geometry().destination.left, fitted.left - 14);
    QTest::keyClick(window.get(), Qt::Key_Minus);
    EXPECT_LT(window->geometry().destination.left - (fitted.left - 14), 20);
    EXPECT_GT(window->geometry().destination.left, fitted.left - 14);
    QTest::keyClick(window.get(), Qt::Key_0);
    EXPECT_EQ(window->geometry().destination, fitted);
    EXPECT_EQ(window->geometry().source, (Rect{0, 0, 399, 299}));
}

TEST_F(ViewerFixture, PaintingReusesOneScaledCopyPerView)
{
    writePhoto(path("a.jpg"), QSize(1600, 1200), Qt::red);
    open(0);
    window->grab();
    const int made = window->scaledCopies();
    for (int i = 0; i < 5; ++i)
        window->grab();
    EXPECT_EQ(window->scaledCopies(), made) << "repaints of an unchanged view rescale nothing";
    const Rect before = window->geometry().destination;
    QTest::keyClick(window.get(), Qt::Key_Minus);
    ASSERT_NE(window->geometry().destination, before);
    window->grab(); // quick draw while the view is moving
    EXPECT_EQ(window->scaledCopies(), made);
    // Once settled: one smooth copy for the new view.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            window->grab();
            return window->scaledCopies() == made + 1;
        },
        3000));
    window->grab();
    EXPECT_EQ(window->scaledCopies(), made + 1);
}

TEST_F(ViewerFixture, AResizeBeforeANewPhotosFirstPaintKeepsItSmooth)
{
    writePhoto(path("a.jpg"), QSize(1600, 1200), Qt::red);
    open(0);
    // As the window manager maximizes a window just shown: the size changes before anything is drawn.
    window->resize(window->width() + 40, window->height() + 30);
    const int made = window->scaledCopies();
    window->grab();
    EXPECT_EQ(window->scaledCopies(), made + 1) << "drawn from a smooth copy at once";
    QTest::qWait(400);
    window->grab();
    EXPECT_EQ(window->scaledCopies(), made + 1) << "and not drawn again once still";

    // Once drawn, resizing is moving again: quick draws first.
    window->resize(window->width() - 40, window->height() - 30);
    window->grab();
    EXPECT_EQ(window->scaledCopies(), made + 1);
}

TEST_F(ViewerFixture, StepsAndJumpsBlitTheCopyTheirLoadScaled)
{
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
    for (int i = 0; i < 5; ++i)
        writePhoto(path(QStringLiteral("%1.jpg").arg(QChar(u'a' + i))), QSize(1600, 1200), colours[i]);
    open(0);
    window->grab();
    const int made = window->scaledCopies();
    // The neighbour read ahead, stepped to; then a cold jump to the far end.
    QTest::qWait(300);
    QTest::keyClick(window.get(), Qt::Key_Right);
    window->grab();
    EXPECT_TRUE(near(centre(), Qt::green));
    QTest::keyClick(window.get(), Qt::Key_End);
    window->grab();
    EXPECT_TRUE(near(centre(), Qt::cyan));
    EXPECT_EQ(window->scaledCopies(), made) << "the GUI thread scaled a photo its load had scaled already";
    // A view the load did not scale for is still scaled here.
    window->resize(window->size() - QSize(40, 40));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            window->grab();
            return window->scaledCopies() == made + 1;
        },
        3000));
    window->grab();
    EXPECT_EQ(window->scaledCopies(), made + 1);
}

TEST_F(ViewerFixture, ZoomAsksForFullResolutionWhenTheScreenCanShowIt)
{
    const QString source = QString::fromStdString(test::photo("camera/canon_eos5d.jpg"));
    ASSERT_TRUE(QFile::copy(source, path("a.jpg")));
    window.reset();
    open(0);
    const QSize full = window->cache().shown().fullSize;
    ASSERT_GT(full.width(), 2000);
    // A small drag in the middle: the source becomes a few hundred picture pixels shown over 800.
    const Rect d = window->geometry().destination;
    const QPoint c((d.left + d.right) / 2, (d.top + d.bottom) / 2);
    mouse(window.get(), QEvent::MouseButtonPress, c, Qt::LeftButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseMove, c + QPoint(60, 45), Qt::NoButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseButtonRelease, c + QPoint(60, 45), Qt::LeftButton, Qt::NoButton);
    // The selection is shown larger than its picture pixels: only the full resolution is sharp enough.
    ASSERT_LT(window->geometry().source.width(), window->geometry().destination.width());
    // Decoded on a worker; the fitted picture is drawn until it arrives.
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
            const ShownPicture shown = window->cache().shown();
            return shown.image.size() == shown.fullSize;
        },
        20000));
}

TEST_F(ViewerFixture, PreferencesChangesAreApplied)
{
    makePhotos(3);
    open(1);
    const auto slot = window->cache().currentSlot();
    config.BackgroundColor = makeColour(0, 0, 255);
    config.ShowToolbar = false;
    config.Tool1App = "xdg-open";
    window->applySettings();
    EXPECT_EQ(window->cache().currentSlot(), slot) << "the cache is kept when its settings did not change";
    EXPECT_EQ(pixelAt(5, 590), QColor(0, 0, 255));
    EXPECT_FALSE(window->toolbarButton(Command::Next)->isVisible());
    EXPECT_TRUE(window->toolbarButton(Command::Tool1)->isEnabled());

    config.CacheDepth = 2;
    window->applySettings();
    EXPECT_NE(window->cache().currentSlot(), slot) << "a new depth reloads the current picture";
    EXPECT_TRUE(near(centre(), Qt::green));
}

} // namespace
} // namespace marquelo::test
