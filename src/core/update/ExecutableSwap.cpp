#include "core/update/ExecutableSwap.h"

#include "core/update/UpdateEndpoint.h"

#include <QDir>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace marquelo {

bool renameWithoutReplacing(const std::string& from, const std::string& to)
{
    std::error_code ec;
    // symlink_status: a dangling link still occupies the name.
    if (fs::symlink_status(to, ec).type() != fs::file_type::not_found)
        return false;
    fs::rename(from, to, ec);
    return !ec;
}

bool canWriteInDirectory(const std::string& directory)
{
    // Permission bits do not tell (root, read-only mounts, immutable folders): try it.
    QTemporaryFile probe(QDir(QString::fromStdString(directory)).filePath(QStringLiteral(".marquelo-XXXXXX")));
    return probe.open();
}

bool swapInNewExecutable(const std::string& installationDirectory, const FileRenamer& renameFile)
{
    const fs::path dir(installationDirectory);
    const std::string current = (dir / kExecutableFile).string();
    const std::string newer = (dir / kNewExecutableFile).string();
    const std::string older = (dir / kOldExecutableFile).string();

    // Executable before it takes the program's name, so the program's name always starts something.
    std::error_code ec;
    fs::permissions(newer, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    if (ec)
        return false;

    fs::remove(older, ec);
    if (!renameFile(current, older))
        return false;
    if (!renameFile(newer, current)) {
        renameFile(older, current);
        return false;
    }
    return true;
}

} // namespace marquelo
