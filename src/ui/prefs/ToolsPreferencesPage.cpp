#include "ui/prefs/ToolsPreferencesPage.h"

namespace marquelo {

ToolsPreferencesPage::ToolsPreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                                           QWidget* parent)
    : PreferencesPage(values, ui, services, parent)
{
    using C = AppConfig;
    addProgramRows({
        {QStringLiteral("Tool &1 Application"), "Tool1App", &C::Tool1App, QStringLiteral("Tool 1 Arguments"),
         "Tool1Arg", &C::Tool1Arg, QStringLiteral("&Hide"), "HideTool1App", &C::HideTool1App,
         QStringLiteral("Select user tool 1 application")},
        {QStringLiteral("Tool &2 Application"), "Tool2App", &C::Tool2App, QStringLiteral("Tool 2 Arguments"),
         "Tool2Arg", &C::Tool2Arg, QStringLiteral("H&ide"), "HideTool2App", &C::HideTool2App,
         QStringLiteral("Select user tool 2 application")},
        {QStringLiteral("Tool &3 Application"), "Tool3App", &C::Tool3App, QStringLiteral("Tool 3 Arguments"),
         "Tool3Arg", &C::Tool3Arg, QStringLiteral("Hi&de"), "HideTool3App", &C::HideTool3App,
         QStringLiteral("Select user tool 3 application")},
        {QStringLiteral("Tool &4 Application"), "Tool4App", &C::Tool4App, QStringLiteral("Tool 4 Arguments"),
         "Tool4Arg", &C::Tool4Arg, QStringLiteral("Hid&e"), "HideTool4App", &C::HideTool4App,
         QStringLiteral("Select user tool 4 application")},
    });
}

} // namespace marquelo
