// The real start-up path on a temporary folder: first run, start photo, folders, the window, the exit.
#include "app/MarqueloApp.h"
#include "support/ScriptedStartupHooks.h"
#include "support/ScriptedUserInterface.h"
#include "support/TestSupport.h"
#include "ui/viewer/ViewerWindow.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>

namespace marquelo {
namespace {

class StartupRunTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString storeFile = tmp.filePath(QStringLiteral("config/marquelo.conf"));
    QString photos = tmp.filePath(QStringLiteral("photos"));
    SettingsStore store{storeFile};
    SettingsEnvironment env{tmp.filePath(QStringLiteral("bin")).toStdString(),
                            tmp.filePath(QStringLiteral("pics")).toStdString(), "gimp", "gedit"};
    test::ScriptedUserInterface ui;
    test::ScriptedStartupHooks hooks;
    std::unique_ptr<MarqueloApp> app;
    int windowRuns = 0;
    QString title;
    std::function<void(ViewerWindow&)> duringRun;

    void SetUp() override
    {
        QDir().mkpath(photos);
        // A program folder of its own, as an unpacked installation has: it updates itself.
        QDir().mkpath(tmp.filePath(QStringLiteral("bin")));
        for (const char* name : {"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0002_edit.jpg"})
            QFile::copy(QString::fromStdString(test::sourceDir() + "/samples/") + QLatin1String(name),
                        photos + u'/' + QLatin1String(name));
        app = std::make_unique<MarqueloApp>(store, env, ui, hooks);
        app->runWindowLoop = [this](ViewerWindow& w) {
            ++windowRuns;
            title = w.windowTitle();
            if (duringRun)
                duringRun(w);
        };
    }
    // A store that was saved before, so no first run happens.
    void validStore(const QByteArray& extra = {})
    {
        QDir().mkpath(QFileInfo(storeFile).absolutePath());
        QFile f(storeFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Configuration]\nConfigIsValid=1\nBaseOutputDirectory=" + tmp.filePath("out").toUtf8() +
                "\nBestOfDirectory=" + tmp.filePath("best").toUtf8() + "\n" + extra);
    }
    QByteArray storeBytes()
    {
        QFile f(storeFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "marquelo");
        return app->run(args);
    }
    std::string photo(const char* name) { return (photos + u'/' + QLatin1String(name)).toStdString(); }
};

TEST_F(StartupRunTest, FirstStartOnAPhotoRunsTheFirstRunThenTheWindow)
{
    EXPECT_EQ(run({photo("IMG_0002.jpg")}), 0);
    // The bundled tool is neither in the (test) program folder nor on PATH: the notice follows.
    EXPECT_EQ(hooks.shown, (std::vector<std::string>{"disclaimer", "help:104"}));
    EXPECT_EQ(ui.questions, std::vector<std::string>{"Connect to the internet and check for updates?"});
    EXPECT_EQ(windowRuns, 1);
    EXPECT_EQ(title, photos + QStringLiteral("/IMG_0002.jpg - Marquelo"));
    EXPECT_EQ(app->images().currentName(), "IMG_0002.jpg");
    EXPECT_EQ(store.readConfigIsValid(), 1);
    EXPECT_TRUE(QFileInfo(tmp.filePath(QStringLiteral("pics/Marquelo/favorites"))).isDir());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StartupRunTest, EditedCopyNameStartsOnItsEntryShowingTheCopy)
{
    validStore();
    ASSERT_TRUE(app->prepare({"marquelo", photo("IMG_0002_edit.jpg")}));
    EXPECT_EQ(app->images().current().files[kOriginal].name, "IMG_0002.jpg");
    EXPECT_EQ(app->images().current().shown, int(kEdited));
}

TEST_F(StartupRunTest, FolderStartsOnTheFirstEntry)
{
    validStore();
    ASSERT_TRUE(app->prepare({"marquelo", photos.toStdString()}));
    EXPECT_EQ(app->images().currentIndex(), 0);
    EXPECT_EQ(app->images().currentName(), "IMG_0001.jpg");
}

TEST_F(StartupRunTest, SplitArgumentsAreJoinedIntoOnePath)
{
    validStore();
    QDir().mkpath(tmp.filePath(QStringLiteral("My Photos")));
    QFile::copy(QString::fromStdString(photo("IMG_0001.jpg")), tmp.filePath(QStringLiteral("My Photos/IMG 1.JPG")));
    const std::string my = tmp.filePath(QStringLiteral("My")).toStdString();
    EXPECT_EQ(run({my, "Photos/IMG", "1.JPG"}), 0);
    EXPECT_EQ(title, tmp.filePath(QStringLiteral("My Photos/IMG 1.JPG - Marquelo")));
}

