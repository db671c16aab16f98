#include "core/tools/ToolJob.h"

#include "core/tools/Launcher.h"

#include <QProcess>

#include <set>

namespace marquelo {

namespace {

// The jobs still running. A job left running when the program ends is kept on purpose (deleting its
// QProcess would kill the compression); this list keeps it reachable, so leak checkers do not count it.
std::set<const ToolJob*>& runningJobs()
{
    // Never destroyed: it must outlive the end of the program, when leak checkers look.
    static auto* jobs = new std::set<const ToolJob*>;
    return *jobs;
}

} // namespace

QString firstLineOf(const QByteArray& errorOutput)
{
    for (const QByteArray& line : errorOutput.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

ToolJob::ToolJob(QProcess* process, Done done) : m_process(process), m_done(std::move(done))
{
    runningJobs().insert(this);
    m_process->setParent(this);
    connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        processEnded(exitCode, status == QProcess::CrashExit);
    });
}

ToolJob::~ToolJob()
{
    runningJobs().erase(this);
}

void ToolJob::processEnded(int exitCode, bool crashed)
{
    const QString reason = firstLineOf(m_process->readAllStandardError());
    const int code = crashed ? -1 : exitCode;
    Q_EMIT finished(code, reason);
    if (m_done)
        m_done(code, reason);
    deleteLater();
}

unsigned ToolJob::start(std::string_view application, const std::vector<std::string>& arguments, bool hide, Done done)
{
    const ResolvedApplication found = resolveApplication(application);
    if (found.kind != ResolvedApplication::Program)
        return startApplication(application, arguments, hide);
    QStringList args;
    for (const std::string& a : arguments) {
        // Bytes that are not UTF-8 would reach the program as U+FFFD and could name another file.
        const QString text = QString::fromStdString(a);
        if (text.toStdString() != a)
            return kLaunchAccessDenied;
        args << text;
    }
    auto* process = new QProcess;
    process->setProgram(QString::fromStdString(found.path));
    process->setArguments(args);
    process->setStandardInputFile(QProcess::nullDevice());
    if (hide)
        process->setStandardOutputFile(QProcess::nullDevice());
    else
        process->setProcessChannelMode(QProcess::ForwardedOutputChannel);
    // The error output is read, not shown: its first line is the reason a failed copy gives the user.
    auto* job = new ToolJob(process, std::move(done));
    process->start();
    // Only the start itself is awaited (the exec of the child), never the program's work.
    if (!process->waitForStarted()) {
        delete job;
        return kLaunchAccessDenied;
    }
    return kLaunchOk;
}

bool launchWatchedCopy(std::string_view application, const std::vector<std::string>& arguments, bool hide,
                       const std::string& photoName, UserInterface& ui, std::function<void(const std::string&)> notice,
                       std::function<void()> succeeded)
{
    const unsigned code = ToolJob::start(
        application, arguments, hide, [photoName, notice, succeeded](int exitCode, const QString& reason) {
            if (exitCode == 0) {
                if (succeeded)
                    succeeded();
                return;
            }
            if (!notice)
                return;
            const QString why = reason.isEmpty() ? (exitCode < 0 ? QStringLiteral("the program crashed")
                                                                 : QStringLiteral("exit status %1").arg(exitCode))
                                                 : reason;
            notice("Copy of " + photoName + " failed: " + why.toStdString());
        });
    return reportLaunch(code, application, ui);
}

} // namespace marquelo
