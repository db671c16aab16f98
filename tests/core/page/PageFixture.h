#pragma once
// A page session over a temporary photo folder and output folder, with a scripted window: dialogs
// answer from the test, launches are recorded instead of started.

#include "core/page/PageSession.h"
#include "core/settings/SettingsStore.h"
#include "core/tools/OutputNames.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/ViewGeometry.h"
#include "support/ScriptedUserInterface.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace marquelo::test {

// Runs the event loop until `done` (a launched program's end) or the limit, and says which.
inline bool spinUntil(const std::function<bool()>& done, int limitMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

struct ScriptedHost : PageHost {
    std::string caption;
    bool shift = false;
    int captionStarts = 0;
    int captionEnds = 0;
    int nexts = 0;
    std::function<bool(PageInfoValues&)> pageInfo = [](PageInfoValues&) { return false; };
    std::function<bool(PageSetupValues&, bool)> pageSetup = [](PageSetupValues&, bool) { return false; };
    std::function<bool(AddImageChoice&, bool)> imageSize = [](AddImageChoice&, bool) { return false; };
    std::vector<bool> sizeDialogPictureFlags;
    int previewPresses = 0;
    bool closeAnswer = true;
    std::vector<std::string> closeQuestions;
    std::optional<std::string> browseAnswer;
    std::vector<std::string> browseInitialPaths;
    std::vector<std::string> notices;
    bool noticeOk = true;
    bool noticeTick = false;
    std::vector<std::string> passingNotices; // the fading lines over the picture
    bool unreadable = false;

    void notice(const std::string& text) override { passingNotices.push_back(text); }
    // Where the notices said the page is.
    std::vector<std::string> noticedPagePaths;
    void pageNotice(const std::string& text, const std::string& pagePath) override
    {
        noticedPagePaths.push_back(pagePath);
        notice(text);
    }
    // The lasting progress lines: the current text of each, its cancel, and how each ended.
    std::map<std::string, std::string> progress;
    std::map<std::string, std::function<void()>> cancels;
    struct Ended {
        std::string key;
        std::string text;
        bool lasting;
    };
    std::vector<Ended> ended;
    void showProgress(const std::string& key, const std::string& text, std::function<void()> cancel) override
    {
        progress[key] = text;
        cancels[key] = std::move(cancel);
    }
    void endProgress(const std::string& key, const std::string& text, bool lasting) override
    {
        progress.erase(key);
        cancels.erase(key);
        ended.push_back({key, text, lasting});
    }
    // The close question's answer when it is yes; whether publishing was offered; how often the folder
    // button is pressed before answering.
    ClosePageChoice closeChoice = ClosePageChoice::Close;
    std::vector<bool> publishOffered;
    int folderPresses = 0;
    ClosePageChoice chooseClosePage(const std::string& question, const std::function<void()>& preview,
                                    const std::function<void()>& openFolder, bool canPublish) override
    {
        publishOffered.push_back(canPublish);
        for (int i = 0; i < folderPresses; ++i)
            openFolder();
        return confirmClosePage(question, preview) ? closeChoice : ClosePageChoice::Cancel;
    }
    bool currentPictureUnreadable() override { return unreadable; }
    void startCaptionInput() override { ++captionStarts; }
    void endCaptionInput() override { ++captionEnds; }
    std::string captionText() override { return caption; }
    std::vector<std::string> offered;         // descriptions put into the box; the box then holds the last
    std::vector<std::string> sidecarsWritten; // photos whose sidecar got a caption
    void sidecarWritten(const std::string& photoPath) override { sidecarsWritten.push_back(photoPath); }
    void offerCaption(const std::string& text) override
    {
        offered.push_back(text);
        caption = text;
    }
    std::function<void()> onNext;
    void showNext() override
    {
        ++nexts;
        if (onNext)
            onNext();
    }
    bool shiftHeld() override { return shift; }
    bool editPageInfo(PageInfoValues& v) override { return pageInfo(v); }
    bool editPageSetup(PageSetupValues& v, bool sub) override { return pageSetup(v, sub); }
    bool chooseImageSize(AddImageChoice& c, bool isPicture) override
    {
        sizeDialogPictureFlags.push_back(isPicture);
        return imageSize(c, isPicture);
    }
    bool confirmClosePage(const std::string& question, const std::function<void()>& preview) override
    {
        closeQuestions.push_back(question);
        for (int i = 0; i < previewPresses; ++i)
            preview();
        return closeAnswer;
    }
    std::optional<std::string> browseForPage(const std::string&, const std::string& initial) override
    {
        browseInitialPaths.push_back(initial);
        return browseAnswer;
    }
    bool showOpenFailNotice(const std::string& text, bool& onlyWithShift) override
    {
        notices.push_back(text);
        if (noticeOk)
            onlyWithShift = noticeTick;
        return noticeOk;
    }
};

struct Launch {
    std::string application;
    std::vector<std::string> arguments;
    bool hide;
};

// Nanoseconds of a local date and time, as the directory scan records a file's last write.
inline std::int64_t localTimeNs(int y, int m, int d, int hour = 12)
{
    return QDateTime(QDate(y, m, d), QTime(hour, 0)).toMSecsSinceEpoch() * 1'000'000;
}

class PageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        photos = tmp.path().toStdString() + "/photos";
        base = tmp.path().toStdString() + "/out";
        QDir().mkpath(QString::fromStdString(photos));
        QDir().mkpath(QString::fromStdString(base));
        SettingsStore store(tmp.path() + "/settings.ini");
        store.load(config, SettingsEnvironment{"/usr/bin", tmp.path().toStdString(), "gimp", "gedit"});
        config.BaseOutputDirectory = base;
        config.CurOutputDirectory = base;
        OutputNames::instance().clear();
        session.setLauncher([this](std::string_view app, const std::vector<std::string>& args, bool hide) {
            launches.push_back({std::string(app), args, hide});
            return true;
        });
        session.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        host.onNext = [this] { images.setCurrent(images.currentIndex() + 1); };
        addPhoto("DSC01234.JPG");
        setSource(3000, 2000);
    }

    // A photo (or, with picture false, a movie) of `bytes` bytes in the photo folder and the list.
    void addPhoto(const std::string& name, bool picture = true, qint64 bytes = 100,
                  std::int64_t written = localTimeNs(2006, 7, 5))
    {
        QFile file(QString::fromStdString(photos + "/" + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // A photo copied as it is must be a real picture: its camera data is taken out on the way.
        const std::string real = picture ? smallPicture(name) : std::string();
        file.write(real.data(), qint64(real.size()));
        ASSERT_TRUE(file.resize(std::max<qint64>(bytes, qint64(real.size()))));
        file.close();
        ImageEntry entry;
        entry.isPicture = picture;
        entry.files[0] = FileRecord{name, written, std::uint64_t(bytes)};
        entries.push_back(entry);
        const int current = images.currentIndex();
        images.assign(photos, entries);
        images.setCurrent(current);
    }

    void setSource(int width, int height)
    {
        geometry.source = {0, 0, width - 1, height - 1};
        geometry.destination = {0, 0, 799, 599};
    }

    // The page properties dialog confirmed with `title` (and its derived folder) and otherwise as offered.
    void confirmSetup(const std::string& title, int layout = 0)
    {
        host.pageSetup = [title, layout](PageSetupValues& v, bool) {
            v.title = title;
            v.subdirectory = subdirectoryForTitle(title);
            v.layoutStyle = layout;
            return true;
        };
    }

    // A: the caption box; typing; Enter.
    void add(const std::string& caption, bool shift = false)
    {
        session.startCaption();
        host.caption = caption;
        session.addImage(shift);
    }

    // A few pixels in the format `name`'s extension names, or nothing for a format Qt cannot write here.
    static std::string smallPicture(const std::string& name)
    {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray encoded;
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        const QString suffix = QFileInfo(QString::fromStdString(name)).suffix().toLower();
        const QByteArray format = suffix == QLatin1String("jpeg") ? QByteArray("jpg") : suffix.toLatin1();
        if (QImageWriter::supportedImageFormats().contains(format))
            image.save(&buffer, format.constData());
        return encoded.toStdString();
    }

    std::string readFile(const std::string& path)
    {
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll().toStdString();
    }
    void writeFile(const std::string& path, const std::string& bytes)
    {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), qint64(bytes.size()));
    }
    bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

    QTemporaryDir tmp;
    std::string photos;
    std::string base;
    AppConfig config;
    std::vector<ImageEntry> entries;
    ImageList images;
    ViewGeometry geometry;
    ScriptedUserInterface ui;
    ScriptedHost host;
    std::vector<Launch> launches;
    PageSession session{config, images, geometry, ui, host};
};

// The header of the example page: defaults, no page information, title Summer, July 5, 2006.
inline const std::string kSummerHeader =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
    "<html>\r\n"
    "<head>\r\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
    "<META name=\"generator\" content=\"Marquelo v1.16\">\r\n"
    "<title>Summer</title>\r\n"
    "</head>\r\n"
    "\r\n"
    "<body bgcolor=\"#000000\" text=\"#00ffff\" link=\"#007fff\" vlink=\"#007fff\" alink=\"#007fff\">\r\n"
    "\r\n"
    "<p align=\"center\"><font face=\"Georgia, Times New Roman, Times, serif\" size=\"+1\"><i>\r\n"
    "<font size=\"+3\">Summer</font>\r\n"
    "<br><font size=\"+1\">July 5, 2006</font>\r\n";

inline const std::string kEnding = "</i></font></p>\r\n</body>\r\n</html>";

} // namespace marquelo::test
