#include "core/tools/Launcher.h"

#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
namespace marquelo {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* name;
    const char* text;
    Args args;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, SplitsLikeAWindowsCommandLine)
{
    EXPECT_EQ(splitCommandLine(GetParam().text), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SplitTest,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"Blanks", "  \t ", {}}, SplitCase{"Words", "a b  c", {"a", "b", "c"}},
        SplitCase{"QuotedPathWithSpace", R"("/p/My Photos/a b.jpg" /jpgq=85)", {"/p/My Photos/a b.jpg", "/jpgq=85"}},
        SplitCase{"QuotesInsideAWord", R"(/convert="/out dir/x.jpg")", {"/convert=/out dir/x.jpg"}},
        SplitCase{"EmptyQuotes", R"(a "" b)", {"a", "", "b"}},
        SplitCase{"UnclosedQuoteRunsToEnd", R"(a "b c)", {"a", "b c"}},
        SplitCase{"BackslashIsPlain", R"(C:\x\ "y\" z)", {R"(C:\x\)", R"(y\)", "z"}},
        SplitCase{"ShellCharactersArePlain", R"("$(rm -rf ~); `id` | > &" *)", {"$(rm -rf ~); `id` | > &", "*"}}),
    [](const auto& row) { return std::string(row.param.name); });

// A program that writes each argument it receives, NUL-terminated, then renames the list into place.
class LauncherTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    test::ScriptedUserInterface ui;

    std::string path(const char* name) const { return dir.path().toStdString() + "/" + name; }

    std::string writeRecorder()
    {
        const std::string script = path("record args");
        std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" << path("args.tmp")
                              << "'\nmv '" << path("args.tmp") << "' '" << path("args") << "'\n";
        QFile::setPermissions(QString::fromStdString(script), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return script;
    }

    // The arguments the recorder got; waits for the detached program to finish.
    Args recorded()
    {
        for (int i = 0; i < 500 && !QFile::exists(QString::fromStdString(path("args"))); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(path("args"), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        Args args;
        std::string one;
        while (std::getline(all, one, '\0'))
            args.push_back(one);
        return args;
    }
};

TEST_F(LauncherTest, ArgumentsReachTheProgramAsPlainText)
{
    const std::string program = writeRecorder();
    const std::string args =
        R"("/photos/My Trip/DSC 0012 (Copy).JPG" /crop=(0,0,4000,3000) /convert="/out/it's; $(touch pwned) `id`.jpg")";
    EXPECT_TRUE(launchTool(program, splitCommandLine(args), false, ui));
    EXPECT_EQ(recorded(), (Args{"/photos/My Trip/DSC 0012 (Copy).JPG", "/crop=(0,0,4000,3000)",
                                "/convert=/out/it's; $(touch pwned) `id`.jpg"}));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(QFile::exists(QStringLiteral("pwned")));
}

TEST_F(LauncherTest, ProgramIsFoundOnPath)
{
    const std::string program = writeRecorder();
    QFile::rename(QString::fromStdString(program), QString::fromStdString(path("marquelo-test-recorder")));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", dir.path().toUtf8() + ":" + oldPath);
    const ResolvedApplication found = resolveApplication("marquelo-test-recorder");
    EXPECT_TRUE(launchTool("marquelo-test-recorder", Args{"x", "y"}, false, ui));
    qputenv("PATH", oldPath);
    EXPECT_EQ(found.kind, ResolvedApplication::Program);
    EXPECT_EQ(found.path, path("marquelo-test-recorder"));
    EXPECT_EQ(recorded(), (Args{"x", "y"}));
}

TEST_F(LauncherTest, CurrentFolderNeverSuppliesAProgram)
{
    writeRecorder();
    QFile::rename(QString::fromStdString(path("record args")), QString::fromStdString(path("planted")));
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    EXPECT_EQ(resolveApplication("planted").kind, ResolvedApplication::NotFound);
    QDir::setCurrent(old);
}

TEST_F(LauncherTest, MissingProgramSaysFailedToLaunch)
{
    const std::string missing = path("no such program");
    EXPECT_FALSE(launchTool(missing, Args{"a"}, false, ui));
    EXPECT_FALSE(launchTool("marquelo-no-such-program-anywhere", Args{}, false, ui));
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"Failed to launch '" + missing + "'",
                                                     "Failed to launch 'marquelo-no-such-program-anywhere'"}));
}

TEST_F(LauncherTest, DocumentGoesToTheDefaultProgram)
{
    const std::string page = path("index.html");
    std::ofstream(page) << "<p>page</p>";
    std::vector<std::string> opened;
    const DocumentOpener previous = setDocumentOpener([&opened](const std::string& p) {
        opened.push_back(p);
        return true;
    });
    EXPECT_TRUE(launchTool(page, Args{"arguments", "are", "ignored"}, false, ui));
    EXPECT_TRUE(openDocument(page, ui));
    setDocumentOpener(previous);
    EXPECT_EQ(opened, (std::vector<std::string>{page, page}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(LauncherTest, DocumentWithoutAProgramReportsCode31)
{
    const std::string movie = path("clip.xyz");
    std::ofstream(movie) << "data";
    const DocumentOpener previous = setDocumentOpener([](const std::string&) { return false; });
    EXPECT_FALSE(launchTool(movie, Args{}, false, ui));
    setDocumentOpener(previous);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Failed to launch '" + movie + "'\n\n(ShellExecute returned 31)"});
}

TEST_F(LauncherTest, ExecutablePhotoIsOpenedNeverRun)
{
    // Photos copied from a memory card often carry execute bits.
    const std::string photo = writeRecorder();
    std::vector<std::string> opened;
    const DocumentOpener previous = setDocumentOpener([&opened](const std::string& p) {
        opened.push_back(p);
        return true;
    });
    EXPECT_TRUE(openDocument(photo, ui));
    setDocumentOpener(previous);
    EXPECT_EQ(opened, std::vector<std::string>{photo});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("args"))));
}

TEST_F(LauncherTest, ProgramThatCannotStartReportsCode5)
{
    // Executable but not a program: no interpreter line, not a binary.
    const std::string file = path("not a program");
    std::ofstream(file) << "\x7f"
                           "ELF garbage";
    QFile::setPermissions(QString::fromStdString(file), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(launchTool(file, Args{}, false, ui));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Failed to launch '" + file + "'\n\n(ShellExecute returned 5)"});
}

} // namespace
} // namespace marquelo
