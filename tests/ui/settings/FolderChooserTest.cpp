// The folder chooser driven as a person would, on a folder whose name is not UTF-8 among others.
#include "ModalDriver.h"
#include "ui/settings/Choosers.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

namespace fs = std::filesystem;

namespace marquelo {
namespace {

QListWidget* list(QWidget* modal)
{
    return modal->findChild<QListWidget*>(QStringLiteral("folderList"));
}
QLineEdit* pathEdit(QWidget* modal)
{
    return modal->findChild<QLineEdit*>(QStringLiteral("pathEdit"));
}
QString message(QWidget* modal)
{
    const auto* label = modal->findChild<QLabel*>(QStringLiteral("folderMessage"));
    return label->isVisible() ? label->text() : QString();
}
QStringList entries(QWidget* modal)
{
    QStringList texts;
    for (int i = 0; i < list(modal)->count(); ++i)
        texts << list(modal)->item(i)->text();
    return texts;
}
void clickEntry(QWidget* modal, const QString& text, bool twice = false)
{
    const QList<QListWidgetItem*> found = list(modal)->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    const QPoint at = list(modal)->visualItemRect(found.first()).center();
    QTest::mouseClick(list(modal)->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list(modal)->viewport(), Qt::LeftButton, {}, at);
}
void click(QWidget* modal, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(modal->findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
}

class FolderChooserTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    std::string root = tmp.path().toStdString();
    std::string odd = root + "/caf\xE9"; // Latin-1: not UTF-8
    QString oddShown = QStringLiteral("caf\uFFFD");

    void SetUp() override
    {
        for (const std::string& dir : {odd + "/inner", root + "/Apples", root + "/zoo", root + "/.cache"})
            fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(root); } // QTemporaryDir removes by text, which misses odd

    // Acts on the chooser once it is open; closes it if the action left it open, so that a fault fails
    // the test instead of hanging it.
    static void onChooser(std::function<void(QWidget*)> action)
    {
        test::whenModal([action](QWidget* modal) {
            action(modal);
            if (modal->isVisible())
                static_cast<QDialog*>(modal)->reject();
        });
    }
    // The start-up's chooser opening on start: the folder chosen, or nothing.
    std::optional<std::string> chosenFrom(const std::string& start)
    {
        std::string target = start;
        if (browseForFolderOnDisk(nullptr, QStringLiteral("Select image directory"), target))
            return target;
        EXPECT_EQ(target, start) << "a cancelled chooser changes nothing";
        return std::nullopt;
    }
};

TEST_F(FolderChooserTest, MouseReachesAndChoosesAFolderWhoseNameIsNotUtf8)
{
    QStringList listed;
    QString title;
    onChooser([&](QWidget* modal) {
        title = modal->windowTitle() + u' ' + modal->objectName();
        listed = entries(modal);
        clickEntry(modal, oddShown);
        click(modal, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(chosenFrom(root), odd);
    EXPECT_EQ(listed, (QStringList{QStringLiteral("Apples"), oddShown, QStringLiteral("zoo")}));
    EXPECT_EQ(title, QStringLiteral("Select image directory MarqueloFolderChooser"));

    // A double-click goes in; OK with nothing selected takes the folder shown.
    QString path;
    onChooser([&](QWidget* modal) {
        clickEntry(modal, oddShown, true);
        path = pathEdit(modal)->text();
        listed = entries(modal);
        click(modal, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(chosenFrom(root), odd);
    EXPECT_EQ(path, tmp.path() + u'/' + oddShown);
    EXPECT_EQ(listed, QStringList{QStringLiteral("inner")});
}

TEST_F(FolderChooserTest, KeyboardReachesAndChoosesIt)
{
    bool startsInList = false;
    QStringList inside;
    onChooser([&](QWidget* modal) {
        startsInList = modal->focusWidget() == list(modal);
        QTest::keyClick(list(modal), Qt::Key_Down); // the first entry, not the second
        QTest::keyClick(list(modal), Qt::Key_Down);
        QTest::keyClick(list(modal), Qt::Key_Return); // in, not OK
        inside = entries(modal);
        QTest::keyClick(list(modal), Qt::Key_Return); // nothing selected: OK
    });
    EXPECT_EQ(chosenFrom(root), odd);
    EXPECT_TRUE(startsInList);
    EXPECT_EQ(inside, QStringList{QStringLiteral("inner")});
}

TEST_F(FolderChooserTest, TypedPathAndUp)
{
    QStringList listed;
    QString afterUp, refused;
    bool inList = false, selected = true;
    onChooser([&](QWidget* modal) {
        pathEdit(modal)->setText(tmp.path() + u'/' + oddShown);
        QTest::keyClick(pathEdit(modal), Qt::Key_Return);
        listed = entries(modal);
        inList = modal->focusWidget() == list(modal);
        QTest::keyClick(list(modal), Qt::Key_Backspace); // Up: the folder left has the focus frame
        afterUp = pathEdit(modal)->text() + u' ' + list(modal)->currentItem()->text();
        selected = !list(modal)->selectedItems().isEmpty();
        pathEdit(modal)->setText(QStringLiteral("no such folder"));
        QTest::keyClick(pathEdit(modal), Qt::Key_Return);
        refused = message(modal);
        pathEdit(modal)->setText(tmp.path());
        click(modal, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(chosenFrom({}), root);
    EXPECT_EQ(listed, QStringList{QStringLiteral("inner")});
    EXPECT_TRUE(inList);
    EXPECT_EQ(afterUp, tmp.path() + u' ' + oddShown);
    EXPECT_FALSE(selected) << "after Up, OK still means the folder shown";
    EXPECT_TRUE(refused.contains(QStringLiteral("no such folder"))) << refused.toStdString();

    // OK right after typing takes the typed folder, not the entry selected.
    onChooser([&](QWidget* modal) {
        clickEntry(modal, QStringLiteral("zoo"));
        pathEdit(modal)->setText(oddShown + QStringLiteral("/inner"));
        click(modal, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(chosenFrom(root), odd + "/inner");
}

TEST_F(FolderChooserTest, CancelChoosesNothing)
{
    onChooser([&](QWidget* modal) {
        clickEntry(modal, oddShown);
        click(modal, QDialogButtonBox::Cancel);
    });
    EXPECT_EQ(chosenFrom(root), std::nullopt);
}

TEST_F(FolderChooserTest, AFolderThatCannotBeReadSaysSoInTheDialog)
{
    // A folder gone between listing and opening fails to read as a shut one does (the tests may run as
    // root, for whom no permission bit shuts a folder).
    QString unreadable, gone, afterUp;
    onChooser([&](QWidget* modal) {
        fs::remove(root + "/zoo");
        clickEntry(modal, QStringLiteral("zoo"), true);
        unreadable = message(modal);
        click(modal, QDialogButtonBox::Ok);
        gone = message(modal);
        QTest::keyClick(list(modal), Qt::Key_Backspace);
        afterUp = message(modal);
    });
    EXPECT_EQ(chosenFrom(root), std::nullopt);
    EXPECT_EQ(unreadable,
              QStringLiteral("Cannot read the folder \u201c%1/zoo\u201d: No such file or directory.").arg(tmp.path()));
    EXPECT_FALSE(gone.isEmpty()) << "OK on a folder that is gone is refused, with a word why";
    EXPECT_TRUE(afterUp.isEmpty()) << afterUp.toStdString();
}

TEST_F(FolderChooserTest, TextFieldsListButRefuseANameThatIsNotUtf8)
{
    QString refused;
    onChooser([&](QWidget* modal) {
        clickEntry(modal, oddShown);
        click(modal, QDialogButtonBox::Ok);
        refused = message(modal);
        clickEntry(modal, QStringLiteral("Apples"));
        click(modal, QDialogButtonBox::Ok);
    });
    QString target = tmp.path();
    EXPECT_TRUE(browseForFolder(nullptr, QStringLiteral("Output folder"), target));
    EXPECT_EQ(target, tmp.path() + QStringLiteral("/Apples"));
    EXPECT_TRUE(refused.contains(QStringLiteral("UTF-8"))) << refused.toStdString();
}

} // namespace
} // namespace marquelo
