#include "PreferencesDialogFixture.h"

#include "ui/prefs/PreferencesPage.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QTextCursor>

#include <type_traits>
#include <variant>

namespace marquelo::test {
namespace {

using PreferencesDialogTest = PreferencesDialogFixture;

constexpr int kGeneral = 0, kEditCompress = 1, kMisc = 2, kTools = 4, kHtml = 5;

TEST_F(PreferencesDialogTest, OpensWithTheSettingsInTheControls)
{
    config.ReadAhead = false;
    config.CacheDepth = 3;
    config.Sorting = 2;
    config.FavoriteSize = 0;
    config.TemplateBegin1 = "<html>\r\n<head>";
    config.CurrentCfgTab = kMisc;
    open();

    EXPECT_EQ(dlg->shownPage(), kMisc);
    EXPECT_TRUE(dlg->page(kMisc)->isVisible());
    EXPECT_FALSE(dlg->page(kGeneral)->isVisible());

    EXPECT_EQ(control("BaseOutputDirectory")->text().toStdString(), config.BaseOutputDirectory);
    EXPECT_EQ(control("CacheDepth")->text(), "3");
    EXPECT_FALSE(control("CacheDepth")->isEnabled());
    EXPECT_TRUE(control<QRadioButton>("Sorting2")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("FavoriteSize0")->isChecked());
    EXPECT_EQ(control<QPlainTextEdit>("TemplateBegin1")->toPlainText(), "<html>\n<head>");
}

TEST_F(PreferencesDialogTest, DepthFollowsReadAhead)
{
    config.ReadAhead = true;
    open();
    QLineEdit* depth = control("CacheDepth");
    EXPECT_TRUE(depth->isEnabled());
    setChecked("ReadAhead", false);
    EXPECT_FALSE(depth->isEnabled());
    setChecked("ReadAhead", true);
    EXPECT_TRUE(depth->isEnabled());
}

// In the tables below "{tmp}" stands for the test's folder, which holds the folder "out" and the
// files "photo.jpg" and "marquelo".
std::string expand(std::string text, const std::string& tmp)
{
    for (auto at = text.find("{tmp}"); at != std::string::npos; at = text.find("{tmp}"))
        text.replace(at, 5, tmp);
    return text;
}

// A rejected OK: the entry typed, the message, the page that must be in front afterwards (the dialog
// starts on Tools) and whether the entry is then focused and selected.
struct Rejection {
    const char* key;
    std::string text;
    bool readAhead;
    const char* message; // "%s": the text typed
    int page;
    bool focused;
};

const Rejection kRejections[] = {
    {"BaseOutputDirectory", "", true, "This item cannot be blank", kGeneral, true},
    {"BaseOutputDirectory", "{tmp}/photo.jpg", true, "'%s' is a file, not a directory", kGeneral, true},
    {"BaseOutputDirectory", "{tmp}/gone", true, "'%s' does not exist", kGeneral, true},
    {"OutputFilename", "{tmp}/out", true, "'%s' is a directory, not a file", kGeneral, true},
    {"OutputFilename", "", true, "This item cannot be blank", kGeneral, true},
    {"CacheDepth", "0", true, "Please enter a cache depth between 1 and 4", kGeneral, true},
    {"CacheDepth", "5", true, "Please enter a cache depth between 1 and 4", kGeneral, true},
    {"CacheDepth", "", false, "Please enter a positive integer.", kTools, false},
    {"SizeSmall", "0", true, "Please enter an integer between 1 and 100000.", kTools, false},
    {"SizeLarge", "100001", true, "Please enter an integer between 1 and 100000.", kTools, false},
    {"EditFileSuffix", "", true, "Edit suffix cannot be empty (default: _edit)", kEditCompress, true},
    {"BestOfDirectory", "{tmp}/no favorites", true, "'%s' does not exist", kMisc, true},
    {"InstallationPath", "{tmp}/marquelo", true, "'%s' is a file, not a directory", kMisc, true},
    {"BaseOutputDirectory", "/" + std::string(258, 'd'), true, "Please enter no more than 258 characters.", kTools,
     false},
    {"ImageTag", std::string(151, 't'), true, "Please enter no more than 150 characters.", kTools, false},
    {"MirrorArg", std::string(259, 'm'), true, "Please enter no more than 258 characters.", kTools, false},
    {"PageBaseUrl", "ftp://example.org/photos", true,
     "'%s' is not a web address pages can be published under.\n\nEnter an address that starts with http:// or "
     "https:// and names the server, such as https://example.org/photos, or leave it empty.",
     kHtml, true},
};

TEST_F(PreferencesDialogTest, RejectedEntryKeepsTheDialogOpenAndTheSettingsUntouched)
{
    QFile(tmp.filePath(QStringLiteral("photo.jpg"))).open(QIODevice::WriteOnly);
    QFile(tmp.filePath(QStringLiteral("marquelo"))).open(QIODevice::WriteOnly);
    for (const Rejection& row : kRejections) {
        const std::string typed = expand(row.text, tmp.path().toStdString());
        SCOPED_TRACE(std::string(row.key) + " = " + typed.substr(0, 40));
        config.CurrentCfgTab = kTools;
        config.ReadAhead = row.readAhead;
        const AppConfig before = config;
        ui.messages.clear();
        open();
        setText(row.key, typed);
        dlg->accept();

        std::string expected = row.message;
        if (const auto at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, typed);
        EXPECT_EQ(ui.messages, std::vector<std::string>{expected});
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->shownPage(), row.page);
        EXPECT_EQ(dlg->tabBar()->currentIndex(), row.page);
        AppConfig expectedConfig = before;
        expectedConfig.CurrentCfgTab = std::uint8_t(row.page);
        EXPECT_TRUE(config == expectedConfig);
        if (row.focused) {
            EXPECT_EQ(focused(), row.key);
            EXPECT_EQ(control(row.key)->selectedText(), control(row.key)->text());
        }
    }
}

// An accepted OK: the entry typed and the value the setting must then hold (the text itself when empty).
struct Acceptance {
    const char* key;
    std::string text;
    bool readAhead;
    std::string stored;
};

const Acceptance kAcceptances[] = {
    {"OutputFilename", "trip.html", true, ""}, // a page that does not exist yet
    {"CacheDepth", "0", false, ""},
    {"CacheDepth", "9", false, ""},
    {"CacheDepth", "4", true, ""},
    {"CacheDepth", "007", false, "7"},
    {"SizeSmall", "1", true, ""},
    {"SizeLarge", "100000", true, ""},
    {"SizeMedium", " 640 ", true, "640"},
    {"BestOfDirectory", "", true, ""},
    {"InstallationPath", "", true, ""},
    {"BestOfDirectory", "{tmp}/out", true, ""},
    {"ImageEditApp", "xdg-open", true, ""}, // programs are not checked: a bare name is found at launch
    {"Tool3App", "marquelo-not-installed", true, ""},
    {"ImageCompressApp", "", true, ""},
    {"Tool1Arg", std::string(257, 'a') + "\xc3\xa9", true, ""}, // 258 characters, 259 bytes
    {"OtherExtensions", std::string(400, 'x'), true, ""},       // no limit
    {"PageBaseUrl", "https://example.org/photos", true, ""},
};

// The setting `key` of config as text.
std::string settingText(const AppConfig& config, const char* key)
{
    const SettingDef* def = findSetting(key);
    EXPECT_NE(def, nullptr) << key;
    if (!def)
        return {};
    return std::visit(
        [&](auto member) {
            const auto& value = config.*member;
            if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>)
                return value;
            else
                return std::to_string(value);
        },
        def->field);
}

