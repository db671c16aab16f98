#include "core/tools/ToolJob.h"

#include "core/tools/Launcher.h"

#include <QProcess>
#include <QTimer>

#include <set>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

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

QString lastLinesOf(const QByteArray& errorOutput, int count)
{
    QStringList lines;
    const QList<QByteArray> all = errorOutput.split('\n');
    for (auto it = all.rbegin(); it != all.rend() && lines.size() < count; ++it) {
        const QString text = QString::fromUtf8(*it).trimmed();
        if (!text.isEmpty())
            lines.prepend(text);
    }
    return lines.join(QLatin1Char('\n'));
}

ToolJob::ToolJob(QProcess* process, Done done) : m_process(process), m_done(std::move(done))
{
    runningJobs().insert(this);
    m_process->setParent(this);
    // Read as it comes, keeping only its head and its end: a verbose upload that runs for an hour must
    // not grow the buffer without bound, and a progress line is wanted while the program runs.
    connect(m_process, &QProcess::readyReadStandardError, this, &ToolJob::readErrors);
    connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        processEnded(exitCode, status == QProcess::CrashExit);
    });
}

ToolJob::~ToolJob()
{
    runningJobs().erase(this);
}

void ToolJob::readErrors()
{
    const QByteArray chunk = m_process->readAllStandardError();
    if (chunk.isEmpty())
        return;
    // The first line is the usual reason, the end is where a long log says what went wrong: the head
    // up to the first non-empty line is kept whole, then only the last bytes.
    m_errors += chunk;
    if (m_errors.size() > 2 * kKeptErrorBytes) {
        const QString first = firstLineOf(m_errors);
        m_errors = first.toUtf8() + "\n...\n" + m_errors.right(kKeptErrorBytes);
    }
    m_partialLine += chunk;
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_partialLine.size(); ++i) {
        if (m_partialLine[i] != '\n' && m_partialLine[i] != '\r')
            continue;
        const QString line = QString::fromUtf8(m_partialLine.mid(start, i - start)).trimmed();
        start = i + 1;
        if (!line.isEmpty())
            Q_EMIT errorLine(line);
    }
    m_partialLine.remove(0, start);
    if (m_partialLine.size() > kKeptErrorBytes)
        m_partialLine.clear();
}

void ToolJob::cancel()
{
    if (m_cancelled || m_process->state() == QProcess::NotRunning)
        return;
    m_cancelled = true;
    const pid_t pid = pid_t(m_groupPid);
    if (m_ownGroup && pid > 0)
        ::kill(-pid, SIGTERM);
    else
        m_process->terminate();
    // A program that ignores the request (or hangs in a network call) is ended for good shortly after.
    QTimer::singleShot(1500, this, [this, pid] {
        if (m_process->state() == QProcess::NotRunning)
            return;
        if (m_ownGroup && pid > 0)
            ::kill(-pid, SIGKILL);
        else
            m_process->kill();
    });
}

void ToolJob::processEnded(int exitCode, bool crashed)
{
    readErrors();
    if (m_cancelled && m_ownGroup && m_groupPid > 0)
        ::kill(-pid_t(m_groupPid), SIGKILL); // what the group left behind
    const QString reason = firstLineOf(m_errors);
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

ToolJob* ToolJob::launch(std::string_view application, const std::vector<std::string>& arguments, Done done,
                         unsigned* code)
{
    const ResolvedApplication found = resolveApplication(application);
    unsigned result = kLaunchOk;
    if (found.kind == ResolvedApplication::NotFound)
        result = kLaunchFileNotFound;
    else if (found.kind != ResolvedApplication::Program)
        result = kLaunchAccessDenied; // a document cannot be watched or stopped
    QStringList args;
    for (const std::string& a : arguments) {
        const QString text = QString::fromStdString(a);
        if (text.toStdString() != a)
            result = kLaunchAccessDenied;
        args << text;
    }
    if (code)
        *code = result;
    if (result != kLaunchOk)
        return nullptr;
    auto* process = new QProcess;
    process->setProgram(QString::fromStdString(found.path));
    process->setArguments(args);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    auto* job = new ToolJob(process, std::move(done));
    job->m_ownGroup = true;
    process->start();
    if (!process->waitForStarted()) {
        delete job;
        if (code)
            *code = kLaunchAccessDenied;
        return nullptr;
    }
    job->m_groupPid = pid_t(process->processId());
    return job;
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