TEST_F(StartupRunTest, BareFileNameIsLookedForInTheCurrentFolder)
{
    validStore();
    const QString before = QDir::currentPath();
    QDir::setCurrent(photos);
    const bool ok = app->prepare({"marquelo", "IMG_0001.jpg"});
    QDir::setCurrent(before);
    ASSERT_TRUE(ok);
    EXPECT_EQ(app->images().currentName(), "IMG_0001.jpg");
    EXPECT_EQ(QString::fromStdString(app->imageDirectory()), photos);
}

TEST_F(StartupRunTest, NamedPhotoOfAnUnlistedKindOpensAsTheStartEntry)
{
    // A list stored before the viewer read this kind: the named file still opens, where it sorts.
    validStore("PictureExtensions=*.png\nSorting=1\n");
    QFile::copy(QString::fromStdString(photo("IMG_0001.jpg")), photos + QStringLiteral("/IMG_0001b.hif"));
    ASSERT_TRUE(app->prepare({"marquelo", photo("IMG_0001b.hif")}));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(app->images().currentName(), "IMG_0001b.hif");
    EXPECT_EQ(app->images().currentIndex(), 1);
    EXPECT_TRUE(app->images().current().isPicture);

    // A file that is no picture stays unknown to the viewer.
    QFile text(photos + QStringLiteral("/notes.hif"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("words\n");
    text.close();
    MarqueloApp another(store, env, ui, hooks);
    EXPECT_FALSE(another.prepare({"marquelo", photo("notes.hif")}));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Can't find '" + photos.toStdString() + "/notes.hif'"});
}

TEST_F(StartupRunTest, FolderWithAFullStopInItsNameIsTheImageFolder)
{
    validStore();
    const QString trip = tmp.filePath(QStringLiteral("2024.06 Trip"));
    QDir().mkpath(trip);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(photo("IMG_0002.jpg")), trip + QStringLiteral("/IMG_0002.jpg")));
    for (const std::string& argument : {trip.toStdString(), trip.toStdString() + "/"}) {
        MarqueloApp another(store, env, ui, hooks);
        ASSERT_TRUE(another.prepare({"marquelo", argument})) << argument;
        EXPECT_EQ(another.imageDirectory(), trip.toStdString());
        EXPECT_EQ(another.images().currentName(), "IMG_0002.jpg");
    }
    // "Open with" hands the folder over as several words when the desktop splits at spaces.
    EXPECT_EQ(run({tmp.filePath(QStringLiteral("2024.06")).toStdString(), "Trip"}), 0);
    EXPECT_EQ(title, trip + QStringLiteral("/IMG_0002.jpg - Marquelo"));
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
}

TEST_F(StartupRunTest, FolderWhoseNameIsNotUtf8OpensByItsOwnBytes)
{
    validStore();
    namespace fs = std::filesystem;
    const std::string root = tmp.path().toStdString();
    const std::string odd = root + "/Reise \xC4rger";
    fs::create_directories(odd);
    fs::copy_file(photo("IMG_0001.jpg"), odd + "/IMG_0001.jpg");
    // Its look-alike after a round trip through QString, which must not be opened instead.
    fs::create_directories(root + "/Reise \xEF\xBF\xBDrger");
    fs::copy_file(photo("IMG_0002.jpg"), root + "/Reise \xEF\xBF\xBDrger/IMG_0002.jpg");

    for (const std::string& argument : {odd, odd + "/", odd + "/IMG_0001.jpg"}) {
        MarqueloApp another(store, env, ui, hooks);
        ASSERT_TRUE(another.prepare({"marquelo", argument})) << argument;
        EXPECT_EQ(another.imageDirectory(), odd);
        EXPECT_EQ(another.images().currentName(), "IMG_0001.jpg");
        EXPECT_EQ(fs::current_path().string(), odd) << "started programs work in the image folder";
    }
    // The folder chooser hands its bytes on too.
    hooks.chosenDirectory = odd;
    ASSERT_TRUE(app->prepare({"marquelo"}));
    EXPECT_EQ(app->imageDirectory(), odd);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    fs::current_path(root);
    fs::remove_all(odd); // QTemporaryDir removes by text, which misses this name
}

