#pragma once
// Leaving the viewer, by Escape or by the close box. The change check stops first, so no reload asks a
// question while the edited copies nobody kept are removed (asking once); a cancelled exit starts it
// again. Once confirmed, the exit is never asked for again: closing the window after Escape only closes.

#include <functional>

namespace marquelo {

struct AppConfig;
class ChangeCheck;
class ImageList;
class UserInterface;

class ViewerExit {
public:
    // `onConfirmed` runs once, when the user has confirmed leaving and the clean-up is done.
    ViewerExit(const ImageList& images, const AppConfig& config, UserInterface& ui, ChangeCheck& changeCheck,
               std::function<void()> onConfirmed);

    // True when the exit was confirmed now or before; false when the user cancelled it.
    bool confirm();
    bool confirmed() const { return m_confirmed; }

private:
    const ImageList& m_images;
    const AppConfig& m_config;
    UserInterface& m_ui;
    ChangeCheck& m_changeCheck;
    std::function<void()> m_onConfirmed;
    bool m_confirmed = false;
};

} // namespace marquelo
