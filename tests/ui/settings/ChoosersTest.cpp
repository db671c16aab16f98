// The common choosers: the initial value, Cancel changing nothing, existing files only, colours.
#include "ui/settings/Choosers.h"
#include "ModalDriver.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace marquelo {
namespace {

using test::whenModal;

QLineEdit* fileNameEdit(QWidget* modal)
{
    return modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// In the folder chooser Enter on a typed path goes there, and the next Enter (in the list, nothing
// selected) chooses it.
void typeFolderAndChoose(QWidget* modal, const QString& path)
{
    auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("pathEdit"));
    edit->setText(path);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(modal->findChild<QListWidget*>(QStringLiteral("folderList")), Qt::Key_Return);
}

TEST(ChoosersTest, ApplicationChooserOpensOnTheFieldAndCancelKeepsIt)
{
    QString seen, title;
    QStringList filters;
    whenModal([&](QWidget* modal) {
        title = modal->windowTitle();
        filters = static_cast<QFileDialog*>(modal)->nameFilters();
        seen = fileNameEdit(modal)->text();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QString target = QStringLiteral("mspaint");
    EXPECT_FALSE(browseForApplication(nullptr, QStringLiteral("Image editor"), target));
    EXPECT_EQ(target, QStringLiteral("mspaint"));
    EXPECT_EQ(seen, QStringLiteral("mspaint"));
    EXPECT_EQ(title, QStringLiteral("Image editor"));
    ASSERT_EQ(filters.size(), 2);
    EXPECT_TRUE(filters[0].startsWith(QStringLiteral("Application (executable files)")));
    EXPECT_EQ(filters[1], QStringLiteral("All Files (*)"));
}

TEST(ChoosersTest, TypedExistingFileBecomesTheFullPath)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Holiday 1.JPG"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    whenModal([&](QWidget* modal) {
        fileNameEdit(modal)->setText(path);
        QTest::keyClick(fileNameEdit(modal), Qt::Key_Return);
    });
    QString target = QStringLiteral("old.jpg");
    EXPECT_TRUE(browseForImage(nullptr, QStringLiteral("Background image"), target));
    EXPECT_EQ(target, path);
}

TEST(ChoosersTest, ImageFilterKeepsItsText)
{
    QStringList filters;
    whenModal([&](QWidget* modal) {
        filters = static_cast<QFileDialog*>(modal)->nameFilters();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QString target;
    browseForImage(nullptr, QStringLiteral("x"), target);
    EXPECT_EQ(filters,
              (QStringList{QStringLiteral("Image Files (*.jpg *.jpeg *.gif)"), QStringLiteral("All Files (*)")}));
}

TEST(ChoosersTest, FieldOverloadsReadTheFieldFirstAndKeepItOnCancel)
{
    QLineEdit field;
    field.setText(QStringLiteral("/typed/but/not/saved"));
    QString seen;
    whenModal([&](QWidget* modal) {
        seen = fileNameEdit(modal)->text();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    EXPECT_FALSE(browseForImage(nullptr, QStringLiteral("Background image"), &field));
    EXPECT_EQ(seen, QStringLiteral("saved")); // the folder does not exist: the name alone
    EXPECT_EQ(field.text(), QStringLiteral("/typed/but/not/saved"));

    whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_FALSE(browseForFolder(nullptr, QStringLiteral("Output folder"), &field));
    EXPECT_EQ(field.text(), QStringLiteral("/typed/but/not/saved"));
}

TEST(ChoosersTest, FolderChooserTakesATypedPath)
{
    QTemporaryDir dir;
    QLineEdit field(QStringLiteral("/somewhere"));
    whenModal([&](QWidget* modal) { typeFolderAndChoose(modal, dir.path()); });
    EXPECT_TRUE(browseForFolder(nullptr, QStringLiteral("Select image directory"), &field));
    EXPECT_EQ(field.text(), dir.path());
}

TEST(ChoosersTest, StartFolderChooserGivesTheFoldersOwnBytes)
{
    QTemporaryDir dir;
    const std::string odd = dir.path().toStdString() + "/Reise \xC4rger";
    std::filesystem::create_directories(odd);
    // Shown as "Reise \uFFFDrger" (a file manager or a terminal does the same): typed or pasted so,
    // the text is mapped back to the name on disk.
    const QString shown = QFile::decodeName(QByteArray::fromStdString(odd));
    whenModal([&](QWidget* modal) {
        typeFolderAndChoose(modal, shown);
        // Whatever happened, never leave the test hanging on an open window.
        QTimer::singleShot(3000, modal, [modal] {
            if (QWidget* open = QApplication::activeModalWidget(); open && open != modal)
                open->close();
            modal->close();
        });
    });
    std::string chosen;
    EXPECT_TRUE(browseForFolderOnDisk(nullptr, QStringLiteral("Select image directory"), chosen));
    EXPECT_EQ(chosen, odd);
    std::filesystem::remove_all(odd); // QTemporaryDir removes by text, which misses this name
}

TEST(ChoosersTest, NothingIsRememberedBetweenRuns)
{
    keepChoosersFromRemembering(); // as the program does before its first chooser
    const QString memory =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/QtProject.conf");
    QFile::remove(memory);

    // A chooser leaves nothing behind ...
    QTemporaryDir dir;
    whenModal([&](QWidget* modal) { typeFolderAndChoose(modal, dir.path()); });
    QString chosen;
    ASSERT_TRUE(browseForFolder(nullptr, QStringLiteral("Select image directory"), chosen));
    EXPECT_FALSE(QFile::exists(memory)) << "the last folder must not reach the next run";

    // ... and what another run (or another program) left is not read: the dialogs read their folder,
    // history and custom colours through this very store.
    QDir().mkpath(QFileInfo(memory).absolutePath());
    QFile f(memory);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[FileDialog]\nlastVisited=file:///srv/elsewhere\n[Qt]\ncustomColors\\0=4278190335\n");
    f.close();
    const QSettings dialogs(QSettings::UserScope, QStringLiteral("QtProject"));
    EXPECT_FALSE(dialogs.contains(QStringLiteral("FileDialog/lastVisited")));
    EXPECT_FALSE(dialogs.contains(QStringLiteral("Qt/customColors/0")));
    EXPECT_FALSE(dialogs.isWritable());
    QFile::remove(memory);
}

struct ColourCase {
    ColourRef start;
    bool preselected;
};
class PickColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(PickColourTest, BlackIsNotPreselectedAndOkReturnsTheDialogsColour)
{
    QColor shown;
    whenModal([&](QWidget* modal) {
        shown = static_cast<QColorDialog*>(modal)->currentColor();
        QTest::keyClick(modal, Qt::Key_Return);
    });
    ColourRef colour = GetParam().start;
    EXPECT_TRUE(pickColour(nullptr, colour));
    const ColourRef shownRef = makeColour(shown.red(), shown.green(), shown.blue());
    EXPECT_EQ(shownRef == GetParam().start, GetParam().preselected);
    EXPECT_EQ(colour, shownRef);
}

INSTANTIATE_TEST_SUITE_P(Rows, PickColourTest,
                         ::testing::Values(ColourCase{0, false}, ColourCase{makeColour(212, 208, 196), true},
                                           ColourCase{makeColour(0, 0, 1), true}));

TEST(PickColourCancelTest, CancelKeepsTheColour)
{
    whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    ColourRef colour = makeColour(1, 2, 3);
    EXPECT_FALSE(pickColour(nullptr, colour));
    EXPECT_EQ(colour, makeColour(1, 2, 3));
}

} // namespace
} // namespace marquelo
