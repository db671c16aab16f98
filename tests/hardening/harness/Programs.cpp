#include "harness/Programs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace marquelo::test {

namespace {

// A process may end between listing /proc and reading its entry; the read then fails with ESRCH,
// which std::ifstream turns into an exception, so the entry is read with plain read(2).
std::string commandLineOf(const fs::path& procEntry)
{
    std::string cmdline;
    const int fd = ::open((procEntry / "cmdline").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return cmdline;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        cmdline.append(buffer, size_t(got));
    ::close(fd);
    return cmdline;
}

// The pids (other than this process) whose NUL-separated command line contains `text`.
std::vector<pid_t> processesMentioning(const std::string& text)
{
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = pid_t(std::stol(name));
        if (pid == ::getpid())
            continue;
        if (commandLineOf(entry.path()).find(text) != std::string::npos)
            found.push_back(pid);
    }
    return found;
}

long statusField(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return 0;
}

} // namespace

void writeScript(const std::string& path, const std::string& body)
{
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "#!/bin/sh\n" << body << "\n";
    }
    ::chmod(path.c_str(), 0755);
}

bool waitForProgramsMentioning(const std::string& text, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!processesMentioning(text).empty()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return true;
}

void killProgramsMentioning(const std::string& text)
{
    for (pid_t pid : processesMentioning(text))
        ::kill(pid, SIGKILL);
}

long residentKib()
{
    return statusField("VmRSS");
}

long peakResidentKib()
{
    return statusField("VmHWM");
}

} // namespace marquelo::test
