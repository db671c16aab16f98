#pragma once
// The viewer window taking the early window's place: the early window stays on the screen until the
// viewer window has drawn the start photo in its own pixels, and the keys typed into it reach the
// viewer window in the order they were typed, before the keys the viewer window got itself later.

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace marquelo {

class EarlyWindow;
struct EarlyKey;
class ViewerWindow;

class EarlyHandOver : public QObject {
public:
    EarlyHandOver(std::shared_ptr<EarlyWindow> early, ViewerWindow& window);
    // Closes the early window if the viewer window never drew.
    ~EarlyHandOver() override;

    // Waits a bounded time for the early window to have the decoded picture on the screen: the viewer
    // window, mapped over it, shows what was there until it has painted.
    void waitForEarlyPicture();

    // True while the early window is still on the screen.
    bool pending() const { return m_early != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Delivers the early window's keys typed up to X time `until`.
    void deliver(std::uint32_t until = std::numeric_limits<std::uint32_t>::max());
    void finish();

    std::shared_ptr<EarlyWindow> m_early;
    ViewerWindow& m_window;
    QTimer m_poll;
    // Keys read from the early window but typed after a key the viewer window got itself.
    std::vector<EarlyKey> m_waiting;
};

} // namespace marquelo
