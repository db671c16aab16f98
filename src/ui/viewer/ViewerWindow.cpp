#include "ui/viewer/ViewerWindow.h"

#include "core/viewer/KeyTable.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/PictureSlot.h"
#include "ui/viewer/DisplayProfile.h"
#include "ui/viewer/FileOperations.h"
#include "ui/viewer/Placeholders.h"
#include "ui/viewer/RenameDialog.h"
#include "ui/viewer/ViewerToolbar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QToolButton>

#include <algorithm>

namespace marquelo {

namespace {

constexpr int kTimerMs = 250;
// How long the view must stay still before the quick draw is replaced by the smooth copy.
constexpr int kSettleMs = 150;

QColor toQColor(ColourRef c)
{
    return QColor(colourRed(c), colourGreen(c), colourBlue(c));
}

void makeLabel(QLabel* label, const QRect& where, const char* name)
{
    label->setObjectName(QLatin1String(name));
    label->setGeometry(where);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, kLabelColour);
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
}

} // namespace

ViewerWindow::ViewerWindow(AppConfig& config, ImageList& images, UserInterface& ui, QWidget* parent)
    : QWidget(parent), m_config(config), m_images(images), m_ui(ui),
      m_cache(std::make_unique<PictureCache>(images, config))
{
    setWindowTitle(QStringLiteral("Marquelo"));
    // Before the first load: every picture is decoded into the screen's colours.
    PictureColour::setDisplayProfile(readDisplayProfile());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    setMinimumSize(200, 150);

    m_info = new QLabel(this);
    makeLabel(m_info, QRect(3, 3, 56, 17), "info");
    m_fileName = new QLabel(this);
    makeLabel(m_fileName, QRect(62, 3, 168, 17), "fileName");

    m_toolbar = new ViewerToolbar(this, [this](Command command) { runCommand(command); });

    m_caption = new QLineEdit(this);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setGeometry(ViewerToolbar::left(), 2, 592, 20);
    QPalette captionPalette = m_caption->palette();
    captionPalette.setColor(QPalette::Base, Qt::white);
    captionPalette.setColor(QPalette::Text, Qt::black);
    m_caption->setPalette(captionPalette);
    m_caption->hide();

    m_band = new QRubberBand(QRubberBand::Rectangle, this);
    m_band->hide();

    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &ViewerWindow::onTimer);
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] {
        m_settled = true;
        update();
    });
    m_readAheadTimer.setSingleShot(true);
    connect(&m_readAheadTimer, &QTimer::timeout, this, &ViewerWindow::runReadAhead);
    connect(m_cache.get(), &PictureCache::pictureLoaded, this, &ViewerWindow::onPictureLoaded);

    m_applied = {m_config.FullScreenTitleBar, m_config.ShowToolbar, m_config.CacheDepth, m_config.ReadAhead};
    applyBackground();
    m_toolbar->setVisible(m_config.ShowToolbar);
    updateInfoVisibility();
    updateToolButtons();
    resize(1024, 700);
    // Space and Enter press the focused button; Next has it first, so both step forward at start.
    toolbarButton(Command::Next)->setFocus();

    qApp->installEventFilter(this);
}

ViewerWindow::~ViewerWindow()
{
    qApp->removeEventFilter(this);
    m_timer.stop();
}

void ViewerWindow::start()
{
    if (m_config.StartMaximized) {
        if (m_config.FullScreenTitleBar)
            showMaximized();
        else
            showFullScreen();
    } else {
        show();
    }
    showCurrent();
}

void ViewerWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_ready) {
        // Shown maximized by start-up: without a title bar that is the full screen.
        if (!m_config.FullScreenTitleBar && (windowState() & Qt::WindowMaximized))
            setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
        m_ready = true;
        if (!m_exitConfirmed)
            m_timer.start();
    }
}

// ---- showing the current entry ----------------------------------------------------------------------

