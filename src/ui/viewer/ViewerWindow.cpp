#include "ui/viewer/ViewerWindow.h"

#include "core/settings/StartupTrace.h"
#include "core/viewer/CullFilter.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureColour.h"
#include "ui/viewer/CaptionBox.h"
#include "ui/viewer/ColordProfile.h"
#include "ui/viewer/CompareView.h"
#include "ui/viewer/CullCommands.h"
#include "ui/viewer/DisplayProfile.h"
#include "ui/viewer/FileCommands.h"
#include "ui/viewer/InfoLabels.h"
#include "ui/viewer/NoticeOverlay.h"
#include "ui/viewer/ThumbnailGrid.h"
#include "ui/viewer/ViewerAppearance.h"
#include "ui/viewer/ViewerChrome.h"
#include "ui/viewer/ViewerKeyRouter.h"
#include "ui/viewer/ViewerToolbar.h"
#include "ui/viewer/ZoomControl.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace marquelo {

namespace {

// The start photo is known before the window exists: its decode runs on a worker while the toolbar,
// the icons and the rest of the window are built, instead of after them.
std::unique_ptr<PictureCache> cacheLoadingCurrent(ImageList& images, AppConfig& config)
{
    // Before the first load: every picture is decoded into the screen's colours.
    PictureColour::setDisplayProfile(readDisplayProfile());
    auto cache = std::make_unique<PictureCache>(images, config);
    if (images.count() > 0)
        cache->requestPicture(images.currentIndex(), PictureCache::Priority::Current);
    return cache;
}

} // namespace