TEST_F(PreferencesDialogTest, AcceptedEntriesReachTheSettings)
{
    const AppConfig start = config;
    for (const Acceptance& row : kAcceptances) {
        const std::string typed = expand(row.text, tmp.path().toStdString());
        SCOPED_TRACE(std::string(row.key) + " = " + typed.substr(0, 40));
        config = start;
        config.ReadAhead = row.readAhead;
        ui.messages.clear();
        open();
        setText(row.key, typed);
        dlg->accept();
        EXPECT_EQ(ui.messages, std::vector<std::string>{});
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(settingText(config, row.key), row.stored.empty() ? typed : row.stored);
    }
}

TEST_F(PreferencesDialogTest, FlagsAndChoicesReachTheSettings)
{
    open();
    setChecked("StartMaximized", false);
    setChecked("HideFlipApp", true);
    setChecked("ShowImageNumber", true);
    control<QRadioButton>("FavoriteSize2")->setChecked(true);
    dlg->accept();
    EXPECT_FALSE(config.StartMaximized);
    EXPECT_TRUE(config.HideFlipApp);
    EXPECT_TRUE(config.ShowImageNumber);
    EXPECT_EQ(config.FavoriteSize, 2);
}

TEST_F(PreferencesDialogTest, SortingChangeIsAnnouncedAndStored)
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