struct EndCase {
    const char* name;
    const char* argument; // relative to the temporary folder
    const char* message;  // expected message with {} for the temporary folder
};
class StartupEndTest : public StartupRunTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(StartupEndTest, EndsWithoutWindowAndWithoutSaving)
{
    validStore("OutputFilename=kept.html\n");
    QFile blocker(tmp.filePath(QStringLiteral("out")));
    if (std::string(GetParam().name) == "output-is-a-file") {
        QDir(tmp.filePath(QStringLiteral("out"))).removeRecursively();
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
    }
    const QByteArray before = storeBytes();
    const std::string arg = tmp.filePath(QLatin1String(GetParam().argument)).toStdString();
    EXPECT_EQ(run({arg}), 0);
    std::string expected = GetParam().message;
    expected.replace(expected.find("{}"), 2, tmp.path().toStdString());
    EXPECT_EQ(ui.messages, std::vector<std::string>{expected});
    EXPECT_EQ(windowRuns, 0);
    EXPECT_EQ(storeBytes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartupEndTest,
    ::testing::Values(EndCase{"case-differs", "photos/img_0002.jpg", "Can't find '{}/photos/img_0002.jpg'"},
                      EndCase{"no-such-photo", "photos/IMG_0003.jpg", "Can't find '{}/photos/IMG_0003.jpg'"},
                      EndCase{"no-such-folder", "gone/IMG_0001.jpg", "Error opening directory: {}/gone"},
                      EndCase{"output-is-a-file", "photos", "'{}/out' is not a diectory. Application cannot run."}),
    [](const auto& row) {
        std::string n = row.param.name;
        std::replace(n.begin(), n.end(), '-', '_');
        return n;
    });

TEST_F(StartupRunTest, DeclinedFirstStartWithoutArgumentLeavesNoSettings)
{
    hooks.chosenDirectory = photos.toStdString();
    hooks.accept = false;
    EXPECT_EQ(run({}), 0);
    EXPECT_EQ(hooks.shown, (std::vector<std::string>{"folder", "disclaimer"})); // folder first
    EXPECT_FALSE(QFile::exists(storeFile));
    EXPECT_EQ(windowRuns, 0);
}

TEST_F(StartupRunTest, CancelledFolderChooserLoadsAndSavesNothing)
{
    hooks.chooseFolder = false;
    EXPECT_EQ(run({}), 0);
    EXPECT_EQ(hooks.shown, std::vector<std::string>{"folder"});
    EXPECT_FALSE(QFile::exists(storeFile));
}

TEST_F(StartupRunTest, ChosenFolderIsShownFromItsFirstPhoto)
{
    validStore();
    hooks.chosenDirectory = photos.toStdString();
    EXPECT_EQ(run({}), 0);
    EXPECT_EQ(title, photos + QStringLiteral("/IMG_0001.jpg - Marquelo"));
}

TEST_F(StartupRunTest, ExitSavesWhatChangedWhileRunning)
{
    validStore();
    duringRun = [](ViewerWindow& w) { w.config().OutputFilename = "trip.html"; };
    EXPECT_EQ(run({photos.toStdString()}), 0);
    EXPECT_EQ(QSettings(storeFile, QSettings::IniFormat).value(QStringLiteral("Configuration/OutputFilename")),
              QStringLiteral("trip.html"));
}

TEST_F(StartupRunTest, ExitDoesNotSaveAfterTheStoreWasWiped)
{
    validStore();
    duringRun = [this](ViewerWindow& w) {
        w.config().OutputFilename = "trip.html";
        QFile::remove(storeFile);
    };
    EXPECT_EQ(run({photos.toStdString()}), 0);
    EXPECT_FALSE(QFile::exists(storeFile));
}

TEST(ProgramOptionsTest, VersionAndHelpNeedNoDisplay)
{
    for (const auto& [option, expected] : {std::pair{"--version", "Marquelo 1.16\n"}, std::pair{"--help", "Usage:"}}) {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove(QStringLiteral("DISPLAY"));
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        p.setProcessEnvironment(e);
        p.start(QString::fromStdString(test::builtProgram("marquelo")), {QLatin1String(option)});
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).startsWith(QLatin1String(expected))) << option;
    }
}

// The program as a user starts it, with no display anywhere in its environment.
struct ProgramRun {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
    QString err;
};

ProgramRun runWithoutDisplay(const QStringList& arguments, const QString& platform = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        e.remove(QLatin1String(name));
    if (!platform.isEmpty())
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    p.setProcessEnvironment(e);
    p.start(QString::fromStdString(test::builtProgram("marquelo")), arguments);
    ProgramRun run;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitCode();
    run.status = p.exitStatus();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

TEST(ProgramOptionsTest, NoDisplaySaysSoInsteadOfAborting)
{
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(test::sourceDir() + "/samples/IMG_0001.jpg"), photo));
    for (const QString& platform : {QString(), QStringLiteral("xcb"), QStringLiteral("wayland")}) {
        const ProgramRun run = runWithoutDisplay({photo}, platform);
        EXPECT_EQ(run.status, QProcess::NormalExit) << platform.toStdString();
        EXPECT_EQ(run.exitCode, 1) << platform.toStdString();
        EXPECT_EQ(run.err, QStringLiteral("cannot open a display: set DISPLAY or WAYLAND_DISPLAY\n"));
    }
}

TEST(ProgramOptionsTest, UnknownOptionPrintsTheUsage)
{
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--foo")}, QStringList{QStringLiteral("photo.jpg"), QStringLiteral("-x")}}) {
        const ProgramRun run = runWithoutDisplay(arguments);
        EXPECT_EQ(run.status, QProcess::NormalExit);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String("Usage: marquelo"))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(arguments.last())) << run.err.toStdString();
    }
}

} // namespace
} // namespace marquelo
