#include "core/viewer/ViewGeometry.h"

#include <gtest/gtest.h>

namespace marquelo {
namespace {

constexpr int kClientW = 1000;
constexpr int kClientH = 700;

ViewGeometry fitted(int pictureW, int pictureH)
{
    ViewGeometry view;
    view.source = wholePicture(pictureW, pictureH);
    layoutPicture(view, kClientW, kClientH, false);
    return view;
}

struct LayoutCase {
    const char* label;
    int pictureW, pictureH;
    bool enlarge;
    Rect destination;
};

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, FitsAndCentres)
{
    const LayoutCase& c = GetParam();
    ViewGeometry view;
    view.source = wholePicture(c.pictureW, c.pictureH);
    ASSERT_TRUE(layoutPicture(view, kClientW, kClientH, c.enlarge));
    EXPECT_EQ(view.destination, c.destination);
    EXPECT_EQ(view.fitted, c.destination);
}

INSTANTIATE_TEST_SUITE_P(Cases, Layout,
                         ::testing::Values(LayoutCase{"LargeLandscapeShrinks", 4000, 3000, false, {33, 0, 965, 699}},
                                           LayoutCase{"SmallKeepsItsSize", 200, 100, false, {400, 300, 599, 399}},
                                           LayoutCase{"TallShrinksByHeight", 3000, 4000, false, {237, 0, 761, 699}},
                                           LayoutCase{"WideShrinksTwice", 4000, 1000, false, {0, 225, 999, 474}},
                                           LayoutCase{"SmallEnlargedToWidth", 200, 100, true, {0, 100, 999, 599}},
                                           LayoutCase{"NarrowEnlargedToHeight", 100, 200, true, {325, 0, 674, 699}},
                                           LayoutCase{"ExactFitStays", 1000, 700, true, {0, 0, 999, 699}}),
                         [](const auto& row) { return std::string(row.param.label); });

TEST(ViewGeometry, NothingIsLaidOutWithoutAreas)
{
    ViewGeometry view;
    view.source = wholePicture(0, 0);
    EXPECT_EQ(view.source, (Rect{-1, -1, 0, 0}));
    view.source = wholePicture(50, 50);
    EXPECT_FALSE(layoutPicture(view, 1, kClientH, false));
    EXPECT_EQ(view.destination, Rect{});
}

// A picture one pixel wide or high is a picture: laid out, never left with the previous destination.
TEST(ViewGeometry, OnePixelPicturesAreLaidOutLikeAnyOther)
{
    struct Row {
        int width, height;
        Rect destination;
    };
    constexpr int midX = (kClientW - 1) / 2, midY = (kClientH - 1) / 2;
    for (const Row& r :
         {Row{1, 50, {midX, (kClientH - 50) / 2, midX, (kClientH - 50) / 2 + 49}},
          Row{50, 1, {(kClientW - 50) / 2, midY, (kClientW - 50) / 2 + 49, midY}}, Row{1, 1, {midX, midY, midX, midY}},
          // Shrunk to fit, it stays one pixel wide rather than vanishing.
          Row{1, 5000, {midX, 0, midX, kClientH - 1}}, Row{9000, 2, {0, midY, kClientW - 1, midY}}}) {
        ViewGeometry view;
        view.destination = Rect{10, 10, 400, 300}; // the photo shown before
        view.source = wholePicture(r.width, r.height);
        EXPECT_TRUE(layoutPicture(view, kClientW, kClientH, false)) << r.width << "x" << r.height;
        EXPECT_EQ(view.destination, r.destination) << r.width << "x" << r.height;
        EXPECT_EQ(view.fitted, view.destination);
    }
}

TEST(ViewGeometry, MarginsCoverTheClientOutsideTheDestination)
{
    const ViewGeometry view = fitted(4000, 3000);
    const auto margins = backgroundMargins(view.destination, kClientW, kClientH);
    EXPECT_EQ(margins[0], QRect(0, 0, 33, 700));
    EXPECT_TRUE(margins[1].isNull());
    EXPECT_EQ(margins[2], QRect(966, 0, 34, 700));
    EXPECT_TRUE(margins[3].isNull());
}

TEST(ViewGeometry, DraggingOverTheLeftHalfZoomsIntoIt)
{
    ViewGeometry view = fitted(4000, 3000);
    beginSelection(view, 0, -20); // clamped to the picture's top-left corner
    EXPECT_EQ(QPoint(view.startX, view.startY), QPoint(33, 0));
    ASSERT_TRUE(moveSelection(view, 499, 699, true));
    EXPECT_EQ(selectionRect(view), QRect(QPoint(33, 0), QPoint(499, 699)));
    ASSERT_TRUE(endSelection(view, 499, 900, kClientW, kClientH));
    EXPECT_EQ(QPoint(view.releaseX, view.releaseY), QPoint(499, 699));
    // s = 3999, d = 932: right = 467 * 3999 / 932 - 1; bottom = 700 * 3999 / 932 - 1 = 3002, kept inside the picture.
    EXPECT_EQ(view.source, (Rect{0, 0, 2002, 2999}));
    // Laid out enlarged: 2003 x 3000 only fits by height, 700 * 2003 / 3000 = 467 wide.
    EXPECT_EQ(view.destination, (Rect{266, 0, 732, 699}));
}

TEST(ViewGeometry, ShiftOrAnotherButtonEndsTheDragWithoutZoom)
{
    ViewGeometry view = fitted(4000, 3000);
    const Rect before = view.source;
    beginSelection(view, 100, 100);
    EXPECT_FALSE(moveSelection(view, 400, 400, false));
    EXPECT_FALSE(view.dragging);
    EXPECT_FALSE(endSelection(view, 400, 400, kClientW, kClientH));
    EXPECT_EQ(view.source, before);

    beginSelection(view, 100, 100);
    EXPECT_TRUE(cancelSelection(view));
    EXPECT_FALSE(cancelSelection(view)) << "a second Escape has no drag to cancel";
    EXPECT_EQ(view.source, before);
}

struct ZoomLimitCase {
    const char* label;
    int sourceW; // source picture width; laid out enlarged in 1000 x 700, destination 999 wide
    bool zooms;
};

class ZoomLimit : public ::testing::TestWithParam<ZoomLimitCase> {};

TEST_P(ZoomLimit, NoZoomStartsFromSixteenTimes)
{
    const ZoomLimitCase& c = GetParam();
    ViewGeometry view;
    view.source = wholePicture(c.sourceW, c.sourceW * 2 / 3);
    layoutPicture(view, kClientW, kClientH, true);
    ASSERT_EQ(view.destination.right - view.destination.left, 999);
    const Rect before = view.source;
    const Rect& d = view.destination;
    EXPECT_EQ(zoomToSelection(view, d.left, d.top, d.left + 500, d.top + 300, kClientW, kClientH), c.zooms);
    EXPECT_EQ(view.source != before, c.zooms);
}

// 999 * 100 / (w - 1) < 1600 holds up to w = 63 + 1.
INSTANTIATE_TEST_SUITE_P(Cases, ZoomLimit,
                         ::testing::Values(ZoomLimitCase{"BelowLimit", 64, true}, ZoomLimitCase{"AtLimit", 63, false},
                                           ZoomLimitCase{"FarBeyond", 20, false}),
                         [](const auto& row) { return std::string(row.param.label); });

TEST(ViewGeometry, SelectionsThatWouldDivideByZeroAreRefused)
{
    ViewGeometry view;
    view.source = Rect{5, 5, 5, 10}; // one pixel wide
    view.destination = Rect{0, 0, 100, 100};
    EXPECT_FALSE(zoomToSelection(view, 10, 10, 50, 50, kClientW, kClientH));
    EXPECT_EQ(view.source, (Rect{5, 5, 5, 10}));

    view.source = Rect{0, 0, 99, 99};
    view.destination = Rect{10, 0, 10, 100}; // one pixel wide
    EXPECT_FALSE(zoomToSelection(view, 10, 10, 20, 50, kClientW, kClientH));
    EXPECT_EQ(view.source, (Rect{0, 0, 99, 99}));

    // At 15 times, a drag two pixels wide maps onto less than one picture pixel.
    view.source = wholePicture(64, 42);
    layoutPicture(view, kClientW, kClientH, true);
    const Rect before = view.source;
    EXPECT_FALSE(zoomToSelection(view, 0, 100, 1, 400, kClientW, kClientH));
    EXPECT_EQ(view.source, before);
}

TEST(ViewGeometry, EnlargeStepsStopBeforeLeavingTheWindow)
{
    // Fitted 200 x 100: 3 pixels per side horizontally (199 * 2 %), 1 vertically (99 * 2 %).
    ViewGeometry view = fitted(200, 100);
    int steps = 0;
    while (enlargeStep(view, kClientW, kClientH))
        ++steps;
    // Width 199 + 6 k may not exceed 1000: k = 133.
    EXPECT_EQ(steps, 133);
    EXPECT_EQ(view.destination, (Rect{400 - 399, 300 - 133, 599 + 399, 399 + 133}));
    EXPECT_EQ(view.source, wholePicture(200, 100)) << "steps never change the crop";
}

TEST(ViewGeometry, EnlargeDoesNothingWhenTheFitAlreadyTouchesTheWindow)
{
    ViewGeometry view = fitted(4000, 3000);
    EXPECT_FALSE(enlargeStep(view, kClientW, kClientH));
    EXPECT_EQ(view.destination, (Rect{33, 0, 965, 699}));
}

TEST(ViewGeometry, ShrinkStepsTakeFourPercentOfTheCurrentSize)
{
    ViewGeometry view = fitted(4000, 3000);
    ASSERT_TRUE(shrinkStep(view));
    // 932 * 4 % = 37, 699 * 4 % = 27.
    EXPECT_EQ(view.destination, (Rect{70, 27, 928, 672}));
    int steps = 1;
    while (shrinkStep(view))
        ++steps;
    const Rect& d = view.destination;
    EXPECT_TRUE((d.right - d.left) * 400 / 10000 == 0 || (d.bottom - d.top) * 400 / 10000 == 0);
    EXPECT_GT(steps, 10);
    EXPECT_GT(d.right, d.left);
}

TEST(ViewGeometry, StepsWaitWhileDragging)
{
    ViewGeometry view = fitted(200, 100);
    beginSelection(view, 450, 350);
    EXPECT_FALSE(enlargeStep(view, kClientW, kClientH));
    EXPECT_FALSE(shrinkStep(view));
}

TEST(ViewGeometry, DecodedSourceScalesWithTheDecodedPicture)
{
    EXPECT_EQ(decodedSourceRect(Rect{0, 0, 1999, 2999}, QSize(4000, 3000), QSize(2000, 1500)),
              QRectF(0, 0, 1000, 1500));
    EXPECT_EQ(decodedSourceRect(Rect{400, 300, 799, 599}, QSize(4000, 3000), QSize(4000, 3000)),
              QRectF(400, 300, 400, 300));
    EXPECT_TRUE(decodedSourceRect(Rect{}, QSize(4000, 3000), QSize(2000, 1500)).isNull());
}

} // namespace
} // namespace marquelo
