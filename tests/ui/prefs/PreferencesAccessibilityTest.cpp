// The preferences as a screen reader and a keyboard user find them: every control of every page named,
// the many "Browse..." and "Hide" controls told apart by their fields, and the pages walked both ways.
#include "PreferencesDialogFixture.h"

#include "support/AccessibleTree.h"
#include "ui/prefs/PreferencesPage.h"

#include <QApplication>
#include <QPushButton>
#include <QSet>
#include <QTabBar>
#include <QTest>

namespace marquelo::test {
namespace {

using PreferencesAccessibility = PreferencesDialogFixture;

TEST_F(PreferencesAccessibility, EveryPageHasNoUnnamedControlAndNoTwoAlike)
{
    open();
    for (int i = 0; i < PreferencesDialog::kPageCount; ++i) {
        dlg->findChild<QTabBar*>(QStringLiteral("PrefsTabs"))->setCurrentIndex(i);
        ASSERT_EQ(dlg->shownPage(), i);
        EXPECT_EQ(unnamedControls(dlg.get()), QStringList()) << "page " << i;

        // Buttons and boxes beside fields say which field they belong to.
        QSet<QString> names;
        walkAccessible(QAccessible::queryAccessibleInterface(dlg->page(i)), [&](QAccessibleInterface* iface) {
            if (iface->role() != QAccessible::PushButton && iface->role() != QAccessible::CheckBox)
                return;
            const QString name = iface->text(QAccessible::Name);
            EXPECT_FALSE(names.contains(name)) << "page " << i << ": two controls called " << name.toStdString();
            names.insert(name);
        });
    }
    const auto* browse = dlg->findChild<QPushButton*>(QStringLiteral("ImageEditAppBrowse"));
    ASSERT_NE(browse, nullptr);
    EXPECT_TRUE(browse->accessibleName().startsWith(QLatin1String("Browse for ")))
        << browse->accessibleName().toStdString();
    EXPECT_EQ(browse->text(), QStringLiteral("&Browse...")) << "the shown text stays";
}

TEST_F(PreferencesAccessibility, CtrlTabAndCtrlShiftTabWalkThePages)
{
    config.CurrentCfgTab = 2;
    open();
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    const auto target = [this]() -> QWidget* {
        QWidget* focused = QApplication::focusWidget();
        return focused ? focused : dlg.get();
    };
    QTest::keyClick(target(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(dlg->shownPage(), 3);
    // Shift turns Tab into Backtab on X11 and Wayland; both spellings go back a page.
    QTest::keyClick(target(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(dlg->shownPage(), 2);
    QTest::keyClick(target(), Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(dlg->shownPage(), 1);
    dlg->findChild<QTabBar*>(QStringLiteral("PrefsTabs"))->setCurrentIndex(0);
    QTest::keyClick(target(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(dlg->shownPage(), PreferencesDialog::kPageCount - 1) << "from the first page to the last";
}

} // namespace
} // namespace marquelo::test
