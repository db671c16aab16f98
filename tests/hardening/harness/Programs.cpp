#include "harness/Programs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace marquelo::test {

namespace {

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
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (cmdline.find(text) != std::string::npos)
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
