#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>

#include <cctype>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>

namespace marquelo::test {

std::string corpusDir()
{
    if (const char* dir = std::getenv("MARQUELO_CORPUS_DIR"); dir && *dir)
        return dir;
    return MARQUELO_CORPUS_DIR;
}

bool haveCorpus()
{
    std::error_code error;
    return std::filesystem::is_directory(corpusDir() + "/camera", error);
}

std::string dataDir()
{
    return sourceDir() + "/tests/data";
}

std::string photo(const std::string& relative)
{
    const std::string own = dataDir() + "/" + relative;
    std::error_code error;
    if (std::filesystem::exists(own, error))
        return own;
    return corpusDir() + "/" + relative;
}

std::string photoFolder(const std::string& relative)
{
    return (haveCorpus() ? corpusDir() : dataDir()) + "/" + relative;
}

bool havePhoto(const std::string& relative)
{
    std::error_code error;
    return std::filesystem::exists(photo(relative), error);
}

std::string buildDir()
{
    if (const char* dir = std::getenv("MARQUELO_BUILD_DIR"))
        return dir;
    // Test executables live in <build>/tests; the programs in <build>/src.
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath().toStdString();
}

std::string builtProgram(const std::string& name)
{
    return buildDir() + "/src/" + name;
}

long endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return long(child);
}

std::string testName(std::string text)
{
    for (char& ch : text)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return text;
}

} // namespace marquelo::test
