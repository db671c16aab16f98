// The first run, the update question, the image tool check and the output folders.
#include "core/settings/Startup.h"
#include "support/ScriptedStartupHooks.h"
#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace marquelo {
namespace {

using Answer = UserInterface::Answer;
const std::string kQuestion = "Connect to the internet and check for updates?";

class FirstRunTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("store.conf"));
    SettingsStore store{file};
    SettingsEnvironment env{dir.path().toStdString(), dir.path().toStdString(), "gimp", "gedit"};
    AppConfig config;
    test::ScriptedUserInterface ui;
    test::ScriptedStartupHooks hooks;
    int checks = 0;

    bool load()
    {
        return loadSettings(store, env, config, ui, hooks, [this] { ++checks; });
    }
    void storeCompressApp(const std::string& app)
    {
        QSettings s(file, QSettings::IniFormat);
        s.setValue(QStringLiteral("Configuration/ImageCompressApp"), QString::fromStdString(app));
    }
};

TEST_F(FirstRunTest, DeclinedDisclaimerEndsAndWritesNothing)
{
    hooks.accept = false;
    EXPECT_FALSE(load());
    EXPECT_EQ(hooks.shown, std::vector<std::string>{"disclaimer"});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(FirstRunTest, APackagedInstallationIsNotAskedAboutUpdates)
{
    hooks.accept = true;
    EXPECT_TRUE(loadSettings(store, env, config, ui, hooks, {}));
    EXPECT_EQ(store.readConfigIsValid(), 1);
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(FirstRunTest, AcceptedDisclaimerSavesThenAsksThenShowsTheNotice)
{
    // The bundled tool is neither beside the (test) program nor on PATH.
    ui.answers = {Answer::No};
    EXPECT_TRUE(load());
    EXPECT_EQ(store.readConfigIsValid(), 1);
    EXPECT_EQ(ui.questions, std::vector<std::string>{kQuestion});
    EXPECT_EQ(checks, 0);
    EXPECT_EQ(hooks.shown, (std::vector<std::string>{"disclaimer", "help:104"}));
}

struct AnswerCase {
    Answer answer;
    int checks;
};
class UpdateQuestionTest : public FirstRunTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(UpdateQuestionTest, OnlyYesChecks)
{
    ui.answers = {GetParam().answer};
    ASSERT_TRUE(load());
    EXPECT_EQ(checks, GetParam().checks);
}

INSTANTIATE_TEST_SUITE_P(Rows, UpdateQuestionTest,
                         ::testing::Values(AnswerCase{Answer::Yes, 1}, AnswerCase{Answer::No, 0},
                                           AnswerCase{Answer::Cancel, 0}));

TEST_F(FirstRunTest, NoNoticeWhenTheImageToolIsThere)
{
    QFile tool(dir.filePath(QStringLiteral("marquelo-convert")));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.close();
    EXPECT_TRUE(load());
    EXPECT_EQ(hooks.shown, std::vector<std::string>{"disclaimer"});
}

TEST_F(FirstRunTest, LaterStartsRunNoFirstRun)
{
    ASSERT_TRUE(load());
    hooks.shown.clear();
    ui.questions.clear();
    EXPECT_TRUE(load());
    EXPECT_TRUE(hooks.shown.empty());
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(FirstRunTest, StoredValuesOfAnUnsavedStoreAreKeptByTheFirstSave)
{
    storeCompressApp("/bin/sh");
    ASSERT_TRUE(load());
    EXPECT_EQ(config.ImageCompressApp, "/bin/sh");
    EXPECT_EQ(hooks.shown, std::vector<std::string>{"disclaimer"}); // /bin/sh exists: no notice
}

struct ProgramCase {
    const char* program;
    bool inProgramFolder; // create the file in the program folder first
    bool exists;
};
class ProgramExistsTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramExistsTest, ResolvesLikeTheLauncher)
{
    QTemporaryDir programDir;
    if (GetParam().inProgramFolder) {
        QFile f(programDir.filePath(QString::fromLatin1(GetParam().program)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(programExists(GetParam().program, programDir.path().toStdString()), GetParam().exists)
        << GetParam().program;
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgramExistsTest,
                         ::testing::Values(ProgramCase{"/bin/sh", false, true}, // a path: that path
                                           ProgramCase{"/no/such/tool", false, false},
                                           ProgramCase{"/tmp", false, true}, // a folder also exists
                                           ProgramCase{"sh", false, true},   // a bare name: PATH
                                           ProgramCase{"marquelo-nowhere-tool", false, false},
                                           ProgramCase{"marquelo-beside", true, true}, // program folder first
                                           ProgramCase{"", false, false}));

class FoldersTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    AppConfig config;
    test::ScriptedUserInterface ui;
    std::string path(const char* name) { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
    void makeFile(const char* name)
    {
        QFile f(QString::fromStdString(path(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
};

TEST_F(FoldersTest, MissingFoldersAreCreatedWithTheirParents)
{
    config.BaseOutputDirectory = path("web/out");
    config.BestOfDirectory = path("web/out/best/of");
    EXPECT_TRUE(ensureOutputFolders(config, ui));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(config.BestOfDirectory)).isDir());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ensureFolder(config.BaseOutputDirectory), FolderState::Existed);
}

TEST_F(FoldersTest, OutputNamedByAFileEndsStartUp)
{
    makeFile("out");
    config.BaseOutputDirectory = path("out");
    config.BestOfDirectory = path("best");
    EXPECT_FALSE(ensureOutputFolders(config, ui));
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"'" + path("out") + "' is not a diectory. Application cannot run."});
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("best"))));
}

TEST_F(FoldersTest, FavoritesNamedByAFileEndsStartUp)
{
    makeFile("best");
    config.BaseOutputDirectory = path("out");
    config.BestOfDirectory = path("best");
    EXPECT_FALSE(ensureOutputFolders(config, ui));
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("best' is not a diectory"), std::string::npos);
}

TEST_F(FoldersTest, AFolderThatCannotBeMadeIsNotReported)
{
    makeFile("file");
    config.BaseOutputDirectory = path("file/below");
    config.BestOfDirectory = path("best");
    EXPECT_EQ(ensureFolder(config.BaseOutputDirectory), FolderState::NotCreated);
    EXPECT_TRUE(ensureOutputFolders(config, ui));
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace marquelo
