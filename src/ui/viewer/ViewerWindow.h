#pragma once
// The main window: the current photo fitted on the background colour, the toolbar, the info line and the
// file name floating over the top edge, and the caption box used while a photo is added to the page.
// Navigation, zoom and file commands are its own, the other rooms register handlers with
// setCommandHandler(). It composes the rooms of one purpose each: ViewerKeyRouter (keys to commands),
// ViewerChrome (toolbar, info line, background and button states as the settings want them), InfoLabels,
// CaptionBox, FullScreenState (window state), PictureArea (painting), ZoomControl, FileCommands (delete,
// undo, rename, information, drops), ChangeCheck (the 250 ms timer) and ViewerExit (leaving, once).

#include "core/Command.h"
#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/ViewGeometry.h"
#include "ui/viewer/ChangeCheck.h"
#include "ui/viewer/FullScreenState.h"
#include "ui/viewer/PictureArea.h"
#include "ui/viewer/ViewerExit.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QToolButton;

namespace marquelo {

class CaptionBox;
class CompareView;
class CullCommands;
class DisplayProfileFollower;
class FileCommands;
class InfoLabels;
class NoticeOverlay;
class PictureCache;
class ThumbnailGrid;
class ViewerAppearance;
class ViewerChrome;
class ViewerKeyRouter;
class ViewerToolbar;
class ZoomControl;

class ViewerWindow : public QWidget {
    Q_OBJECT
public:
    ViewerWindow(AppConfig& config, ImageList& images, UserInterface& ui, QWidget* parent = nullptr);
    ~ViewerWindow() override;

    // Shows the window as the settings say (maximized, full screen without title bar, or normal), shows
    // the current entry and starts the change check. Plain show() works too: the check then starts
    // when the window is first shown.
    void start();

    // Loads, lays out and labels the current entry: every navigation and file command ends here.
    void showCurrent();
    // The same for the start photo, without waiting for its load: the window goes on while it decodes
    // and lays the photo out when it arrives.
    void showStart();
    // Waits, as showCurrent() does, for the start entry's load, without laying it out.
    void waitForStart();
    // True once a paint has shown the start entry loaded: its picture, or why it cannot be shown.
    bool startEntryDrawn() const { return m_firstPaintDone; }

    // Handlers of the commands other rooms own (edit, add, preferences, help, ...). Unset commands do
    // nothing. The window's own commands (navigation, zoom, toggles, delete, rename, info, reload,
    // cancel) are not replaced by a handler.
    void setCommandHandler(Command command, std::function<void()> handler);
    // Runs a command as its key or button would.
    void runCommand(Command command);

    // Caption input of the add flow: the box covers the toolbar and takes every key; the key table is off.
    void startCaptionInput();
    void endCaptionInput();
    bool captionActive() const;
    QString captionText() const;
    // Puts text into the open caption box, selected (the photo's own description).
    void offerCaptionText(const QString& text);
    // Called on Enter (with the Shift state read at that moment) and Escape while the caption box is open.
    void setCaptionHandlers(std::function<void(bool shift)> onEnter, std::function<void()> onEscape);

    // After the preferences dialog: apply what changed (cache, colours, title bar, toolbar, tool buttons).
    void applySettings();
    // Enables the tool buttons by their settings.
    void updateToolButtons();

    // A short line over the picture that fades after about three seconds; never takes focus or keys.
    void showNotice(const QString& text);
    NoticeOverlay& notices() { return *m_notices; }
    // Where the title of the open page comes from ("" when none is open); asked on every showCurrent.
    void setPageTitleSource(std::function<QString()> source);
    // "Press ? for keys" on the info line for a few seconds, until the key help was opened once.
    void showKeyHint();
    static constexpr int kKeyHintMs = 6000;

    // The exit of Escape and the close box: stops the change check, removes the unused edited copies
    // (asking once) and emits exitRequested(). False when the user cancelled; the viewer goes on then.
    bool requestExit();

