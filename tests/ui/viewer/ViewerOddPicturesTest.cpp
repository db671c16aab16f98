// Pictures at the edges of what the window lays out and reloads: one pixel wide or high, and entries
// whose file has gone away.
#include "ViewerFixture.h"

#include "core/viewer/PictureCache.h"
#include "ui/viewer/Placeholders.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace marquelo::test {
namespace {

const QColor kPlaceholderRed(0xd0, 0x1c, 0x1c);

TEST_F(ViewerFixture, OnePixelPicturesGetTheirOwnGeometry)
{
    writePhoto(path("a.jpg"), QSize(160, 120), Qt::red);
    writePhoto(path("b.jpg"), QSize(1, 120), Qt::blue);
    writePhoto(path("c.jpg"), QSize(160, 1), Qt::green);
    open(0);
    ASSERT_EQ(window->geometry().destination, (Rect{320, 240, 479, 359}));

    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(window->geometry().source, (Rect{0, 0, 0, 119}));
    EXPECT_EQ(window->geometry().destination, (Rect{399, 240, 399, 359})) << "not the previous photo's rectangle";
    EXPECT_TRUE(near(pixelAt(399, 300), Qt::blue));

    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(window->geometry().destination, (Rect{320, 299, 479, 299}));
    EXPECT_TRUE(near(pixelAt(400, 299), Qt::green));
}

TEST_F(ViewerFixture, AMissingMovieShowsNoPictureAndTheWindowGoesIdle)
{
    writePhoto(path("a.jpg"), QSize(160, 120), Qt::red);
    QFile movie(path("clip.avi"));
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.write("RIFF");
    movie.close();
    open(1);
    ASSERT_FALSE(window->cache().shown().isPicture);
    window->changeTimer().stop();

    ASSERT_TRUE(QFile::rename(path("clip.avi"), path("clip.bak")));
    auto tick = [this] { QMetaObject::invokeMethod(&window->changeTimer(), "timeout", Qt::DirectConnection); };
    tick();
    const QPoint ring((window->width() - placeholderSize(Placeholder::NoPicture).width()) / 2 + 36,
                      (window->height() - placeholderSize(Placeholder::NoPicture).height()) / 2 + 114);
    EXPECT_TRUE(near(pixelAt(ring.x(), ring.y()), kPlaceholderRed, 8));
    const auto slot = window->cache().currentSlot();
    for (int i = 0; i < 8; ++i)
        tick();
    EXPECT_EQ(window->cache().currentSlot(), slot) << "shown again on a tick while nothing changed";

    ASSERT_TRUE(QFile::rename(path("clip.bak"), path("clip.avi")));
    tick();
    EXPECT_NE(window->cache().currentSlot(), slot);
    EXPECT_TRUE(window->cache().shown().loaded);
    EXPECT_FALSE(window->cache().shown().isPicture);
}

} // namespace
} // namespace marquelo::test
