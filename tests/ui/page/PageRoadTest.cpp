// The main road as a user walks it: a folder of camera photos, three added to an L/R page with captions
// (markup, non-ASCII text, a zoomed-in part), the page closed, reopened and one more added. The copies
// come from the real marquelo-convert; the page must be valid HTML and every image must load in a real
// browser.
#include "core/settings/SettingsStore.h"
#include "core/tools/OutputNames.h"
#include "core/viewer/ImageList.h"
#include "support/ScriptedUserInterface.h"
#include "support/TestSupport.h"
#include "ui/page/ClosePageDialog.h"
#include "ui/page/OpenPageDialog.h"
#include "ui/page/PageCommands.h"
#include "ui/page/PagePropertiesDialog.h"
#include "ui/viewer/ViewerWindow.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

namespace marquelo {
namespace {

using test::ScriptedUserInterface;

// Runs `action` on the next modal dialog as soon as it is open.
void whenModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        if (done())
            return true;
        QTest::qWait(50);
    }
    return done();
}

struct Tag {
    QString src;
    int height;
    int width;
};

std::vector<Tag> imageTags(const QString& page)
{
    std::vector<Tag> tags;
    static const QRegularExpression re(QStringLiteral(R"re(<img src="([^"]+)" height=(\d+) width=(\d+))re"));
    for (auto it = re.globalMatch(page); it.hasNext();) {
        const auto m = it.next();
        tags.push_back({m.captured(1), m.captured(2).toInt(), m.captured(3).toInt()});
    }
    return tags;
}

class PageRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
#if defined(__SANITIZE_THREAD__)
        // The convert tool's libvips and libjpeg threads are not instrumented; a sanitized child would
        // report inside them and exit without its output. The page code under test runs in this process.
        qputenv("TSAN_OPTIONS", qgetenv("TSAN_OPTIONS") + " report_bugs=0 exitcode=0");
#endif
        photos = tmp.filePath(QStringLiteral("photos"));
        out = tmp.filePath(QStringLiteral("out"));
        QDir().mkpath(photos);
        QDir().mkpath(out);
        const char* corpus[] = {"nikon_coolpix_p6000_gps.jpg", "kodak_pixpro_fz201.jpg", "kyocera_fc_s3.jpg",
                                "epson_photopc3000z.jpg"};
        for (int i = 0; i < 4; ++i) {
            const QString target = photos + QStringLiteral("/%1_%2").arg(i + 1).arg(QString::fromLatin1(corpus[i]));
            ASSERT_TRUE(QFile::copy(QString::fromStdString(test::photo(std::string("camera/") + corpus[i])), target));
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.setFileTime(QDateTime(QDate(2006, 7, 5), QTime(10 + i, 0)), QFileDevice::FileModificationTime);
        }

        SettingsStore store(tmp.filePath(QStringLiteral("settings.ini")));
        store.load(config, SettingsEnvironment{test::buildDir() + "/src", tmp.path().toStdString(), "true", "true"});
        config.BaseOutputDirectory = config.CurOutputDirectory = out.toStdString();
        config.ImageCompressApp = test::builtProgram("marquelo-convert");
        config.PageLayoutStyle = 3;
        config.PreviewBrowser = "true";
        config.HtmlEditor = "true";
        config.StartMaximized = false;
        config.ConfirmDelete = false;
        OutputNames::instance().clear();
        ASSERT_TRUE(images.scanDirectory(photos.toStdString(), config));
        ASSERT_EQ(images.count(), 4);

        window = std::make_unique<ViewerWindow>(config, images, ui);
        bindPageCommands(*window);
        window->resize(1000, 750);
        window->show();
        window->activateWindow();
        window->showCurrent();
    }

    void waitForPicture()
    {
        ASSERT_TRUE(waitFor([this] { return window->geometry().source.width() > 1; }, 20000));
        QTest::qWait(100);
    }

    // Keys go where the user's keyboard would send them: the caption box while it is open, else the window.
    QWidget* keyTarget()
    {
        if (window->captionActive())
            for (QLineEdit* box : window->findChildren<QLineEdit*>())
                if (box->isVisible())
                    return box;
        return window.get();
    }

    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(keyTarget(), k, mods);
    }

    // Each character as a key press with its text, as a keyboard layout with that character sends it.
    void typeText(const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(keyTarget(), &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(keyTarget(), &release);
        }
    }

    // A rectangle dragged with the left button: the viewer zooms into it.
    void dragSelection(QPoint from, QPoint to)
    {
        auto send = [this](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent event(type, QPointF(at), window->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= 4; ++i)
            send(QEvent::MouseMove, from + (to - from) * i / 4, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }

    // A, the caption typed, Enter.
    void addWithCaption(const QString& caption)
    {
        const int before = images.currentIndex();
        key(Qt::Key_A);
        ASSERT_TRUE(window->captionActive());
        typeText(caption);
        ASSERT_EQ(window->captionText(), caption);
        key(Qt::Key_Return);
        ASSERT_FALSE(window->captionActive());
        if (before + 1 < images.count()) {
            ASSERT_EQ(images.currentIndex(), before + 1);
        }
    }

    QString pagePath() const
    {
        return QString::fromStdString(config.CurOutputDirectory + "/" + config.OutputFilename);
    }

    QTemporaryDir tmp;
    QString photos;
    QString out;
    AppConfig config;
    ImageList images;
    ScriptedUserInterface ui;
    std::unique_ptr<ViewerWindow> window;
};

TEST_F(PageRoad, ThreePhotosClosedReopenedAndOneMore)
{
    // First photo: a new page through "Page Properties", caption with markup.
    waitForPicture();
    whenModal([](QWidget* dialog) {
        ASSERT_NE(qobject_cast<PagePropertiesDialog*>(dialog), nullptr);
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("title")), QStringLiteral("Road Trip"));
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    addWithCaption(QStringLiteral("<b>Harbour</b> at dawn"));
    ASSERT_EQ(config.CurPageSubdirectory, "road_trip");
    const QString page = pagePath();

    // Second: non-ASCII text.
    waitForPicture();
    addWithCaption(QStringLiteral("Smörgåsbord på Öland – ÅÄÖ ✓"));

    // Third: zoomed in, so only a part of the photo is cropped.
    waitForPicture();
    const Rect whole = window->geometry().source;
    ASSERT_TRUE(waitFor(
        [&] {
            dragSelection(QPoint(300, 200), QPoint(620, 460));
            return window->geometry().source.width() < whole.width();
        },
        10000));
    addWithCaption(QStringLiteral("Zoomed detail"));

    // Close (Shift+!), through "Close Page?".
    whenModal([](QWidget* dialog) {
        ASSERT_NE(qobject_cast<ClosePageDialog*>(dialog), nullptr);
        dialog->findChild<QPushButton*>(QStringLiteral("closePage"))->click();
    });
    key(Qt::Key_Exclam, Qt::ShiftModifier);
    ASSERT_EQ(config.CurOutputDirectory, out.toStdString());
    QFile closed(page);
    ASSERT_TRUE(closed.open(QIODevice::ReadOnly));
    ASSERT_TRUE(closed.readAll().endsWith("</i></font></p>\r\n</body>\r\n</html>\r\n"));
    closed.close();

    // Reopen (O) and add the fourth photo.
    whenModal([page](QWidget* dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(chooser, nullptr);
        chooser->selectFile(page);
        QMetaObject::invokeMethod(chooser, "accept");
    });
    key(Qt::Key_O);
    ASSERT_EQ(pagePath(), page);
    waitForPicture();
    addWithCaption(QStringLiteral("After reopening"));
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();

    // Every copy written by the convert tool has the size its tag announces.
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("Smörgåsbord på Öland – ÅÄÖ ✓")));
    EXPECT_TRUE(html.contains(QStringLiteral("<b>Harbour</b> at dawn")));
    for (int n = 2; n <= 5; ++n)
        EXPECT_TRUE(html.contains(QStringLiteral("<a name=%1></a>").arg(n))) << n;
    const std::vector<Tag> tags = imageTags(html);
    ASSERT_EQ(tags.size(), 4u);
    const QString dir = QFileInfo(page).absolutePath();
    for (const Tag& tag : tags) {
        const QString copy = dir + "/" + tag.src;
        // The name is on disk from the start (reserved empty); the picture arrives when the tool is done.
        ASSERT_TRUE(waitFor([&] { return QImageReader(copy).size().isValid(); }, 60000)) << copy.toStdString();
        EXPECT_EQ(QImageReader(copy).size(), QSize(tag.width, tag.height)) << tag.src.toStdString();
    }
    // The zoomed photo is a part: its copy is smaller than the whole photo would give at Medium.
    EXPECT_LT(tags[2].width * tags[2].height, 512 * 512);

    // Valid HTML: Tidy reports no errors (warnings about the old markup style are fine).
    if (!QStandardPaths::findExecutable(QStringLiteral("tidy")).isEmpty()) {
        QProcess tidy;
        tidy.start(QStringLiteral("tidy"), {QStringLiteral("-e"), QStringLiteral("-q"), page});
        ASSERT_TRUE(tidy.waitForFinished(30000));
        const QString report = QString::fromUtf8(tidy.readAllStandardError());
        EXPECT_LT(tidy.exitCode(), 2) << report.toStdString();
        EXPECT_FALSE(report.contains(QStringLiteral("Error:"))) << report.toStdString();
    } else {
        ADD_FAILURE() << "tidy is not installed";
    }

    // A real browser loads every image: a copy of the page that reports the natural widths.
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        GTEST_SKIP() << "chromium is not installed";
    const QString probe = dir + "/probe.html";
    QFile probeFile(probe);
    ASSERT_TRUE(probeFile.open(QIODevice::WriteOnly));
    probeFile.write(html.toUtf8());
    probeFile.write(
        "<script>window.addEventListener('load', function () {"
        "var w = []; for (var i = 0; i < document.images.length; ++i) w.push(document.images[i].naturalWidth);"
        "document.body.setAttribute('data-widths', w.join(','));});</script>\r\n");
    probeFile.close();
    QProcess browser;
    browser.start(chromium, {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                             QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"),
                             QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
                             QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
                             QStringLiteral("--user-data-dir=") + tmp.filePath(QStringLiteral("chromium")),
                             QStringLiteral("--virtual-time-budget=10000"), QStringLiteral("--dump-dom"),
                             QUrl::fromLocalFile(probe).toString()});
    ASSERT_TRUE(browser.waitForFinished(120000));
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    static const QRegularExpression widthsRe(QStringLiteral(R"re(data-widths="([0-9,]*)")re"));
    const auto m = widthsRe.match(dom);
    ASSERT_TRUE(m.hasMatch()) << dom.left(2000).toStdString();
    const QStringList widths = m.captured(1).split(u',');
    ASSERT_EQ(widths.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(widths[i].toInt(), tags[std::size_t(i)].width) << i;
}

TEST(PageOfABrokenPhoto, AOnAPhotoThatCouldNotBeReadWritesNothing)
{
    QTemporaryDir tmp;
    const QString photos = tmp.filePath(QStringLiteral("photos"));
    QDir().mkpath(photos);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(test::photo("broken/sharp_corrupt_header.jpg")),
                            photos + QStringLiteral("/broken.jpg")));
    AppConfig config;
    config.StartMaximized = false;
    config.BaseOutputDirectory = tmp.filePath(QStringLiteral("out")).toStdString();
    config.CurOutputDirectory = config.BaseOutputDirectory;
    config.OutputFilename = "index.html";
    ImageList images;
    ASSERT_TRUE(images.scanDirectory(photos.toStdString(), config));
    ScriptedUserInterface ui;
    ViewerWindow window(config, images, ui);
    bindPageCommands(window);
    window.show();
    window.showCurrent();

    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_FALSE(window.captionActive());
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_FALSE(QFile::exists(tmp.filePath(QStringLiteral("out/index.html"))));
    auto* notice = window.findChild<QLabel*>(QStringLiteral("notice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), QStringLiteral("Cannot add 'broken.jpg': the picture could not be read"));
    EXPECT_TRUE(ui.messages.empty());
}

// O, a photo chosen in the chooser: the chooser offers web pages first, the photo is refused by its
// name and nothing about it is remembered, so the next A makes a new page and Shift+! closes that one.
// The photo keeps every byte.
TEST(PageOpenChoice, APhotoChosenAsThePageIsRefusedAndNeverWrittenInto)
{
    QTemporaryDir tmp;
    const QString photos = tmp.filePath(QStringLiteral("photos"));
    const QString out = tmp.filePath(QStringLiteral("out"));
    QDir().mkpath(photos);
    QDir().mkpath(out);
    const QString photo = photos + QStringLiteral("/photo.jpg");
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(photo, "JPEG"));
    QFile photoFile(photo);
    ASSERT_TRUE(photoFile.open(QIODevice::ReadOnly));
    const QByteArray photoBytes = photoFile.readAll();
    photoFile.close();

    AppConfig config;
    SettingsStore store(tmp.filePath(QStringLiteral("settings.ini")));
    store.load(config, SettingsEnvironment{test::buildDir() + "/src", tmp.path().toStdString(), "true", "true"});
    config.BaseOutputDirectory = config.CurOutputDirectory = out.toStdString();
    config.ImageCompressApp.clear(); // plain copies: no program to wait for
    config.HtmlEditor.clear();
    config.PageInfo = false;
    config.CreateSubdirectory = true;
    config.StartMaximized = false;
    OutputNames::instance().clear();
    ImageList images;
    ASSERT_TRUE(images.scanDirectory(photos.toStdString(), config));
    ScriptedUserInterface ui;
    ViewerWindow window(config, images, ui);
    bindPageCommands(window);
    window.resize(800, 600);
    window.show();
    window.showCurrent();
    ASSERT_TRUE(waitFor([&] { return window.geometry().source.width() > 1; }, 20000));

    // Every dialog answered as a user would, whichever comes: the chooser gets the photo.
    QStringList filters;
    QStringList seen;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        seen << QString::fromLatin1(modal->metaObject()->className());
        if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
            filters = chooser->nameFilters();
            chooser->selectFile(photo);
            // Queued, so a question the chooser itself asks is answered by the next tick.
            QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->text();
            box->accept();
        } else if (qobject_cast<PagePropertiesDialog*>(modal)) {
            modal->findChild<QLineEdit*>(QStringLiteral("title"))->setText(QStringLiteral("Trip"));
            modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        } else if (qobject_cast<ClosePageDialog*>(modal)) {
            modal->findChild<QPushButton*>(QStringLiteral("closePage"))->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->accept();
        }
    });
    answer.start();

    QTest::keyClick(&window, Qt::Key_O);
    EXPECT_EQ(filters, (QStringList{QStringLiteral("HTML Files (*.html *.htm)"), QStringLiteral("All Files (*)")}));
    ASSERT_LE(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages.empty() ? std::string::npos : ui.messages[0].find(photo.toStdString()), std::string::npos);
    EXPECT_EQ(config.OutputFilename, "index.html");
    EXPECT_EQ(config.CurOutputDirectory, out.toStdString());

    QTest::keyClick(&window, Qt::Key_A);
    ASSERT_TRUE(window.captionActive());
    QLineEdit* box = nullptr;
    for (QLineEdit* edit : window.findChildren<QLineEdit*>())
        if (edit->isVisible())
            box = edit;
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box, QStringLiteral("caption"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Exclam, Qt::ShiftModifier);
    answer.stop();

    ASSERT_TRUE(photoFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(photoFile.readAll(), photoBytes);
    QFile page(out + QStringLiteral("/trip/index.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << seen.join(u',').toStdString();
    const QByteArray html = page.readAll();
    EXPECT_TRUE(html.contains("\r\ncaption\r\n"));
    EXPECT_TRUE(html.endsWith("</html>\r\n"));
    EXPECT_EQ(ui.messages.size(), 1u);
}

} // namespace
} // namespace marquelo
