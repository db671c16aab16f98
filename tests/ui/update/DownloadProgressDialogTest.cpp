// The progress window: its caption, range, position and every way it can end.
#include "ui/update/DownloadProgressDialog.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace marquelo {
namespace {

const std::string kFormat = "Downloading %d/%d bytes...";

TEST(DownloadProgressDialogTest, CaptionStartsAtZeroOfHundredThenCountsTheBytes)
{
    DownloadProgressDialog dialog;
    dialog.start(kFormat, 0, 300000);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Downloading 0/100 bytes..."));
    EXPECT_EQ(dialog.progressBar()->minimum(), 0);
    EXPECT_EQ(dialog.progressBar()->maximum(), 300000);

    dialog.setPosition(1024);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Downloading 1024/300000 bytes..."));
    EXPECT_EQ(dialog.progressBar()->value(), 1024);
    EXPECT_FALSE(dialog.closed());

    dialog.closeWindow();
    EXPECT_TRUE(dialog.closed());
    EXPECT_FALSE(dialog.isVisible());
}

TEST(DownloadProgressDialogTest, LengthsBeyondIntStillFillTheBar)
{
    DownloadProgressDialog dialog;
    const std::int64_t total = 4000000000LL;
    dialog.start(kFormat, 0, total);
    dialog.setPosition(total);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Downloading 4000000000/4000000000 bytes..."));
    EXPECT_EQ(dialog.progressBar()->value(), dialog.progressBar()->maximum());
    dialog.closeWindow();
}

enum class Ending { CancelButton, Escape, CloseBox };

class ProgressBarEndingTest : public ::testing::TestWithParam<Ending> {};

// However the user ends the window, the download learns it through closed() and later positions are ignored.
TEST_P(ProgressBarEndingTest, EveryEndingSetsTheClosedFlag)
{
    DownloadProgressDialog dialog;
    dialog.start(kFormat, 0, 50000);
    dialog.setPosition(2048);
    switch (GetParam()) {
    case Ending::CancelButton:
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        break;
    case Ending::Escape: QTest::keyClick(&dialog, Qt::Key_Escape); break;
    case Ending::CloseBox: static_cast<QWidget&>(dialog).close(); break;
    }
    EXPECT_TRUE(dialog.closed());
    dialog.setPosition(4096);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Downloading 2048/50000 bytes..."));
    dialog.closeWindow();
    EXPECT_TRUE(dialog.closed());
}

INSTANTIATE_TEST_SUITE_P(Endings, ProgressBarEndingTest,
                         ::testing::Values(Ending::CancelButton, Ending::Escape, Ending::CloseBox));

struct CaptionCase {
    const char* format;
    const char* caption;
};

class FillCaptionTest : public ::testing::TestWithParam<CaptionCase> {};

// Only %d is filled, twice at most; a format can never read arguments it was not given.
TEST_P(FillCaptionTest, FillsTwoNumbers)
{
    EXPECT_EQ(DownloadProgressDialog::fillCaption(QString::fromUtf8(GetParam().format), 5, 10),
              QString::fromUtf8(GetParam().caption));
}

INSTANTIATE_TEST_SUITE_P(Rows, FillCaptionTest,
                         ::testing::Values(CaptionCase{"Downloading %d/%d bytes...", "Downloading 5/10 bytes..."},
                                           CaptionCase{"%d of %d, %d", "5 of 10, %d"},
                                           CaptionCase{"%s %n %d%", "%s %n 5%"}));

} // namespace
} // namespace marquelo
