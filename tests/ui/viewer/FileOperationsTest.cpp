// Delete, rename, drop and image information on the real window and its list.
#include "ViewerFixture.h"

#include "support/TestSupport.h"

#include "core/viewer/PictureCache.h"
#include "ui/viewer/FileOperations.h"
#include "ui/viewer/ImageInfoDialog.h"
#include "ui/viewer/RenameDialog.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace marquelo::test {
namespace {

using Answer = UserInterface::Answer;

// Runs `edit` on the next modal dialog as soon as it is open, then accepts it.
template <typename Dialog, typename Edit> void whenDialogOpens(Edit edit)
{
    QTimer::singleShot(0, [edit] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        edit(*dialog);
    });
}

TEST_F(ViewerFixture, DeletingTheShownEditedCopyLeavesTheOriginal)
{
    makePhotos(2);
    writePhoto(path("a_edit.jpg"), QSize(160, 120), Qt::white);
    open(0);
    ASSERT_EQ(images.current().shown, kEdited);
    ASSERT_TRUE(window->toolbarButton(Command::Swap)->isEnabled());
    ui.answers = {Answer::Yes};
    QTest::keyClick(window.get(), Qt::Key_Delete);
    EXPECT_EQ(ui.questions.at(0), "Ok to delete 'a_edit.jpg'?");
    EXPECT_FALSE(QFile::exists(path("a_edit.jpg")));
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    EXPECT_EQ(images.count(), 2);
    EXPECT_FALSE(images.current().hasEdited);
    EXPECT_EQ(images.currentName(), "a.jpg");
    EXPECT_FALSE(window->toolbarButton(Command::Swap)->isEnabled());
    EXPECT_TRUE(near(centre(), Qt::red));
}

TEST_F(ViewerFixture, DeletingTheShownOriginalKeepsTheEditedCopyAsTheEntry)
{
    makePhotos(2);
    writePhoto(path("a_edit.jpg"), QSize(160, 120), Qt::white);
    open(0);
    images.current().shown = kOriginal;
    window->showCurrent();
    ui.answers = {Answer::Yes};
    window->runCommand(Command::Delete);
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(images.currentName(), "a_edit.jpg");
    EXPECT_FALSE(images.current().hasEdited);
    EXPECT_TRUE(near(centre(), Qt::white));
}

TEST_F(ViewerFixture, DeletingTheLastOfThreeShowsTheNewLast)
{
    makePhotos(3);
    open(2);
    ui.answers = {Answer::Yes};
    window->toolbarButton(Command::Delete)->click();
    EXPECT_FALSE(QFile::exists(path("c.jpg")));
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(images.currentIndex(), 1);
    EXPECT_EQ(infoText(), QStringLiteral("2/2"));
    EXPECT_TRUE(near(centre(), Qt::green));
}

TEST_F(ViewerFixture, DeleteAnsweredNoOrOnAnEmptyListChangesNothing)
{
    makePhotos(2);
    open(0);
    ui.answers = {Answer::No};
    window->runCommand(Command::Delete);
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    EXPECT_EQ(images.count(), 2);

    ImageList empty;
    empty.assign(dir.path().toStdString(), {});
    EXPECT_FALSE(deleteCurrentImage(empty, window->cache(), ui));
    EXPECT_EQ(ui.questions.size(), 1u) << "nothing to ask about";
}

TEST_F(ViewerFixture, FailedDeleteIsReportedAndTheListMovesOn)
{
    makePhotos(3);
    open(1);
    QFile::remove(path("b.jpg"));
    ui.answers = {Answer::Yes};
    window->runCommand(Command::Delete);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Failed to delete '" + path("b.jpg").toStdString() + "'");
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(images.currentName(), "c.jpg");
}

TEST(RenameDialog, SplitsAtTheLastDotAndChecksLengths)
{
    ScriptedUserInterface ui;
    RenameDialog plain(QStringLiteral("DSC_1.backup.JPG"), ui, {});
    EXPECT_EQ(plain.baseName(), QStringLiteral("DSC_1.backup"));
    EXPECT_EQ(plain.extension(), QStringLiteral("JPG"));
    RenameDialog noDot(QStringLiteral("README"), ui, {});
    EXPECT_EQ(noDot.baseName(), QString());
    EXPECT_EQ(noDot.extension(), QStringLiteral("README"));

    struct Row {
        int base;
        int extension;
        const char* refusal;
    };
    for (const Row& r : {Row{200, 61, "Filename too long."}, Row{200, 60, ""},
                         Row{241, 3, "Please enter no more than 240 characters."},
                         Row{10, 65, "Please enter no more than 64 characters."}}) {
        EXPECT_EQ(RenameDialog::checkLimits(QString(r.base, QLatin1Char('b')), QString(r.extension, QLatin1Char('e'))),
                  QLatin1String(r.refusal))
            << r.base << "+" << r.extension;
    }
}

