#include "core/page/PageSession.h"

#include "core/UserInterface.h"
#include "core/page/CaptionMarkup.h"
#include "core/settings/Logging.h"
#include "core/settings/PreferencesPathCheck.h"
#include "core/settings/StartPath.h"
#include "core/settings/UsableNumbers.h"
#include "core/tools/FileCopy.h"
#include "core/tools/Launcher.h"
#include "core/tools/OutputNames.h"
#include "core/tools/PublishedCopy.h"
#include "core/tools/ToolJob.h"
#include "core/tools/ToolTemplates.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PhotoDetails.h"
#include "core/viewer/PhotoMarks.h"
#include "core/viewer/PictureFormats.h"
#include "core/viewer/ViewGeometry.h"
#include "media/PhotoDescription.h"
#include "media/RegularFile.h"
#include "media/XmpSidecar.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace marquelo {

namespace {

// Fills each "%s" of a message in turn.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values)
{
    std::string out;
    auto value = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && value != values.end()) {
            out.append(*value++);
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

constexpr std::string_view kFailedToOpen = "Failed to open '%s'";
constexpr std::string_view kFailedToWrite = "Failed to write '%s'";

// The bundled tool writes a photo's further sizes from one decode; any other program is run once per copy.
bool isBundledConvert(const std::string& application)
{
    return QFileInfo(q(application)).fileName() == QLatin1String("marquelo-convert");
}

// The html element's language: the locale's BCP 47 tag ("en" for the C locale).
std::string languageOf(const QLocale& locale)
{
    const QString tag = locale.bcp47Name();
    return tag.isEmpty() || tag == QLatin1String("C") ? std::string("en") : tag.toStdString();
}

// Why a page's folder could not be made and what the user can do about it, after the line that names it.
std::string directoryFailureText(const std::string& directory, int code)
{
    std::string text = fill("Failed to create output directory '%s'", {directory});
    std::string advice;
    switch (code) {
    case 0: return text + "\nThe page has no folder name.\n\nEnter a title or a folder name in Page Properties.";
    case EEXIST:
        advice = "A new page always gets a folder of its own. Give it another title or folder name, or reopen the "
                 "page in that folder with Open existing page (O).";
        break;
    case EACCES:
    case EPERM:
    case EROFS: advice = "Choose a base output folder you may write to in the settings."; break;
    case ENOSPC:
    case EDQUOT: advice = "Free some space on that disk, then add the photo again."; break;
    default: advice = "Check the base output folder in the settings, then add the photo again."; break;
    }
    return text + "\n" + std::strerror(code) + ".\n\n" + advice;
}

// True when `page` ends with `ending` (blanks after either aside): a closed page, which is never added to.
bool endsWithEnding(std::string_view page, std::string_view ending)
{
    auto trim = [](std::string_view text) {
        while (!text.empty() &&
               (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        return text;
    };
    page = trim(page);
    ending = trim(ending);
    return !ending.empty() && page.size() >= ending.size() && page.substr(page.size() - ending.size()) == ending;
}

} // namespace

PageSession::PageSession(AppConfig& config, ImageList& images, ViewGeometry& geometry, UserInterface& ui,
                         PageHost& host)
    : m_config(config), m_images(images), m_geometry(geometry), m_ui(ui), m_host(host)
{
    m_launch = [this](std::string_view application, const std::vector<std::string>& arguments, bool hide) {
        return launchTool(application, arguments, hide, m_ui);
    };
    m_preview = [this] { launchWithPage(m_config.PreviewBrowser); };
}

std::string PageSession::pagePath() const
{
    return m_config.CurOutputDirectory + "/" + m_config.OutputFilename;
}

bool PageSession::isPageOpen() const
{
    return PageFile::readable(pagePath());
}

bool PageSession::openPageFile()
{
    if (m_file.open(pagePath()))
        return true;
    qCWarning(lcPage).noquote() << "cannot open" << q(pagePath()) << "-" << q(m_file.error());
    m_ui.message(fill(kFailedToOpen, {pagePath()}));
    return false;
}

bool PageSession::writeLine(std::string_view text)
{
    return m_file.writeLine(text);
}

bool PageSession::closePageFile()
{
    if (m_file.close())
        return true;
    qCWarning(lcPage).noquote() << "cannot write" << q(pagePath()) << "-" << q(m_file.error());
    m_ui.message(fill(kFailedToWrite, {pagePath()}));
    return false;
}

std::string PageSession::openPageTitle() const
{
    const std::string path = pagePath();
    // Asked for on every label, so only a stat is done each time: the page is read again when it is
    // another file or has changed. A FIFO or device named like the page is never opened.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_titleCache.reset();
        return {};
    }
    const TitleKey key{path, st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    if (m_titleCache && m_titleCache->key == key)
        return m_titleCache->title;
    media::RegularFile page(path);
    std::string head;
    if (page.isOpen()) {
        // The title is in the header; the rest of a long page need not be read.
        head.resize(64 * 1024);
        ssize_t n = 0;
        do
            n = ::pread(page.fd(), head.data(), head.size(), 0);
        while (n < 0 && errno == EINTR);
        head.resize(n > 0 ? std::size_t(n) : 0);
    } else {
        qCWarning(lcPage) << "Cannot read the title of" << q(path) << ":" << q(page.error());
    }
    m_titleCache = TitleCache{key, pageTitleText(head)};
    return m_titleCache->title;
}

QDate PageSession::pageDate() const
{
    const ImageEntry& entry = m_images.current();
    // The day the photo was taken; a copy's or an edit's file time is only the day it was made.
    if (entry.isPicture && !entry.shownName().empty())
        if (const QDateTime taken = readPhotoDetails(m_images.pathOf(entry.shownName())).taken; taken.isValid())
            return taken.date();
    const std::int64_t ns = entry.files[std::size_t(entry.shown)].lastWriteNs;
    if (ns == 0)
        return QDate::currentDate();
    return QDateTime::fromMSecsSinceEpoch(ns / 1'000'000).date();
}

std::string PageSession::outputNameFor(const std::string& shownName)
{
    const std::string key = m_images.pathOf(shownName) + "\n" + m_config.CurOutputDirectory;
    if (!m_reservedFor.empty() && key == m_reservedFor) {
        m_reservedFor.clear();
        return m_reservedName;
    }
    return OutputNames::instance().reserve(m_config.CurOutputDirectory, outputCopyName(shownName));
}

void PageSession::releaseReservation()
{
    if (m_reservedFor.empty())
        return;
    const std::string directory = m_reservedFor.substr(m_reservedFor.rfind('\n') + 1);
    OutputNames::instance().release(directory, m_reservedName);
    m_reservedFor.clear();
}

bool PageSession::createPage(const std::string& shownName)
{
    QDate date = pageDate();
    std::optional<PageInfoValues> info;
    std::string title;
    if (m_config.PageInfo) {
        PageInfoValues values{{}, date, {}, m_config.PageInfoCountry, {}};
        if (!m_host.editPageInfo(values))
            return false;
        date = values.date;
        m_config.PageInfoCountry = values.country;
        title = values.title;
        info = std::move(values);
    }

    PageSetupValues setup;
    setup.title = title;
    setup.subdirectory = m_config.CreateSubdirectory ? subdirectoryForTitle(title) : std::string();
    setup.date = date;
    setup.bgImage = m_config.PageBgImage;
    setup.bgColor = m_config.PageBgColor;
    setup.textColor = m_config.PageTextColor;
    setup.autoLinkColor = m_config.PageAutoLinkColor;
    setup.linkColor = setup.autoLinkColor ? autoLinkColour(setup.textColor) : m_config.PageLinkColor;
    setup.layoutStyle = usablePageLayoutStyle(m_config);
    setup.pageStyle = m_config.PageStyle == int(PageStyle::Modern) ? 1 : 0;
    if (!m_host.editPageSetup(setup, m_config.CreateSubdirectory))
        return false;

    m_config.PageBgColor = setup.bgColor;
    m_config.PageLinkColor = setup.linkColor;
    m_config.PageTextColor = setup.textColor;
    m_config.PageAutoLinkColor = setup.autoLinkColor;
    m_config.PageLayoutStyle = setup.layoutStyle;
    m_config.PageBgImage = setup.bgImage;
    m_config.PageStyle = setup.pageStyle == int(PageStyle::Modern) ? 1 : 0;

    // A new page always gets a folder that did not exist, so no earlier page can be overwritten. The
    // builder points at it only once it is made: pointing at a folder that was there already would make
    // the page in it (closed long ago, perhaps) the open one.
    bool createdDirectory = false;
    std::string subdirectory;
    std::string directory = m_config.BaseOutputDirectory;
    if (m_config.CreateSubdirectory) {
        subdirectory = normalizeOutputName(setup.subdirectory);
        directory = m_config.BaseOutputDirectory + "/" + subdirectory;
        const int code = subdirectory.empty() ? 0 : ::mkdir(directory.c_str(), 0777) == 0 ? -1 : errno;
        if (code >= 0) {
            const std::string text = directoryFailureText(directory, code);
            qCWarning(lcPage).noquote() << q(text);
            m_ui.message(text);
            m_creationFailed = true;
            return false;
        }
        createdDirectory = true;
    }
    const std::string previousDirectory = std::exchange(m_config.CurOutputDirectory, directory);
    const std::string previousSubdirectory = std::exchange(m_config.CurPageSubdirectory, subdirectory);
    auto abandon = [&](const std::string& backgroundCopy) {
        if (!backgroundCopy.empty())
            QFile::remove(q(backgroundCopy));
        releaseReservation();
        if (createdDirectory)
            QDir().rmdir(q(directory)); // only succeeds while it is still empty
        m_config.CurOutputDirectory = previousDirectory;
        m_config.CurPageSubdirectory = previousSubdirectory;
        m_creationFailed = true;
        return false;
    };

    m_reservedFor = m_images.pathOf(shownName) + "\n" + directory;
    m_reservedName = OutputNames::instance().reserve(directory, outputCopyName(shownName));

    PageHeader header;
    header.info = info;
    header.promoName = m_reservedName;
    header.templateBegin1 = m_config.TemplateBegin1;
    header.templateBegin2 = m_config.TemplateBegin2;
    header.title = setup.title;
    header.dateText = setup.dateMode == 1 ? setup.dateText : formatPageDate(setup.date, m_locale);
    header.bgColor = setup.bgColor;
    header.textColor = setup.textColor;
    header.linkColor = setup.linkColor;
    if (m_config.PageStyle == int(PageStyle::Modern) && !m_config.PageBaseUrl.empty()) {
        // The preferences refuse any other address; one put into the settings file by hand is left out.
        if (const auto rejection = checkPageBaseUrl(m_config.PageBaseUrl))
            qCWarning(lcPage).noquote() << "no link-preview tags:" << q(*rejection);
        else
            header.address = pageAddress(m_config.PageBaseUrl, subdirectory, m_config.OutputFilename);
    }

    // The background is copied before the page file exists, so a failed copy leaves no page behind
    // that would count as open.
    std::string backgroundCopy;
    if (!m_config.PageBgImage.empty()) {
        const std::string& source = m_config.PageBgImage;
        const std::size_t slash = source.rfind('/');
        const std::string base = slash == std::string::npos ? source : source.substr(slash + 1);
        header.backgroundName = OutputNames::instance().reserve(directory, normalizeOutputName(base));
        const std::string target = directory + "/" + header.backgroundName;
        FileProblem problem;
        // The background is on the public page as much as any photo, so it goes without its camera data.
        if (!copyWithoutMetadata(source, target, problem)) {
            OutputNames::instance().release(directory, header.backgroundName);
            qCWarning(lcPage).noquote() << "Background copy failed:" << q(source) << q(problem.reason);
            m_ui.message(copyFailureMessage(source, target, problem));
            return abandon({});
        }
        backgroundCopy = target;
    }

    if (!openPageFile())
        return abandon(backgroundCopy);
    m_file.write(m_config.PageStyle == int(PageStyle::Modern) ? modernHeaderText(header, languageOf(m_locale))
                                                              : headerText(header));
    if (!closePageFile()) {
        QFile::remove(q(pagePath()));
        return abandon(backgroundCopy);
    }
    m_config.PageLayoutTemp = 0;
    return true;
}

void PageSession::startCaption()
{
    if (m_captionActive || m_images.count() == 0)
        return;
    // A copy of a picture nobody could read would put a placeholder into the page.
    if (m_images.current().isPicture && m_host.currentPictureUnreadable()) {
        m_host.notice("Cannot add '" + m_images.currentName() + "': the picture could not be read");
        return;
    }
    m_captionActive = true;
    if (!m_config.CreateSubdirectory) {
        m_config.CurOutputDirectory = m_config.BaseOutputDirectory;
        m_config.CurPageSubdirectory.clear();
    }
    setImageSizeChoice(kSizeMedium);
    m_host.startCaptionInput();
    m_photoDescription.clear();
    const ImageEntry& entry = m_images.current();
    if (entry.isPicture) {
        // Where a typed caption is saved is read first: the original, then a RAW twin (whose sidecar
        // holds what a RAW developer wrote); an edited copy shown instead comes last.
        std::vector<std::string> files = markedFiles(m_images, entry);
        if (entry.shown == kEdited)
            files.push_back(m_images.pathOf(entry.shownName()));
        for (const std::string& file : files) {
            const media::PhotoDescription description = media::readPhotoDescription(file);
            if (!description.problem.empty())
                qCInfo(lcPage).noquote() << "No description read from" << q(file) << q(description.problem);
            if (!description.text.empty()) {
                m_photoDescription = description.text;
                break;
            }
        }
    }
    if (!m_photoDescription.empty())
        m_host.offerCaption(m_photoDescription);
}

void PageSession::cancelCaption()
{
    m_captionActive = false;
    m_host.endCaptionInput();
}

void PageSession::finishAddition(bool moveOn)
{
    cancelCaption();
    if (!moveOn)
        return;
    ImageEntry& entry = m_images.current();
    if (entry.shown == kEdited)
        entry.editedKept = true;
    if (m_images.currentIndex() + 1 < m_images.count())
        m_host.showNext();
}

void PageSession::addImage(bool shift)
{
    if (!m_captionActive)
        return;
    const std::string typed = m_host.captionText();
    // The photo's description left as it was offered is its text, not markup someone typed: it is shown
    // on the page as it reads. What the user typed is the user's own HTML, as ever.
    const bool offeredUnchanged = !m_photoDescription.empty() && typed == m_photoDescription;
    m_captionText = offeredUnchanged ? plainTextCaption(typed) : typed;
    const std::string shown = m_images.currentName();

    if (!isPageOpen()) {
        m_creationFailed = false;
        if (!createPage(shown)) {
            // A page that could not be made keeps the photo, its zoom and the caption box with its text,
            // so Enter tries again; the dialogs cancelled move on as an addition does.
            if (!std::exchange(m_creationFailed, false))
                finishAddition(true);
            return;
        }
    }

    const int layout = usablePageLayoutStyle(m_config);
    Side side = Side::Center;
    if (layout == int(PageLayout::Left)) {
        side = Side::Left;
    } else if (layout == int(PageLayout::Right)) {
        side = Side::Right;
    } else if (layout == int(PageLayout::LeftRight)) {
        side = usablePageLayoutTemp(m_config) == 0 ? Side::Left : Side::Right;
        m_config.PageLayoutTemp = side == Side::Left ? 1 : 0;
    }

    AddImageChoice choice{kSizeMedium, side};
    if (shift && !m_host.chooseImageSize(choice, m_images.current().isPicture)) {
        releaseReservation();
        cancelCaption();
        return;
    }
    if (layout == int(PageLayout::LeftRight)) {
        if (choice.side == Side::Left)
            m_config.PageLayoutTemp = 1;
        else if (choice.side == Side::Right)
            m_config.PageLayoutTemp = 0;
    }
    setImageSizeChoice(choice.size);

    // A page that cannot be written keeps the photo on screen, so the user can try again.
    if (!writeImageFragment(fragmentKindOf(choice.side))) {
        if (!m_outputName.empty())
            OutputNames::instance().release(m_config.CurOutputDirectory, std::exchange(m_outputName, {}));
        releaseReservation();
        cancelCaption();
        return;
    }
    produceImageFile();
    // The addition stands whatever happens to the sidecar; a failure is told with the notice.
    std::string sidecarProblem;
    if (m_config.CaptionToSidecar && !offeredUnchanged && m_images.current().isPicture)
        sidecarProblem = saveCaptionToSidecars(m_images.current());
    if (const auto page = PageFile::read(pagePath())) {
        const int count = pageImageCount(*page);
        const std::string title = pageTitleText(*page);
        std::string text = (title.empty() ? std::string("Added to the page") : "Added to '" + title + "'") + " (" +
                           std::to_string(count) + (count == 1 ? " photo)" : " photos)");
        if (!sidecarProblem.empty())
            text += "; caption not saved in the sidecar: " + sidecarProblem;
        m_host.pageNotice(text, pagePath());
    } else if (!sidecarProblem.empty()) {
        m_host.notice("Caption not saved in the sidecar: " + sidecarProblem);
    }
    finishAddition(true);
}

std::string PageSession::saveCaptionToSidecars(const ImageEntry& entry)
{
    const std::string description = media::usableDescription(captionPlainText(m_captionText));
    // An empty caption says nothing about the photo: a description another program wrote stays.
    if (description.empty() || description == m_photoDescription)
        return {};
    media::MarksChange change;
    change.description = description;
    const media::SidecarNaming naming =
        m_config.SidecarNaming == 1 ? media::SidecarNaming::NameOnly : media::SidecarNaming::NameWithExtension;
    // A RAW+JPEG pair is one photo: both sidecars get it, as both get its stars.
    for (const std::string& file : markedFiles(m_images, entry)) {
        const media::MarksWrite written = media::writeMarks(file, change, media::SidecarStamp{}, naming);
        if (!written.ok) {
            qCWarning(lcPage).noquote() << "Caption not saved in the sidecar of" << q(file) << q(written.error);
            return written.error;
        }
        m_host.sidecarWritten(file);
    }
    return {};
}

bool PageSession::writeImageFragment(FragmentKind kind)
{
    if (!openPageFile())
        return false;
    // One page never mixes styles: each addition follows the style the page was made in.
    const std::string page = m_file.readAll();
    const bool modern = pageStyleOf(page) == PageStyle::Modern;
    if (endsWithEnding(page, modern ? std::string(kModernEnding) : m_config.TemplateEnd)) {
        m_file.close();
        const std::string text =
            fill("'%s' is closed: nothing is added after its ending.\n\nReopen it with Open existing page (O) to "
                 "add more photos to it, or move it away to start a new page there.",
                 {pagePath()});
        qCWarning(lcPage).noquote() << q(text);
        m_ui.message(text);
        return false;
    }
    const std::int64_t number = nextImageNumberOf(page);
    const ImageEntry& entry = m_images.current();
    m_outputName = outputNameFor(entry.shownName());
    m_extraCopies.clear();
    m_movieLink.clear();

    if (modern) {
        m_sharePicture = {};
        const std::string figure = modernFigureText(page, number, kind);
        // The page's first photo gives it the picture of its link preview. The head is written when the
        // page is made, so it is rewritten whole, still under this addition's lock.
        if (!m_sharePicture.name.empty())
            if (const auto withPicture = withSharePicture(page, m_sharePicture)) {
                m_file.replaceAll(*withPicture + figure);
                return closePageFile();
            }
        m_file.write(figure);
        return closePageFile();
    }
    std::string text = anchorText(number);
    if (entry.isPicture) {
        const ExpansionInput input =
            expansionFor(m_images, m_geometry, m_config, m_config.CurPageSubdirectory, imageSizeChoice(), m_outputName);
        const std::string tag = expandToolArguments(m_config.ImageTag, input);
        text += pictureFragmentText(kind, imageText(tag, number, m_config.ShowImageNumber), m_captionText);
    } else {
        text += movieFragmentText(PageLayout(usablePageLayoutStyle(m_config)), m_outputName, m_captionText,
                                  entry.files[std::size_t(entry.shown)].size);
    }
    m_file.write(text);
    return closePageFile();
}

std::string PageSession::modernFigureText(const std::string& page, std::int64_t number, FragmentKind kind)
{
    const ImageEntry& entry = m_images.current();
    if (!entry.isPicture) {
        m_movieLink =
            modernMovieFragmentText(number, m_outputName, m_captionText, entry.files[std::size_t(entry.shown)].size);
        m_movieNumber = number;
        return m_movieLink;
    }

    const ExpansionInput input =
        expansionFor(m_images, m_geometry, m_config, m_config.CurOutputDirectory, imageSizeChoice(), m_outputName);
    ModernFigure figure;
    figure.number = number;
    figure.kind = kind;
    figure.src = m_outputName;
    figure.size = input.size;
    figure.caption = m_captionText;
    figure.first = page.find("<img ") == std::string::npos;
    figure.showNumber = m_config.ShowImageNumber;
    // Only a compressed copy comes in further sizes; a plain copy is the whole file already.
    if (imageSizeChoice() != kSizeUncompressed && !m_config.ImageCompressApp.empty()) {
        const ModernCopySizes sizes = modernCopySizes(input.size, input.source.width(), input.source.height());
        auto reserve = [&](std::string_view suffix, TargetSize size) {
            // Derived from the copy's own unique name, and reserved too, so no other copy can take it.
            std::string name =
                OutputNames::instance().reserve(m_config.CurOutputDirectory, copyNameWithSuffix(m_outputName, suffix));
            m_extraCopies.push_back({name, size});
            return name;
        };
        if (sizes.twice.width > 0)
            figure.twiceSrc = reserve("@2x", sizes.twice);
        if (sizes.thrice.width > 0)
            figure.thriceSrc = reserve("@3x", sizes.thrice);
        if (sizes.large.width > 0)
            figure.largeSrc = reserve("-large", sizes.large);
        else
            figure.largeSrc = !figure.thriceSrc.empty() ? figure.thriceSrc : figure.twiceSrc;
        if (figure.thriceSrc.empty() && sizes.large.width > 0 && !figure.twiceSrc.empty() &&
            std::max(sizes.large.width, sizes.large.height) >= 3LL * std::max(input.size.width, input.size.height)) {
            figure.thriceSrc = figure.largeSrc;
            figure.thriceDensity = densityText(sizes.large, input.size);
        }
    }
    // The link's copy, the largest made, is the one a link preview shows.
    m_sharePicture = {figure.src, figure.size, m_captionText};
    for (const ExtraCopy& copy : m_extraCopies)
        if (copy.name == figure.largeSrc)
            m_sharePicture = {copy.name, copy.size, m_captionText};
    if (m_config.PagePhotoDetails) {
        // Never the place: a page is public, where the photo was taken is not.
        const PhotoDetails details = readPhotoDetails(m_images.pathOf(entry.shownName()));
        for (const QString& part : {details.camera, details.lens, details.exposureTime, details.fNumber, details.iso})
            if (!part.isEmpty())
                figure.details.push_back(part.toStdString());
    }
    return modernPictureFragmentText(figure);
}

bool PageSession::launchCopy(const std::vector<std::string>& arguments, const std::string& shown)
{
    if (!m_watchCopies)
        return m_launch(m_config.ImageCompressApp, arguments, m_config.HideCompressApp);
    // A copy that fails later (a full disk) is told over the picture, whichever page style it is for.
    return launchWatchedCopy(m_config.ImageCompressApp, arguments, m_config.HideCompressApp, shown, m_ui,
                             [host = std::weak_ptr<PageHost*>(m_hostForCopies)](const std::string& text) {
                                 if (const auto alive = host.lock())
                                     (*alive)->notice(text);
                             });
}

bool PageSession::launchExtraCopies(std::vector<std::string> arguments, const ExpansionInput& input,
                                    const std::string& shown)
{
    if (isBundledConvert(m_config.ImageCompressApp)) {
        for (const ExtraCopy& copy : m_extraCopies)
            arguments.push_back("/also=(" + std::to_string(copy.size.width) + "," + std::to_string(copy.size.height) +
                                "," + m_config.CurOutputDirectory + "/" + copy.name + ")");
        return launchCopy(arguments, shown);
    }
    if (!launchCopy(arguments, shown))
        return false; // already reported; the same program would fail the same way for the other sizes
    for (const ExtraCopy& copy : m_extraCopies) {
        ExpansionInput each = input;
        each.outputName = copy.name;
        each.size = copy.size;
        launchCopy(expandToolArgumentList(m_config.ImageCompressArg, each), shown);
    }
    return true;
}

void PageSession::produceImageFile()
{
    const ImageEntry& entry = m_images.current();
    const std::string shown = entry.shownName();
    const std::string name = m_outputName.empty() ? outputNameFor(shown) : m_outputName;
    m_outputName.clear();

    const std::string& directory = m_config.CurOutputDirectory;
    // A picture browsers cannot show is never copied as it is: "Uncompressed" makes a full-size JPEG.
    const bool asJpeg = entry.isPicture && isPublishedAsJpeg(shown);
    if ((imageSizeChoice() != kSizeUncompressed || asJpeg) && entry.isPicture && !m_config.ImageCompressApp.empty()) {
        const ExpansionInput input = expansionFor(m_images, m_geometry, m_config, directory, imageSizeChoice(), name);
        std::vector<std::string> arguments = expandToolArgumentList(m_config.ImageCompressArg, input);
        if (imageSizeChoice() == kSizeUncompressed)
            for (std::string& argument : arguments)
                if (argument.rfind("/jpgq=", 0) == 0)
                    argument = "/jpgq=95";
        const bool started = m_extraCopies.empty() ? launchCopy(arguments, shown)
                                                   : launchExtraCopies(std::move(arguments), input, shown);
        if (!started) {
            // Nothing will be written under the reserved names: hand them back.
            OutputNames::instance().release(directory, name);
            for (const ExtraCopy& copy : m_extraCopies)
                OutputNames::instance().release(directory, copy.name);
        }
        m_extraCopies.clear();
        return;
    }
    m_extraCopies.clear();
    const std::string source = m_images.pathOf(shown);
    const std::string target = directory + "/" + name;
    FileProblem problem;
    // A photo as it is keeps its pixels but never its camera data (place, camera, the uncropped
    // thumbnail). A movie is copied whole.
    const bool copied =
        entry.isPicture ? copyWithoutMetadata(source, target, problem) : copyRegularFile(source, target, problem);
    if (!copied) {
        OutputNames::instance().release(directory, name);
        qCWarning(lcPage).noquote() << "Page copy failed:" << q(source) << q(problem.reason);
        m_ui.message(copyFailureMessage(source, target, problem));
        return;
    }
    if (!entry.isPicture && !m_movieLink.empty())
        startMovieWebCopy(shown, source, name);
}

void PageSession::startMovieWebCopy(const std::string& shown, const std::string& source, const std::string& name)
{
    const std::string& directory = m_config.CurOutputDirectory;
    MovieWebCopies::Request request;
    request.pagePath = pagePath();
    request.source = source;
    request.shownName = shown;
    request.folder = directory;
    request.mp4Name = OutputNames::instance().reserve(directory, movieWebName(name));
    request.posterName = OutputNames::instance().reserve(directory, moviePosterName(name));
    request.linkFragment = std::exchange(m_movieLink, {});
    request.figure.number = m_movieNumber;
    request.figure.original = name;
    request.figure.caption = m_captionText;
    request.figure.sizeInBytes = m_images.current().files[std::size_t(m_images.current().shown)].size;
    m_movies.start(std::move(request), m_movieConverter);
}

bool PageSession::launchWithPage(const std::string& application)
{
    // One argument, so a folder with blanks or quotes reaches the program whole.
    return m_launch(application, {pagePath()}, false);
}

std::string PageSession::endingOfPage() const
{
    const std::optional<std::string> page = PageFile::read(pagePath());
    if (page && pageStyleOf(*page) == PageStyle::Modern)
        return std::string(kModernEnding);
    return m_config.TemplateEnd;
}

void PageSession::closePage()
{
    if (!isPageOpen()) {
        m_ui.message("No output file to close.");
        return;
    }
    const std::string question = fill("Do you want to close this page?\n\n'%s'", {m_config.CurOutputDirectory});
    const ClosePageChoice choice = m_host.chooseClosePage(
        question,
        [this] {
            if (m_preview)
                m_preview();
        },
        [this] { openPageFolder(); }, !m_config.PublishCommand.empty());
    if (choice == ClosePageChoice::Cancel)
        return;
    const std::string ending = endingOfPage();
    if (!openPageFile())
        return;
    writeLine(ending);
    if (!closePageFile())
        return;
    const std::string closedPage = pagePath();
    m_closedPageFolder = m_config.CurOutputDirectory;
    m_config.CurOutputDirectory = m_config.BaseOutputDirectory;
    m_config.CurPageSubdirectory.clear();
    m_host.pageNotice("Page closed", closedPage);
    if (choice == ClosePageChoice::CloseAndPublish)
        publishPage();
}

std::string PageSession::pageFolder() const
{
    return isPageOpen() ? m_config.CurOutputDirectory : m_closedPageFolder;
}

void PageSession::openPageFolder()
{
    const std::string folder = pageFolder();
    if (folder.empty()) {
        m_ui.message("There is no page yet: add a photo with A to start one.");
        return;
    }
    if (!openDocument(folder, m_ui))
        qCWarning(lcPage).noquote() << "cannot open the page's folder" << q(folder);
}

void PageSession::publishPage()
{
    m_publisher.publish(m_config.PublishCommand, pageFolder());
}

void PageSession::openExistingPage()
{
    const std::optional<std::string> chosen =
        m_host.browseForPage("Open existing HTML page", m_config.CurOutputDirectory + "/*.*");
    if (!chosen)
        return;
    const StartPath split = splitStartPath(*chosen);
    if (split.directory.empty() || split.file.empty()) {
        m_ui.message(fill("Could not open '%s'", {*chosen}));
        return;
    }
    // Only a page can be continued: anything else chosen here (a photo) would be written into by the
    // next addition and give its name to every later page.
    FileProblem problem;
    const std::optional<std::string> content = readRegularFile(*chosen, &problem);
    if (!content || !looksLikeHtmlPage(*content)) {
        const std::string text =
            content ? fill("'%s' is not an HTML page, so no photos can be added to it.\n\nChoose the page's HTML "
                           "file (index.html, or the name it was given).",
                           {*chosen})
                    : fill(kFailedToOpen, {*chosen}) + "\n" + problem.reason + ".";
        qCWarning(lcPage).noquote() << q(text);
        m_ui.message(text);
        return;
    }
    m_config.OutputFilename = split.file;
    m_config.CurOutputDirectory = split.directory;
    m_config.CurPageSubdirectory.clear();
    if (removeEnding())
        return;

    if (!m_config.HidePageOpenFailDlg || m_host.shiftHeld()) {
        bool onlyWithShift = m_config.HidePageOpenFailDlg;
        const std::string text =
            fill("Failed to remove HTML ending from:\n'%s/%s'.\n\nAs this file is now being opened, please remove "
                 "the HTML ending code manually.\nPlease remember to close this page before opening a new one.",
                 {m_config.CurOutputDirectory, m_config.OutputFilename});
        if (m_host.showOpenFailNotice(text, onlyWithShift))
            m_config.HidePageOpenFailDlg = onlyWithShift;
    }
    // As the HTML editor command does it: nothing without an editor, a message without a page.
    if (m_config.HtmlEditor.empty())
        return;
    if (!isPageOpen()) {
        m_ui.message("No current output file to open");
        return;
    }
    launchWithPage(m_config.HtmlEditor);
}

bool PageSession::removeEnding()
{
    const std::string path = pagePath();
    const std::optional<std::string> page = PageFile::read(path);
    if (!page) {
        m_ui.message(fill(kFailedToOpen, {path}));
        return false;
    }
    const std::optional<std::string> content = withoutEnding(
        *page, pageStyleOf(*page) == PageStyle::Modern ? std::string(kModernEnding) : m_config.TemplateEnd);
    if (!content)
        return false;
    std::string reason;
    if (!PageFile::rewrite(path, *content, &reason)) {
        qCWarning(lcPage).noquote() << "cannot remove the ending of" << q(path) << "-" << q(reason);
        m_ui.message(fill("Failed to remove ending from '%s'\n(failed to write result)", {path}));
        return false;
    }
    return true;
}

} // namespace marquelo