TEST_F(PreferencesDialogTest, SortingNoticeDoesNotLetALaterRejectionThrough)
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

TEST_F(PreferencesDialogTest, TemplatesTakeReturnAndKeepCrLf)
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

TEST_F(PreferencesDialogTest, OkKeepsEveryCharacterOfTheTemplates)
{
    // A page's ending is searched for byte by byte when the page is reopened: a no-break space or a
    // Unicode line or paragraph separator that turned into something else would orphan every page.
    const std::string nbsp = "\xC2\xA0", lineSep = "\xE2\x80\xA8", paraSep = "\xE2\x80\xA9";
    config.TemplateBegin1 = "<title>a" + nbsp + "b</title>\r\n<p>" + lineSep + "</p>" + paraSep + "x";
    config.TemplateBegin2 = "<body>" + paraSep + paraSep + "\r\n" + nbsp;
    config.TemplateEnd = "</i>" + nbsp + "</font></p>\r\n" + lineSep + "</body>\r\n</html>";
    const AppConfig before = config;
    config.CurrentCfgTab = kHtml;
    open();
    dlg->accept();
    ASSERT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(config.TemplateBegin1, before.TemplateBegin1);
    EXPECT_EQ(config.TemplateBegin2, before.TemplateBegin2);
    EXPECT_EQ(config.TemplateEnd, before.TemplateEnd);

    // Edited, a template keeps the characters the user did not touch; new lines are CR LF.
    open();
    auto* end = control<QPlainTextEdit>("TemplateEnd");
    end->setFocus();
    end->moveCursor(QTextCursor::End);
    QTest::keyClick(end, Qt::Key_Return);
    QTest::keyClicks(end, "<!-- x -->");
    dlg->accept();
    EXPECT_EQ(config.TemplateEnd, before.TemplateEnd + "\r\n<!-- x -->");
    EXPECT_EQ(config.TemplateBegin1, before.TemplateBegin1);
}

TEST_F(PreferencesDialogTest, OnlyLineBreaksOfAStoredTemplateMayChange)
{
    config.TemplateBegin2 = "a\nb\rc\r\nd";
    open();
    dlg->accept();
    EXPECT_EQ(config.TemplateBegin2, "a\r\nb\r\nc\r\nd");
}

