#pragma once
// The page builder in the viewer window: A opens the caption box, Enter adds the photo, Escape cancels,
// Shift+! closes the page and O reopens one;
// Shift+F opens the page's folder and Shift+P publishes it. It shows the page dialogs on top of the window.

#include "core/page/PageHost.h"
#include "core/page/PageSession.h"
#include "ui/page/ProgressNotices.h"

#include <QObject>

namespace marquelo {

class ViewerWindow;

class PageCommands : public QObject, public PageHost {
    Q_OBJECT
public:
    // Lives as a child of `window`, as long as the window does.
    explicit PageCommands(ViewerWindow& window);

    PageSession& session() { return m_session; }

    void startCaptionInput() override;
    void endCaptionInput() override;
    std::string captionText() override;
    void offerCaption(const std::string& text) override;
    void sidecarWritten(const std::string& photoPath) override;
    void showNext() override;
    bool shiftHeld() override;
    bool editPageInfo(PageInfoValues& values) override;
    bool editPageSetup(PageSetupValues& values, bool createSubdirectory) override;
    bool chooseImageSize(AddImageChoice& choice, bool isPicture) override;
    bool confirmClosePage(const std::string& question, const std::function<void()>& preview) override;
    std::optional<std::string> browseForPage(const std::string& title, const std::string& initialPath) override;
    bool showOpenFailNotice(const std::string& text, bool& onlyWithShift) override;
    ClosePageChoice chooseClosePage(const std::string& question, const std::function<void()>& preview,
                                    const std::function<void()>& openFolder, bool canPublish) override;
    void notice(const std::string& text) override;
    void pageNotice(const std::string& text, const std::string& pagePath) override;
    void showProgress(const std::string& key, const std::string& text, std::function<void()> cancel) override;
    void endProgress(const std::string& key, const std::string& text, bool lasting) override;
    bool currentPictureUnreadable() override;

    ProgressNotices& progress() { return *m_progress; }

private:
    ViewerWindow& m_window;
    ProgressNotices* m_progress;
    PageSession m_session;
};

// Registers the add, close-page and open-page commands and the caption box's Enter and Escape on
// `window`. The returned object belongs to the window.
PageCommands* bindPageCommands(ViewerWindow& window);

} // namespace marquelo
