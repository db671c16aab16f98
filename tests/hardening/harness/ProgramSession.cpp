#include "harness/ProgramSession.h"

#include "harness/Programs.h"

#include "app/MarqueloApp.h"
#include "core/settings/SettingsStore.h"
#include "core/tools/Launcher.h"
#include "core/viewer/PictureDecoder.h"
#include "support/TestSupport.h"
#include "ui/viewer/ViewerWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace marquelo::test {

namespace {

// marquelo-convert of this build: from the build folder ctest names, else two levels above this test.
std::string convertProgram()
{
    const std::string named = builtProgram("marquelo-convert");
    if (fs::exists(named))
        return named;
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../../src/marquelo-convert"))
        .absolutePath()
        .toStdString();
}

SettingsEnvironment environmentFor(const std::string& work)
{
    SettingsEnvironment env;
    env.programDirectory = fs::path(convertProgram()).parent_path().string();
    env.picturesDirectory = work;
    env.imageEditor = "true";
    env.htmlEditor = "true";
    return env;
}

} // namespace

ProgramSession::ProgramSession()
{
    fs::create_directories(photos());
    // The defaults of the key table, then every folder and program kept inside the work folder.
    SettingsStore(QString::fromStdString(settingsFile())).load(m_settings, environmentFor(work()));
    fs::remove(settingsFile());
    AppConfig& c = m_settings;
    c.BaseOutputDirectory = c.CurOutputDirectory = output();
    c.BestOfDirectory = favorites();
    c.InstallationPath = work() + "/install";
    const std::string convert = convertProgram();
    c.ImageCompressApp = c.RotateLeftApp = c.RotateRightApp = c.FlipApp = c.MirrorApp = convert;
    c.ImageEditApp = c.HtmlEditor = c.PreviewBrowser = "true";
    c.Tool1App = c.Tool2App = c.Tool3App = c.Tool4App = "true";
    c.StartMaximized = false;
    c.PageInfo = false;
    // No desktop program may open a document the tests produce.
    setDocumentOpener([](const std::string&) { return true; });
}

ProgramSession::~ProgramSession()
{
    // Tools started by the program are detached; none may outlive the folder it works in.
    killProgramsMentioning(work());
    setDocumentOpener({});
    // QTemporaryDir cannot name files whose names are not UTF-8; the standard library can.
    std::error_code ec;
    fs::remove_all(work(), ec);
}

bool ProgramSession::run(const std::function<void(ViewerWindow&)>& script, std::string argument)
{
    SettingsStore store(QString::fromStdString(settingsFile()));
    ScriptedUserInterface quiet;
    store.save(m_settings, quiet);

    MarqueloApp app(store, environmentFor(work()), ui, hooks);
    if (!app.prepare({"marquelo", argument.empty() ? photos() : argument}))
        return false;
    app.runWindowLoop = [&script](ViewerWindow& window) {
        window.resize(800, 600);
        settle();
        script(window);
        settle();
    };
    app.runViewer();
    app.finish();
    m_settings = app.config();
    return true;
}

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    } while (clock.elapsed() < ms);
}

void tickChangeCheck(ViewerWindow& window)
{
    // The timer's signal is private to QTimer; the meta-object reaches it as the timer itself would.
    QMetaObject::invokeMethod(&window.changeTimer(), "timeout", Qt::DirectConnection);
}

void typeCaption(ViewerWindow& window, const QString& text, bool shift)
{
    QLineEdit* box = nullptr;
    for (QLineEdit* edit : window.findChildren<QLineEdit*>())
        if (edit->isVisible())
            box = edit;
    if (!box)
        return;
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Return, shift ? Qt::ShiftModifier : Qt::NoModifier);
}

std::vector<std::string> copyCorpusPhotos(const std::string& folder, int count, int side)
{
    std::vector<fs::path> sources;
    for (const auto& entry : fs::directory_iterator(photoFolder("camera")))
        if (entry.path().extension() == ".jpg")
            sources.push_back(entry.path());
    std::sort(sources.begin(), sources.end());
    std::vector<std::string> names;
    for (int i = 0; i < count && !sources.empty(); ++i) {
        const DecodedPicture picture =
            PictureDecoder::decodeFile(sources[std::size_t(i) % sources.size()].string(), QSize(side, side));
        if (!picture.ok)
            continue;
        char name[32];
        std::snprintf(name, sizeof name, "photo-%02d.jpg", i + 1);
        const QImage small = picture.image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (small.save(QString::fromStdString(folder + "/" + name), "JPG", 85))
            names.emplace_back(name);
    }
    return names;
}

} // namespace marquelo::test
