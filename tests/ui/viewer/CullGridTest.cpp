// The grid shows the cull's marks: stars, the reject mark, the label colour, the RAW+JPEG and movie
// badges, and dims what the filter hides. Marks come from the background read, never from the paint.
#include "ViewerFixture.h"

#include "media/XmpSidecar.h"
#include "ui/viewer/CullCommands.h"
#include "ui/viewer/ThumbnailGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace marquelo::test {
namespace {

class CullGrid : public ViewerFixture {
protected:
    ThumbnailGrid& grid() { return window->grid(); }

    void rate(const char* photo, int rating, const std::string& label = {})
    {
        ASSERT_TRUE(media::writeMarks(path(photo).toStdString(), {rating, label}, {}).ok);
    }

    template <typename Condition> bool waitFor(Condition condition, int ms = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return condition();
    }

    // Whether a colour close to `colour` is painted in the given part of a cell.
    bool paintedIn(int index, QRect part, QColor colour)
    {
        const QImage image = grid().grab().toImage();
        const QRect cell = grid().cellRect(index);
        part.translate(cell.topLeft());
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x)
                if (near(image.pixelColor(x, y), colour, 40))
                    return true;
        return false;
    }
};

TEST_F(CullGrid, CellsShowStarsRejectLabelAndBadges)
{
    makePhotos(3); // a red, b green, c blue
    QFile raw(path("c.dng"));
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write("raw twin");
    raw.close();
    QFile movie(path("d.avi"));
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.close();
    config.PictureExtensions = "*.dng";
    rate("a.jpg", 3, "Blue");
    rate("b.jpg", media::kRatingRejected);
    open(0);
    ASSERT_EQ(images.count(), 4);

    QTest::keyClick(window.get(), Qt::Key_G);
    ASSERT_TRUE(grid().isVisible());
    ASSERT_TRUE(waitFor([&] { return window->cull().folderKnown(); }));
    EXPECT_EQ(window->cull().cellMarks(0).rating, 3);
    EXPECT_EQ(window->cull().cellMarks(0).label, "Blue");
    EXPECT_EQ(window->cull().cellMarks(1).rating, media::kRatingRejected);
    EXPECT_FALSE(window->cull().cellMarks(2).known && window->cull().cellMarks(2).rating != 0);

    const int side = grid().cellRect(0).width();
    const QRect bottomLeft(0, side * 3 / 4, side / 2, side / 4);
    const QRect bottomRight(side / 2, side * 3 / 4, side / 2, side / 4);
    const QRect topRight(side * 3 / 4, 0, side / 4, side / 4);
    EXPECT_TRUE(paintedIn(0, bottomLeft, QColor(255, 210, 0))) << "gold stars";
    EXPECT_TRUE(paintedIn(0, topRight, QColor(40, 100, 230))) << "blue label";
    EXPECT_TRUE(paintedIn(1, bottomLeft, QColor(255, 90, 90))) << "reject mark";
    EXPECT_FALSE(paintedIn(1, bottomLeft, QColor(255, 210, 0)));
    EXPECT_TRUE(paintedIn(2, bottomRight, Qt::white)) << "RAW+JPEG badge";
    EXPECT_FALSE(paintedIn(0, bottomRight, Qt::white)) << "no badge on a lone JPEG";
    EXPECT_TRUE(paintedIn(3, bottomRight, Qt::white)) << "movie badge";

    // The filter dims the cells it hides: the green reject darkens under "not rejected".
    const QColor before = grid().grab().toImage().pixelColor(grid().cellRect(1).center());
    window->cull().setFilter(CullFilter::NotRejected);
    grid().repaint();
    const QColor after = grid().grab().toImage().pixelColor(grid().cellRect(1).center());
    EXPECT_LT(after.green(), before.green() - 60);
}

} // namespace
} // namespace marquelo::test