ViewerWindow::ViewerWindow(AppConfig& config, ImageList& images, UserInterface& ui, QWidget* parent)
    : QWidget(parent), m_config(config), m_images(images), m_ui(ui), m_cache(cacheLoadingCurrent(images, config)),
      m_changeCheck(*m_cache, [this] { showCurrent(); }),
      m_exit(images, config, ui, m_changeCheck, [this] { Q_EMIT exitRequested(); }), m_windowState(*this, config),
      m_picture(*this, config, images, *m_cache, m_geometry)
{
    setWindowTitle(QStringLiteral("Marquelo"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    setMinimumSize(200, 150);

    m_labels = std::make_unique<InfoLabels>(this);

    m_toolbar = new ViewerToolbar(this, [this](Command command) { runCommand(command); });

    m_caption = std::make_unique<CaptionBox>(this, *m_toolbar, m_config);

    m_zoom = std::make_unique<ZoomControl>(*this, m_geometry, m_images, *m_cache, m_picture);
    m_notices = new NoticeOverlay(this);
    m_files = std::make_unique<FileCommands>(*this, m_images, *m_cache, m_ui, m_geometry, *m_notices,
                                             [this] { showCurrent(); });
    m_files->setJpegOnlySource([this] { return m_config.PairDelete == 1; });

    m_grid = new ThumbnailGrid(this, m_images, m_config);
    connect(m_grid, &ThumbnailGrid::highlightChanged, this,
            [this] { m_chrome->labelHighlighted(m_grid->highlightedCell(), m_grid->cellCount()); });
    connect(m_grid, &ThumbnailGrid::activated, this, [this] { closeGrid(false); });
    connect(m_grid, &ThumbnailGrid::leave, this, [this] { closeGrid(true); });

    ViewerKeyRouter::Actions actions;
    actions.run = [this](Command command) { runCommand(command); };
    actions.ok = [this] { onOK(); };
    actions.cancel = [this] { onCancel(); };
    actions.grid = [this](QKeyEvent* event) { return m_grid->isVisible() && m_grid->handleKey(event); };
    actions.compare = [this](QKeyEvent* event) { return m_compare->isOpen() && m_compare->handleKey(event); };
    actions.captionEnter = [this](bool shift) {
        if (!m_caption->enter(shift))
            endCaptionInput();
    };
    m_keys = std::make_unique<ViewerKeyRouter>(*this, *m_toolbar, *m_caption, std::move(actions));

    m_applied = {m_config.CacheDepth, m_config.ReadAhead};
    m_chrome = std::make_unique<ViewerChrome>(*this, m_config, m_images, *m_toolbar, *m_labels, *m_caption, *m_keys,
                                              m_windowState, m_picture, [this] { layoutCurrent(); });
    m_cull = std::make_unique<CullCommands>(
        m_config, m_images, *m_notices,
        [this] {
            m_chrome->labelCurrent();
            m_grid->marksChanged();
            if (m_compare)
                m_compare->update();
        },
        [this] { showCurrent(); },
        [this](int index) {
            m_cache->evictPicture(index, kOriginal);
            m_cache->evictPicture(index, kEdited);
        });
    m_chrome->setMarksSource([this] { return m_cull->currentMarksText(); });
    m_grid->setMarksSource([this](int index) { return m_cull->cellMarks(index); });
    m_grid->setFilterSource([this] { return m_cull->filtering(); }, [this](int index) { return m_cull->shown(index); });
    m_chrome->setPositionSource([this] {
        const FilteredPosition at = m_cull->position();
        return std::pair<int, int>(at.position, at.count);
    });
    CompareView::Sources compareSources;
    compareSources.marks = [this](int index) { return m_cull->marksTextOf(index); };
    compareSources.shown = [this](int index) { return !m_cull->filtering() || m_cull->shown(index); };
    compareSources.position = [this](int index) {
        if (!m_cull->filtering())
            return std::pair<int, int>(index + 1, m_images.count());
        const FilteredPosition at =
            filteredPosition(m_images.count(), index, [this](int i) { return m_cull->shown(i); });
        return std::pair<int, int>(at.position, at.count);
    };
    m_compare = new CompareView(*this, m_config, m_images, *m_cache, std::move(compareSources));
    connect(m_compare, &CompareView::leaveRequested, this, &ViewerWindow::leaveCompare);
    connect(m_compare, &CompareView::referenceChanged, this, [this] { showCurrent(); });
    connect(m_compare, &CompareView::painted, this, &ViewerWindow::painted);
    connect(m_compare, &CompareView::referenceViewChanged, this, [this] {
        // The closed view lays out its panes too (its first resize): the single view's own part stays.
        if (!comparing())
            return;
        // The reference's view is the current view: A adds its zoomed part, as the single view's.
        const ViewGeometry& reference = m_compare->paneView(0);
        m_geometry.source = reference.source;
        m_geometry.destination = reference.destination;
        m_geometry.fitted = reference.fitted;
    });
    m_appearance = std::make_unique<ViewerAppearance>(*this, m_config, *m_toolbar, *m_notices);
    resize(1024, 700);
    // Space and Enter press the focused button; Next has it first, so both step forward at start.
    toolbarButton(Command::Next)->setFocus();
    qApp->installEventFilter(m_keys.get());
    // A load that outlasted showCurrent()'s wait is laid out when it arrives.
    connect(m_cache.get(), &PictureCache::pictureLoaded, this, [this](int index, int version) {
        if (m_layoutPending && index == m_images.currentIndex() && version == m_images.current().shown)
            showCurrent();
    });
    m_profile = std::make_unique<DisplayProfileFollower>();
    connect(m_profile.get(), &DisplayProfileFollower::profileChanged, this, &ViewerWindow::profileChanged);
}

ViewerWindow::~ViewerWindow()
{
    qApp->removeEventFilter(m_keys.get());
    m_changeCheck.stop();
}

void ViewerWindow::start()
{
    m_windowState.showAsConfigured();
    showCurrent();
}

void ViewerWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    watchScreen();
    if (m_windowState.firstShown() && !m_exit.confirmed())
        m_changeCheck.start();
}

// ---- showing the current entry ----------------------------------------------------------------------

void ViewerWindow::showStart()
{
    // The window system maps and maximizes the window while the photo decodes, the first paint (of the
    // background) sets up the window's buffers meanwhile, and the load scales its copy for the window's
    // final size: the photo's own paint is then only a blit. Waiting here would hold all of that back
    // until the decode ends.
    showCurrent(std::chrono::milliseconds(0));
}

void ViewerWindow::waitForStart()
{
    m_cache->waitForCurrent(PictureCache::kCurrentPatience);
}

void ViewerWindow::showCurrent()
{
    showCurrent(PictureCache::kCurrentPatience);
}

void ViewerWindow::showCurrent(std::chrono::milliseconds patience)
{
    // In the grid the current entry is the highlighted cell; its photo loads when the grid closes.
    if (m_grid->isVisible()) {
        m_grid->listChanged();
        return;
    }
    if (m_compare->isOpen()) {
        // The reference is the current entry: it and the candidates are shown again.
        m_chrome->updateButtons();
        m_cache->waitForCurrent(patience);
        m_compare->refresh();
        m_chrome->labelCurrent();
        return;
    }
    m_zoom->cancelDrag();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_chrome->updateButtons();
    // A load that takes too long is not waited for: the window stays alive and lays the picture out
    // when it arrives.
    m_layoutPending = !m_cache->waitForCurrent(patience);

    const ShownPicture picture = m_cache->shown();
    const QSize size = picture.loaded && picture.isPicture ? picture.fullSize : QSize(0, 0);
    m_geometry.source = wholePicture(size.width(), size.height());
    layoutPicture(m_geometry, width(), height(), false);

    m_chrome->labelCurrent();

    if (m_layoutPending)
        m_picture.pictureAwaited();
    else
        m_picture.newPicture();
    update();
    QGuiApplication::restoreOverrideCursor();
}

void ViewerWindow::updateToolButtons()
{
    m_chrome->updateToolButtons();
}

void ViewerWindow::layoutCurrent()
{
    if (comparing())
        m_compare->setGeometry(compareArea());
    else if (m_cache->currentSlot())
        layoutPicture(m_geometry, width(), height(), false);
}

// ---- painting ------------------------------------------------------------------------------------------

void ViewerWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (comparing()) {
        // The panes cover the picture: the single view's copy of the reference would be scaled behind
        // them for nothing (the window's geometry is the reference pane's while comparing).
        painter.fillRect(rect(), m_picture.background());
        return;
    }
    m_picture.paint(painter);
    Q_EMIT painted();
    startup::mark("window mapped");
    if (!m_cache->shown().loading)
        startup::mark("first frame with the picture");
    // The desktop's colour manager is asked once the first picture is on screen (or has failed): the
    // answer takes a trip over the bus, and a profile that differs only costs a second decode then.
    if (!m_firstPaintDone && !m_cache->shown().loading) {
        m_firstPaintDone = true;
        QTimer::singleShot(0, this, &ViewerWindow::followScreen);
    }
}

void ViewerWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_notices->place();
    m_grid->setGeometry(rect());
    if (comparing()) {
        // The panes follow through the compare view's own resize; loads decode for the new panes.
        m_compare->setGeometry(compareArea());
        followScreen();
    } else {
        // Loads from now on scale their photo for this size on their worker.
        m_cache->setScreenTarget({size(), devicePixelRatioF()});
        if (m_cache->currentSlot()) {
            layoutPicture(m_geometry, width(), height(), false);
            m_picture.markUnsettled();
        }
    }
    update();
}

void ViewerWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_windowState.stateChanged();
}

bool ViewerWindow::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // Sent on a move to another screen and when the screen's scale changes.
    if (event->type() == QEvent::ScreenChangeInternal)
        watchScreen();
    return handled;
}

// ---- the screen the window is on -----------------------------------------------------------------------

void ViewerWindow::watchScreen()
{
    QScreen* now = screen();
    if (QWindow* handle = windowHandle(); handle && !m_screenConnections[0]) {
        m_screenConnections[0] = connect(handle, &QWindow::screenChanged, this, &ViewerWindow::watchScreen);
    }
    for (int i = 1; i < 3; ++i)
        disconnect(m_screenConnections[i]);
    if (now) {
        m_screenConnections[1] = connect(now, &QScreen::geometryChanged, this, &ViewerWindow::followScreen);
        m_screenConnections[2] = connect(now, &QScreen::logicalDotsPerInchChanged, this, &ViewerWindow::followScreen);
    }
    followScreen();
}

