#include "ui/prefs/PreferencesCommand.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureCache.h"
#include "support/ScriptedUserInterface.h"
#include "ui/prefs/PreferencesDialog.h"
#include "ui/viewer/ViewerWindow.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace marquelo::test {
namespace {

// The command on a real viewer window over two small photos.
class PreferencesCommandTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    AppConfig config;
    ImageList images;
    ScriptedUserInterface ui;
    std::unique_ptr<ViewerWindow> window;
    int saves = 0;
    std::vector<int> tabsSaved; // CurrentCfgTab as each save found it

    void SetUp() override
    {
        for (const char* name : {"a.jpg", "b.jpg"}) {
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(Qt::darkGreen);
            ASSERT_TRUE(image.save(dir.filePath(QString::fromLatin1(name)), "JPG"));
        }
        QDir().mkpath(dir.filePath(QStringLiteral("out")));
        config.StartMaximized = false;
        config.BaseOutputDirectory = dir.filePath(QStringLiteral("out")).toStdString();
        config.OutputFilename = "index.html";
        config.EditFileSuffix = "_edit";
        config.BestOfDirectory = "";
        config.InstallationPath = "";
        config.ReadAhead = true;
        config.CacheDepth = 1;
        ASSERT_TRUE(images.scanDirectory(dir.path().toStdString(), config));
        window = std::make_unique<ViewerWindow>(config, images, ui);
        window->resize(400, 300);
        window->show();
        window->showCurrent();
        PreferencesCommand(*window, config, ui,
                           [this] {
                               ++saves;
                               tabsSaved.push_back(config.CurrentCfgTab);
                           },
                           {})
            .install();
    }

    // Runs the command; `act` gets the dialog once it is open and must close it.
    void runWith(std::function<void(PreferencesDialog&)> act)
    {
        bool acted = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget());
            if (!dialog || acted)
                return;
            acted = true;
            act(*dialog);
            if (dialog->isVisible())
                dialog->done(QDialog::Rejected);
        });
        poll.start();
        window->runCommand(Command::Preferences);
        EXPECT_TRUE(acted) << "the preferences dialog did not open";
    }

    std::weak_ptr<const PictureSlot> currentSlot() { return window->cache().currentSlot(); }
};

TEST_F(PreferencesCommandTest, CancelOnToolsIsRememberedAndSaved)
{
    runWith([](PreferencesDialog& d) {
        d.tabBar()->setCurrentIndex(4);
        d.reject();
    });
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(tabsSaved, std::vector<int>{4});

    int shownAtOpen = -1;
    runWith([&](PreferencesDialog& d) {
        shownAtOpen = d.shownPage();
        d.reject();
    });
    EXPECT_EQ(shownAtOpen, 4);
    EXPECT_EQ(saves, 2);
}

TEST_F(PreferencesCommandTest, RejectedOkStillEndsWithASaveOfTheUntouchedSettings)
{
    runWith([](PreferencesDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("BaseOutputDirectory"))->setText(QString());
        d.findChild<QLineEdit*>(QStringLiteral("Tool4App"))->setText(QStringLiteral("xdg-open"));
        d.accept();
        ASSERT_TRUE(d.isVisible());
        d.reject();
    });
    EXPECT_EQ(ui.messages, std::vector<std::string>{"This item cannot be blank"});
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(config.Tool4App, "");
    EXPECT_FALSE(config.BaseOutputDirectory.empty());
}

TEST_F(PreferencesCommandTest, CacheIsFlushedOnlyWhenDepthOrReadAheadChanged)
{
    std::weak_ptr<const PictureSlot> before = currentSlot();
    ASSERT_FALSE(before.expired());

    runWith([](PreferencesDialog& d) { d.reject(); });
    EXPECT_FALSE(before.expired()) << "closing without changes keeps the cached pictures";

    runWith([](PreferencesDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("CacheDepth"))->setText(QStringLiteral("2"));
        d.accept();
    });
    EXPECT_EQ(config.CacheDepth, 2);
    EXPECT_TRUE(before.expired()) << "a new depth releases every cached picture";
    std::weak_ptr<const PictureSlot> reloaded = currentSlot();
    ASSERT_FALSE(reloaded.expired()) << "and the current picture is shown again";

    runWith([](PreferencesDialog& d) { d.reject(); });
    EXPECT_FALSE(reloaded.expired()) << "a second close compares with the depth applied last";
    EXPECT_EQ(saves, 3);
}

} // namespace
} // namespace marquelo::test
