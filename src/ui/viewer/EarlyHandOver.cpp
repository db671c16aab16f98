#include "ui/viewer/EarlyHandOver.h"

#include "core/settings/Logging.h"
#include "core/settings/StartupTrace.h"
#include "ui/viewer/EarlyWindow.h"
#include "ui/viewer/ViewerWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>

namespace marquelo {

namespace {

// An X timestamp wraps after 49 days: "not later" is judged on the difference.
bool notLater(std::uint32_t time, std::uint32_t until)
{
    return until == std::numeric_limits<std::uint32_t>::max() || std::int32_t(until - time) >= 0;
}

// Waits until Qt's own X connection has had its requests carried out: its last frame is then on the
// screen, under the early window or in its place.
void syncQtDisplay()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr)
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

} // namespace

EarlyHandOver::EarlyHandOver(std::shared_ptr<EarlyWindow> early, ViewerWindow& window)
    : m_early(std::move(early)), m_window(window)
{
    if (!m_early)
        return;
    qApp->installEventFilter(this);
    // Keys typed into the early window go on as they come, in between the window's own events.
    m_poll.setInterval(10);
    connect(&m_poll, &QTimer::timeout, this, [this] { deliver(); });
    m_poll.start();
    connect(&m_window, &ViewerWindow::painted, this, [this] {
        // Judged once the paint is over and its pixels have gone out: the slot runs after the flush.
        QTimer::singleShot(0, this, [this] {
            if (m_early && m_window.startEntryDrawn())
                finish();
        });
    });
    // A window that never draws (minimized at once, a hung compositor) does not keep the early one.
    QTimer::singleShot(10000, this, &EarlyHandOver::finish);
}

void EarlyHandOver::waitForEarlyPicture()
{
    if (m_early)
        m_early->waitWhilePutting(std::chrono::milliseconds(200));
}

EarlyHandOver::~EarlyHandOver()
{
    // The viewer window is going: keys still waiting have nowhere to go.
    if (m_early)
        m_early->close();
    qApp->removeEventFilter(this);
}

bool EarlyHandOver::eventFilter(QObject* watched, QEvent* event)
{
    // A key of the window's own comes after the early keys typed before it.
    const QEvent::Type type = event->type();
    if (m_early && event->spontaneous() &&
        (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride))
        deliver(std::uint32_t(static_cast<QKeyEvent*>(event)->timestamp()));
    return QObject::eventFilter(watched, event);
}

void EarlyHandOver::deliver(std::uint32_t until)
{
    if (m_early) {
        m_early->pump();
        for (EarlyKey& key : m_early->takeKeys())
            m_waiting.push_back(std::move(key));
    }
    // Taken out first: a key may open a dialog whose own event loop comes back here.
    const auto end = std::find_if(m_waiting.begin(), m_waiting.end(),
                                  [until](const EarlyKey& key) { return !notLater(key.time, until); });
    std::vector<EarlyKey> batch(std::make_move_iterator(m_waiting.begin()), std::make_move_iterator(end));
    m_waiting.erase(m_waiting.begin(), end);
    for (const EarlyKey& key : batch) {
        // As Qt delivers a key: to the widget with the focus in the window.
        QWidget* target = m_window.focusWidget() ? m_window.focusWidget() : &m_window;
        QKeyEvent event(key.type, key.key, key.modifiers, key.keycode, key.keysym, key.state, key.text);
        event.setTimestamp(key.time);
        QCoreApplication::sendEvent(target, &event);
    }
}

void EarlyHandOver::finish()
{
    if (!m_early)
        return;
    syncQtDisplay();
    deliver();
    m_early->close();
    m_early.reset();
    m_poll.stop();
    qApp->removeEventFilter(this);
    startup::mark("early window handed over");
}

} // namespace marquelo
