#include "ui/viewer/InfoLabels.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QWidget>

namespace marquelo {
namespace {

TEST(InfoLabels, AFolderOfThousandsIsCountedWithoutCuttingADigit)
{
    QWidget window;
    window.resize(640, 480);
    InfoLabels labels(&window);
    auto* info = window.findChild<QLabel*>(QStringLiteral("info"));
    auto* name = window.findChild<QLabel*>(QStringLiteral("fileName"));
    ASSERT_TRUE(info && name);

    labels.show(3, 17, QStringLiteral("a.jpg"));
    const QRect usual = info->geometry();
    const int usualNameX = name->x();

    labels.show(12345, 67890, QStringLiteral("a.jpg"));
    EXPECT_EQ(info->text(), QStringLiteral("12345/67890"));
    EXPECT_GT(info->width(), info->fontMetrics().horizontalAdvance(info->text()));
    EXPECT_LT(info->geometry().right(), name->x()) << "the file name moved along, not covered";

    labels.show(4, 17, QStringLiteral("a.jpg"));
    EXPECT_EQ(info->geometry(), usual) << "back to its place for a small folder";
    EXPECT_EQ(name->x(), usualNameX);
}

} // namespace
} // namespace marquelo
