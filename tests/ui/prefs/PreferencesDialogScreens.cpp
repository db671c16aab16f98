// Pictures of every page, for a person to look at: set MARQUELO_PREFS_SHOTS to a folder and run this
// test on a real display (xvfb-run). It also prints each page's keyboard order.
#include "PreferencesDialogFixture.h"

#include "ui/prefs/PreferencesPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTabBar>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace marquelo::test {
namespace {

using PreferencesDialogScreens = PreferencesDialogFixture;

QString describe(QWidget* w)
{
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    return w->objectName();
}

TEST_F(PreferencesDialogScreens, EveryPage)
{
    const char* folder = std::getenv("MARQUELO_PREFS_SHOTS");
    if (!folder)
        GTEST_SKIP() << "set MARQUELO_PREFS_SHOTS to a folder to take the pictures";
    config.ReadAhead = false;
    config.ImageEditApp = "gimp";
    config.Tool1App = "xdg-open";
    config.Tool1Arg = R"("%1/%2")";
    config.TemplateBegin1 = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n<head>";
    // Classic, then Modern (prefs-modern-pageN.png), which shows the legend only where it applies.
    for (const char* look : {"", "modern-"}) {
        config.Appearance = look[0] ? 1 : 0;
        open();
        for (int i = 0; i < PreferencesDialog::kPageCount; ++i) {
            dlg->tabBar()->setCurrentIndex(i);
            QApplication::processEvents();
            QTest::qWait(100);
            const QString file =
                QStringLiteral("%1/prefs-%2page%3.png").arg(QString::fromLocal8Bit(folder), QLatin1String(look)).arg(i);
            EXPECT_TRUE(dlg->grab().save(file));

            std::printf("page %d keyboard order:", i);
            QWidget* page = dlg->page(i);
            QWidget* w = page->nextInFocusChain();
            for (int guard = 0; guard < 200 && w != page; ++guard, w = w->nextInFocusChain()) {
                if (page->isAncestorOf(w) && w->isVisibleTo(page) && (w->focusPolicy() & Qt::TabFocus))
                    std::printf(" [%s]", qPrintable(describe(w)));
            }
            std::printf("\n");
        }
    }
}

} // namespace
} // namespace marquelo::test
