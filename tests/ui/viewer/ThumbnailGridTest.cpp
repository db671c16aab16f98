// The thumbnail grid on the real window: keys, clicks, and following the list as it changes.
#include "ViewerFixture.h"

#include "core/viewer/ThumbnailCache.h"
#include "core/viewer/ThumbnailLoader.h"
#include "ui/viewer/Placeholders.h"
#include "ui/viewer/RenameDialog.h"
#include "ui/viewer/ThumbnailGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <filesystem>

#include <sys/stat.h>

namespace marquelo::test {
namespace {

using Answer = UserInterface::Answer;

class GridFixture : public ViewerFixture {
protected:
    ThumbnailGrid& grid() { return window->grid(); }

    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(window.get(), Qt::Key(k), mods); }

    // Waits until every cell on screen has its thumbnail or its sign.
    void waitForThumbnails()
    {
        QElapsedTimer clock;
        clock.start();
        while (grid().visibleDone() < grid().visibleCount() && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_EQ(grid().visibleDone(), grid().visibleCount());
    }

    QColor cellColour(int index)
    {
        const QRect cell = grid().cellRect(index);
        return grid().grab().toImage().pixelColor(cell.center());
    }

    template <typename Condition> bool waitFor(Condition condition, int ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return condition();
    }
};

TEST_F(GridFixture, KeysMoveTheHighlightAndChooseThePhoto)
{
    makePhotos(14); // 4 columns of 160 in 800 x 720, grown to fill the width: 3 whole rows with their names
    open(2);
    window->resize(800, 720);
    key(Qt::Key_G);
    ASSERT_TRUE(grid().isVisible());
    ASSERT_EQ(grid().columns(), 4);
    ASSERT_EQ(grid().pageRows(), 3);
    EXPECT_EQ(grid().highlighted(), 2);
    EXPECT_EQ(infoText(), QStringLiteral("3/14"));

    struct Step {
        int key;
        int expected;
    };
    for (const Step& s : {Step{Qt::Key_Right, 3}, Step{Qt::Key_Down, 7}, Step{Qt::Key_Up, 3}, Step{Qt::Key_Up, 3},
                          Step{Qt::Key_Left, 2}, Step{Qt::Key_End, 13}, Step{Qt::Key_Down, 13}, Step{Qt::Key_Right, 13},
                          Step{Qt::Key_PageUp, 1}, Step{Qt::Key_Left, 0}, Step{Qt::Key_Left, 0},
                          Step{Qt::Key_PageDown, 12}, Step{Qt::Key_PageDown, 13}, Step{Qt::Key_Home, 0},
                          Step{Qt::Key_Right, 1}, Step{Qt::Key_Down, 5}, Step{Qt::Key_Down, 9},
                          // From above the short last row, Down lands on its last cell.
                          Step{Qt::Key_Right, 10}, Step{Qt::Key_Down, 13}}) {
        key(s.key);
        EXPECT_EQ(grid().highlighted(), s.expected) << "key " << s.key;
    }
    EXPECT_EQ(infoText(), QStringLiteral("14/14"));
    // The last row is on screen.
    EXPECT_EQ(grid().firstRow(), 1);

    // The viewer's own keys do nothing to a photo nobody sees.
    const bool toolbar = config.ShowToolbar;
    key(Qt::Key_T);
    key(Qt::Key_Right, Qt::ControlModifier);
    key(Qt::Key_Space);
    EXPECT_EQ(config.ShowToolbar, toolbar);
    EXPECT_TRUE(grid().isVisible());
    EXPECT_EQ(grid().highlighted(), 13);

    // Escape goes back without moving.
    key(Qt::Key_Escape);
    EXPECT_FALSE(grid().isVisible());
    EXPECT_TRUE(window->isVisible()) << "Escape in the grid never ends the program";
    EXPECT_EQ(images.currentIndex(), 2);
    EXPECT_TRUE(near(centre(), colourOf(2)));

    // Enter, G again and a click show the highlighted photo.
    key(Qt::Key_G);
    key(Qt::Key_Right);
    key(Qt::Key_Return);
    EXPECT_FALSE(grid().isVisible());
    EXPECT_EQ(images.currentIndex(), 3);
    EXPECT_TRUE(near(centre(), colourOf(3)));
    EXPECT_EQ(infoText(), QStringLiteral("4/14"));

    key(Qt::Key_G);
    key(Qt::Key_Down);
    key(Qt::Key_G);
    EXPECT_FALSE(grid().isVisible());
    EXPECT_EQ(images.currentIndex(), 7);

    key(Qt::Key_G);
    QTest::mouseClick(&grid(), Qt::LeftButton, Qt::NoModifier, grid().cellRect(5).center());
    EXPECT_FALSE(grid().isVisible());
    EXPECT_EQ(images.currentIndex(), 5);
    EXPECT_TRUE(near(centre(), colourOf(5)));
}

TEST_F(GridFixture, CtrlPlusAndMinusChangeTheCellSize)
{
    makePhotos(3);
    open(0);
    key(Qt::Key_G);
    EXPECT_EQ(grid().cellSize(), 160);
    key(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(grid().cellSize(), 200);
    key(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(grid().cellSize(), 256);
    for (int i = 0; i < 10; ++i)
        key(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(grid().cellSize(), 96);
    EXPECT_EQ(grid().columns(), 7);
    waitForThumbnails();
    EXPECT_TRUE(near(cellColour(1), colourOf(1)));
}

TEST_F(GridFixture, CellsShowThumbnailsMoviesAndUnreadablePictures)
{
    makePhotos(3);
    QFile broken(path(QStringLiteral("d.jpg")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\xff\xd8\xff\xe0 not really");
    broken.close();
    QFile movie(path(QStringLiteral("e.avi")));
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.close();
    open(0);
    key(Qt::Key_G);
    ASSERT_EQ(images.count(), 5);
    waitForThumbnails();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(near(cellColour(i), colourOf(i))) << i;
    // The signs fill their cell's height with the label colour.
    const QImage shot = grid().grab().toImage();
    for (int i : {3, 4}) {
        const QRect cell = grid().cellRect(i);
        EXPECT_TRUE(near(shot.pixelColor(cell.center().x(), cell.top() + 2), kLabelColour, 2)) << i;
    }
}

TEST_F(GridFixture, CellsFillTheWidthWithTheirNamesAndTheInfoLineNamesTheHighlightWhole)
{
    const QString longName = QStringLiteral("b_a_rather_long_name_of_a_holiday_photo_from_the_camera_0042.jpg");
    makePhotos(1);
    writePhoto(path(longName), QSize(160, 120), Qt::green);
    open(0);
    auto* nameLabel = window->findChild<QLabel*>(QStringLiteral("fileName"));
    ASSERT_NE(nameLabel, nullptr);
    const int usualWidth = nameLabel->width();

    // The toolbar's grid button opens the grid.
    QToolButton* button = window->toolbarButton(Command::ToggleGrid);
    ASSERT_NE(button, nullptr);
    button->click();
    ASSERT_TRUE(grid().isVisible());

    // Four columns of at least 160 share the 800 pixels: as much room right of the last as left of the first.
    ASSERT_EQ(grid().columns(), 4);
    const QRect first = grid().cellRect(0);
    EXPECT_GT(first.width(), 160);
    EXPECT_EQ(first.width(), first.height());
    const int lastRight = first.left() + 4 * first.width() + 3 * 8;
    EXPECT_LE(std::abs((grid().width() - lastRight) - first.left()), 1);
    EXPECT_LE(first.left(), 9);

    // Each cell's name is written under its picture.
    waitForThumbnails();
    const QImage shot = grid().grab().toImage();
    const QColor ground = shot.pixelColor(grid().width() - 2, grid().height() - 2);
    auto inked = [&](const QRect& strip) {
        int count = 0;
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            for (int x = strip.left(); x <= strip.right(); ++x)
                count += !near(shot.pixelColor(x, y), ground, 60);
        return count;
    };
    const QRect under = QRect(first.left(), first.bottom() + 2, first.width(), 12);
    EXPECT_GT(inked(under), 10) << "a name under the first cell";
    const QRect pastLast = under.translated(2 * (first.width() + 8), 0);
    EXPECT_EQ(inked(pastLast), 0) << "nothing under a cell that is not there";

    // The highlighted cell's name is shown whole in the info line, and its place among the cells.
    key(Qt::Key_Right);
    EXPECT_EQ(nameLabel->text(), longName);
    EXPECT_GT(nameLabel->width(), usualWidth);
    EXPECT_EQ(infoText(), QStringLiteral("2/2"));

    // Back in the viewer the label is as it always was.
    key(Qt::Key_Escape);
    EXPECT_EQ(nameLabel->width(), usualWidth);
    EXPECT_NE(nameLabel->text(), longName);
}

TEST_F(GridFixture, TheGridFollowsDeleteRenameAndOutsideChanges)
{
    makePhotos(5);
    open(0);
    key(Qt::Key_G);
    key(Qt::Key_Right);
    waitForThumbnails();

    // Delete acts on the highlighted entry; the grid stays and closes the gap.
    ui.answers = {Answer::Yes};
    key(Qt::Key_Delete);
    EXPECT_EQ(ui.questions.at(0), "Ok to delete 'b.jpg'?");
    EXPECT_FALSE(QFile::exists(path("b.jpg")));
    ASSERT_TRUE(grid().isVisible());
    EXPECT_EQ(images.count(), 4);
    EXPECT_EQ(grid().highlighted(), 1);
    EXPECT_EQ(infoText(), QStringLiteral("2/4"));
    waitForThumbnails();
    EXPECT_TRUE(near(cellColour(1), colourOf(2)));

    // Rename: the cell keeps its picture under the new name.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<RenameDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("base"))->setText(QStringLiteral("beach"));
        dialog->accept();
    });
    key(Qt::Key_F2);
    EXPECT_EQ(images.currentName(), "beach.jpg");
    ASSERT_TRUE(grid().isVisible());
    waitForThumbnails();
    EXPECT_TRUE(near(cellColour(1), colourOf(2)));

    // Another program rewrites a photo of another cell: its cell is redrawn from the new content.
    writePhoto(path("e.jpg"), QSize(160, 120), Qt::white);
    std::filesystem::last_write_time(path("e.jpg").toStdString(),
                                     std::filesystem::file_time_type::clock::now() + std::chrono::seconds(5));
    EXPECT_TRUE(waitFor([&] { return near(cellColour(3), Qt::white); }));
    // ...or removes it: the no-picture sign.
    QFile::remove(path("d.jpg"));
    EXPECT_TRUE(waitFor([&] {
        const QRect cell = grid().cellRect(2);
        return near(grid().grab().toImage().pixelColor(cell.center().x(), cell.top() + 2), kLabelColour, 2);
    }));

    key(Qt::Key_Escape);
    EXPECT_FALSE(grid().isVisible());
}

TEST_F(GridFixture, MemoryStaysWithinItsBudgetWhilePagingThroughAFolder)
{
    constexpr int kCount = 60; // 15 rows of 4; 12 cells on screen in 800 x 600, 8 to a page
    for (int i = 0; i < kCount; ++i)
        writePhoto(path(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'))), QSize(160, 120), colourOf(i));
    open(0);
    // Room for 24 thumbnails of 160 x 120: the screen and a little more, far less than the folder.
    const qint64 budget = 24 * 160 * 120 * 4;
    grid().setMemoryBudget(budget);
    key(Qt::Key_G);
    waitForThumbnails();
    ASSERT_TRUE(waitFor([&] { return grid().loader().pending() == 0; }, 20000));
    EXPECT_LE(grid().thumbnailBytes(), budget);
    EXPECT_LT(grid().thumbnailsHeld(), kCount);
    // The rest of the folder is in the shared cache all the same, ready for the pages ahead.
    const ThumbnailCache cache;
    for (int i = 0; i < kCount; ++i) {
        const QByteArray file = QFile::encodeName(path(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'))));
        struct stat info {};
        ASSERT_EQ(::stat(file.constData(), &info), 0);
        EXPECT_TRUE(cache.has(ThumbnailCache::uriOf(file), info.st_mtim.tv_sec, ThumbnailSize::Large)) << i;
    }

    // Page by page to the end and back: every screen complete and right, the memory never past the budget.
    for (int page = 0; page < 8; ++page) {
        key(Qt::Key_PageDown);
        waitForThumbnails();
        EXPECT_LE(grid().thumbnailBytes(), budget) << page;
        const int shown = grid().highlighted();
        EXPECT_TRUE(near(cellColour(shown), colourOf(shown))) << shown;
    }
    EXPECT_EQ(grid().highlighted(), kCount - 1);
    key(Qt::Key_Home);
    waitForThumbnails();
    EXPECT_LE(grid().thumbnailBytes(), budget);
    for (int i : {0, 5, 11})
        EXPECT_TRUE(near(cellColour(i), colourOf(i))) << i;
}

} // namespace
} // namespace marquelo::test