    AppConfig& config() { return m_config; }
    ImageList& images() { return m_images; }
    ViewGeometry& geometry() { return m_geometry; }
    UserInterface& userInterface() { return m_ui; }
    PictureCache& cache() { return *m_cache; }
    // The toolbar button that sends `command` (tests, tooltips, focus).
    QToolButton* toolbarButton(Command command) const;
    // The change check's timer (tests drive it; it runs every 250 ms).
    QTimer& changeTimer() { return m_changeCheck.timer(); }
    // Scaled copies made by painting so far (benchmark: one per view).
    int scaledCopies() const { return m_picture.copiesMade(); }
    // Stars, rejects, labels, the filter and send-to.
    CullCommands& cull() { return *m_cull; }
    // The thumbnail grid G shows over the picture.
    ThumbnailGrid& grid() { return *m_grid; }
    // The compare view of Shift+C over the picture.
    CompareView& compare() { return *m_compare; }
    // Classic or Modern, as the setting Appearance says.
    ViewerAppearance& appearance() { return *m_appearance; }

Q_SIGNALS:
    // Emitted when the user has confirmed leaving (exit clean-up done); start-up ends the program then.
    void exitRequested();
    // Emitted at the end of every paint of the picture area (benchmark and tests).
    void painted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showCurrent(std::chrono::milliseconds patience);
    void navigate(int position);
    void undoLast();
    void reload();
    void onOK();
    void onCancel();
    void layoutCurrent();
    void toggleGrid();
    void closeGrid(bool restore);
    void enterCompare();
    void leaveCompare();
    // Where the compare view lies: the window below the toolbar.
    QRect compareArea() const;
    bool comparing() const;
    // The screen the window is on decides the decode size and the display profile; it may change as
    // the window moves between monitors or a monitor changes its resolution or scale.
    void watchScreen();
    void followScreen();
    void profileChanged();

    AppConfig& m_config;
    ImageList& m_images;
    UserInterface& m_ui;
    ViewGeometry m_geometry;
    std::unique_ptr<PictureCache> m_cache;
    std::array<std::function<void()>, kCommandCount> m_handlers;
    // The current entry's load outlasted the wait of showCurrent(): it is laid out when it ends.
    bool m_layoutPending = false;
    ViewerToolbar* m_toolbar = nullptr;
    ChangeCheck m_changeCheck;
    ViewerExit m_exit;
    FullScreenState m_windowState;
    PictureArea m_picture;
    std::unique_ptr<InfoLabels> m_labels;
    std::unique_ptr<CaptionBox> m_caption;
    std::unique_ptr<ZoomControl> m_zoom;
    std::unique_ptr<ViewerKeyRouter> m_keys;
    std::unique_ptr<ViewerChrome> m_chrome;
    std::unique_ptr<FileCommands> m_files;
    std::unique_ptr<CullCommands> m_cull;
    std::unique_ptr<ViewerAppearance> m_appearance;
    // Delete or SendTo1 for each change Ctrl+Z can take back, the last one last.
    std::vector<Command> m_undoOrder;
    NoticeOverlay* m_notices = nullptr;
    ThumbnailGrid* m_grid = nullptr;
    CompareView* m_compare = nullptr;
    // The single view as the compare view found it, given back when it is left on the same photo.
    struct SingleView {
        ViewGeometry geometry;
        int index = -1;
        QSize size;
    } m_beforeCompare;
    std::unique_ptr<DisplayProfileFollower> m_profile;
    // The screen whose signals are connected, and the output whose profile was last asked for.
    QMetaObject::Connection m_screenConnections[3];
    QString m_profileOutput;
    // The first paint is done: from then on the display profile is asked for (never before it).
    bool m_firstPaintDone = false;

    // The cache settings last applied, compared after the preferences dialog.
    struct Applied {
        std::int32_t CacheDepth = 1;
        bool ReadAhead = true;
    } m_applied;
};

} // namespace marquelo
