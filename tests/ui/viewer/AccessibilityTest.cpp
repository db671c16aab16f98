// The viewer as a screen reader finds it: every control named, the window described by its photo, and
// the grid a list of named cells with the highlighted one focused.
#include "ViewerFixture.h"

#include "core/viewer/Toolbar.h"
#include "support/AccessibleTree.h"
#include "ui/viewer/RenameDialog.h"
#include "ui/viewer/ThumbnailGrid.h"

#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace marquelo::test {
namespace {

class ViewerAccessibility : public ViewerFixture {};

TEST_F(ViewerAccessibility, WindowToolbarAndCaptionBoxHaveNames)
{
    makePhotos(2);
    open(1);
    EXPECT_EQ(unnamedControls(window.get()), QStringList());
    EXPECT_EQ(window->accessibleDescription(), QStringLiteral("b.jpg"));

    // Each button is named by its action, without the keys of its tooltip.
    int buttons = 0;
    for (const ToolbarButton& row : kToolbar) {
        QToolButton* button = window->toolbarButton(row.command);
        ASSERT_NE(button, nullptr);
        const QString name = QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty()) << row.tooltip;
        EXPECT_FALSE(name.contains(QLatin1Char('('))) << name.toStdString();
        ++buttons;
    }
    EXPECT_EQ(buttons, kToolbarSize);
    EXPECT_EQ(window->toolbarButton(Command::Next)->accessibleName(), QStringLiteral("Next"));
    EXPECT_EQ(window->toolbarButton(Command::Help)->accessibleName(), QStringLiteral("Help"));

    QTest::keyClick(window.get(), Qt::Key_PageUp);
    EXPECT_EQ(window->accessibleDescription(), QStringLiteral("a.jpg")) << "follows the photo";

    window->startCaptionInput();
    auto* caption = window->findChild<QLineEdit*>(QStringLiteral("caption"));
    ASSERT_TRUE(caption && caption->isVisible());
    EXPECT_EQ(unnamedControls(window.get()), QStringList());
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(caption)->text(QAccessible::Name).isEmpty());
    window->endCaptionInput();
}

TEST_F(ViewerAccessibility, GridIsAListOfNamedCellsWithTheHighlightFocused)
{
    makePhotos(3);
    QFile movie(path(QStringLiteral("d.avi")));
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.close();
    open(1);
    ThumbnailGrid& grid = window->grid();
    QTest::keyClick(window.get(), Qt::Key_G);
    ASSERT_TRUE(grid.isVisible());

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_FALSE(list->text(QAccessible::Name).isEmpty());
    ASSERT_EQ(list->childCount(), 4);
    const QStringList names = {"a.jpg", "b.jpg", "c.jpg", "d.avi"};
    for (int i = 0; i < 4; ++i) {
        QAccessibleInterface* cell = list->child(i);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->role(), QAccessible::ListItem);
        EXPECT_EQ(cell->text(QAccessible::Name), names[i]);
        EXPECT_EQ(cell->parent(), list);
        EXPECT_EQ(list->indexOfChild(cell), i);
        EXPECT_EQ(list->child(i), cell) << "the same item each time it is asked for";
        EXPECT_EQ(cell->state().focused, i == 1) << i;
        EXPECT_EQ(cell->state().selected, i == 1) << i;
        EXPECT_TRUE(grid.rect().contains(grid.mapFromGlobal(cell->rect().center())));
    }
    EXPECT_EQ(list->child(3)->text(QAccessible::Description), QStringLiteral("movie"));
    EXPECT_EQ(list->focusChild(), list->child(1));
    EXPECT_EQ(list->childAt(list->child(2)->rect().center().x(), list->child(2)->rect().center().y()), list->child(2));
    EXPECT_EQ(unnamedControls(window.get()), QStringList());

    QTest::keyClick(window.get(), Qt::Key_Right);
    EXPECT_EQ(list->focusChild(), list->child(2));
    EXPECT_TRUE(list->child(2)->state().focused);
    EXPECT_FALSE(list->child(1)->state().focused);

    // A deleted photo takes its cell with it.
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("a.jpg"))));
    images.remove(0);
    grid.listChanged();
    EXPECT_EQ(list->childCount(), 3);
    EXPECT_EQ(list->child(0)->text(QAccessible::Name), QStringLiteral("b.jpg"));
}

TEST(RenameAccessibility, BothFieldsHaveNames)
{
    ScriptedUserInterface ui;
    RenameDialog dialog(QStringLiteral("DSC_1.JPG"), ui, {});
    EXPECT_EQ(unnamedControls(&dialog), QStringList());
    auto* base = dialog.findChild<QLineEdit*>(QStringLiteral("base"));
    auto* extension = dialog.findChild<QLineEdit*>(QStringLiteral("extension"));
    ASSERT_TRUE(base && extension);
    const QString baseName = QAccessible::queryAccessibleInterface(base)->text(QAccessible::Name);
    const QString extensionName = QAccessible::queryAccessibleInterface(extension)->text(QAccessible::Name);
    EXPECT_FALSE(baseName.isEmpty());
    EXPECT_FALSE(extensionName.isEmpty());
    EXPECT_NE(baseName, extensionName);
}

} // namespace
} // namespace marquelo::test
