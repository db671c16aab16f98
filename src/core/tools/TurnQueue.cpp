#include "core/tools/TurnQueue.h"

#include "core/tools/Launcher.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace marquelo {

namespace {

// At exit a stuck tool holds up the end of the program this long at most.
constexpr int kExitWaitMs = 10000;

// A descriptor that becomes readable when the process ends; -1 where the kernel has none.
int openProcessHandle(std::int64_t pid)
{
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

bool processGone(std::int64_t pid)
{
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Blocks until the process ends, at most `ms`; only used at exit.
void waitForExit(std::int64_t pid, int pidfd, int ms)
{
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        while (::poll(&p, 1, ms) < 0 && errno == EINTR) {
        }
        return;
    }
    for (int waited = 0; waited < ms && !processGone(pid); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace

TurnQueue::TurnQueue(QObject* parent) : QObject(parent)
{
    m_start = [](const std::string& application, const std::vector<std::string>& arguments, bool hide,
                 std::int64_t* pid) { return startApplication(application, arguments, hide, pid); };
}

TurnQueue::~TurnQueue()
{
    for (auto& [file, running] : m_files) {
        while (true) {
            running.notifier.reset();
            running.giveUp.reset();
            if (running.pid > 0 && !running.waiting.empty())
                waitForExit(running.pid, running.pidfd, std::min(m_giveUpMs, kExitWaitMs));
            if (running.pidfd >= 0)
                ::close(running.pidfd);
            running.pidfd = -1;
            running.pid = 0;
            if (running.waiting.empty())
                break;
            const Turn turn = std::move(running.waiting.front());
            running.waiting.pop_front();
            std::int64_t pid = 0;
            if (m_start(turn.application, turn.arguments, turn.hide, &pid) >= 32 && pid > 0) {
                running.pid = pid;
                running.pidfd = openProcessHandle(pid);
            }
        }
    }
}

bool TurnQueue::run(const std::string& file, const std::string& application, std::vector<std::string> arguments,
                    bool hide, UserInterface& ui)
{
    const bool busy = m_files.contains(file);
    m_files[file].waiting.push_back(Turn{application, std::move(arguments), hide, &ui});
    return busy || startNext(file);
}

bool TurnQueue::startNext(const std::string& file)
{
    Running& running = m_files[file];
    bool firstStarted = true;
    bool first = true;
    while (!running.waiting.empty()) {
        const Turn turn = std::move(running.waiting.front());
        running.waiting.pop_front();
        std::int64_t pid = 0;
        const unsigned code = m_start(turn.application, turn.arguments, turn.hide, &pid);
        if (!reportLaunch(code, turn.application, *turn.ui)) {
            if (first)
                firstStarted = false;
            first = false;
            continue;
        }
        first = false;
        if (pid <= 0)
            continue; // handed to a document's program: nothing to wait for
        running.pid = pid;
        running.pidfd = openProcessHandle(pid);
        if (running.pidfd < 0 && errno == ESRCH) {
            // Ended already.
            running.pid = 0;
            continue;
        }
        if (running.pidfd >= 0) {
            running.notifier = std::make_unique<QSocketNotifier>(running.pidfd, QSocketNotifier::Read);
            connect(running.notifier.get(), &QSocketNotifier::activated, this, [this, file] { finished(file); });
        }
        // Without a process handle the timer looks every 50 ms; with one it only gives up on a stuck tool.
        running.giveUp = std::make_unique<QTimer>();
        auto* timer = running.giveUp.get();
        const auto started = std::chrono::steady_clock::now();
        const int giveUpMs = m_giveUpMs;
        const bool polling = running.pidfd < 0;
        timer->setInterval(polling ? 50 : giveUpMs);
        connect(timer, &QTimer::timeout, this, [this, file, pid, started, giveUpMs, polling] {
            if (!polling || processGone(pid) ||
                std::chrono::steady_clock::now() - started > std::chrono::milliseconds(giveUpMs))
                finished(file);
        });
        timer->start();
        return firstStarted;
    }
    m_files.erase(file);
    return firstStarted;
}

void TurnQueue::finished(const std::string& file)
{
    const auto it = m_files.find(file);
    if (it == m_files.end())
        return;
    stopWatching(it->second);
    if (it->second.pidfd >= 0)
        ::close(it->second.pidfd);
    it->second.pidfd = -1;
    it->second.pid = 0;
    startNext(file);
}

void TurnQueue::stopWatching(Running& running)
{
    // Called from their own signals: they go once control is back in the event loop.
    if (running.notifier) {
        running.notifier->setEnabled(false);
        running.notifier.release()->deleteLater();
    }
    if (running.giveUp) {
        running.giveUp->stop();
        running.giveUp.release()->deleteLater();
    }
}

} // namespace marquelo
