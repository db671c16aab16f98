#pragma once
// Turns (rotate, flip, mirror) of one file run one after another. Each turn is an outside program that
// reads the file and renames its result over it; two at once would both read the old file and one turn
// would be lost. The next turn of a file starts when the program of the previous one has ended, which
// is watched without ever waiting on the user-interface thread. Turns of different files run side by
// side, and a started program is never killed.

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace marquelo {

class UserInterface;

class TurnQueue : public QObject {
    Q_OBJECT
public:
    // Starts a program detached and returns a launch code (kLaunchOk ...) and its process id.
    using Starter = std::function<unsigned(const std::string& application, const std::vector<std::string>& arguments,
                                           bool hide, std::int64_t* pid)>;

    explicit TurnQueue(QObject* parent = nullptr);
    // Turns still waiting are started in order, each after its predecessor has ended (waiting at most
    // ten seconds for each), so that no turn the user asked for is dropped at exit.
    ~TurnQueue() override;

    // How long a turn may run before the next one of its file starts anyway (a tool that never ends).
    void setGiveUpAfter(int ms) { m_giveUpMs = ms; }

    // Runs `application` with `arguments` as a turn of `file`: at once when no turn of that file is
    // running, otherwise after the turns before it. A launch failure is reported through `ui` when the
    // turn starts. False only when it was started at once and failed.
    bool run(const std::string& file, const std::string& application, std::vector<std::string> arguments, bool hide,
             UserInterface& ui);

    // True when no turn is running or waiting.
    bool idle() const { return m_files.empty(); }

private:
    struct Turn {
        std::string application;
        std::vector<std::string> arguments;
        bool hide = false;
        UserInterface* ui = nullptr;
    };
    struct Running {
        std::int64_t pid = 0;
        int pidfd = -1;
        std::unique_ptr<QSocketNotifier> notifier;
        std::unique_ptr<QTimer> giveUp;
        std::deque<Turn> waiting;
    };

    // Starts turns of `file` until one runs or none is left; false when the first one failed.
    bool startNext(const std::string& file);
    void finished(const std::string& file);
    void stopWatching(Running& running);

    Starter m_start;
    int m_giveUpMs = 60000;
    std::map<std::string, Running> m_files; // only files with a turn running
};

} // namespace marquelo
