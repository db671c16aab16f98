// The cull's settings on the Misc page: how a new sidecar is named, what Delete does to a RAW+JPEG
// pair, and the four send-to folders.
#include "PreferencesDialogFixture.h"

#include <QRadioButton>

namespace marquelo::test {
namespace {

using CullPreferences = PreferencesDialogFixture;

TEST_F(CullPreferences, ChoicesAndFoldersReachTheSettingsOnlyWithOk)
{
    config.SidecarNaming = 0;
    config.PairDelete = 0;
    config.SendTo2Directory = "/photos/keep";
    open();
    EXPECT_TRUE(control<QRadioButton>("SidecarNaming0")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("PairDelete0")->isChecked());
    EXPECT_EQ(control("SendTo2Directory")->text(), "/photos/keep");

    control<QRadioButton>("SidecarNaming1")->setChecked(true);
    control<QRadioButton>("PairDelete1")->setChecked(true);
    setText("SendTo1Directory", "/photos/best");
    dlg->accept();
    EXPECT_EQ(config.SidecarNaming, 1);
    EXPECT_EQ(config.PairDelete, 1);
    EXPECT_EQ(config.SendTo1Directory, "/photos/best");
    EXPECT_EQ(config.SendTo2Directory, "/photos/keep");
}

} // namespace
} // namespace marquelo::test
