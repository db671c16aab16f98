#include "ui/prefs/ProgramPreferencesPages.h"

namespace marquelo {

PreferencesPage* makeRotateFlipPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services)
{
    using C = AppConfig;
    const QString rotating = QStringLiteral("Select image rotating application");
    return new PreferencesPage(
        values, ui, services,
        {
            {QStringLiteral("Rotate &Left App"), "RotateLeftApp", &C::RotateLeftApp, QStringLiteral("Rotate Left Args"),
             "RotateLeftArg", &C::RotateLeftArg, QStringLiteral("&Hide"), "HideRotateLeftApp", &C::HideRotateLeftApp,
             rotating},
            {QStringLiteral("Rotate &Right App"), "RotateRightApp", &C::RotateRightApp,
             QStringLiteral("Rotate Right Args"), "RotateRightArg", &C::RotateRightArg, QStringLiteral("H&ide"),
             "HideRotateRightApp", &C::HideRotateRightApp, rotating},
            {QStringLiteral("&Flip Application"), "FlipApp", &C::FlipApp, QStringLiteral("Flip Arguments"), "FlipArg",
             &C::FlipArg, QStringLiteral("Hi&de"), "HideFlipApp", &C::HideFlipApp,
             QStringLiteral("Select image flipping application")},
            {QStringLiteral("&Mirror Application"), "MirrorApp", &C::MirrorApp, QStringLiteral("Mirror Arguments"),
             "MirrorArg", &C::MirrorArg, QStringLiteral("Hid&e"), "HideMirrorApp", &C::HideMirrorApp,
             QStringLiteral("Select image mirroring application")},
        });
}

PreferencesPage* makeToolsPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services)
{
    using C = AppConfig;
    return new PreferencesPage(
        values, ui, services,
        {
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