void ViewerWindow::followScreen()
{
    const QScreen* now = screen();
    if (!now)
        return;
    // Loads decode for the whole of this screen at its device pixels (the window may be zoomed to
    // fill it); a denser or larger screen gets the current picture decoded again, sharper.
    const qreal ratio = std::max(now->devicePixelRatio(), devicePixelRatioF());
    QSize pixels(int(std::lround(now->size().width() * ratio)), int(std::lround(now->size().height() * ratio)));
    if (comparing()) {
        // While comparing, each photo is decoded and scaled for a pane, not for the whole window.
        pixels = m_compare->paneDevicePixels();
        m_cache->setScreenTarget({m_compare->paneSize(), devicePixelRatioF()});
    } else {
        m_cache->setScreenTarget({size(), devicePixelRatioF()});
    }
    if (pixels != m_cache->viewSize()) {
        m_cache->setViewSize(pixels);
        m_picture.markUnsettled();
        update();
    }
    if (m_firstPaintDone && now->name() != m_profileOutput) {
        m_profileOutput = now->name();
        m_profile->follow(m_profileOutput);
    }
}

void ViewerWindow::profileChanged()
{
    // Pictures are converted to the display's colours as they are decoded: every one is decoded again.
    m_cache->evictAll();
    m_picture.clearCopies();
    showCurrent();
}

// ---- commands ------------------------------------------------------------------------------------------

void ViewerWindow::setCommandHandler(Command command, std::function<void()> handler)
{
    m_handlers[std::size_t(command)] = std::move(handler);
}

void ViewerWindow::runCommand(Command command)
{
    const int current = m_images.currentIndex();
    const int last = std::max(0, m_images.count() - 1);
    if (command == Command::Compare && !m_compare->isOpen()) {
        enterCompare();
        return;
    }
    if (m_compare->isOpen() && !m_caption->isOpen()) {
        if (command == Command::ToggleGrid)
            leaveCompare();
        else if (m_compare->runCommand(command))
            return;
    } else if (command == Command::ComparePanes) {
        return;
    }
    if (isWalkCommand(command))
        m_appearance->walked();
    // Under the filter the steps go over the photos it hides.
    if (const std::optional<int> target = m_cull->filteredTarget(command)) {
        navigate(*target);
        return;
    }
    switch (command) {
    case Command::Nothing: return;
    case Command::First: navigate(0); return;
    case Command::Last: navigate(last); return;
    case Command::Previous: navigate(current - 1); return;
    case Command::Next: navigate(std::min(current + 1, last)); return;
    case Command::Back5: navigate(current - 5); return;
    case Command::Forward5: navigate(std::min(current + 5, last)); return;
    case Command::Back10: navigate(current - 10); return;
    case Command::Forward10: navigate(std::min(current + 10, last)); return;
    case Command::ToggleToolbar: m_chrome->toggleToolbar(); return;
    case Command::ToggleInfo: m_chrome->toggleInfo(); return;
    case Command::Delete:
        if (m_files->deleteImage())
            m_undoOrder.push_back(Command::Delete);
        return;
    case Command::Reload: reload(); return;
    case Command::Enlarge: m_zoom->enlarge(); return;
    case Command::Shrink: m_zoom->shrink(); return;
    case Command::Fit:
        if (!m_geometry.dragging)
            showCurrent();
        return;
    case Command::Cancel: onCancel(); return;
    case Command::ImageInfo: m_files->showImageInfo(); return;
    case Command::Rename: m_files->renameImage(); return;
    case Command::ToggleFullScreen: m_windowState.toggleFullScreen(); return;
    case Command::UndoDelete: undoLast(); return;
    case Command::ToggleGrid: toggleGrid(); return;
    case Command::ShowControls: m_appearance->reveal(); return;
    default: break;
    }
    if (command >= Command::SendTo1 && command <= Command::SendTo4) {
        if (m_cull->sendTo(int(command) - int(Command::SendTo1) + 1))
            m_undoOrder.push_back(Command::SendTo1);
        return;
    }
    if (command == Command::FilterMenu) {
        // Under the info line, where the filter is shown.
        m_cull->showFilterMenu(this, QPoint(8, 30));
        return;
    }
    if (m_cull->run(command))
        return;
    if (auto& handler = m_handlers[std::size_t(command)])
        handler();
}

