#include "core/settings/PreferencesPathCheck.h"

#include <QByteArray>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace marquelo {

namespace {

enum class PathKind { Missing, File, Directory };

// A status query that cannot throw: a name the system cannot stat (too long, no access) is missing.
PathKind kindOf(const std::string& path)
{
    std::error_code ec;
    const auto status = std::filesystem::status(std::filesystem::path(path), ec);
    if (ec || !std::filesystem::exists(status))
        return PathKind::Missing;
    return std::filesystem::is_directory(status) ? PathKind::Directory : PathKind::File;
}

std::string quoted(const char* format, const std::string& path)
{
    return QString::fromUtf8(format).arg(QString::fromStdString(path)).toStdString();
}

} // namespace

std::string resolveProgramFile(const std::string& program, const std::string& programDirectory)
{
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos)
        return kindOf(program) == PathKind::File ? program : std::string();
    if (!programDirectory.empty()) {
        const std::string beside = programDirectory + '/' + program;
        if (kindOf(beside) == PathKind::File)
            return beside;
    }
    return QStandardPaths::findExecutable(QString::fromStdString(program)).toStdString();
}

std::optional<std::string> checkPreferencePath(const std::string& path, unsigned requirements,
                                               const std::string& programDirectory)
{
    if (path.empty()) {
        if (requirements & PathNotBlank)
            return std::string("This item cannot be blank");
        return std::nullopt;
    }

    PathKind kind = kindOf(path);
    if (kind == PathKind::Missing && (requirements & PathMustBeFile) && path.find('/') == std::string::npos &&
        !resolveProgramFile(path, programDirectory).empty())
        kind = PathKind::File;

    switch (kind) {
    case PathKind::Directory:
        if (requirements & PathMustBeDirectory)
            return std::nullopt;
        if (requirements & (PathMustBeFile | PathNotDirectory))
            return quoted("'%1' is a directory, not a file", path);
        return std::nullopt;
    case PathKind::File:
        if (requirements & PathMustBeFile)
            return std::nullopt;
        if (requirements & PathMustBeDirectory)
            return quoted("'%1' is a file, not a directory", path);
        return std::nullopt;
    case PathKind::Missing:
        if (requirements & (PathMustBeFile | PathMustBeDirectory))
            return quoted("'%1' does not exist", path);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> checkPageBaseUrl(const std::string& address)
{
    if (address.empty())
        return std::nullopt;
    const QString text = QString::fromUtf8(address.data(), qsizetype(address.size()));
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool blanks = std::any_of(text.begin(), text.end(),
                                    [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
    if (!blanks && url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
        !url.host().isEmpty() && url.userInfo().isEmpty() && !url.hasQuery() && !url.hasFragment())
        return std::nullopt;
    return quoted("'%1' is not a web address pages can be published under.\n\nEnter an address that starts with "
                  "http:// or https:// and names the server, such as https://example.org/photos, or leave it empty.",
                  address);
}

} // namespace marquelo