void ViewerWindow::showCurrent()
{
    cancelDrag();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    updateButtons();
    m_cache->waitForCurrent();

    const ShownPicture picture = m_cache->shown();
    const QSize size = picture.loaded && picture.isPicture ? picture.fullSize : QSize(0, 0);
    m_geometry.source = wholePicture(size.width(), size.height());
    layoutPicture(m_geometry, width(), height(), false);

    const std::string& name = m_images.currentName();
    const QString shown = name.empty() ? QStringLiteral("file_not_found") : QString::fromStdString(name);
    m_info->setText(QStringLiteral("%1/%2").arg(m_images.currentIndex() + 1).arg(m_images.count()));
    setFileNameText(shown);
    setWindowTitle(QStringLiteral("%1/%2 - Marquelo").arg(QString::fromStdString(m_images.directory()), shown));

    // Read-ahead starts once this picture is on screen, so its decoding does not compete with the paint;
    // a window that is not painted (hidden, minimized) starts it a moment later all the same.
    m_readAheadPending = true;
    m_readAheadTimer.start(30);
    // A new picture is drawn smoothly at once; only zoom steps and resizing take the quick path.
    m_settleTimer.stop();
    m_settled = true;
    update();
    QGuiApplication::restoreOverrideCursor();
}

void ViewerWindow::setFileNameText(const QString& name)
{
    m_fileNameFull = name;
    m_fileName->setText(m_fileName->fontMetrics().elidedText(name, Qt::ElideRight, m_fileName->width() - 4));
    m_fileName->setToolTip(name);
}

void ViewerWindow::updateButtons()
{
    QToolButton* before = focusedButton();
    const ImageEntry& entry = m_images.current();
    const int current = m_images.currentIndex();
    m_toolbar->updateNavigation(current > 0, current < m_images.count() - 1, entry.hasEdited,
                                entry.isPicture && !m_config.ImageEditApp.empty());
    // A button that loses its enabled state keeps the focus in spirit: Space and Enter then do
    // nothing (Enter is OK) instead of pressing whichever button Qt moved the focus to.
    if (before && !before->isEnabled()) {
        m_focusButton = before;
        setFocus(Qt::OtherFocusReason);
    } else {
        restoreButtonFocus();
    }
}

QToolButton* ViewerWindow::focusedButton() const
{
    QWidget* focus = focusWidget();
    if (m_toolbar->isToolbarButton(focus))
        return static_cast<QToolButton*>(focus);
    if (focus == this || focus == nullptr)
        return m_focusButton;
    return nullptr;
}

void ViewerWindow::restoreButtonFocus()
{
    QWidget* focus = focusWidget();
    if ((focus == this || focus == nullptr) && m_focusButton && m_focusButton->isEnabled() &&
        m_focusButton->isVisible() && !m_captionActive) {
        m_focusButton->setFocus(Qt::OtherFocusReason);
        m_focusButton = nullptr;
    }
}

void ViewerWindow::updateToolButtons()
{
    m_toolbar->updateToolButtons(m_config, m_images.current().isPicture);
}

void ViewerWindow::updateInfoVisibility()
{
    const bool visible = m_config.ShowToolbar || m_config.ShowImageInfo;
    m_info->setVisible(visible);
    m_fileName->setVisible(visible);
}

void ViewerWindow::applyBackground()
{
    const QColor background = toQColor(m_config.BackgroundColor);
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    setPalette(p);
    m_toolbar->setBackground(background);
    update();
}

void ViewerWindow::layoutCurrent()
{
    if (m_cache->currentSlot())
        layoutPicture(m_geometry, width(), height(), false);
}

// ---- painting ------------------------------------------------------------------------------------------

void ViewerWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const ShownPicture picture = m_cache->shown();
    const Rect& source = m_geometry.source;
    const bool sourceSet = !(source.left == 0 && source.top == 0 && source.right == 0 && source.bottom == 0);
    if (m_images.count() > 0 && picture.present && picture.loaded && picture.isPicture && !picture.image.isNull()) {
        const QColor background = toQColor(m_config.BackgroundColor);
        const QRect destination = m_geometry.destination.toQRect();
        for (const QRect& margin : backgroundMargins(m_geometry.destination, width(), height())) {
            if (!margin.isEmpty())
                painter.fillRect(margin, background);
        }
        if (sourceSet) {
            // Transparent parts of a picture (PNG, WebP) show the viewer's background.
            if (picture.image.hasAlphaChannel())
                painter.fillRect(destination, background);
            const QRectF part = decodedSourceRect(source, picture.fullSize, picture.image.size());
            m_renderer.paint(painter, picture.image, part, destination, devicePixelRatioF(), m_settled);
        }
    } else if (m_images.count() == 0 || (picture.present && picture.loaded && !picture.isPicture)) {
        // The empty list's entry is not a picture either, so it shows as a movie would.
        paintPlaceholder(painter, rect(), Placeholder::Movie);
    } else {
        paintPlaceholder(painter, rect(), Placeholder::NoPicture);
    }
    if (m_readAheadPending)
        m_readAheadTimer.start(0);
    Q_EMIT painted();
}

void ViewerWindow::markUnsettled()
{
    m_settled = false;
    m_settleTimer.start();
}

void ViewerWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_cache->currentSlot()) {
        layoutPicture(m_geometry, width(), height(), false);
        markUnsettled();
    }
    update();
}

void ViewerWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !m_ready || m_config.FullScreenTitleBar)
        return;
    // Without a title bar a maximized window is the full screen; restoring it brings the frame back.
    const Qt::WindowStates state = windowState();
    if ((state & Qt::WindowMaximized) && !(state & Qt::WindowFullScreen) && !(state & Qt::WindowMinimized)) {
        m_ready = false;
        setWindowState((state & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
        m_ready = true;
    }
}

// ---- keys ----------------------------------------------------------------------------------------------

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this)
        return routeKey(static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

bool ViewerWindow::routeKey(QKeyEvent* event)
{
    // Another modal window (preferences, a question) owns the keyboard until it closes.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this)
        return false;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool enter =
        (key == Qt::Key_Return || key == Qt::Key_Enter) && !(mods & (Qt::AltModifier | Qt::ControlModifier));

    if (m_captionActive) {
        // The key table is off: letters go into the box; Enter and Escape end the caption.
        if (enter) {
            if (m_captionEnter)
                m_captionEnter(mods & Qt::ShiftModifier);
            else
                endCaptionInput();
            return true;
        }
        if (key == Qt::Key_Escape) {
            onCancel();
            return true;
        }
        return false;
    }

    if (const auto command = lookupKey(key, mods)) {
        runCommand(*command);
        return true;
    }
    QToolButton* focused = focusedButton();
    if (key == Qt::Key_Space && (mods & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (focused && focused->isEnabled() && focused->isVisible()) {
            focused->click();
            return true;
        }
        return focused != nullptr;
    }
    if (enter) {
        if (focused && focused->isEnabled() && focused->isVisible())
            focused->click();
        else
            onOK();
        return true;
    }
    return false;
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
    case Command::ToggleToolbar: toggleToolbar(); return;
    case Command::ToggleInfo: toggleInfo(); return;
    case Command::Delete: deleteImage(); return;
    case Command::Reload: reload(); return;
    case Command::Enlarge: enlarge(); return;
    case Command::Shrink: shrink(); return;
    case Command::Fit:
        if (!m_geometry.dragging)
            showCurrent();
        return;
    case Command::Cancel: onCancel(); return;
    case Command::ImageInfo: showImageInfo(); return;
    case Command::Rename: renameImage(); return;
    default: break;
    }
    if (auto& handler = m_handlers[std::size_t(command)])
        handler();
}

void ViewerWindow::navigate(int position)
{
    m_images.setCurrent(position);
    showCurrent();
}

void ViewerWindow::reload()
{
    m_cache->evictPicture(m_images.currentIndex(), m_images.current().shown);
    m_renderer.clear();
    showCurrent();
}

void ViewerWindow::toggleToolbar()
{
    if (QToolButton* focused = focusedButton(); focused && m_config.ShowToolbar) {
        m_focusButton = focused;
        setFocus(Qt::OtherFocusReason);
    }
    m_config.ShowToolbar = !m_config.ShowToolbar;
    m_toolbar->setVisible(m_config.ShowToolbar);
    if (m_config.ShowToolbar)
        restoreButtonFocus();
    layoutCurrent();
    update();
    updateInfoVisibility();
}

void ViewerWindow::toggleInfo()
{
    if (m_config.ShowToolbar)
        return;
    m_config.ShowImageInfo = !m_config.ShowImageInfo;
    updateInfoVisibility();
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
    if (m_captionActive) {
        if (m_captionEscape)
            m_captionEscape();
        else
            endCaptionInput();
        return;
    }
    if (m_geometry.dragging) {
        cancelDrag();
        return;
    }
    requestExit();
}

// ---- caption input -------------------------------------------------------------------------------------

void ViewerWindow::startCaptionInput()
{
    if (QToolButton* focused = focusedButton())
        m_focusButton = focused;
    m_caption->clear();
    m_captionActive = true;
    m_toolbar->setVisible(false);
    m_caption->show();
    m_caption->raise();
    m_caption->setFocus(Qt::OtherFocusReason);
}

void ViewerWindow::endCaptionInput()
{
    const bool wasActive = m_captionActive;
    m_captionActive = false;
    if (m_config.ShowToolbar)
        m_toolbar->setVisible(true);
    m_caption->hide();
    if (wasActive) {
        setFocus(Qt::OtherFocusReason);
        restoreButtonFocus();
    }
}

QString ViewerWindow::captionText() const
{
    return m_caption->text();
}

void ViewerWindow::setCaptionHandlers(std::function<void(bool)> onEnter, std::function<void()> onEscape)
{
    m_captionEnter = std::move(onEnter);
    m_captionEscape = std::move(onEscape);
}

// ---- settings ------------------------------------------------------------------------------------------

void ViewerWindow::applySettings()
{
    if (m_config.CacheDepth != m_applied.CacheDepth || m_config.ReadAhead != m_applied.ReadAhead) {
        m_cache->evictAll();
        m_renderer.clear();
        showCurrent();
    }
    applyBackground();
    if ((isMaximized() || isFullScreen()) && m_config.FullScreenTitleBar != m_applied.FullScreenTitleBar) {
        m_ready = false;
        if (m_config.FullScreenTitleBar)
            setWindowState((windowState() & ~Qt::WindowFullScreen) | Qt::WindowMaximized);
        else
            setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
        m_ready = true;
    }
    m_toolbar->setVisible(m_config.ShowToolbar && !m_captionActive);
    layoutCurrent();
    update();
    updateInfoVisibility();
    updateToolButtons();
    m_applied = {m_config.FullScreenTitleBar, m_config.ShowToolbar, m_config.CacheDepth, m_config.ReadAhead};
}

// ---- zoom ----------------------------------------------------------------------------------------------

void ViewerWindow::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (!m_geometry.dragging && m_images.count() > 0 && m_images.current().isPicture && m_cache->shown().loaded)
            beginSelection(m_geometry, p.x(), p.y());
    } else if (event->button() == Qt::RightButton) {
        if (m_geometry.dragging)
            cancelDrag();
        else
            showCurrent();
    }
}

void ViewerWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_geometry.dragging)
        return;
    const QPoint p = event->position().toPoint();
    const bool leftAlone =
        event->buttons() == Qt::LeftButton && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (moveSelection(m_geometry, p.x(), p.y(), leftAlone)) {
        m_band->setGeometry(selectionRect(m_geometry).normalized());
        m_band->show();
    } else {
        m_band->hide();
    }
}

void ViewerWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_geometry.dragging)
        return;
    m_band->hide();
    const QPoint p = event->position().toPoint();
    if (endSelection(m_geometry, p.x(), p.y(), width(), height())) {
        ensureDetail();
        m_settled = true;
    }
    update();
}

void ViewerWindow::cancelDrag()
{
    cancelSelection(m_geometry);
    m_band->hide();
}

void ViewerWindow::enlarge()
{
    if (m_geometry.dragging || !m_images.current().isPicture || !m_cache->shown().loaded)
        return;
    if (enlargeStep(m_geometry, width(), height())) {
        ensureDetail();
        markUnsettled();
    }
    update();
}

void ViewerWindow::shrink()
{
    if (m_geometry.dragging || !m_images.current().isPicture || !m_cache->shown().loaded)
        return;
    if (shrinkStep(m_geometry))
        markUnsettled();
    update();
}

void ViewerWindow::ensureDetail()
{
    // A zoomed view asks for as many picture pixels as the screen shows, up to full resolution.
    const qreal ratio = devicePixelRatioF();
    const QSize device(int(m_geometry.destination.width() * ratio), int(m_geometry.destination.height() * ratio));
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_cache->ensureDetail(m_geometry.source, device))
        m_renderer.clear();
    QGuiApplication::restoreOverrideCursor();
}

