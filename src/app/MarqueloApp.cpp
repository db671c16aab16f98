#include "app/MarqueloApp.h"

#include "core/settings/Logging.h"
#include "core/settings/StartPath.h"
#include "core/update/ExecutableSwap.h"
#include "core/viewer/PictureDecoder.h"
#include "ui/settings/QtUserInterface.h"
#include "ui/viewer/EarlyHandOver.h"
#include "ui/viewer/EarlyWindow.h"
#include "ui/viewer/ViewerWindow.h"

#include <QApplication>

#include <filesystem>
#include <system_error>

namespace marquelo {

bool selectStartImage(ImageList& images, const AppConfig& config, const std::string& directory, const std::string& file,
                      UserInterface& ui)
{
    // Made absolute against the folder start-up was run in ("." included), so that titles and tool
    // arguments name a real place; by its bytes, so a name that is not UTF-8 still names this folder.
    if (directory.empty() || !images.scanDirectory(absoluteFolder(directory), config)) {
        qCWarning(lcApp) << "cannot list the folder" << QString::fromStdString(directory);
        ui.message("Error opening directory: " + directory);
        return false;
    }
    if (!file.empty()) {
        auto found = images.findByName(file);
        // A photo named on the command line is shown even when no pattern lists its kind (a stored
        // list from before the viewer read it, a camera's own extension): it joins the list.
        if (!found && PictureDecoder::readsPicture(images.pathOf(file)))
            found = images.addUnlisted(file, config);
        if (!found) {
            qCWarning(lcApp) << "the start file is not a picture the viewer lists:" << QString::fromStdString(file);
            ui.message("Can't find '" + directory + "/" + file + "'");
            return false;
        }
        images.setCurrent(found->index);
        images.current().shown = found->version;
        return true;
    }
    images.setCurrent(0);
    if (images.count() > 0)
        images.current().shown = images.current().hasEdited ? kEdited : kOriginal;
    return true;
}

MarqueloApp::MarqueloApp(SettingsStore& store, SettingsEnvironment env, UserInterface& ui, StartupHooks& hooks)
    : m_store(store), m_env(std::move(env)), m_ui(ui),
      m_hooks(hooks), m_context{m_config, m_images, m_ui, nullptr, {}, {}}
{
    m_context.programDirectory = m_env.programDirectory;
    m_context.saveSettings = [this] { m_store.save(m_config, m_ui); };
}

MarqueloApp::~MarqueloApp() = default;

std::string MarqueloApp::helpText()
{
    return "Usage: marquelo [PHOTO-OR-FOLDER]\n"
           "Shows the photos of a folder one at a time, full window, and builds web pages from them.\n"
           "Started on a photo, shows that photo; on a folder, its first photo; without an argument,\n"
           "asks for a folder. Several arguments are joined with single spaces into one path.\n"
           "\n"
           "  --help     show this help and exit\n"
           "  --version  show the version and exit\n";
}

std::string MarqueloApp::versionText()
{
    return "Marquelo 1." + std::to_string(kProgramVersion) + "\n";
}

bool MarqueloApp::prepare(const std::vector<std::string>& argv)
{
    registerEarlyHooks(m_context);

    const std::string argument = joinArguments(argv);
    StartPath start;
    // The folder chooser comes before the settings, so a first start without an argument asks for
    // the folder before it shows the disclaimer. Cancel ends without loading or saving anything.
    if (argument.empty() && !m_hooks.chooseImageDirectory(start.directory))
        return false;

    // A packaged installation (a folder the program cannot write in, as the update check tells it) is
    // updated by the package manager: the first run does not offer the check. Probed on the first run
    // only, so that later starts never write in the program's folder.
    const bool selfUpdating = m_store.readConfigIsValid() != 0 || canWriteInDirectory(m_env.programDirectory);
    if (!loadSettings(m_store, m_env, m_config, m_ui, m_hooks,
                      selfUpdating ? m_context.checkForUpdates : std::function<void()>()))
        return false;
    if (!ensureOutputFolders(m_config, m_ui))
        return false;

    if (!argument.empty())
        start = resolveStartPath(argument);
    if (!selectStartImage(m_images, m_config, start.directory, start.file, m_ui))
        return false;
    m_directory = m_images.directory();
    // Started programs inherit the image folder as their working folder.
    std::error_code ec;
    std::filesystem::current_path(m_directory, ec);
    return true;
}

void MarqueloApp::runViewer()
{
    m_window = std::make_unique<ViewerWindow>(m_config, m_images, m_ui);
    m_context.window = m_window.get();
    if (auto* qui = dynamic_cast<QtUserInterface*>(&m_ui))
        qui->setFallbackParent(m_window.get());
    registerRooms(m_context);

    std::unique_ptr<EarlyHandOver> handOver;
    if (m_early) {
        // The early window shows the photo meanwhile. The viewer window is mapped over it once the photo
        // is loaded (and on the early window), in its final state, and draws the photo in its first
        // paint: its X window has no background of its own, so until then it shows the early picture
        // under it, and its first frame is never the bare background.
        handOver = std::make_unique<EarlyHandOver>(std::move(m_early), *m_window);
        m_window->waitForStart();
        handOver->waitForEarlyPicture();
        m_window->start();
    } else {
        // Shown before the start photo is laid out, which waits for nothing: the window system maps the
        // window while the photo decodes, and the photo is laid out when its decode ends.
        if (m_config.StartMaximized)
            m_window->showMaximized();
        else
            m_window->show();
        m_window->showStart();
    }
    m_window->showKeyHint();

    if (runWindowLoop) {
        runWindowLoop(*m_window);
    } else {
        QObject::connect(m_window.get(), &ViewerWindow::exitRequested, qApp, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        QApplication::setQuitOnLastWindowClosed(true);
        QApplication::exec();
    }
    m_window->hide();
    if (auto* qui = dynamic_cast<QtUserInterface*>(&m_ui))
        qui->setFallbackParent(nullptr);
}

void MarqueloApp::finish()
{
    // The store, not the record, decides: if someone removed the settings while the program ran, they
    // stay removed.
    if (m_store.readConfigIsValid() != 0)
        m_store.save(m_config, m_ui);
}

int MarqueloApp::run(const std::vector<std::string>& argv)
{
    const bool ready = prepare(argv);
    if (!ready) {
        if (m_early)
            m_early->close();
        m_early.reset();
        return 0;
    }
    runViewer();
    finish();
    return 0;
}

} // namespace marquelo