void ViewerWindow::undoLast()
{
    // Ctrl+Z takes back the last delete or send-to, whichever came last.
    const bool send = !m_undoOrder.empty() && m_undoOrder.back() == Command::SendTo1;
    const bool done = send ? m_cull->undoSend() : m_files->undoDelete();
    // A failed undo is kept for another try, unless nothing of its kind is left to take back.
    const bool left = send ? m_cull->canUndoSend() : m_files->canUndoDelete();
    if ((done || !left) && !m_undoOrder.empty())
        m_undoOrder.pop_back();
}

void ViewerWindow::navigate(int position)
{
    m_images.setCurrent(position);
    showCurrent();
}

void ViewerWindow::reload()
{
    m_cache->evictPicture(m_images.currentIndex(), m_images.current().shown);
    m_picture.clearCopies();
    showCurrent();
}

void ViewerWindow::onOK()
{
    endCaptionInput();
    ImageEntry& entry = m_images.current();
    if (m_images.count() > 0 && entry.shown == kEdited)
        entry.editedKept = true;
    if (m_images.currentIndex() < m_images.count() - 1)
        navigate(m_images.currentIndex() + 1);
}

void ViewerWindow::onCancel()
{
    if (m_caption->isOpen()) {
        if (!m_caption->escape())
            endCaptionInput();
        return;
    }
    if (m_geometry.dragging) {
        m_zoom->cancelDrag();
        return;
    }
    requestExit();
}

// ---- caption input -------------------------------------------------------------------------------------

void ViewerWindow::startCaptionInput()
{
    if (QToolButton* focused = m_keys->focusedButton())
        m_keys->rememberButton(focused);
    m_caption->open();
}

void ViewerWindow::endCaptionInput()
{
    if (m_caption->close()) {
        setFocus(Qt::OtherFocusReason);
        m_keys->restoreButtonFocus();
    }
}

bool ViewerWindow::captionActive() const
{
    return m_caption->isOpen();
}

QString ViewerWindow::captionText() const
{
    return m_caption->text();
}

void ViewerWindow::offerCaptionText(const QString& text)
{
    m_caption->offer(text);
}

void ViewerWindow::setCaptionHandlers(std::function<void(bool)> onEnter, std::function<void()> onEscape)
{
    m_caption->setHandlers(std::move(onEnter), std::move(onEscape));
}

// ---- settings ------------------------------------------------------------------------------------------

void ViewerWindow::applySettings()
{
    if (m_config.CacheDepth != m_applied.CacheDepth || m_config.ReadAhead != m_applied.ReadAhead) {
        m_cache->evictAll();
        m_picture.clearCopies();
        showCurrent();
    }
    m_appearance->apply();
    m_chrome->applySettings();
    m_applied = {m_config.CacheDepth, m_config.ReadAhead};
}

// ---- zoom ----------------------------------------------------------------------------------------------

void ViewerWindow::mousePressEvent(QMouseEvent* event)
{
    if (m_zoom->mousePress(event))
        showCurrent();
}

