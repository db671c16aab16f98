#include "core/tools/Launcher.h"

#include "core/settings/Logging.h"

#include "core/UserInterface.h"
#include "core/tools/ToolTemplates.h"
#include "core/viewer/ImageList.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace marquelo {

namespace {

std::mutex g_openerMutex;
DocumentOpener g_opener;

bool validUtf8(const std::string& text)
{
    return QString::fromStdString(text).toStdString() == text;
}

bool openWithDesktop(const std::string& path)
{
    if (validUtf8(path))
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    // A QString cannot hold these bytes; the URL carries them percent-encoded, as they are.
    const QByteArray encoded = "file://" + QByteArray::fromStdString(path).toPercentEncoding("/");
    return QDesktopServices::openUrl(QUrl::fromEncoded(encoded, QUrl::StrictMode));
}

ResolvedApplication classify(const QFileInfo& info)
{
    const std::string path = QDir::cleanPath(info.absoluteFilePath()).toStdString();
    if (info.isFile() && info.isExecutable())
        return {ResolvedApplication::Program, path};
    if (!info.isReadable())
        return {ResolvedApplication::NotAllowed, path};
    return {ResolvedApplication::Document, path};
}

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view text)
{
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false; // a quoted empty group ("") is an argument too
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (inArgument)
                args.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current.push_back(c);
            inArgument = true;
        }
    }
    if (inArgument)
        args.push_back(std::move(current));
    return args;
}

ResolvedApplication resolveApplication(std::string_view application)
{
    if (application.empty())
        return {};
    const QString app = qs(application);
    if (app.contains(QLatin1Char('/'))) {
        const QFileInfo info(app);
        if (!info.exists())
            return {ResolvedApplication::NotFound, QDir::cleanPath(info.absoluteFilePath()).toStdString()};
        return classify(info);
    }
    // The program's own folder first (a bundled tool wins), then PATH; never the current folder, which is
    // the photo folder and must not be able to supply programs.
    QStringList folders;
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
    if (const char* path = std::getenv("PATH"))
        folders << QString::fromLocal8Bit(path).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        const QFileInfo info(QDir(folder), app);
        if (info.exists() && !info.isDir())
            return classify(info);
    }
    return {};
}

DocumentOpener setDocumentOpener(DocumentOpener opener)
{
    const std::lock_guard lock(g_openerMutex);
    DocumentOpener previous = std::move(g_opener);
    g_opener = std::move(opener);
    return previous;
}

unsigned startApplication(std::string_view application, const std::vector<std::string>& arguments, bool hide,
                          std::int64_t* pid)
{
    if (pid)
        *pid = 0;
    // A started program gets its arguments through QString: bytes that are not UTF-8 would reach it as
    // U+FFFD and could name another file. Such a name is not handed on at all.
    for (const std::string& argument : arguments)
        if (QString::fromStdString(argument).toStdString() != argument)
            return kLaunchAccessDenied;
    const ResolvedApplication found = resolveApplication(application);
    switch (found.kind) {
    case ResolvedApplication::NotFound: return kLaunchFileNotFound;
    case ResolvedApplication::NotAllowed: return kLaunchAccessDenied;
    case ResolvedApplication::Document: {
        DocumentOpener opener;
        {
            const std::lock_guard lock(g_openerMutex);
            opener = g_opener;
        }
        const bool opened = opener ? opener(found.path) : openWithDesktop(found.path);
        return opened ? kLaunchOk : kLaunchNoAssociation;
    }
    case ResolvedApplication::Program: break;
    }
    QStringList args;
    for (const std::string& a : arguments)
        args << QString::fromStdString(a);
    QProcess process;
    process.setProgram(QString::fromStdString(found.path));
    process.setArguments(args);
    if (hide) {
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    // Working folder left empty: the program inherits ours, the photo folder.
    qint64 started = 0;
    if (!process.startDetached(&started)) {
        qCWarning(lcTools) << "cannot start" << process.program() << ":" << process.errorString();
        return kLaunchAccessDenied;
    }
    if (pid)
        *pid = started;
    return kLaunchOk;
}

bool reportLaunch(unsigned code, std::string_view application, UserInterface& ui)
{
    if (code >= 32)
        return true;
    const std::string app(application);
    qCWarning(lcTools) << "launching" << QString::fromStdString(app) << "failed with code" << code;
    if (code == kLaunchFileNotFound)
        ui.message("Failed to launch '" + app + "'");
    else
        ui.message("Failed to launch '" + app + "'\n\n(ShellExecute returned " + std::to_string(code) + ")");
    return false;
}

bool launchTool(std::string_view application, const std::vector<std::string>& arguments, bool hide, UserInterface& ui)
{
    return reportLaunch(startApplication(application, arguments, hide), application, ui);
}

bool openDocument(const std::string& path, UserInterface& ui)
{
    // By the name's own bytes: a name that is not UTF-8 must open itself, never its look-alike.
    std::error_code ec;
    const std::filesystem::path file(path);
    unsigned code = kLaunchOk;
    if (!std::filesystem::exists(file, ec)) {
        code = kLaunchFileNotFound;
    } else {
        DocumentOpener opener;
        {
            const std::lock_guard lock(g_openerMutex);
            opener = g_opener;
        }
        const std::string absolute = std::filesystem::absolute(file, ec).lexically_normal().string();
        code = (opener ? opener(absolute) : openWithDesktop(absolute)) ? kLaunchOk : kLaunchNoAssociation;
    }
    return reportLaunch(code, path, ui);
}

void runToolOnImage(const ToolCommand& command, const ImageList& images, const ViewGeometry& geometry,
                    const AppConfig& config, UserInterface& ui)
{
    if (command.application.empty())
        return;
    const ExpansionInput in = expansionFor(images, geometry, config, images.directory(), imageSizeChoice());
    launchTool(command.application, expandToolArgumentList(command.argumentTemplate, in), command.hide, ui);
}

} // namespace marquelo
