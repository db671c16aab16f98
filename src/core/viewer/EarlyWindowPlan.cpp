#include "core/viewer/EarlyWindowPlan.h"

#include "core/viewer/Appearance.h"
#include "core/viewer/ViewGeometry.h"

#include <string_view>

namespace marquelo {

std::string earlyWindowRuledOut(bool startPicture, bool qtOptions, const std::function<std::string(const char*)>& env)
{
    if (const std::string off = env("MARQUELO_NO_EARLY_WINDOW"); !off.empty() && off != "0")
        return "switched off by MARQUELO_NO_EARLY_WINDOW";
    if (!startPicture)
        return "no start photo is being decoded";
    if (qtOptions)
        return "Qt's own options were given";
    // Only where Qt draws on the same X display: its default choice, or xcb by name. Qt prefers Wayland
    // in a Wayland session even when Xwayland offers a DISPLAY.
    const std::string platform = env("QT_QPA_PLATFORM");
    const bool xcbChosen = std::string_view(platform).starts_with("xcb");
    if (!platform.empty() && !xcbChosen)
        return "Qt draws through " + platform;
    if (!xcbChosen && (!env("WAYLAND_DISPLAY").empty() || env("XDG_SESSION_TYPE") == "wayland"))
        return "a Wayland session";
    if (env("DISPLAY").empty())
        return "no X display";
    return {};
}

EarlyWindowChoice chooseEarlyWindow(bool startPicture, bool qtOptions, const AppConfig* config,
                                    const std::function<std::string(const char*)>& env)
{
    const auto no = [](std::string reason) { return EarlyWindowChoice{std::nullopt, std::move(reason)}; };
    if (std::string reason = earlyWindowRuledOut(startPicture, qtOptions, env); !reason.empty())
        return no(std::move(reason));
    if (!config)
        return no("no stored settings yet");
    // An ordinary window goes where the window manager puts it, which is known only once it is there:
    // a second window would land elsewhere.
    if (!config->StartMaximized)
        return no("the window starts at the window manager's place");
    EarlyWindowPlan plan;
    plan.fullScreen = !config->FullScreenTitleBar;
    plan.background = viewerBackground(*config);
    plan.title = "Marquelo";
    return {plan, {}};
}

QRect earlyPictureRect(QSize window, QSize fullSize)
{
    ViewGeometry view;
    view.source = wholePicture(fullSize.width(), fullSize.height());
    if (fullSize.isEmpty() || !layoutPicture(view, window.width(), window.height(), false))
        return {};
    return view.destination.toQRect();
}

} // namespace marquelo
