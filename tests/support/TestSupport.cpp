#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace marquelo::test {

std::string corpusDir()
{
    if (const char* dir = std::getenv("MARQUELO_CORPUS_DIR"); dir && *dir)
        return dir;
    return MARQUELO_CORPUS_DIR;
}

bool haveCorpus()
{
    const std::string dir = corpusDir();
    std::error_code error;
    return !dir.empty() && std::filesystem::is_directory(dir + "/camera", error);
}

std::string noCorpusReason()
{
    const std::string dir = corpusDir();
    if (dir.empty())
        return "no large photo corpus was given (configure with -DMARQUELO_CORPUS_DIR=... or set MARQUELO_CORPUS_DIR)";
    return "the large photo corpus is not in " + dir + " (set MARQUELO_CORPUS_DIR)";
}

std::string dataDir()
{
    return sourceDir() + "/tests/data";
}

std::string photo(const std::string& relative)
{
    const std::string own = dataDir() + "/" + relative;
    std::error_code error;
    // Without a corpus the checkout's (missing) path, so that nothing outside the checkout is looked at.
    if (std::filesystem::exists(own, error) || corpusDir().empty())
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

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string testName(std::string text)
{
    for (char& ch : text)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return text;
}

} // namespace marquelo::test
