#include "ui/tools/ImageActions.h"

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "core/settings/Logging.h"
#include "core/tools/EditedCopy.h"
#include "core/tools/FileCopy.h"
#include "core/tools/Launcher.h"
#include "core/tools/OutputNames.h"
#include "core/tools/ToolJob.h"
#include "core/tools/ToolTemplates.h"
#include "core/tools/TurnCheck.h"
#include "core/tools/TurnQueue.h"
#include "core/viewer/PhotoMarks.h"
#include "core/viewer/SendTo.h"
#include "media/TemporaryFiles.h"
#include "ui/viewer/ViewerWindow.h"

#include <QPointer>

#include <chrono>

#include <filesystem>

namespace fs = std::filesystem;

namespace marquelo {

namespace {

FileRecord recordOf(const std::string& path, std::string name)
{
    FileRecord r;
    r.name = std::move(name);
    std::error_code ec;
    const auto written = fs::last_write_time(path, ec);
    if (!ec)
        r.lastWriteNs = std::chrono::duration_cast<std::chrono::nanoseconds>(written.time_since_epoch()).count();
    const auto size = fs::file_size(path, ec);
    if (!ec)
        r.size = size;
    return r;
}

// Makes (or, when the user keeps an existing file, adopts) the current entry's edited copy.
// False when the copy failed; the entry then still has no edited copy.
bool makeEditedCopy(ViewerWindow& window)
{
    ImageList& list = window.images();
    ImageEntry& entry = list.current();
    UserInterface& ui = window.userInterface();
    const std::string name = editedName(entry.files[kOriginal].name, window.config().EditFileSuffix);
    const std::string source = list.pathOf(entry.files[kOriginal].name);
    const std::string destination = list.pathOf(name);

    std::error_code ec;
    bool keepExisting = false;
    if (fs::exists(destination, ec)) {
        // Never overwrite a file silently: it may be an earlier edit the user still wants.
        keepExisting = ui.ask("'" + destination + "' already exists.\n\nReplace it with a new copy of '" +
                                  entry.files[kOriginal].name + "'?",
                              UserInterface::Buttons::YesNo) != UserInterface::Answer::Yes;
    }
    if (!keepExisting) {
        FileProblem problem;
        if (!copyRegularFile(source, destination, problem)) {
            ui.message(copyFailureMessage(source, destination, problem));
            return false;
        }
    } else {
        // Not made by this run: the clean-up at exit must not offer to delete it.
        entry.editedKept = true;
    }
    entry.files[kEdited] = recordOf(destination, name);
    entry.hasEdited = true;
    return true;
}

void edit(ViewerWindow& window)
{
    const AppConfig& config = window.config();
    ImageList& list = window.images();
    if (config.ImageEditApp.empty()) {
        window.userInterface().message("No image editing application configured");
    } else if (list.count() > 0) {
        ImageEntry& entry = list.current();
        if (entry.hasEdited || makeEditedCopy(window)) {
            entry.shown = kEdited;
            const ExpansionInput in =
                expansionFor(list, window.geometry(), config, list.directory(), imageSizeChoice());
            launchTool(config.ImageEditApp, expandToolArgumentList(config.ImageEditArg, in), false,
                       window.userInterface());
        }
    }
    window.showCurrent();
    window.updateToolButtons();
}

void swap(ViewerWindow& window)
{
    ImageEntry& entry = window.images().current();
    if (window.images().count() > 0 && entry.hasEdited)
        entry.shown = entry.shown == kOriginal ? kEdited : kOriginal;
    window.showCurrent();
}

void runTool(ViewerWindow& window, std::string AppConfig::*app, std::string AppConfig::*arg, bool AppConfig::*hide)
{
    const AppConfig& c = window.config();
    if (window.images().count() == 0)
        return;
    runToolOnImage(ToolCommand{c.*app, c.*arg, c.*hide}, window.images(), window.geometry(), c, window.userInterface());
}

// Rotate, flip and mirror rewrite the shown file in place: they take turns on it, so that quick
// presses add up instead of each turning the same old file.
void runTurn(ViewerWindow& window, TurnQueue& turns, std::string AppConfig::*app, std::string AppConfig::*arg,
             bool AppConfig::*hide)
{
    const AppConfig& c = window.config();
    const ImageList& list = window.images();
    if (list.count() == 0 || (c.*app).empty())
        return;
    // A turn that would lose quality silently (a lossy format other than JPEG, a RAW) is refused up front.
    const std::string refusal = turnRefusal(c.*app, list.pathOf(list.currentName()));
    if (!refusal.empty()) {
        window.userInterface().message(refusal);
        return;
    }
    const ExpansionInput in = expansionFor(list, window.geometry(), c, list.directory(), imageSizeChoice());
    turns.run(list.pathOf(list.currentName()), c.*app, expandToolArgumentList(c.*arg, in), c.*hide,
              window.userInterface());
}

void userTool2(ViewerWindow& window)
{
    const AppConfig& c = window.config();
    if (c.Tool2App.empty())
        return;
    const ExpansionInput in =
        expansionFor(window.images(), window.geometry(), c, c.CurOutputDirectory, imageSizeChoice());
    launchTool(c.Tool2App, expandToolArgumentList(c.Tool2Arg, in), c.HideTool2App, window.userInterface());
}

void openPageIn(ViewerWindow& window, const std::string& application, const char* missingText)
{
    if (application.empty())
        return;
    const std::string page = pageFilePath(window.config());
    std::error_code ec;
    if (!fs::is_regular_file(page, ec)) {
        window.userInterface().message(missingText);
        return;
    }
    launchTool(application, std::vector<std::string>{page}, false, window.userInterface());
}

void view(ViewerWindow& window)
{
    const ImageList& list = window.images();
    const std::string& name = list.currentName();
    openDocument(list.pathOf(name.empty() ? std::string("file_not_found") : name), window.userInterface());
}

std::string baseName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

} // namespace

std::string favoriteNotice(const std::string& photo, const std::vector<std::string>& along, const SendOutcome& copied)
{
    // The RAW twin is named; sidecars go without a word unless their copy failed.
    std::string raw;
    for (const std::string& file : along)
        if (file.size() < 4 || file.compare(file.size() - 4, 4, ".xmp") != 0)
            raw = baseName(file);
    if (!copied.ok) {
        qCWarning(lcTools) << "Favorite companions not copied:" << copied.error.c_str();
        return "Added to favorites: " + photo + ", but not " + (raw.empty() ? "its sidecar" : raw) + " (" +
               copied.error + ")";
    }
    std::string text = "Added to favorites: " + photo;
    if (!raw.empty())
        text += " and " + raw;
    if (copied.numbered) {
        // The names the copies took, when a file of the same name was already there.
        for (const MovedFile& file : copied.moved)
            if (baseName(file.from) == raw || raw.empty()) {
                text += " (as " + baseName(file.to) + ": the name was taken)";
                break;
            }
    }
    return text;
}

namespace {

void addFavorite(ViewerWindow& window)
{
    const AppConfig& c = window.config();
    UserInterface& ui = window.userInterface();
    if (c.ImageCompressApp.empty()) {
        ui.message("No compression application specified");
        return;
    }
    // An empty folder would put the copy at the root of the file system.
    if (c.BestOfDirectory.empty()) {
        ui.message("No favorites directory configured");
        return;
    }
    if (window.images().count() == 0)
        return;
    std::error_code ec;
    fs::create_directories(c.BestOfDirectory, ec);
    const int size = c.FavoriteSize == 0 ? kSizeSmall : c.FavoriteSize == 2 ? kSizeLarge : kSizeMedium;
    // The favorite's size is passed to this one expansion only; the page's size choice stays as it is.
    const std::string name =
        OutputNames::instance().reserve(c.BestOfDirectory, outputCopyName(window.images().currentName()));
    const ExpansionInput in = expansionFor(window.images(), window.geometry(), c, c.BestOfDirectory, size, name);
    const std::string photo = window.images().currentName();
    // A RAW+JPEG pair is one photo: its RAW and the sidecars (stars, labels) go along with the copy.
    const std::vector<std::string> along = companionFiles(window.images(), window.images().current());
    const std::string folder = c.BestOfDirectory;
    // Said when the copy is really there, not when its program was merely started.
    QPointer<ViewerWindow> w(&window);
    const auto notice = [w](const std::string& text) {
        if (w)
            w->showNotice(QString::fromStdString(text));
    };
    const auto added = [notice, photo, along, folder, name] {
        if (along.empty()) {
            notice("Added to favorites: " + photo);
            return;
        }
        notice(favoriteNotice(photo, along, copyAlong(along, photo, folder, name)));
    };
    if (!launchWatchedCopy(c.ImageCompressApp, expandToolArgumentList(c.ImageCompressArg, in), c.HideCompressApp, photo,
                           ui, notice, added))
        OutputNames::instance().release(c.BestOfDirectory, name);
}

} // namespace

std::string pageFilePath(const AppConfig& config)
{
    return config.CurOutputDirectory + "/" + config.OutputFilename;
}

void previewPage(const AppConfig& config, UserInterface& ui)
{
    if (config.PreviewBrowser.empty()) {
        ui.message("No preview browser configured");
        return;
    }
    // One argument whatever the path holds: a folder with a space must not split the page path.
    launchTool(config.PreviewBrowser, std::vector<std::string>{pageFilePath(config)}, false, ui);
}

void bindToolCommands(ViewerWindow& window)
{
    ViewerWindow* w = &window;
    TurnQueue* turns = new TurnQueue(&window);
    // What an interrupted copy or tool left in the photo folder goes at start.
    media::removeStaleTemporaryFiles(window.images().directory());
    using C = AppConfig;
    window.setCommandHandler(Command::Edit, [w] { edit(*w); });
    window.setCommandHandler(Command::Swap, [w] { swap(*w); });
    window.setCommandHandler(Command::RotateLeft, [w, turns] {
        runTurn(*w, *turns, &C::RotateLeftApp, &C::RotateLeftArg, &C::HideRotateLeftApp);
    });
    window.setCommandHandler(Command::RotateRight, [w, turns] {
        runTurn(*w, *turns, &C::RotateRightApp, &C::RotateRightArg, &C::HideRotateRightApp);
    });
    window.setCommandHandler(Command::Flip,
                             [w, turns] { runTurn(*w, *turns, &C::FlipApp, &C::FlipArg, &C::HideFlipApp); });
    window.setCommandHandler(Command::Mirror,
                             [w, turns] { runTurn(*w, *turns, &C::MirrorApp, &C::MirrorArg, &C::HideMirrorApp); });
    window.setCommandHandler(Command::Tool1, [w] { runTool(*w, &C::Tool1App, &C::Tool1Arg, &C::HideTool1App); });
    window.setCommandHandler(Command::Tool2, [w] { userTool2(*w); });
    window.setCommandHandler(Command::Tool3, [w] { runTool(*w, &C::Tool3App, &C::Tool3Arg, &C::HideTool3App); });
    window.setCommandHandler(Command::Tool4, [w] { runTool(*w, &C::Tool4App, &C::Tool4Arg, &C::HideTool4App); });
    window.setCommandHandler(Command::PreviewPage,
                             [w] { openPageIn(*w, w->config().PreviewBrowser, "No current output file to view"); });
    window.setCommandHandler(Command::EditHtml,
                             [w] { openPageIn(*w, w->config().HtmlEditor, "No current output file to open"); });
    window.setCommandHandler(Command::View, [w] { view(*w); });
    window.setCommandHandler(Command::AddFavorite, [w] { addFavorite(*w); });
}

} // namespace marquelo