TEST_F(ViewerFixture, RenameRefusesUnsafeNames)
{
    makePhotos(2);
    open(0);
    struct Row {
        const char* name;
        bool refused;
    };
    for (const Row& r : {Row{"b.jpg", true}, Row{"sub/x.jpg", true}, Row{"..", true}, Row{".", true},
                         Row{"a.jpg", false}, Row{"new name.jpg", false}}) {
        EXPECT_EQ(!renameRefusal(images, QString::fromUtf8(r.name)).isEmpty(), r.refused) << r.name;
    }
    EXPECT_FALSE(renameCurrentImage(images, window->cache(), ui, QStringLiteral("b.jpg")));
    EXPECT_EQ(ui.messages.back(), "A file named 'b.jpg' already exists.");
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    EXPECT_TRUE(near(QColor(QImage(path("b.jpg")).pixel(5, 5)), Qt::green)) << "b.jpg was not replaced";
}

TEST_F(ViewerFixture, RenameThroughTheDialogMovesTheFile)
{
    makePhotos(2);
    open(1);
    whenDialogOpens<RenameDialog>([](RenameDialog& d) {
        EXPECT_EQ(d.baseName(), QStringLiteral("b"));
        d.findChild<QLineEdit*>(QStringLiteral("base"))->setText(QStringLiteral("beach"));
        d.accept();
    });
    QTest::keyClick(window.get(), Qt::Key_F2);
    EXPECT_EQ(images.currentName(), "beach.jpg");
    EXPECT_TRUE(QFile::exists(path("beach.jpg")));
    EXPECT_FALSE(QFile::exists(path("b.jpg")));
    EXPECT_EQ(fileNameText(), QStringLiteral("beach.jpg"));
    EXPECT_TRUE(near(centre(), Qt::green));
}

TEST_F(ViewerFixture, RenameDialogStaysOpenOnARefusedName)
{
    makePhotos(2);
    open(1);
    whenDialogOpens<RenameDialog>([](RenameDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("base"))->setText(QStringLiteral("a"));
        d.accept(); // refused: a.jpg exists
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    window->runCommand(Command::Rename);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"A file named 'a.jpg' already exists."});
    EXPECT_EQ(images.currentName(), "b.jpg");
}

TEST_F(ViewerFixture, FailedMoveKeepsTheOldName)
{
    makePhotos(2);
    open(0);
    QFile::remove(path("a.jpg")); // gone behind the viewer's back
    EXPECT_FALSE(renameCurrentImage(images, window->cache(), ui, QStringLiteral("z.jpg")));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].rfind("Failed to rename 'a.jpg' to 'z.jpg'", 0), 0u) << ui.messages[0];
    EXPECT_EQ(images.currentName(), "a.jpg");
}

TEST_F(ViewerFixture, SteppingAndDeletingWhileLoadsRun)
{
    // Real camera photos take long enough to decode that read-ahead is still running at each key.
    MARQUELO_NEED_CORPUS();
    const QDir camera(QString::fromStdString(corpusDir()) + QStringLiteral("/camera"));
    const QStringList photos = camera.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name).mid(0, 8);
    ASSERT_EQ(photos.size(), 8);
    for (const QString& name : photos)
        ASSERT_TRUE(QFile::copy(camera.filePath(name), path(name)));
    config.CacheDepth = 2;
    open(0);
    for (int round = 0; round < 3; ++round) {
        for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_End, Qt::Key_Home})
            QTest::keyClick(window.get(), key);
        QTest::keyClick(window.get(), Qt::Key_PageDown);
        ui.answers = {Answer::Yes};
        QTest::keyClick(window.get(), Qt::Key_Delete);
        QApplication::processEvents();
    }
    EXPECT_EQ(images.count(), 5);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.jpg")}, QDir::Files).size(), 5);
    for (int i = 0; i < images.count(); ++i)
        EXPECT_TRUE(QFile::exists(path(QString::fromStdString(images.at(i).files[kOriginal].name))));
    EXPECT_EQ(infoText(), QStringLiteral("%1/5").arg(images.currentIndex() + 1));
    EXPECT_EQ(window->cache().shown().fullSize.isEmpty(), false) << "the current photo is shown";
}

