#include "ui/prefs/RotateFlipPreferencesPage.h"

namespace marquelo {

RotateFlipPreferencesPage::RotateFlipPreferencesPage(AppConfig& values, UserInterface& ui,
                                                     const PreferencesServices& services, QWidget* parent)
    : PreferencesPage(values, ui, services, parent)
{
    using C = AppConfig;
    const QString rotating = QStringLiteral("Select image rotating application");
    addProgramRows({
        {QStringLiteral("Rotate &Left App"), "RotateLeftApp", &C::RotateLeftApp, QStringLiteral("Rotate Left Args"),
         "RotateLeftArg", &C::RotateLeftArg, QStringLiteral("&Hide"), "HideRotateLeftApp", &C::HideRotateLeftApp,
         rotating},
        {QStringLiteral("Rotate &Right App"), "RotateRightApp", &C::RotateRightApp, QStringLiteral("Rotate Right Args"),
         "RotateRightArg", &C::RotateRightArg, QStringLiteral("H&ide"), "HideRotateRightApp", &C::HideRotateRightApp,
         rotating},
        {QStringLiteral("&Flip Application"), "FlipApp", &C::FlipApp, QStringLiteral("Flip Arguments"), "FlipArg",
         &C::FlipArg, QStringLiteral("Hi&de"), "HideFlipApp", &C::HideFlipApp,
         QStringLiteral("Select image flipping application")},
        {QStringLiteral("&Mirror Application"), "MirrorApp", &C::MirrorApp, QStringLiteral("Mirror Arguments"),
         "MirrorArg", &C::MirrorArg, QStringLiteral("Hid&e"), "HideMirrorApp", &C::HideMirrorApp,
         QStringLiteral("Select image mirroring application")},
    });
}

} // namespace marquelo
