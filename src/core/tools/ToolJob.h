#pragma once
// One outside program whose end matters: a compression that makes a page copy or a favorite. The
// program is started like the launcher starts it, and its exit is watched through Qt's process signals
// on the event loop, so the window never waits for it. When it ends, finished() reports its exit code
// (-1 for a crash) and the first line it wrote to its error output, which is usually the reason.

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QProcess;

namespace marquelo {

class ToolJob : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(int exitCode, const QString& firstErrorLine)>;
    ~ToolJob() override;

    // Starts `application` (resolved like the launcher does) and calls `done` on the GUI thread when it
    // ends. Returns the launcher's code (kLaunchOk when started); on failure nothing is watched and
    // `done` is never called. A document handed to the desktop's program is started, but not watched.
    // A running job owns itself and is deleted after `done`; a job still running when the program
    // ends is left running, never killed.
    static unsigned start(std::string_view application, const std::vector<std::string>& arguments, bool hide,
                          Done done);

    // Like start, for a program the user may stop: the job is returned (nullptr when it could not be
    // started, `code` then says why). It runs in a process group of its own, so cancel() reaches the
    // programs it starts in turn (ssh under rsync) too. Keep it in a QPointer: it deletes itself.
    static ToolJob* launch(std::string_view application, const std::vector<std::string>& arguments, Done done,
                           unsigned* code);

    // Asks the program and its group to end (SIGTERM), and ends them for good (SIGKILL) when they are
    // still there after a moment. finished() follows as for any end; wasCancelled() then says why.
    void cancel();
    bool wasCancelled() const { return m_cancelled; }

    // The end of what the program wrote to its error output (at most kKeptErrorBytes).
    const QByteArray& errorOutput() const { return m_errors; }
    static constexpr qsizetype kKeptErrorBytes = 64 * 1024;

Q_SIGNALS:
    void finished(int exitCode, const QString& firstErrorLine);
    // One line of the error output as it comes (a line ends at "\n" or "\r", as progress lines do).
    void errorLine(const QString& line);

private:
    ToolJob(QProcess* process, Done done);
    void processEnded(int exitCode, bool crashed);
    void readErrors();

    QProcess* m_process;
    Done m_done;
    QByteArray m_errors;
    QByteArray m_partialLine;
    bool m_cancelled = false;
    bool m_ownGroup = false;
    int m_groupPid = 0;
};

class UserInterface;

// Starts the compression that makes the copy of `photoName`, reporting a launch failure in its message
// box like launchTool. When the program later ends with a non-zero status, `notice` receives
// "Copy of <photoName> failed: <reason>"; when it ends well, `succeeded` runs. True when the program
// was started.
bool launchWatchedCopy(std::string_view application, const std::vector<std::string>& arguments, bool hide,
                       const std::string& photoName, UserInterface& ui, std::function<void(const std::string&)> notice,
                       std::function<void()> succeeded = {});

// The first non-empty line of a program's error output, trimmed ("" when there is none).
QString firstLineOf(const QByteArray& errorOutput);

// The last `count` non-empty lines of a program's error output, trimmed, joined by "\n".
QString lastLinesOf(const QByteArray& errorOutput, int count);

} // namespace marquelo
