#pragma once
// The check every 250 ms whether the shown file changed on disk (an outside program turned, edited or
// replaced it); a change reloads the photo through `onChanged`.

#include <QTimer>

#include <functional>

namespace marquelo {

class PictureCache;

class ChangeCheck {
public:
    ChangeCheck(PictureCache& cache, std::function<void()> onChanged);
    ~ChangeCheck();

    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    // Tests drive the timer directly.
    QTimer& timer() { return m_timer; }

private:
    void check();

    PictureCache& m_cache;
    std::function<void()> m_onChanged;
    QTimer m_timer;
    // A reload may open a message box whose event loop fires the timer again.
    bool m_checking = false;
};

} // namespace marquelo
