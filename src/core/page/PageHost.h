#pragma once
// What the page builder needs from the window it works in: the caption box of the viewer, the step to
// the next photo, and its dialogs. The ui floor implements it on the real viewer; tests script it.

#include "core/page/PageFormat.h"
#include "core/settings/AppConfig.h"

#include <QDate>

#include <functional>
#include <optional>
#include <string>

namespace marquelo {

// The fields of the page-properties dialog, in and out.
struct PageSetupValues {
    std::string title;
    std::string subdirectory; // the box's text; the page's folder is its safe name
    int dateMode = 0;         // 0: the date picker, 1: the free text
    QDate date;
    std::string dateText;
    std::string bgImage;
    ColourRef bgColor = 0;
    ColourRef textColor = 0;
    ColourRef linkColor = 0;
    bool autoLinkColor = true;
    int layoutStyle = 0;
    int pageStyle = 0; // 0 Classic, 1 Modern
};

// The size and side chosen for one image with Shift+Enter.
struct AddImageChoice {
    int size = 1; // an ImageSizeChoice
    Side side = Side::Center;
};

// The answer of the close question.
enum class ClosePageChoice { Cancel, Close, CloseAndPublish };

class PageHost {
public:
    virtual ~PageHost() = default;

    // The caption box over the toolbar; while it is open the viewer's keys are off.
    virtual void startCaptionInput() = 0;
    virtual void endCaptionInput() = 0;
    virtual std::string captionText() = 0;
    // Puts the photo's own description into the open caption box, selected, so typing replaces it.
    virtual void offerCaption(const std::string& text) { (void)text; }
    // The photo's sidecar was rewritten with its caption: what the viewer knew of it is out of date.
    virtual void sidecarWritten(const std::string& photoPath) { (void)photoPath; }
    // Moves to the next photo as the Next command does (nothing on the last one).
    virtual void showNext() = 0;
    // Whether Shift is held right now.
    virtual bool shiftHeld() = 0;

    // "New Page Info": false on Cancel. `values` holds the initial values and receives the confirmed ones.
    virtual bool editPageInfo(PageInfoValues& values) = 0;
    // "Page Properties": false on Cancel. The subdirectory is only offered when createSubdirectory is on.
    virtual bool editPageSetup(PageSetupValues& values, bool createSubdirectory) = 0;
    // "Choose Image Size & Alignment": false on Cancel. Only Current Size is offered for a file that is
    // not a photo.
    virtual bool chooseImageSize(AddImageChoice& choice, bool isPicture) = 0;
    // "Close Page?": true for "&Close Page"; `preview` runs for every press of "&Browser Preview".
    virtual bool confirmClosePage(const std::string& question, const std::function<void()>& preview) = 0;
    // The close question with its further buttons: "Open &Folder" runs `openFolder` and keeps the
    // question open; "Close and &Publish" is offered when `canPublish`. By default only the plain question.
    virtual ClosePageChoice chooseClosePage(const std::string& question, const std::function<void()>& preview,
                                            const std::function<void()>& openFolder, bool canPublish)
    {
        (void)openFolder;
        (void)canPublish;
        return confirmClosePage(question, preview) ? ClosePageChoice::Close : ClosePageChoice::Cancel;
    }
    // The file chooser for a page to reopen; nullopt on Cancel.
    virtual std::optional<std::string> browseForPage(const std::string& title, const std::string& initialPath) = 0;
    // The notice after a failed ending removal; true when closed with OK, `onlyWithShift` then holds the
    // check box.
    virtual bool showOpenFailNotice(const std::string& text, bool& onlyWithShift) = 0;

    // A short line over the picture that fades by itself; it never takes the focus or a key.
    virtual void notice(const std::string& text) { (void)text; }
    // The same notice about the page at `pagePath`: the window adds where the page is and the key that
    // opens its folder.
    virtual void pageNotice(const std::string& text, const std::string& pagePath)
    {
        (void)pagePath;
        notice(text);
    }
    // A lasting line over the picture for work that takes a while, with a Cancel button that runs
    // `cancel`; shown again under the same key it only changes its text.
    virtual void showProgress(const std::string& key, const std::string& text, std::function<void()> cancel)
    {
        (void)key;
        (void)text;
        (void)cancel;
    }
    // Ends that line; `text` follows as a notice, which stays until closed when `lasting` (a failure
    // with lines to read).
    virtual void endProgress(const std::string& key, const std::string& text, bool lasting)
    {
        (void)key;
        (void)lasting;
        notice(text);
    }
    // True when the current entry is a photo whose picture could not be read (the no-picture
    // placeholder is shown): such an entry is not added.
    virtual bool currentPictureUnreadable() { return false; }
};

} // namespace marquelo
