// The grid shows the cull's marks: stars, the reject mark, the label colour, the RAW+JPEG and movie
// badges, and leaves out what the filter hides. Marks come from the background read, never from the paint.
#include "ViewerFixture.h"

#include "media/XmpSidecar.h"
#include "ui/viewer/CullCommands.h"
#include "ui/viewer/ThumbnailGrid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <algorithm>

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

    // Under "not rejected" the reject leaves the grid: the pair takes its cell, badge and all.
    const QRect second = grid().cellRect(1);
    window->cull().setFilter(CullFilter::NotRejected);
    EXPECT_EQ(grid().cellCount(), 3);
    EXPECT_TRUE(grid().cellRect(1).isNull());
    EXPECT_EQ(grid().cellRect(2), second);
    EXPECT_TRUE(paintedIn(2, bottomRight, Qt::white)) << "RAW+JPEG badge in the reject's place";
}

TEST_F(CullGrid, FilterLeavesOutWhatItHidesButNeverTheHighlightedPhoto)
{
    makePhotos(4); // a b c d
    rate("b.jpg", media::kRatingRejected);
    rate("c.jpg", 2);
    open(0);
    window->cull().setFilter(CullFilter::NotRejected);
    QTest::keyClick(window.get(), Qt::Key_G);
    ASSERT_TRUE(grid().isVisible());
    // The background read's answers take the reject out while the grid is open.
    ASSERT_TRUE(waitFor([&] { return window->cull().folderKnown() && grid().cellCount() == 3; }));
    EXPECT_EQ(grid().entryAt(1), 2);
    EXPECT_EQ(grid().indexAt(grid().cellRect(3).center()), 3) << "a click finds the entry, not the cell";

    QTest::keyClick(window.get(), Qt::Key_Right);
    EXPECT_EQ(images.currentIndex(), 2) << "steps over the reject";
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("info"))->text(), QStringLiteral("2/3"))
        << "counted among the cells the filter leaves";

    // Rejected while highlighted, c stays until the highlight moves on, then the cells close up.
    ASSERT_TRUE(window->cull().run(Command::Reject));
    EXPECT_EQ(grid().cellCount(), 3);
    EXPECT_FALSE(grid().cellRect(2).isNull());
    QTest::keyClick(window.get(), Qt::Key_Right);
    EXPECT_EQ(images.currentIndex(), 3);
    EXPECT_EQ(grid().cellCount(), 2);
    EXPECT_TRUE(grid().cellRect(2).isNull());
    EXPECT_EQ(grid().cellRect(3), grid().cellRect(0).translated(grid().cellRect(0).width() + 8, 0));
    QTest::keyClick(window.get(), Qt::Key_Left);
    EXPECT_EQ(images.currentIndex(), 0);

    // A filter nothing passes leaves the highlighted photo alone; All brings every cell back.
    window->cull().setFilter(CullFilter::AtLeast5);
    EXPECT_EQ(grid().cellCount(), 1);
    EXPECT_EQ(grid().entryAt(0), 0);
    QTest::keyClick(window.get(), Qt::Key_End);
    EXPECT_EQ(images.currentIndex(), 0);
    window->cull().setFilter(CullFilter::All);
    EXPECT_EQ(grid().cellCount(), 4);
    EXPECT_EQ(grid().entryAt(2), 2);
}

TEST_F(CullGrid, FilterMenuShowsTheCurrentChoiceAndSetsTheFilterTheGridFollows)
{
    makePhotos(3); // a b c
    rate("b.jpg", media::kRatingRejected);
    open(0);
    window->show();
    auto menuShown = [&] {
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QMenu* menu = window->findChild<QMenu*>(QStringLiteral("filterMenu"));
        return menu && menu->isVisible() ? menu : nullptr;
    };
    auto checked = [](QMenu* menu) {
        QStringList names;
        for (QAction* action : menu->actions())
            if (action->isChecked())
                names << action->text();
        return names;
    };
    auto choose = [](QMenu* menu, const QString& text) {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                action->trigger();
        menu->close();
    };

    QMenu* menu = menuShown();
    ASSERT_NE(menu, nullptr);
    const auto choices = menu->actions();
    EXPECT_EQ(std::count_if(choices.begin(), choices.end(), [](QAction* a) { return a->isCheckable(); }),
              int(CullFilter::Count_));
    EXPECT_EQ(checked(menu), QStringList{"all photos"});
    choose(menu, "not rejected");
    EXPECT_EQ(window->cull().filter(), CullFilter::NotRejected);

    // In the grid too: the choice is checked, and the grid follows a new one.
    QTest::keyClick(window.get(), Qt::Key_G);
    ASSERT_TRUE(grid().isVisible());
    ASSERT_TRUE(waitFor([&] { return window->cull().folderKnown() && grid().cellCount() == 2; }));
    QCoreApplication::processEvents();
    menu = menuShown();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(checked(menu), QStringList{"not rejected"});
    choose(menu, "rejected only");
    EXPECT_EQ(window->cull().filter(), CullFilter::RejectedOnly);
    EXPECT_EQ(grid().cellCount(), 2) << "the reject and the highlighted photo";
    EXPECT_EQ(grid().entryAt(1), 1);
    EXPECT_TRUE(grid().isVisible());
}

} // namespace
} // namespace marquelo::test