TEST_F(PreferencesDialogTest, EnterPressesTheFocusedButtonAndOkElsewhere)
{
    struct Row {
        int page;
        const char* button;
    };
    int picks = 0;
    services.pickColour = [&picks](QWidget*, ColourRef&) {
        ++picks;
        return false;
    };
    for (const Row& row : {Row{kGeneral, "BaseOutputDirectoryBrowse"}, Row{kGeneral, "BackgroundColorButton"},
                           Row{kEditCompress, "ImageEditAppBrowse"}, Row{kMisc, "CheckForUpdates"},
                           Row{kMisc, "BestOfDirectoryBrowse"}, Row{kTools, "Tool1AppBrowse"}}) {
        SCOPED_TRACE(row.button);
        config.CurrentCfgTab = std::uint8_t(row.page);
        browsed.clear();
        updateChecks.clear();
        picks = 0;
        open();
        auto* button = control<QPushButton>(row.button);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_TRUE(dlg->isVisible()) << "Enter on a button must not close the preferences";
        EXPECT_EQ(browsed.size() + updateChecks.size() + std::size_t(picks), 1u) << "the focused button is pressed";
        dlg->reject();
    }

    // In an entry field Enter is OK.
    config.CurrentCfgTab = kGeneral;
    open();
    auto* field = control("OutputFilename");
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(PreferencesDialogTest, CancelKeepsOnlyThePageInFront)
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

TEST_F(PreferencesDialogTest, RememberedPageBeyondTheLastShowsNoPageAndBreaksNothing)
{
    for (int remembered : {6, 255}) {
        SCOPED_TRACE(remembered);
        config.CurrentCfgTab = std::uint8_t(remembered);
        open();
        EXPECT_EQ(dlg->shownPage(), -1);
        for (int i = 0; i < PreferencesDialog::kPageCount; ++i)
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

TEST_F(PreferencesDialogTest, BrowseButtonsUseTheirTitlesAndFillTheirField)
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

TEST_F(PreferencesDialogTest, ColourIsTakenOnlyWithOk)
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
}

TEST_F(PreferencesDialogTest, UpdateCheckUsesTheStoredInstallationPathAndKeepsTheDialogOpen)
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

TEST_F(PreferencesDialogTest, OddStoredChoicesSurviveAnOk)
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

TEST_F(PreferencesDialogTest, PictureExtensionsHaveTheirOwnFieldBesideFileExtensions)
{
    config.PictureExtensions = "*.heic;*.png";
    config.BundleRawImages = true;
    open();
    QLineEdit* pictures = control("PictureExtensions");
    EXPECT_EQ(pictures->text(), "*.heic;*.png");
    EXPECT_EQ(pictures->parentWidget(), control("OtherExtensions")->parentWidget());
    bool labelled = false;
    for (const QLabel* label : dlg->findChildren<QLabel*>())
        labelled = labelled || (label->buddy() == pictures && label->text() == "Pic&ture Extensions");
    EXPECT_TRUE(labelled);
    EXPECT_TRUE(control<QCheckBox>("BundleRawImages")->isChecked());

    pictures->setText(QString());
    setChecked("BundleRawImages", false);
    dlg->accept();
    EXPECT_EQ(config.PictureExtensions, ""); // empty lists JPEG only: a value like any other
    EXPECT_FALSE(config.BundleRawImages);
}

} // namespace
} // namespace marquelo::test

namespace marquelo::test {
namespace {

TEST_F(PreferencesDialogFixture, CameraClocksAreCheckedAtOkAndTheCaptionSettingIsStored)
{
    config.CurrentCfgTab = kGeneral;
    open();
    EXPECT_TRUE(control<QCheckBox>("CaptionToSidecar")->isChecked()); // on unless turned off
    control<QCheckBox>("CaptionToSidecar")->setChecked(false);
    control<QRadioButton>("Sorting3")->setChecked(true);
    auto* clocks = control<QPlainTextEdit>("CameraClockOffsets");
    clocks->setPlainText(QStringLiteral("Canon EOS 80D = -3600\nOLYMPUS E-M5 two hours"));
    dlg->accept();
    // Refused with the line that is wrong, on the page that holds the field; nothing stored.
    ASSERT_EQ(ui.messages.size(), 2u); // the sorting notice, then the refusal
    EXPECT_NE(ui.messages[1].find("line 2"), std::string::npos) << ui.messages[1];
    EXPECT_NE(ui.messages[1].find("\"OLYMPUS E-M5 two hours\""), std::string::npos) << ui.messages[1];
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->shownPage(), 2);
    EXPECT_EQ(dlg->focusWidget(), clocks);
    EXPECT_EQ(config.CameraClockOffsets, "");
    EXPECT_TRUE(config.CaptionToSidecar);

    clocks->setPlainText(QStringLiteral("Canon EOS 80D = -3600\nOLYMPUS E-M5 = 7200"));
    dlg->accept();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(config.CameraClockOffsets, "Canon EOS 80D = -3600\r\nOLYMPUS E-M5 = 7200");
    EXPECT_EQ(config.Sorting, 3);
    EXPECT_FALSE(config.CaptionToSidecar);
}

} // namespace
} // namespace marquelo::test