// ---- file operations -----------------------------------------------------------------------------------

void ViewerWindow::deleteImage()
{
    if (deleteCurrentImage(m_images, *m_cache, m_ui))
        showCurrent();
}

void ViewerWindow::renameImage()
{
    if (m_images.count() == 0)
        return;
    const QString original = QString::fromStdString(m_images.current().files[kOriginal].name);
    RenameDialog dialog(
        original, m_ui, [this](const QString& name) { return renameRefusal(m_images, name); }, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (renameCurrentImage(m_images, *m_cache, m_ui, dialog.newName()))
        showCurrent();
}

void ViewerWindow::showImageInfo()
{
    ImageInfoDialog dialog(imageInfoTexts(m_images, m_geometry), this);
    dialog.exec();
}

void ViewerWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void ViewerWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    const QUrl& first = urls.front();
    if (selectDroppedFile(m_images, m_ui, first.isLocalFile() ? first.toLocalFile() : first.path()))
        showCurrent();
    event->acceptProposedAction();
}

// ---- timer, loads and exit -----------------------------------------------------------------------------

void ViewerWindow::onTimer()
{
    if (m_inTimer)
        return;
    m_inTimer = true;
    if (m_cache->checkCurrentFile())
        showCurrent();
    m_inTimer = false;
}

void ViewerWindow::onPictureLoaded(int index, int version)
{
    const int current = m_images.currentIndex();
    if (index == current && version == m_images.current().shown) {
        update();
    } else if (index == current - 1 || index == current + 1) {
        // Scale the neighbour for the screen while the user looks at this one: the step to it only blits.
        QTimer::singleShot(0, this, [this, index] { prepareView(index); });
    }
}

void ViewerWindow::runReadAhead()
{
    if (!m_readAheadPending)
        return;
    m_readAheadPending = false;
    m_cache->updateReadAhead();
    prepareView(m_images.currentIndex() - 1);
    prepareView(m_images.currentIndex() + 1);
}

void ViewerWindow::prepareView(int index)
{
    const int current = m_images.currentIndex();
    if (index < 0 || index >= m_images.count() || (index != current - 1 && index != current + 1))
        return;
    const ImageEntry& entry = m_images.at(index);
    const auto& slot = entry.pictures[std::size_t(entry.shown)];
    if (!entry.isPicture || !slot || !slot->ready() || slot->image.isNull())
        return;
    ViewGeometry fitted;
    fitted.source = wholePicture(slot->fullSize.width(), slot->fullSize.height());
    if (!layoutPicture(fitted, width(), height(), false))
        return;
    m_renderer.prepare(slot->image, decodedSourceRect(fitted.source, slot->fullSize, slot->image.size()),
                       fitted.destination.toQRect(), devicePixelRatioF());
}

bool ViewerWindow::doExit()
{
    if (m_exitConfirmed)
        return true;
    m_timer.stop();
    if (!cleanUpEditedCopies(m_images, m_config, m_ui)) {
        m_timer.start();
        return false;
    }
    m_exitConfirmed = true;
    Q_EMIT exitRequested();
    return true;
}

bool ViewerWindow::requestExit()
{
    if (!doExit())
        return false;
    close();
    return true;
}

void ViewerWindow::closeEvent(QCloseEvent* event)
{
    if (doExit())
        event->accept();
    else
        event->ignore();
}

QToolButton* ViewerWindow::toolbarButton(Command command) const
{
    return m_toolbar->button(command);
}

} // namespace marquelo
