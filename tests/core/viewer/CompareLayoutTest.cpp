// The compare view's geometry without a display: where the panes lie, the shared zoom as a fraction of
// each photo, and the walk of the candidates around the reference.
#include "core/viewer/CompareLayout.h"

#include <gtest/gtest.h>

#include <set>

namespace marquelo {
namespace {

TEST(ComparePanes, FillTheClientWithoutOverlapForSeveralSizes)
{
    for (const QSize client : {QSize(1600, 1000), QSize(801, 600), QSize(1000, 1600), QSize(203, 151)}) {
        for (int count : {2, 4}) {
            const std::vector<ComparePane> panes = comparePanes(client, count, 4, 18);
            ASSERT_EQ(int(panes.size()), count);
            int area = 0;
            for (std::size_t i = 0; i < panes.size(); ++i) {
                const ComparePane& p = panes[i];
                EXPECT_EQ(p.label.bottom() + 1, p.picture.top()) << "label directly above the picture";
                EXPECT_EQ(p.label.height(), 18);
                EXPECT_TRUE(QRect(QPoint(0, 0), client).contains(p.label.united(p.picture)));
                area += p.label.width() * p.label.height() + p.picture.width() * p.picture.height();
                for (std::size_t j = i + 1; j < panes.size(); ++j)
                    EXPECT_FALSE(p.label.united(p.picture).intersects(panes[j].label.united(panes[j].picture)));
            }
            // Everything but the gaps is a pane: one gap column, and one gap row with four panes.
            const int gaps = 4 * client.height() + (count == 4 ? 4 * (client.width() - 4) : 0);
            EXPECT_EQ(area, client.width() * client.height() - gaps) << client.width() << "x" << client.height();
            // The panes of a row are equally wide within the pixel the division leaves.
            EXPECT_LE(std::abs(panes[0].picture.width() - panes[1].picture.width()), 1);
        }
    }
}

TEST(ComparePanes, FourReadRowByRowWithTheReferenceTopLeft)
{
    const std::vector<ComparePane> panes = comparePanes(QSize(1000, 800), 4, 4, 20);
    EXPECT_EQ(panes[0].label.topLeft(), QPoint(0, 0));
    EXPECT_LT(panes[0].picture.right(), panes[1].picture.left());
    EXPECT_EQ(panes[0].picture.top(), panes[1].picture.top());
    EXPECT_LT(panes[0].picture.bottom(), panes[2].label.top());
    EXPECT_EQ(panes[3].picture.bottomRight(), QPoint(999, 799));
}

TEST(ComparePanes, TooSmallAClientGivesEmptyPicturesNotNegativeOnes)
{
    for (const ComparePane& p : comparePanes(QSize(3, 10), 4, 4, 18)) {
        EXPECT_GE(p.picture.width(), 0);
        EXPECT_GE(p.picture.height(), 0);
    }
}

TEST(ComparePart, TheSameFractionOnPhotosOfDifferentSizesAndShapes)
{
    const QRectF part(0.25, 0.4, 0.2, 0.3);
    for (const QSize full : {QSize(6000, 4000), QSize(4000, 6000), QSize(160, 120), QSize(4032, 3024)}) {
        const Rect source = sourceOfPart(part, full);
        EXPECT_NEAR(source.left, 0.25 * full.width(), 1.0);
        EXPECT_NEAR(source.top, 0.4 * full.height(), 1.0);
        EXPECT_NEAR(source.width(), 0.2 * full.width(), 1.0);
        EXPECT_NEAR(source.height(), 0.3 * full.height(), 1.0);
        const QRectF back = partOfSource(source, full);
        EXPECT_NEAR(back.left(), part.left(), 1.0 / full.width());
        EXPECT_NEAR(back.width(), part.width(), 2.0 / full.width());
    }
}

TEST(ComparePart, ATinyPartStillGivesAViewThatCanBeLaidOut)
{
    // A sliver at the far edge of a small photo: two pixels across, inside the photo.
    const Rect source = sourceOfPart(QRectF(0.999, 0.999, 0.001, 0.001), QSize(100, 50));
    EXPECT_EQ(source.right, 99);
    EXPECT_EQ(source.bottom, 49);
    EXPECT_FALSE(source.isEmpty());
    ViewGeometry view;
    EXPECT_TRUE(layoutPart(view, QRectF(0.999, 0.999, 0.001, 0.001), QSize(100, 50), QSize(400, 300)));
}

TEST(ComparePart, WholeFitsWithoutEnlargingAndZoomedFillsThePane)
{
    ViewGeometry view;
    ASSERT_TRUE(layoutPart(view, kWholePart, QSize(160, 120), QSize(800, 600)));
    EXPECT_EQ(view.destination.width(), 160) << "a small photo is not blown up while whole";
    ASSERT_TRUE(layoutPart(view, QRectF(0, 0, 0.5, 0.5), QSize(160, 120), QSize(800, 600)));
    EXPECT_EQ(view.destination.width(), 800);
    EXPECT_EQ(view.source, (Rect{0, 0, 79, 59}));
}

TEST(ComparePart, ZoomStepsStayInsideAndUndoEachOther)
{
    const QRectF in = zoomPart(kWholePart, 1.25);
    EXPECT_NEAR(in.width(), 0.8, 1e-9);
    EXPECT_NEAR(in.center().x(), 0.5, 1e-9);
    const QRectF out = zoomPart(in, 0.8);
    EXPECT_NEAR(out.width(), 1.0, 1e-9);
    EXPECT_EQ(zoomPart(kWholePart, 0.5), kWholePart) << "never beyond the whole photo";
    // Zooming out of a corner part keeps it inside the photo instead of sliding off the edge.
    const QRectF corner = zoomPart(QRectF(0.9, 0.9, 0.1, 0.1), 0.5);
    EXPECT_GE(corner.left(), 0.0);
    EXPECT_LE(corner.right(), 1.0 + 1e-9);
    EXPECT_NEAR(corner.width(), 0.2, 1e-9);
    QRectF deep = kWholePart;
    for (int i = 0; i < 100; ++i)
        deep = zoomPart(deep, 2.0);
    EXPECT_GT(deep.width(), 0.0);
}

TEST(ComparePart, PanningStopsAtTheEdges)
{
    const QRectF part(0.4, 0.4, 0.2, 0.2);
    const QRectF right = panPart(part, 0.5, 0);
    EXPECT_NEAR(right.left(), 0.5, 1e-9);
    const QRectF far = panPart(part, 100, -100);
    EXPECT_NEAR(far.right(), 1.0, 1e-9);
    EXPECT_NEAR(far.top(), 0.0, 1e-9);
    EXPECT_NEAR(far.width(), 0.2, 1e-9) << "panning never changes the zoom";
    EXPECT_EQ(panPart(kWholePart, 0.3, 0.3), kWholePart);
}

TEST(ComparePart, ActualPixelsShowsOnePicturePixelPerScreenPixel)
{
    const QSize full(6000, 4000);
    const QSize pane(790, 560);
    const QRectF part = actualPixelsPart(full, pane);
    ViewGeometry view;
    ASSERT_TRUE(layoutPart(view, part, full, pane));
    EXPECT_NEAR(view.source.width(), view.destination.width(), 1);
    EXPECT_NEAR(view.source.height(), view.destination.height(), 1);
    // A photo smaller than the pane is shown whole.
    EXPECT_EQ(actualPixelsPart(QSize(160, 120), pane), kWholePart);
}

TEST(CompareWalk, CandidatesSkipTheReferenceAndWhatTheFilterHides)
{
    const std::set<int> hidden = {4, 5};
    const CompareWalk walk(8, 2, [&hidden](int i) { return !hidden.contains(i); });
    EXPECT_EQ(walk.run(0, 3), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(walk.run(3, 3), (std::vector<int>{3, 6, 7}));
    EXPECT_EQ(walk.run(7, 3), (std::vector<int>{7})) << "fewer at the end of the list";
    EXPECT_EQ(walk.step(1, 1), 3) << "over the reference";
    EXPECT_EQ(walk.step(3, 1), 6) << "over the hidden ones";
    EXPECT_EQ(walk.step(6, -2), 1);
    EXPECT_EQ(walk.step(7, 5), 7) << "stops at the end";
    EXPECT_EQ(walk.step(0, -1), 0) << "stops at the start";
    EXPECT_EQ(walk.firstEligible(), 0);
    EXPECT_EQ(walk.lastEligible(), 7);
    EXPECT_EQ(CompareWalk(1, 0).firstEligible(), -1) << "a single photo has no candidate";
}

} // namespace
} // namespace marquelo
