#pragma once
// Whether the start photo gets a plain X window of its own before Qt is ready, and how that window
// looks: the same title, state and background as the viewer window, so that the viewer window can
// take its place without anything on the screen moving. Decided without a display, so it is testable.

#include "core/settings/AppConfig.h"

#include <QRect>
#include <QSize>

#include <functional>
#include <optional>
#include <string>

namespace marquelo {

struct EarlyWindowPlan {
    // The viewer window starts full screen (no title bar) or maximized.
    bool fullScreen = false;
    ColourRef background = 0;
    std::string title;
    // WM_CLASS as Qt gives it to its windows: the instance and the class name.
    std::string instanceName;
    std::string className;
};

struct EarlyWindowChoice {
    std::optional<EarlyWindowPlan> plan;
    // Why there is no early window (for the log); empty with a plan.
    std::string reason;
};

// Why the early window cannot be had whatever the settings say (switched off, no start photo, not X);
// empty when it can. `env` reads a variable ("" when unset).
std::string earlyWindowRuledOut(bool startPicture, bool qtOptions, const std::function<std::string(const char*)>& env);

// `startPicture`: a start photo is being decoded. `qtOptions`: the command line carried Qt's own
// options (-platform, -display, ...). `config`: the stored settings, or nothing before the first run
// stored them. `env` reads a variable ("" when unset).
EarlyWindowChoice chooseEarlyWindow(bool startPicture, bool qtOptions, const AppConfig* config,
                                    const std::function<std::string(const char*)>& env);

// Where the viewer lays out the whole picture of `fullSize` in a window of `window` (device pixels):
// centred, shrunk to fit, never enlarged. Empty when nothing can be shown.
QRect earlyPictureRect(QSize window, QSize fullSize);

} // namespace marquelo