void drop(QWidget* target, const QList<QUrl>& urls)
{
    // Through the window system's window, as a real drag arrives: enter first, then the drop.
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target->windowHandle(), &enter);
    QDropEvent event(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target->windowHandle(), &event);
}

TEST_F(ViewerFixture, DroppedFileSelectsTheListedNameWhateverItsFolder)
{
    makePhotos(3);
    writePhoto(path("b_edit.jpg"), QSize(160, 120), Qt::white);
    open(0);
    drop(window.get(), {QUrl::fromLocalFile(QStringLiteral("/elsewhere/c.jpg")),
                        QUrl::fromLocalFile(QStringLiteral("/elsewhere/a.jpg"))});
    EXPECT_EQ(images.currentIndex(), 2);
    drop(window.get(), {QUrl::fromLocalFile(QStringLiteral("/elsewhere/b.jpg"))});
    EXPECT_EQ(images.currentIndex(), 1);
    EXPECT_EQ(images.current().shown, kOriginal) << "the version that matched";
    EXPECT_TRUE(near(centre(), Qt::green));
    EXPECT_TRUE(ui.messages.empty());
    drop(window.get(), {QUrl::fromLocalFile(QStringLiteral("/elsewhere/C.JPG"))});
    EXPECT_EQ(ui.messages, std::vector<std::string>{"File not found in current directory"});
    EXPECT_EQ(images.currentIndex(), 1);
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
           Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, mods);
    QApplication::sendEvent(w, &event);
}

TEST_F(ViewerFixture, ImageInformationOfAZoomedPicture)
{
    writePhoto(path("wide.jpg"), QSize(400, 300), Qt::red, Qt::blue);
    open(0);
    // 400 x 300 fits 800 x 600 unchanged: destination 200,150 to 599,449. Drag over the left half.
    ASSERT_EQ(window->geometry().destination, (Rect{200, 150, 599, 449}));
    mouse(window.get(), QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseMove, {300, 300}, Qt::NoButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseMove, {399, 449}, Qt::NoButton, Qt::LeftButton);
    mouse(window.get(), QEvent::MouseButtonRelease, {399, 449}, Qt::LeftButton, Qt::NoButton);
    const ImageInfoTexts texts = imageInfoTexts(images, window->geometry());
    EXPECT_EQ(texts.size, QStringLiteral("200 x 300"));
    EXPECT_EQ(texts.title, QStringLiteral("wide.jpg"));
    EXPECT_EQ(texts.path, path("wide.jpg"));
    EXPECT_EQ(texts.fileSize, QStringLiteral("%1 bytes").arg(QFileInfo(path("wide.jpg")).size()));
    EXPECT_EQ(texts.edited, QStringLiteral("No"));
    EXPECT_TRUE(near(centre(), Qt::red)) << "only the left half is shown";

    bool opened = false;
    whenDialogOpens<ImageInfoDialog>([&](ImageInfoDialog& d) {
        opened = true;
        EXPECT_EQ(d.windowTitle(), QStringLiteral("wide.jpg"));
        EXPECT_EQ(d.texts().size, QStringLiteral("200 x 300"));
        d.accept();
    });
    QTest::keyClick(window.get(), Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(opened);
}

// What a camera wrote is shown as it stands: a "lens" that looks like markup must not pull a picture
// from the disk into the dialog.
TEST(ImageInfoDialog, ShowsCameraTextsAndNamesAsPlainText)
{
    ImageInfoTexts texts;
    texts.title = QStringLiteral("<b>x.jpg");
    texts.path = QStringLiteral("/p/<b>x.jpg");
    texts.size = QStringLiteral("<unknown>");
    texts.details.camera = QStringLiteral("<img src=x><h1>x</h1>");
    texts.details.lens = QStringLiteral("<i>50 mm</i>");
    ImageInfoDialog dialog(texts);
    for (const char* name : {"camera", "lens", "size"}) {
        auto* label = dialog.findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        // Rendered as markup, the text would shrink to a heading "x" and a broken picture.
        EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(label->text())) << name;
    }
}

TEST_F(ViewerFixture, MovieEntryHasNoSize)
{
    QFile movie(path("clip.avi"));
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.write("not a picture");
    movie.close();
    open(0);
    EXPECT_EQ(imageInfoTexts(images, window->geometry()).size, QStringLiteral("<unknown>"));
    EXPECT_EQ(imageInfoTexts(images, window->geometry()).fileSize, QStringLiteral("13 bytes"));
    EXPECT_FALSE(window->toolbarButton(Command::Edit)->isEnabled());
}

} // namespace
} // namespace marquelo::test
