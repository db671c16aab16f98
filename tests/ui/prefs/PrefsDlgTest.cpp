#include "PrefsDlgFixture.h"

#include "ui/prefs/PrefsPage.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

#include <functional>

namespace marquelo::test {
namespace {

using PrefsDlgTest = PrefsDlgFixture;

constexpr int kGeneral = 0, kEditCompress = 1, kMisc = 2, kTools = 4, kHtml = 5;

TEST_F(PrefsDlgTest, OpensWithTheSettingsInTheControls)
{
    config.ReadAhead = false;
    config.CacheDepth = 3;
    config.Sorting = 2;
    config.FavoriteSize = 0;
    config.TemplateBegin1 = "<html>\r\n<head>";
    config.CurrentCfgTab = kMisc;
    open();

    EXPECT_EQ(dlg->windowTitle(), "Preferences");
    ASSERT_EQ(dlg->tabBar()->count(), 6);
    const char* captions[] = {"General", "Edit/Compress", "Misc", "Rotate/Flip", "Tools", "HTML creation"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(dlg->tabBar()->tabText(i), captions[i]);
    EXPECT_EQ(dlg->shownPage(), kMisc);
    EXPECT_TRUE(dlg->page(kMisc)->isVisible());
    EXPECT_FALSE(dlg->page(kGeneral)->isVisible());

    EXPECT_EQ(control("BaseOutputDirectory")->text().toStdString(), config.BaseOutputDirectory);
    EXPECT_EQ(control("CacheDepth")->text(), "3");
    EXPECT_FALSE(control("CacheDepth")->isEnabled());
    EXPECT_TRUE(control<QRadioButton>("Sorting2")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("FavoriteSize0")->isChecked());
    EXPECT_EQ(control<QPlainTextEdit>("TemplateBegin1")->toPlainText(), "<html>\n<head>");
    EXPECT_EQ(dlg->findChild<QLabel*>(QStringLiteral("PlaceholderLegend"))->text(),
              "%1=input dir  %2=input filename  %3=output dir  %4=output filename\n"
              "%5=crop coordinates  %6,%7 = image height,width");
}

TEST_F(PrefsDlgTest, DepthFollowsReadAhead)
{
    config.ReadAhead = true;
    open();
    QLineEdit* depth = control("CacheDepth");
    EXPECT_TRUE(depth->isEnabled());
    setChecked("ReadAhead", false);
    EXPECT_FALSE(depth->isEnabled());
    EXPECT_FALSE(depth->validator() == nullptr);
    setChecked("ReadAhead", true);
    EXPECT_TRUE(depth->isEnabled());
}

// A rejected OK: what was typed, the message expected ("%s" = the path typed), the page expected in
// front afterwards and the control that must hold the focus (empty: focus not moved).
struct Rejection {
    const char* what;
    std::function<std::string(PrefsDlgFixture&)> enter; // returns the path of %s, if any
    const char* message;
    int page;
    const char* focus;
};

const Rejection kRejections[] = {
    {"empty directory",
     [](PrefsDlgFixture& f) {
         f.setText("BaseOutputDirectory", "");
         return std::string();
     },
     "This item cannot be blank", kGeneral, "BaseOutputDirectory"},
    {"file as directory",
     [](PrefsDlgFixture& f) {
         const std::string file = f.path("photo.jpg");
         QFile(QString::fromStdString(file)).open(QIODevice::WriteOnly);
         f.setText("BaseOutputDirectory", file);
         return file;
     },
     "'%s' is a file, not a directory", kGeneral, "BaseOutputDirectory"},
    {"missing directory",
     [](PrefsDlgFixture& f) {
         f.setText("BaseOutputDirectory", f.path("gone"));
         return f.path("gone");
     },
     "'%s' does not exist", kGeneral, "BaseOutputDirectory"},
    {"directory as HTML file",
     [](PrefsDlgFixture& f) {
         f.setText("OutputFilename", f.path("out"));
         return f.path("out");
     },
     "'%s' is a directory, not a file", kGeneral, "OutputFilename"},
    {"empty HTML file",
     [](PrefsDlgFixture& f) {
         f.setText("OutputFilename", "");
         return std::string();
     },
     "This item cannot be blank", kGeneral, "OutputFilename"},
    {"depth 0 with read-ahead",
     [](PrefsDlgFixture& f) {
         f.setChecked("ReadAhead", true);
         f.setText("CacheDepth", "0");
         return std::string();
     },
     "Please enter a cache depth between 1 and 4", kGeneral, "CacheDepth"},
    {"depth 5 with read-ahead",
     [](PrefsDlgFixture& f) {
         f.setChecked("ReadAhead", true);
         f.setText("CacheDepth", "5");
         return std::string();
     },
     "Please enter a cache depth between 1 and 4", kGeneral, "CacheDepth"},
    {"empty depth without read-ahead",
     [](PrefsDlgFixture& f) {
         f.setChecked("ReadAhead", false);
         f.setText("CacheDepth", "");
         return std::string();
     },
     "Please enter a positive integer.", kTools, ""},
    {"size 0",
     [](PrefsDlgFixture& f) {
         f.setText("SizeSmall", "0");
         return std::string();
     },
     "Please enter an integer between 1 and 100000.", kTools, ""},
    {"size 100001",
     [](PrefsDlgFixture& f) {
         f.setText("SizeLarge", "100001");
         return std::string();
     },
     "Please enter an integer between 1 and 100000.", kTools, ""},
    {"empty suffix",
     [](PrefsDlgFixture& f) {
         f.setText("EditFileSuffix", "");
         return std::string();
     },
     "Edit suffix cannot be empty (default: _edit)", kEditCompress, "EditFileSuffix"},
    {"missing favorites",
     [](PrefsDlgFixture& f) {
         f.setText("BestOfDirectory", f.path("no favorites"));
         return f.path("no favorites");
     },
     "'%s' does not exist", kMisc, "BestOfDirectory"},
    {"installation path is a file",
     [](PrefsDlgFixture& f) {
         const std::string file = f.path("marquelo");
         QFile(QString::fromStdString(file)).open(QIODevice::WriteOnly);
         f.setText("InstallationPath", file);
         return file;
     },
     "'%s' is a file, not a directory", kMisc, "InstallationPath"},
    {"directory of 259 characters",
     [](PrefsDlgFixture& f) {
         f.setText("BaseOutputDirectory", "/" + std::string(258, 'd'));
         return std::string();
     },
     "Please enter no more than 258 characters.", kTools, ""},
    {"image tag of 151 characters",
     [](PrefsDlgFixture& f) {
         f.setText("ImageTag", std::string(151, 't'));
         return std::string();
     },
     "Please enter no more than 150 characters.", kTools, ""},
    {"a tool argument of 259 characters",
     [](PrefsDlgFixture& f) {
         f.setText("MirrorArg", std::string(259, 'm'));
         return std::string();
     },
     "Please enter no more than 258 characters.", kTools, ""},
};

TEST_F(PrefsDlgTest, RejectedEntryKeepsTheDialogOpenAndTheSettingsUntouched)
{
    for (const Rejection& row : kRejections) {
        SCOPED_TRACE(row.what);
        config.CurrentCfgTab = kTools;
        const AppConfig before = config;
        ui.messages.clear();
        open();
        const std::string typed = row.enter(*this);
        dlg->accept();

        std::string expected = row.message;
        if (const auto at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, typed);
        EXPECT_EQ(ui.messages, std::vector<std::string>{expected});
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_NE(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(dlg->shownPage(), row.page);
        EXPECT_EQ(dlg->tabBar()->currentIndex(), row.page);
        AppConfig expectedConfig = before;
        expectedConfig.CurrentCfgTab = std::uint8_t(row.page);
        EXPECT_TRUE(config == expectedConfig);
        if (*row.focus) {
            EXPECT_EQ(focused(), row.focus);
            QLineEdit* edit = control(row.focus);
            EXPECT_EQ(edit->selectedText(), edit->text());
        }
    }
}

// An accepted OK: what was typed and how the settings must read afterwards.
struct Acceptance {
    const char* what;
    std::function<void(PrefsDlgFixture&)> enter;
    std::function<void(const AppConfig&)> verify;
};

const Acceptance kAcceptances[] = {
    {"HTML file that does not exist yet", [](PrefsDlgFixture& f) { f.setText("OutputFilename", "trip.html"); },
     [](const AppConfig& c) { EXPECT_EQ(c.OutputFilename, "trip.html"); }},
    {"depth 0 without read-ahead",
     [](PrefsDlgFixture& f) {
         f.setChecked("ReadAhead", false);
         f.setText("CacheDepth", "0");
     },
     [](const AppConfig& c) {
         EXPECT_FALSE(c.ReadAhead);
         EXPECT_EQ(c.CacheDepth, 0);
     }},
    {"depth 9 without read-ahead",
     [](PrefsDlgFixture& f) {
         f.setChecked("ReadAhead", false);
         f.setText("CacheDepth", "9");
     },
     [](const AppConfig& c) { EXPECT_EQ(c.CacheDepth, 9); }},
    {"depth 4 with read-ahead", [](PrefsDlgFixture& f) { f.setText("CacheDepth", "4"); },
     [](const AppConfig& c) { EXPECT_EQ(c.CacheDepth, 4); }},
    {"sizes at both ends",
     [](PrefsDlgFixture& f) {
         f.setText("SizeSmall", "1");
         f.setText("SizeLarge", "100000");
     },
     [](const AppConfig& c) {
         EXPECT_EQ(c.SizeSmall, 1);
         EXPECT_EQ(c.SizeLarge, 100000);
     }},
    {"empty favorites and installation path",
     [](PrefsDlgFixture& f) {
         f.setText("BestOfDirectory", "");
         f.setText("InstallationPath", "");
     },
     [](const AppConfig& c) {
         EXPECT_EQ(c.BestOfDirectory, "");
         EXPECT_EQ(c.InstallationPath, "");
     }},
    {"existing favorites folder", [](PrefsDlgFixture& f) { f.setText("BestOfDirectory", f.path("out")); },
     [](const AppConfig& c) { EXPECT_NE(c.BestOfDirectory.find("/out"), std::string::npos); }},
    {"bare program names",
     [](PrefsDlgFixture& f) {
         f.setText("ImageEditApp", "xdg-open");
         f.setText("HtmlEditor", "gedit");
         f.setText("Tool3App", "marquelo-not-installed");
         f.setText("ImageCompressApp", "");
     },
     [](const AppConfig& c) {
         EXPECT_EQ(c.ImageEditApp, "xdg-open");
         EXPECT_EQ(c.HtmlEditor, "gedit");
         EXPECT_EQ(c.Tool3App, "marquelo-not-installed");
         EXPECT_EQ(c.ImageCompressApp, "");
     }},
    {"258 characters, with letters beyond ASCII",
     [](PrefsDlgFixture& f) { f.setText("Tool1Arg", std::string(257, 'a') + "\xc3\xa9"); },
     [](const AppConfig& c) { EXPECT_EQ(c.Tool1Arg, std::string(257, 'a') + "\xc3\xa9"); }},
    {"flags and choices",
     [](PrefsDlgFixture& f) {
         f.setChecked("StartMaximized", false);
         f.setChecked("HideFlipApp", true);
         f.setChecked("ShowImageNumber", true);
         f.control<QRadioButton>("FavoriteSize2")->setChecked(true);
     },
     [](const AppConfig& c) {
         EXPECT_FALSE(c.StartMaximized);
         EXPECT_TRUE(c.HideFlipApp);
         EXPECT_TRUE(c.ShowImageNumber);
         EXPECT_EQ(c.FavoriteSize, 2);
     }},
    {"extensions have no limit", [](PrefsDlgFixture& f) { f.setText("OtherExtensions", std::string(400, 'x')); },
     [](const AppConfig& c) { EXPECT_EQ(c.OtherExtensions.size(), 400u); }},
};

TEST_F(PrefsDlgTest, AcceptedEntriesReachTheSettings)
{
    for (const Acceptance& row : kAcceptances) {
        SCOPED_TRACE(row.what);
        const AppConfig before = config;
        ui.messages.clear();
        open();
        row.enter(*this);
        dlg->accept();
        EXPECT_EQ(ui.messages, std::vector<std::string>{});
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_FALSE(dlg->isVisible());
        row.verify(config);
        config = before;
    }
}

TEST_F(PrefsDlgTest, SortingChangeIsAnnouncedAndStored)
{
    config.Sorting = 0;
    open();
    control<QRadioButton>("Sorting1")->setChecked(true);
    dlg->accept();
    EXPECT_EQ(ui.messages, std::vector<std::string>{
                               "You need to restart the application for the image sorting change to take effect."});
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(config.Sorting, 1);
}

TEST_F(PrefsDlgTest, SortingNoticeDoesNotLetALaterRejectionThrough)
{
    config.Sorting = 0;
    open();
    control<QRadioButton>("Sorting2")->setChecked(true);
    setText("EditFileSuffix", "");
    dlg->accept();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1], "Edit suffix cannot be empty (default: _edit)");
    EXPECT_EQ(config.Sorting, 0);
    EXPECT_EQ(config.EditFileSuffix, "_edit");
}

TEST_F(PrefsDlgTest, TemplatesTakeReturnAndKeepCrLf)
{
    config.CurrentCfgTab = kHtml;
    open();
    auto* body = control<QPlainTextEdit>("TemplateBegin2");
    body->setFocus();
    QTest::keyClicks(body, "<body>");
    QTest::keyClick(body, Qt::Key_Return);
    QTest::keyClicks(body, "<h1>");
    EXPECT_TRUE(dlg->isVisible()) << "Return in a template must not close the dialog";
    EXPECT_EQ(ui.messages, std::vector<std::string>{});
    dlg->accept();
    EXPECT_EQ(config.TemplateBegin2, "<body>\r\n<h1>");
    EXPECT_EQ(config.TemplateEnd, "</i></font></p>\r\n</body>\r\n</html>");
}

TEST_F(PrefsDlgTest, CancelKeepsOnlyThePageInFront)
{
    const AppConfig before = config;
    open();
    setText("Tool1App", "/usr/bin/something");
    setText("BaseOutputDirectory", "");
    dlg->tabBar()->setCurrentIndex(kTools);
    EXPECT_EQ(config.CurrentCfgTab, kTools) << "the page is remembered at once";
    dlg->reject();
    AppConfig expected = before;
    expected.CurrentCfgTab = kTools;
    EXPECT_TRUE(config == expected);
    EXPECT_EQ(ui.messages, std::vector<std::string>{});
}

TEST_F(PrefsDlgTest, RememberedPageBeyondTheLastShowsNoPageAndBreaksNothing)
{
    for (int remembered : {6, 255}) {
        SCOPED_TRACE(remembered);
        config.CurrentCfgTab = std::uint8_t(remembered);
        open();
        EXPECT_EQ(dlg->shownPage(), -1);
        for (int i = 0; i < PrefsDlg::kPageCount; ++i)
            EXPECT_FALSE(dlg->page(i)->isVisible());
        // A click on the highlighted tab brings its page.
        const int highlighted = dlg->tabBar()->currentIndex();
        QTest::mouseClick(dlg->tabBar(), Qt::LeftButton, {}, dlg->tabBar()->tabRect(highlighted).center());
        EXPECT_EQ(dlg->shownPage(), highlighted);
        EXPECT_EQ(config.CurrentCfgTab, highlighted);
        config.CurrentCfgTab = std::uint8_t(remembered);
        open();
        setText("SizeMedium", "600");
        dlg->accept();
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(config.SizeMedium, 600);
    }
}

TEST_F(PrefsDlgTest, BrowseButtonsUseTheirTitlesAndFillTheirField)
{
    struct Row {
        const char* button;
        const char* title;
        const char* field;
        bool folder;
    };
    const Row rows[] = {
        {"BaseOutputDirectoryBrowse", "Select base output directory", "BaseOutputDirectory", true},
        {"ImageEditAppBrowse", "Select image editing application", "ImageEditApp", false},
        {"ImageCompressAppBrowse", "Select image compressing application", "ImageCompressApp", false},
        {"InstallationPathBrowse", "Select application base installation directory", "InstallationPath", true},
        {"HtmlEditorBrowse", "Select HTML editing application", "HtmlEditor", false},
        {"PreviewBrowserBrowse", "Select browser application for page preview", "PreviewBrowser", false},
        {"BestOfDirectoryBrowse", "Select favorites directory", "BestOfDirectory", true},
        {"RotateLeftAppBrowse", "Select image rotating application", "RotateLeftApp", false},
        {"RotateRightAppBrowse", "Select image rotating application", "RotateRightApp", false},
        {"FlipAppBrowse", "Select image flipping application", "FlipApp", false},
        {"MirrorAppBrowse", "Select image mirroring application", "MirrorApp", false},
        {"Tool1AppBrowse", "Select user tool 1 application", "Tool1App", false},
        {"Tool2AppBrowse", "Select user tool 2 application", "Tool2App", false},
        {"Tool3AppBrowse", "Select user tool 3 application", "Tool3App", false},
        {"Tool4AppBrowse", "Select user tool 4 application", "Tool4App", false},
    };
    open();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        browsed.clear();
        control<QPushButton>(row.button)->click();
        ASSERT_EQ(browsed.size(), 1u);
        EXPECT_EQ(browsed[0].title, row.title);
        EXPECT_EQ(browsed[0].field, row.field);
        EXPECT_EQ(browsed[0].folder, row.folder);
        EXPECT_EQ(control(row.field)->text(), row.folder ? "/chosen/folder" : "/chosen/program");
    }
}

TEST_F(PrefsDlgTest, ColourIsTakenOnlyWithOk)
{
    config.BackgroundColor = makeColour(212, 208, 196);
    colourToPick = makeColour(10, 20, 30);
    open();
    control<QPushButton>("BackgroundColorButton")->click();
    const QColor swatch = control<QLabel>("BackgroundColorSwatch")->palette().color(QPalette::Window);
    EXPECT_EQ(swatch, QColor(10, 20, 30));
    EXPECT_EQ(config.BackgroundColor, makeColour(212, 208, 196)) << "not before OK";
    dlg->accept();
    EXPECT_EQ(config.BackgroundColor, makeColour(10, 20, 30));

    config.BackgroundColor = makeColour(212, 208, 196);
    open();
    control<QPushButton>("BackgroundColorButton")->click();
    dlg->reject();
    EXPECT_EQ(config.BackgroundColor, makeColour(212, 208, 196));

    pickColourOk = false;
    open();
    control<QPushButton>("BackgroundColorButton")->click();
    dlg->accept();
    EXPECT_EQ(config.BackgroundColor, makeColour(212, 208, 196));
}

TEST_F(PrefsDlgTest, UpdateCheckUsesTheStoredInstallationPathAndKeepsTheDialogOpen)
{
    config.InstallationPath = path("out");
    config.CurrentCfgTab = kMisc;
    open();
    setText("InstallationPath", "/typed/but/not/confirmed");
    control<QPushButton>("CheckForUpdates")->click();
    EXPECT_EQ(updateChecks, std::vector<std::string>{path("out")});
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(control("InstallationPath")->text(), "/typed/but/not/confirmed");
    EXPECT_EQ(config.InstallationPath, path("out"));
}

TEST_F(PrefsDlgTest, OddStoredChoicesSurviveAnOk)
{
    // Values no radio button stands for are left as they are rather than turned into another choice.
    config.Sorting = 7;
    config.FavoriteSize = 9;
    open();
    EXPECT_FALSE(control<QRadioButton>("Sorting0")->isChecked());
    dlg->accept();
    EXPECT_EQ(ui.messages, std::vector<std::string>{});
    EXPECT_EQ(config.Sorting, 7);
    EXPECT_EQ(config.FavoriteSize, 9);
}

} // namespace
} // namespace marquelo::test
