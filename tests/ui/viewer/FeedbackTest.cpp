// What the window tells the user without getting in the way: fading notices, the start-up hint about
// the key help, full screen on F11, and Delete into the trash with Ctrl+Z to take it back.
#include "ViewerFixture.h"

#include "core/viewer/PictureCache.h"
#include "ui/viewer/NoticeOverlay.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QToolButton>

namespace marquelo::test {
namespace {

using Answer = UserInterface::Answer;

QLabel* label(QWidget* window, const char* name)
{
    return window->findChild<QLabel*>(QLatin1String(name));
}

TEST_F(ViewerFixture, NoticeFadesAndNeverTakesTheFocusOrAKey)
{
    makePhotos(3);
    open(0);
    QApplication::setActiveWindow(window.get());
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);

    window->showNotice(QStringLiteral("Added to favorites: a.jpg"));
    QLabel* notice = label(window.get(), "notice");
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), QStringLiteral("Added to favorites: a.jpg"));
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Keys go on working while it is shown.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(images.currentIndex(), 1);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->geometry().bottom() < window->height());

    // Timers this long are coarse (up to 5 % late), and a loaded machine adds more.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !notice->isVisible(); }, 2 * (NoticeOverlay::kShownMs + NoticeOverlay::kFadeMs)));
    EXPECT_EQ(QApplication::focusWidget(), focused);
}

TEST_F(ViewerFixture, KeyHintShowsUntilTheHelpWasOpened)
{
    makePhotos(2);
    open(0);
    window->showKeyHint();
    QLabel* info = label(window.get(), "info");
    EXPECT_EQ(info->text(), QStringLiteral("Press ? for keys"));
    EXPECT_GE(info->width(), info->fontMetrics().horizontalAdvance(info->text()));
    // Stepping meanwhile does not cut the hint short, and the position is back afterwards.
    window->runCommand(Command::Next);
    EXPECT_EQ(info->text(), QStringLiteral("Press ? for keys"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return info->text() == QStringLiteral("2/2"); }, 2 * ViewerWindow::kKeyHintMs));
    EXPECT_EQ(info->text(), QStringLiteral("2/2"));
    EXPECT_LT(info->geometry().right(), label(window.get(), "fileName")->x());

    config.KeyHelpSeen = true;
    window->showKeyHint();
    EXPECT_EQ(info->text(), QStringLiteral("2/2"));
}

TEST_F(ViewerFixture, F11TogglesFullScreen)
{
    makePhotos(1);
    open(0);
    ASSERT_FALSE(window->isFullScreen());
    QTest::keyClick(window.get(), Qt::Key_F11);
    EXPECT_TRUE(window->windowState() & Qt::WindowFullScreen);
    QTest::keyClick(window.get(), Qt::Key_F11);
    EXPECT_FALSE(window->windowState() & Qt::WindowFullScreen);
}

TEST_F(ViewerFixture, DeleteGoesToTheTrashAndCtrlZPutsItBackInItsPlace)
{
    makePhotos(3);
    open(1);
    ui.answers = {Answer::Yes};
    QTest::keyClick(window.get(), Qt::Key_Delete);
    EXPECT_EQ(ui.questions.at(0), "Ok to delete 'b.jpg'?");
    EXPECT_FALSE(QFile::exists(path("b.jpg")));
    EXPECT_EQ(images.count(), 2);

    window->runCommand(Command::Next);
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(path("b.jpg")));
    EXPECT_EQ(images.count(), 3);
    EXPECT_EQ(images.currentIndex(), 1);
    EXPECT_EQ(images.currentName(), "b.jpg");
    EXPECT_TRUE(near(centre(), Qt::green));
    EXPECT_TRUE(ui.messages.empty());
    // Nothing more to take back.
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(images.count(), 3);
}

TEST_F(ViewerFixture, CtrlZBringsBackADeletedEditedCopyAndAnOriginal)
{
    makePhotos(2);
    writePhoto(path("a_edit.jpg"), QSize(160, 120), Qt::white);
    open(0);
    ASSERT_EQ(images.current().shown, kEdited);

    // The edited copy, then the original that then stood alone.
    ui.answers = {Answer::Yes, Answer::Yes};
    window->runCommand(Command::Delete);
    window->runCommand(Command::Delete);
    EXPECT_FALSE(QFile::exists(path("a_edit.jpg")));
    EXPECT_FALSE(QFile::exists(path("a.jpg")));
    EXPECT_EQ(images.count(), 1);

    window->runCommand(Command::UndoDelete);
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(images.currentName(), "a.jpg");
    EXPECT_FALSE(images.current().hasEdited);

    window->runCommand(Command::UndoDelete);
    EXPECT_TRUE(QFile::exists(path("a_edit.jpg")));
    EXPECT_TRUE(images.current().hasEdited);
    EXPECT_EQ(images.current().shown, kEdited);
    EXPECT_EQ(images.currentName(), "a_edit.jpg");
    EXPECT_TRUE(window->toolbarButton(Command::Swap)->isEnabled());
    EXPECT_TRUE(near(centre(), Qt::white));
}

} // namespace
} // namespace marquelo::test
