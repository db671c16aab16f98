#pragma once
// The page builder: where the open page lives, creating it with its header, appending one photo or
// movie per addition, closing it with its ending and reopening a closed one. The page file itself is the
// only record of what was added, so every operation opens, reads or appends, and closes it again.

#include "core/page/ModernPageFormat.h"
#include "core/page/MovieWebCopy.h"
#include "core/page/PageFile.h"
#include "core/page/PageFormat.h"
#include "core/page/PageHost.h"
#include "core/page/PagePublisher.h"
#include "core/settings/AppConfig.h"

#include <QLocale>

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marquelo {

class ImageList;
struct ImageEntry;
class UserInterface;
struct ViewGeometry;

class PageSession {
public:
    // Starts an outside program without waiting; false when it could not be started (already reported).
    using Launcher =
        std::function<bool(std::string_view application, const std::vector<std::string>& arguments, bool hide)>;

    PageSession(AppConfig& config, ImageList& images, ViewGeometry& geometry, UserInterface& ui, PageHost& host);

    // Replaces how programs are started (tests record instead of starting).
    // Replaced, it also starts the compressions of page copies, which are then not watched.
    void setLauncher(Launcher launcher)
    {
        m_launch = std::move(launcher);
        m_watchCopies = false;
    }
    // Replaces what "&Browser Preview" does (by default the preview browser is started on the page).
    void setPreview(std::function<void()> preview) { m_preview = std::move(preview); }
    // The locale of the written date (the system locale unless replaced).
    void setLocale(const QLocale& locale) { m_locale = locale; }

    // CurOutputDirectory + "/" + OutputFilename.
    std::string pagePath() const;
    // True exactly when the page file can be opened for reading.
    bool isPageOpen() const;
    // The open page's title as a reader sees it, read from its header ("" when no page is open). Read
    // again only when the page file has changed since.
    std::string openPageTitle() const;

    // The page file while one operation writes it: opened for reading and appending (created, never
    // truncated), written line by line with CR LF, then closed. A failure to open is reported with the
    // page's path and returns false.
    bool openPageFile();
    bool writeLine(std::string_view text);
    bool closePageFile();

    // Asks for the page information (when PageInfo is on) and properties, creates the page's folder and
    // writes the header. True when the page exists with its header; false when the user cancelled or a
    // step failed, with nothing half-made left behind. `shownName` is the file that opens the page.
    bool createPage(const std::string& shownName);

    // The A command: opens the caption box. Nothing happens while it is open already or without photos.
    void startCaption();
    // Escape in the caption box: closes it, nothing written.
    void cancelCaption();
    // Enter in the caption box: appends the current photo or movie with the caption (creating a page
    // first when none is open), produces its copy beside the page and moves on to the next photo.
    void addImage(bool shift);

    bool captionActive() const { return m_captionActive; }
    const std::string& captionText() const { return m_captionText; }

    // Appends the anchor and the fragment of the current entry; false when the page could not be written.
    bool writeImageFragment(FragmentKind kind);
    // Starts the compression of the current photo into the page's folder, or copies the file there.
    void produceImageFile();

    // The close command: asks, then writes the ending and points the builder back at the base folder.
    void closePage();
    // The folder of the open page, else of the page last closed in this session ("" when none).
    std::string pageFolder() const;
    // Shows that folder in the file manager (Shift+F).
    void openPageFolder();
    // Runs the publish command on that folder (Shift+P).
    void publishPage();
    PagePublisher& publisher() { return m_publisher; }
    // The web copies of movies on Modern pages; `program` replaces ffmpeg (tests, the benchmark).
    MovieWebCopies& movieCopies() { return m_movies; }
    void setMovieConverter(std::string program) { m_movieConverter = std::move(program); }

    // The open command: makes a chosen page the open one and cuts its ending out (or hands it to the
    // HTML editor when that fails).
    void openExistingPage();
    // Cuts the one ending out of the page, rewriting it whole through a temporary file. False when the
    // ending is not there exactly once or the page could not be read or written (those two reported).
    bool removeEnding();

private:
    void finishAddition(bool moveOn);
    std::string outputNameFor(const std::string& shownName);
    // Gives back the name reserved for the photo that opened the page when it will not be added.
    void releaseReservation();
    QDate pageDate() const;
    bool launchWithPage(const std::string& application);
    // Starts the MP4 and poster of the movie just copied as `name` for a Modern page.
    void startMovieWebCopy(const std::string& shown, const std::string& source, const std::string& name);
    std::string modernFigureText(const std::string& page, std::int64_t number, FragmentKind kind);
    // Starts one compression of the photo `shown`, watched for its outcome unless a launcher replaced it.
    bool launchCopy(const std::vector<std::string>& arguments, const std::string& shown);
    bool launchExtraCopies(std::vector<std::string> arguments, const ExpansionInput& input, const std::string& shown);
    // The ending that closes the page at the page path: Classic's template, or the Modern one.
    std::string endingOfPage() const;

    AppConfig& m_config;
    ImageList& m_images;
    ViewGeometry& m_geometry;
    UserInterface& m_ui;
    PageHost& m_host;
    Launcher m_launch;
    bool m_watchCopies = true;
    // Copies still running when the session ends must not reach it afterwards.
    std::shared_ptr<PageHost*> m_hostForCopies = std::make_shared<PageHost*>(&m_host);
    std::function<void()> m_preview;
    QLocale m_locale = QLocale::system();
    PageFile m_file;
    PagePublisher m_publisher{m_ui, m_host};
    MovieWebCopies m_movies{m_host};
    std::string m_movieConverter = "ffmpeg";
    // The link figure just written for a movie on a Modern page, which its web copy replaces.
    std::string m_movieLink;
    std::int64_t m_movieNumber = 0;
    // The page closed last, which Shift+F and Shift+P still reach.
    std::string m_closedPageFolder;

    // Writes the typed caption as the description of the entry's photo (and its RAW twin) into their
    // sidecars; the reason when that failed, else empty.
    std::string saveCaptionToSidecars(const ImageEntry& entry);

    std::string m_captionText;
    bool m_captionActive = false;
    // The current photo's own description the caption box was opened with ("" when it has none).
    std::string m_photoDescription;
    // The output name reserved for the photo that opened the page, so that the page information names
    // the very copy the addition then writes.
    std::string m_reservedFor;
    std::string m_reservedName;
    // The name of the copy the fragment just written refers to.
    std::string m_outputName;
    // The further copies a Modern photo's figure refers to (2x and large), made with the first.
    struct ExtraCopy {
        std::string name;
        TargetSize size;
    };
    std::vector<ExtraCopy> m_extraCopies;
    // The copy a link preview shows for the photo just written: the largest one made.
    SharePicture m_sharePicture;
    // Set when createPage failed (rather than was cancelled).
    bool m_creationFailed = false;

    // The last title read, with what identified the page file it came from.
    struct TitleKey {
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        time_t seconds = 0;
        long nanoseconds = 0;
        bool operator==(const TitleKey&) const = default;
    };
    struct TitleCache {
        TitleKey key;
        std::string title;
    };
    mutable std::optional<TitleCache> m_titleCache;
};

} // namespace marquelo