void ViewerWindow::mouseMoveEvent(QMouseEvent* event)
{
    m_zoom->mouseMove(event);
}

void ViewerWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_zoom->mouseRelease(event);
}

// ---- notices and labels --------------------------------------------------------------------------------

void ViewerWindow::showNotice(const QString& text)
{
    m_notices->show(text);
}

void ViewerWindow::showKeyHint()
{
    m_chrome->showKeyHint(kKeyHintMs);
}

void ViewerWindow::setPageTitleSource(std::function<QString()> source)
{
    m_chrome->setPageTitleSource(std::move(source));
}

// ---- file drops ----------------------------------------------------------------------------------------

void ViewerWindow::dragEnterEvent(QDragEnterEvent* event)
{
    m_files->dragEnter(event);
}

void ViewerWindow::dropEvent(QDropEvent* event)
{
    m_files->drop(event);
}

// ---- thumbnail grid ------------------------------------------------------------------------------------

void ViewerWindow::toggleGrid()
{
    if (m_grid->isVisible()) {
        closeGrid(false);
        return;
    }
    m_zoom->cancelDrag();
    m_grid->open();
    // The info line stays on top of the grid; it counts the highlighted cell.
    for (const char* name : {"info", "fileName"})
        if (QWidget* label = findChild<QWidget*>(QLatin1String(name)))
            label->raise();
}

void ViewerWindow::closeGrid(bool restore)
{
    m_grid->close(restore);
    setFocus(Qt::OtherFocusReason);
    showCurrent();
}

// ---- compare view -------------------------------------------------------------------------------------

bool ViewerWindow::comparing() const
{
    return m_compare && m_compare->isOpen();
}

QRect ViewerWindow::compareArea() const
{
    const int top = m_toolbar->isVisible() ? toolbarButton(Command::Next)->geometry().bottom() + 1 : 0;
    return QRect(0, top, width(), std::max(0, height() - top));
}

void ViewerWindow::enterCompare()
{
    if (m_images.count() < 2 || m_grid->isVisible() || m_caption->isOpen())
        return;
    m_zoom->cancelDrag();
    m_beforeCompare = {m_geometry, m_images.currentIndex(), size()};
    m_compare->setGeometry(compareArea());
    m_compare->setPaneCount(m_config.CompareFourPanes ? 4 : 2);
    m_compare->open(m_compare->paneCount());
    // The panes are pinned before the view size changes, so the photos on screen are kept (and
    // refined when decoded for a smaller view), not freed and waited for.
    m_compare->refresh();
    // Loads from now on decode and scale for a pane.
    followScreen();
    m_chrome->labelCurrent();
}

void ViewerWindow::leaveCompare()
{
    if (!m_compare->isOpen())
        return;
    m_compare->close();
    followScreen();
    setFocus(Qt::OtherFocusReason);
    showCurrent();
    // Back on the photo the comparison started from, unchanged window: its zoom as it was.
    if (m_images.currentIndex() == m_beforeCompare.index && size() == m_beforeCompare.size && m_cache->shown().loaded &&
        !m_beforeCompare.geometry.source.isEmpty()) {
        m_geometry = m_beforeCompare.geometry;
        m_geometry.dragging = false;
        const qreal ratio = devicePixelRatioF();
        m_cache->ensureDetail(m_geometry.source, QSize(int(m_geometry.destination.width() * ratio),
                                                       int(m_geometry.destination.height() * ratio)));
        update();
    }
}

// ---- exit ----------------------------------------------------------------------------------------------

bool ViewerWindow::requestExit()
{
    if (!m_exit.confirm())
        return false;
    close();
    return true;
}

void ViewerWindow::closeEvent(QCloseEvent* event)
{
    if (m_exit.confirm())
        event->accept();
    else
        event->ignore();
}

QToolButton* ViewerWindow::toolbarButton(Command command) const
{
    return m_toolbar->button(command);
}

} // namespace marquelo
