// The appearance beside the background colour on the General page, and the placeholder legend only
// where its placeholders are used when the look is Modern.
#include "PreferencesDialogFixture.h"

#include <QComboBox>
#include <QLabel>

namespace marquelo::test {
namespace {

using AppearancePreferences = PreferencesDialogFixture;

TEST_F(AppearancePreferences, ChoiceIsShownAndReachesTheSettingsOnOk)
{
    open();
    auto* choice = control<QComboBox>("Appearance");
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->currentText(), QStringLiteral("Classic"));
    choice->setCurrentIndex(1);
    EXPECT_EQ(config.Appearance, 0); // not before OK
    dlg->accept();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(config.Appearance, 1);

    open();
    EXPECT_EQ(control<QComboBox>("Appearance")->currentText(), QStringLiteral("Modern"));
    control<QComboBox>("Appearance")->setCurrentIndex(0);
    dlg->reject();
    EXPECT_EQ(config.Appearance, 1); // Cancel keeps it
}

TEST_F(AppearancePreferences, UnknownStoredNumberShowsAsClassic)
{
    config.Appearance = 9;
    open();
    EXPECT_EQ(control<QComboBox>("Appearance")->currentText(), QStringLiteral("Classic"));
}

TEST_F(AppearancePreferences, ModernShowsTheLegendOnlyUnderPagesWithPlaceholders)
{
    config.Appearance = 1;
    config.CurrentCfgTab = 0;
    open();
    auto* legend = control<QLabel>("PlaceholderLegend");
    ASSERT_NE(legend, nullptr);
    const std::pair<int, bool> pages[] = {{0, false}, {1, true}, {2, false}, {3, true}, {4, true}, {5, true}};
    for (const auto& [page, shown] : pages) {
        dlg->tabBar()->setCurrentIndex(page);
        EXPECT_EQ(legend->isVisible(), shown) << page;
    }
}

TEST_F(AppearancePreferences, ClassicKeepsTheLegendOnEveryPage)
{
    config.CurrentCfgTab = 0;
    open();
    auto* legend = control<QLabel>("PlaceholderLegend");
    ASSERT_NE(legend, nullptr);
    for (int page = 0; page < 6; ++page) {
        dlg->tabBar()->setCurrentIndex(page);
        EXPECT_TRUE(legend->isVisible()) << page;
    }
}

} // namespace
} // namespace marquelo::test
