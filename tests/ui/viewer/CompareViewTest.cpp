// The compare view on the real window: panes for several window sizes and photo shapes, one zoom as a
// fraction of every photo, the candidate's walk, swap, leaving, and the keys that act on the reference.
#include "ViewerFixture.h"

#include "core/viewer/PictureCache.h"
#include "media/XmpSidecar.h"
#include "ui/viewer/CompareView.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QMouseEvent>
#include <QTest>

namespace marquelo::test {
namespace {

void put(QByteArray& b, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b += char((v >> (8 * i)) & 0xFF);
}

// A 96 x 64 JPEG stored on its side: EXIF orientation 6 makes it a 64 x 96 portrait.
void writeTurnedPhoto(const QString& path, QColor colour)
{
    QImage image(QSize(96, 64), QImage::Format_RGB32);
    image.fill(colour);
    QByteArray photo;
    QBuffer buffer(&photo);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    QByteArray tiff("II*\0", 4);
    put(tiff, 8, 4);
    put(tiff, 1, 2);
    put(tiff, 0x0112, 2);
    put(tiff, 3, 2);
    put(tiff, 1, 4);
    put(tiff, 6, 4);
    put(tiff, 0, 4);
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(body.size()) + 2;
    const QByteArray app1 = QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + body;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(photo.left(2) + app1 + photo.mid(2));
}

class Compare : public ViewerFixture {
protected:
    CompareView& view() { return window->compare(); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window.get(), key, modifiers);
    }
    void enter() { key(Qt::Key_C, Qt::ShiftModifier); }
    std::vector<int> shown() { return view().shownEntries(); }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, QPointF(at), view().mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(&view(), &event);
    }
    void drag(QPoint from, QPoint to)
    {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    QColor paneCentre(int pane)
    {
        const QPoint at = view().mapTo(window.get(), view().paneRect(pane).center());
        return pixelAt(at.x(), at.y());
    }
    // Every pane shows `part` of its own photo, to the pixel.
    void expectPartOnEveryPane(const QRectF& part)
    {
        for (int i = 0; i < view().paneCount(); ++i) {
            const int index = shown()[std::size_t(i)];
            if (index < 0)
                continue;
            const QSize full = images.at(index).pictures[kOriginal]->fullSize;
            const Rect& source = view().paneView(i).source;
            EXPECT_NEAR(source.left, part.left() * full.width(), 1.0) << "pane " << i;
            EXPECT_NEAR(source.top, part.top() * full.height(), 1.0) << "pane " << i;
            EXPECT_NEAR(source.right + 1, part.right() * full.width(), 1.0) << "pane " << i;
            EXPECT_NEAR(source.bottom + 1, part.bottom() * full.height(), 1.0) << "pane " << i;
        }
    }
};

TEST_F(Compare, PanesForSeveralWindowSizesAndPhotoShapes)
{
    writePhoto(path("a.jpg"), QSize(160, 120), Qt::red);
    writeTurnedPhoto(path("b.jpg"), Qt::green);
    writePhoto(path("c.jpg"), QSize(90, 150), Qt::blue);
    writePhoto(path("d.jpg"), QSize(300, 100), Qt::yellow);
    open(0);
    enter();
    ASSERT_TRUE(view().isOpen());
    EXPECT_EQ(shown(), (std::vector<int>{0, 1}));
    EXPECT_EQ(images.at(1).pictures[kOriginal]->fullSize, QSize(64, 96)) << "upright by its EXIF orientation";
    for (const QSize size : {QSize(800, 600), QSize(1200, 500), QSize(500, 900)}) {
        for (int panes : {2, 4}) {
            window->resize(size);
            if (view().paneCount() != panes)
                key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
            ASSERT_EQ(view().paneCount(), panes);
            EXPECT_EQ(view().geometry().bottom(), window->height() - 1);
            for (int i = 0; i < panes; ++i) {
                const QRect pane = view().paneRect(i);
                EXPECT_TRUE(view().rect().contains(pane));
                const QRect destination = view().paneView(i).destination.toQRect();
                EXPECT_TRUE(QRect(QPoint(0, 0), pane.size()).contains(destination)) << i;
                EXPECT_FALSE(destination.isEmpty()) << i;
                for (int j = i + 1; j < panes; ++j)
                    EXPECT_FALSE(pane.intersects(view().paneRect(j)));
            }
            EXPECT_TRUE(near(paneCentre(0), Qt::red));
            EXPECT_TRUE(near(paneCentre(1), Qt::green));
            if (panes == 4) {
                EXPECT_EQ(shown(), (std::vector<int>{0, 1, 2, 3}));
                EXPECT_TRUE(near(paneCentre(2), Qt::blue));
                EXPECT_TRUE(near(paneCentre(3), Qt::yellow));
            }
        }
    }
    EXPECT_TRUE(view().labelText(0).startsWith("Reference  1/4  a.jpg")) << view().labelText(0).toStdString();
    EXPECT_EQ(view().labelText(1), "2/4  b.jpg");
}

TEST_F(Compare, AZoomOnOnePaneShowsTheSameFractionOfEveryPhoto)
{
    writePhoto(path("a.jpg"), QSize(320, 240), Qt::red);
    writeTurnedPhoto(path("b.jpg"), Qt::green);
    writePhoto(path("c.jpg"), QSize(150, 90), Qt::blue);
    writePhoto(path("d.jpg"), QSize(97, 131), Qt::yellow);
    config.CompareFourPanes = true;
    open(0);
    enter();
    ASSERT_EQ(view().paneCount(), 4);
    // A rectangle dragged over the middle of the candidate's photo (the turned one).
    const QRect pane = view().paneRect(1);
    const QRect destination = view().paneView(1).destination.toQRect().translated(pane.topLeft());
    drag(destination.topLeft() + QPoint(destination.width() / 4, destination.height() / 4), destination.center());
    const QRectF part = view().part();
    EXPECT_NEAR(part.left(), 0.25, 0.05);
    EXPECT_NEAR(part.width(), 0.25, 0.05);
    expectPartOnEveryPane(part);

    key(Qt::Key_Plus);
    EXPECT_NEAR(view().part().width(), part.width() / 1.25, 1e-6) << "+ zooms every pane";
    expectPartOnEveryPane(view().part());
    key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_GT(view().part().left(), part.left()) << "Shift+Right pans every pane";
    expectPartOnEveryPane(view().part());
    // The middle button drags every pane along.
    const QRectF before = view().part();
    mouse(QEvent::MouseButtonPress, pane.center(), Qt::MiddleButton, Qt::MiddleButton);
    mouse(QEvent::MouseMove, pane.center() + QPoint(40, 0), Qt::NoButton, Qt::MiddleButton);
    mouse(QEvent::MouseButtonRelease, pane.center() + QPoint(40, 0), Qt::MiddleButton, Qt::NoButton);
    EXPECT_LT(view().part().left(), before.left());
    expectPartOnEveryPane(view().part());
    // The right button fits every pane again, as "0" does.
    mouse(QEvent::MouseButtonPress, pane.center(), Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(view().part(), kWholePart);
    key(Qt::Key_Minus);
    EXPECT_EQ(view().part(), kWholePart);
}

TEST_F(Compare, SteppingMovesOnlyTheCandidateAndSwapTradesPlaces)
{
    makePhotos(6);
    open(1);
    enter();
    EXPECT_EQ(shown(), (std::vector<int>{1, 2}));
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(shown(), (std::vector<int>{1, 4}));
    EXPECT_EQ(images.currentIndex(), 1) << "the reference stays";
    EXPECT_TRUE(near(paneCentre(0), colourOf(1)));
    EXPECT_TRUE(near(paneCentre(1), colourOf(4)));
    key(Qt::Key_Home);
    EXPECT_EQ(shown(), (std::vector<int>{1, 0}));
    key(Qt::Key_Right);
    EXPECT_EQ(shown(), (std::vector<int>{1, 2})) << "the reference is never its own candidate";
    key(Qt::Key_End);
    EXPECT_EQ(shown(), (std::vector<int>{1, 5}));
    key(Qt::Key_Right);
    EXPECT_EQ(shown(), (std::vector<int>{1, 5}));

    key(Qt::Key_Return);
    EXPECT_EQ(shown(), (std::vector<int>{5, 1})) << "Enter swaps";
    EXPECT_EQ(images.currentIndex(), 5);
    EXPECT_TRUE(near(paneCentre(0), colourOf(5)));
    EXPECT_TRUE(near(paneCentre(1), colourOf(1)));

    key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(shown(), (std::vector<int>{5, 1, 2, 3}));
    key(Qt::Key_Left);
    EXPECT_EQ(shown(), (std::vector<int>{5, 0, 1, 2}));
}

TEST_F(Compare, LeavingReturnsToTheReferenceWithTheSingleViewsZoom)
{
    makePhotos(4);
    open(0);
    // Zoomed in the single view before comparing.
    window->runCommand(Command::Enlarge);
    const ViewGeometry zoomed = window->geometry();
    enter();
    key(Qt::Key_Plus);
    key(Qt::Key_Right);
    key(Qt::Key_Escape);
    EXPECT_FALSE(view().isOpen());
    EXPECT_EQ(images.currentIndex(), 0);
    EXPECT_EQ(window->geometry().source, zoomed.source);
    EXPECT_EQ(window->geometry().destination, zoomed.destination);

    // After a swap the single view shows the new reference, fitted.
    enter();
    key(Qt::Key_Return);
    key(Qt::Key_C, Qt::ShiftModifier);
    EXPECT_FALSE(view().isOpen());
    EXPECT_EQ(images.currentIndex(), 1);
    EXPECT_EQ(window->geometry().source, wholePicture(160, 120));
    EXPECT_TRUE(near(centre(), colourOf(1)));
}

TEST_F(Compare, ActionsLandOnTheReference)
{
    makePhotos(4);
    open(0);
    enter();
    key(Qt::Key_Right);
    key(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(media::readMarks(path("a.jpg").toStdString()).marks.rating, 3);
    EXPECT_FALSE(QFile::exists(path("c.jpg.xmp")));
    EXPECT_TRUE(view().labelText(0).endsWith(QString(QChar(0x2605)).repeated(3))) << view().labelText(0).toStdString();

    // A zoomed reference is the view A crops: the window's view is the reference pane's.
    key(Qt::Key_Plus);
    EXPECT_EQ(window->geometry().source, view().paneView(0).source);

    ui.answers = {UserInterface::Answer::Yes};
    key(Qt::Key_Delete);
    EXPECT_FALSE(QFile::exists(path("a.jpg")));
    EXPECT_TRUE(QFile::exists(path("c.jpg")));
    ASSERT_TRUE(view().isOpen());
    EXPECT_EQ(images.currentName(), "b.jpg") << "the next photo is the reference";
    EXPECT_EQ(images.at(shown()[1]).shownName(), "c.jpg") << "the candidate stays the same photo";
    EXPECT_TRUE(near(paneCentre(0), colourOf(1)));
    EXPECT_TRUE(near(paneCentre(1), colourOf(2)));

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    EXPECT_EQ(images.at(shown()[1]).shownName(), "c.jpg");
}

// A step to a photo read ahead blits the copy its load scaled for the pane: the GUI thread scales
// nothing. Entering draws what the cache holds at once, the candidate kept as it is although it was
// decoded for a view smaller than the panes (it is refined later, not decoded again while waiting).
TEST_F(Compare, StepsBlitAndEnteringShowsWhatTheCacheHolds)
{
    for (int i = 0; i < 5; ++i)
        writePhoto(path(QStringLiteral("%1.jpg").arg(QChar('a' + i))), QSize(1600, 1200), colourOf(i));
    open(1);
    // A window larger than its screen: the photos, decoded for the screen, fill no pane.
    window->resize(2400, 1400);
    QTRY_VERIFY_WITH_TIMEOUT(images.at(2).pictures[kOriginal] && images.at(2).pictures[kOriginal]->ready(), 5000);
    const std::shared_ptr<PictureSlot> candidate = images.at(2).pictures[kOriginal];
    ASSERT_LT(candidate->image.width(), 1200);

    enter();
    EXPECT_EQ(images.at(2).pictures[kOriginal], candidate) << "entering keeps the candidate the cache holds";
    view().repaint();
    EXPECT_EQ(view().scalingsMade(), 0) << "the first frame scales nothing";

    // Once still, the panes' copies are made (one each), and the read-ahead loads for a pane.
    QTRY_COMPARE_WITH_TIMEOUT(view().scalingsMade(), 2, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(images.at(3).pictures[kOriginal] && images.at(3).pictures[kOriginal]->ready(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(view().scalingsMade(), 2, 5000);
    key(Qt::Key_Right);
    ASSERT_EQ(shown(), (std::vector<int>{1, 3}));
    view().repaint();
    EXPECT_EQ(view().scalingsMade(), 2) << "the step only blits";
    EXPECT_TRUE(near(paneCentre(1), colourOf(3)));
}

} // namespace
} // namespace marquelo::test
