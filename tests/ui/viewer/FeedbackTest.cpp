// What the window tells the user without getting in the way: fading notices, the start-up hint about
// the key help, full screen on F11, and Delete into the trash with Ctrl+Z to take it back.
#include "ViewerFixture.h"

#include "core/viewer/PictureCache.h"
#include "ui/viewer/NoticeOverlay.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace marquelo::test {
namespace {

using Answer = UserInterface::Answer;

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value) : m_name(name), m_had(qEnvironmentVariableIsSet(name))
    {
        m_old = qgetenv(name);
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// A new account: a home of its own whose data folder (and so the trash) does not exist yet.
struct NewAccount {
    QTemporaryDir home;
    QString data = home.filePath(QStringLiteral("not/yet/share"));
    QString trash = data + QStringLiteral("/Trash");
    ScopedEnv homeVar{"HOME", home.path()};
    ScopedEnv dataVar{"XDG_DATA_HOME", data};
};

QStringList everythingIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

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

TEST_F(ViewerFixture, OnANewAccountDeleteAndCtrlZLeaveOnlyThePhotosInTheirFolder)
{
    NewAccount account;
    ASSERT_FALSE(QFileInfo::exists(account.data));
    makePhotos(3);
    open(1);
    ui.answers = {Answer::Yes};
    QTest::keyClick(window.get(), Qt::Key_Delete);
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("c.jpg")}));
    EXPECT_TRUE(QFileInfo::exists(account.trash + QStringLiteral("/files/b.jpg")));
    EXPECT_TRUE(QFileInfo::exists(account.trash + QStringLiteral("/info/b.jpg.trashinfo")));
    EXPECT_EQ(ui.questions.size(), 1u) << "no question about deleting for good";

    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(everythingIn(dir.path()),
              (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")}));
    EXPECT_EQ(images.currentName(), "b.jpg");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(everythingIn(account.trash + QStringLiteral("/info")).isEmpty());
}

TEST_F(ViewerFixture, ATrashThatCannotBeMadeAsksBeforeDeletingForGood)
{
    NewAccount account;
    // A file stands where the data folder would be made.
    ASSERT_TRUE(QDir().mkpath(account.home.filePath(QStringLiteral("not/yet"))));
    QFile blocker(account.data);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    makePhotos(2);
    open(0);
    ui.answers = {Answer::Yes}; // then the question's own default, No
    window->runCommand(Command::Delete);
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.questions[1].rfind("Cannot move to the trash: ", 0), 0u) << ui.questions[1];
    EXPECT_NE(ui.questions[1].find(account.data.toStdString()), std::string::npos) << ui.questions[1];
    EXPECT_TRUE(QString::fromStdString(ui.questions[1]).endsWith(QStringLiteral(". Delete for good?")));
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
    EXPECT_EQ(images.count(), 2);
}

TEST_F(ViewerFixture, CtrlZAfterTheTrashChangedLeavesAnotherFoldersFileInTheTrash)
{
    NewAccount account;
    makePhotos(2);
    open(0);
    ui.answers = {Answer::Yes};
    QTest::keyClick(window.get(), Qt::Key_Delete);
    const QString files = account.trash + QStringLiteral("/files/a.jpg");
    const QString note = account.trash + QStringLiteral("/info/a.jpg.trashinfo");
    ASSERT_TRUE(QFileInfo::exists(files));

    // The trash is emptied, then a file manager trashes another folder's a.jpg.
    ASSERT_TRUE(QFile::remove(files) && QFile::remove(note));
    writePhoto(files, QSize(16, 16), Qt::black);
    QFile info(note);
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("[Trash Info]\nPath=/elsewhere/a.jpg\nDeletionDate=2030-01-01T00:00:00\n");
    info.close();

    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(everythingIn(dir.path()), QStringList{QStringLiteral("b.jpg")});
    EXPECT_TRUE(QFileInfo::exists(files));
    EXPECT_EQ(images.count(), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              "Cannot put the file back: '" + path("a.jpg").toStdString() + "' is no longer in the trash");

    // The deletion is forgotten: another Ctrl+Z neither asks nor tells again.
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(everythingIn(dir.path()), QStringList{QStringLiteral("b.jpg")});
}

// A photo named like markup: the notice that it is back shows the name, not a heading and a picture.
TEST_F(ViewerFixture, NoticesShowFileNamesAsPlainText)
{
    NewAccount account;
    const QString name = QStringLiteral("<img src=x><h1>x<h1>.jpg");
    writePhoto(path(name), QSize(32, 32), Qt::red);
    makePhotos(1);
    open(0);
    ASSERT_EQ(images.currentName(), name.toStdString());
    ui.answers = {Answer::Yes};
    QTest::keyClick(window.get(), Qt::Key_Delete);
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QLabel* notice = label(window.get(), "notice");
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), QStringLiteral("Put back: ") + name);
    EXPECT_GE(notice->sizeHint().width(), notice->fontMetrics().horizontalAdvance(notice->text()));
}

} // namespace
} // namespace marquelo::test
