#include "ui/viewer/CompareView.h"

#include "core/settings/AppConfig.h"
#include "core/settings/Logging.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/PictureCache.h"
#include "core/viewer/PictureSlot.h"
#include "ui/viewer/Placeholders.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>

#include <algorithm>
#include <cmath>
#include <thread>

namespace marquelo {

namespace {

constexpr int kSettleMs = 150;
// "+" and "-" in one step: a quarter more or less of each photo's detail.
constexpr double kZoomStep = 1.25;
// Shift+arrow moves the shown part by a tenth of itself.
constexpr double kPanStep = 0.1;

} // namespace

CompareView::CompareView(QWidget& window, const AppConfig& config, ImageList& images, PictureCache& cache,
                         Sources sources)
    : QWidget(&window), m_window(window), m_config(config), m_images(images), m_cache(cache),
      m_sources(std::move(sources)), m_band(new QRubberBand(QRubberBand::Rectangle, this))
{
    setObjectName(QStringLiteral("compare"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
    m_band->hide();
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] {
        m_settled = true;
        update();
    });
    m_readAheadTimer.setSingleShot(true);
    connect(&m_readAheadTimer, &QTimer::timeout, this, &CompareView::readAhead);
    connect(&m_cache, &PictureCache::pictureLoaded, this, &CompareView::pictureLoaded);
}

CompareView::~CompareView() = default;

QColor CompareView::background() const
{
    const ColourRef c = m_config.BackgroundColor;
    return QColor(colourRed(c), colourGreen(c), colourBlue(c));
}

CompareWalk CompareView::walk() const
{
    return CompareWalk(m_images.count(), m_images.currentIndex(), m_sources.shown);
}

std::shared_ptr<PictureSlot> CompareView::slotOf(int index) const
{
    if (index < 0 || index >= m_images.count())
        return nullptr;
    const ImageEntry& entry = m_images.at(index);
    return entry.pictures[std::size_t(entry.shown)];
}

// ---- opening, leaving, the entries shown -------------------------------------------------------------

void CompareView::open(int paneCount)
{
    m_paneCount = paneCount > 2 ? 4 : 2;
    m_part = kWholePart;
    m_direction = 1;
    const CompareWalk w = walk();
    m_firstCandidate = w.step(m_images.currentIndex(), 1);
    if (!w.eligible(m_firstCandidate))
        m_firstCandidate = w.firstEligible();
    m_firstCandidateName.clear();
    m_open = true;
    // The first frame draws what the cache holds as it is; the pane-sized copies follow once settled.
    m_settled = false;
    m_settleTimer.start();
    show();
    raise();
    place();
}

void CompareView::close()
{
    m_band->hide();
    m_dragPane = -1;
    m_panning = false;
    m_readAheadTimer.stop();
    for (Pane& pane : m_panes) {
        pane.renderer.clear();
        pane.index = -1;
    }
    m_cache.setPinned({});
    m_open = false;
    hide();
}

void CompareView::setPaneCount(int count)
{
    m_paneCount = count > 2 ? 4 : 2;
    if (!isOpen())
        return;
    place();
    refresh();
}

std::vector<int> CompareView::shownEntries() const
{
    std::vector<int> out;
    for (int i = 0; i < m_paneCount; ++i)
        out.push_back(m_panes[std::size_t(i)].index);
    return out;
}

void CompareView::refresh()
{
    if (!isOpen())
        return;
    const CompareWalk w = walk();
    // The candidate stays the same photo when the list changed under it (a delete, a send-to).
    if (!m_firstCandidateName.empty() && (m_firstCandidate < 0 || m_firstCandidate >= m_images.count() ||
                                          m_images.at(m_firstCandidate).shownName() != m_firstCandidateName)) {
        for (int i = 0; i < m_images.count(); ++i) {
            if (m_images.at(i).shownName() == m_firstCandidateName) {
                m_firstCandidate = i;
                break;
            }
        }
    }
    if (!w.eligible(m_firstCandidate)) {
        const int forward = w.step(std::clamp(m_firstCandidate, 0, std::max(0, m_images.count() - 1)), 1);
        m_firstCandidate = w.eligible(forward) ? forward : w.lastEligible();
    }
    const std::vector<int> run = w.run(m_firstCandidate, m_paneCount - 1);
    m_panes[0].index = m_images.count() > 0 ? m_images.currentIndex() : -1;
    for (int i = 1; i < 4; ++i)
        m_panes[std::size_t(i)].index = i - 1 < int(run.size()) && i < m_paneCount ? run[std::size_t(i - 1)] : -1;
    m_firstCandidateName = run.empty() ? std::string() : m_images.at(run.front()).shownName();
    loadPanes();
}

void CompareView::loadPanes()
{
    std::vector<int> pinned;
    for (int i = 0; i < m_paneCount; ++i)
        if (m_panes[std::size_t(i)].index >= 0)
            pinned.push_back(m_panes[std::size_t(i)].index);
    // The candidate's next photo in the direction of the steps is read ahead; the reference's
    // neighbours are not (the window's own read-ahead is held while comparing).
    std::vector<int> candidates(pinned.begin() + std::min<std::ptrdiff_t>(1, std::ssize(pinned)), pinned.end());
    m_readAheadIndex = -1;
    if (!candidates.empty()) {
        const int edge = m_direction < 0 ? candidates.front() : candidates.back();
        const int next = walk().step(edge, m_direction);
        if (next != edge)
            m_readAheadIndex = next;
    }
    if (m_readAheadIndex >= 0)
        pinned.push_back(m_readAheadIndex);
    m_cache.setPinned(pinned);
    m_cache.holdReadAhead();
    // The candidates are waited for as the single view waits for its photo (they load side by side),
    // so a step never shows an empty pane first.
    for (int i = 1; i < m_paneCount; ++i) {
        if (m_panes[std::size_t(i)].index >= 0)
            m_cache.requestPicture(m_panes[std::size_t(i)].index, PictureCache::Priority::Current);
    }
    const auto deadline = std::chrono::steady_clock::now() + PictureCache::kCurrentPatience;
    for (int i = 1; i < m_paneCount; ++i) {
        const std::shared_ptr<PictureSlot> slot = slotOf(m_panes[std::size_t(i)].index);
        while (slot && slot->loading.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    layoutPanes();
    // A pane decoded for a smaller view (before the panes were this size) is refined on a worker.
    ensureDetail();
    // A step draws its final copy at once, unless the view is still moving or just opened.
    m_settled = !m_settleTimer.isActive();
    m_readAheadTimer.start(30);
    update();
}

void CompareView::readAhead()
{
    if (isOpen() && m_readAheadIndex >= 0 && m_readAheadIndex < m_images.count())
        m_cache.requestPicture(m_readAheadIndex, PictureCache::Priority::ReadAhead);
}

void CompareView::pictureLoaded(int index, int)
{
    if (!isOpen() || index < 0)
        return;
    for (int i = 0; i < m_paneCount; ++i) {
        if (m_panes[std::size_t(i)].index == index) {
            layoutPanes();
            update();
            return;
        }
    }
}

// ---- geometry ----------------------------------------------------------------------------------------

void CompareView::place()
{
    const int labelHeight = fontMetrics().height() + 4;
    const std::vector<ComparePane> rects = comparePanes(size(), m_paneCount, kGap, labelHeight);
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        m_panes[i].rect = i < rects.size() ? rects[i] : ComparePane{};
}

void CompareView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
    layoutPanes();
    m_settled = false;
    m_settleTimer.start();
}

QRect CompareView::paneRect(int i) const
{
    return m_panes[std::size_t(i)].rect.picture;
}

QRect CompareView::labelRect(int i) const
{
    return m_panes[std::size_t(i)].rect.label;
}

QSize CompareView::paneSize() const
{
    QSize largest;
    for (int i = 0; i < m_paneCount; ++i)
        largest = largest.expandedTo(paneRect(i).size());
    return largest;
}

QSize CompareView::paneDevicePixels() const
{
    const qreal ratio = devicePixelRatioF();
    const QSize pane = paneSize();
    return QSize(int(std::lround(pane.width() * ratio)), int(std::lround(pane.height() * ratio)));
}

int CompareView::scalingsMade() const
{
    int made = 0;
    for (const Pane& pane : m_panes)
        made += pane.renderer.copiesMade();
    return made;
}

void CompareView::layoutPanes()
{
    for (int i = 0; i < m_paneCount; ++i) {
        Pane& pane = m_panes[std::size_t(i)];
        const std::shared_ptr<PictureSlot> slot = slotOf(pane.index);
        pane.view = ViewGeometry{};
        if (slot && slot->ready() && !slot->fullSize.isEmpty())
            layoutPart(pane.view, m_part, slot->fullSize, pane.rect.picture.size());
    }
    Q_EMIT referenceViewChanged();
}

void CompareView::ensureDetail()
{
    const qreal ratio = devicePixelRatioF();
    for (int i = 0; i < m_paneCount; ++i) {
        const Pane& pane = m_panes[std::size_t(i)];
        if (pane.index < 0 || pane.view.source.isEmpty())
            continue;
        const QSize device(int(pane.view.destination.width() * ratio), int(pane.view.destination.height() * ratio));
        m_cache.ensureDetail(pane.index, pane.view.source, device);
    }
}

void CompareView::setPart(const QRectF& part)
{
    m_part = part;
    layoutPanes();
    ensureDetail();
    update();
}

void CompareView::moved()
{
    // Steps and drags draw quickly until the view is still.
    layoutPanes();
    ensureDetail();
    m_settled = false;
    m_settleTimer.start();
    update();
}

// ---- commands and keys -------------------------------------------------------------------------------

void CompareView::stepCandidates(int steps)
{
    const CompareWalk w = walk();
    if (m_firstCandidate < 0)
        return;
    m_direction = steps < 0 ? -1 : 1;
    m_firstCandidate = w.step(m_firstCandidate, steps);
    m_firstCandidateName.clear();
    refresh();
}

bool CompareView::runCommand(Command command)
{
    const CompareWalk w = walk();
    switch (command) {
    case Command::Next: stepCandidates(1); return true;
    case Command::Previous: stepCandidates(-1); return true;
    case Command::Forward5: stepCandidates(5); return true;
    case Command::Back5: stepCandidates(-5); return true;
    case Command::Forward10: stepCandidates(10); return true;
    case Command::Back10: stepCandidates(-10); return true;
    case Command::First:
        m_direction = 1;
        m_firstCandidate = w.firstEligible();
        m_firstCandidateName.clear();
        refresh();
        return true;
    case Command::Last:
        m_direction = -1;
        // The last photos fill the candidate panes.
        m_firstCandidate = w.step(w.lastEligible(), -(m_paneCount - 2));
        m_firstCandidateName.clear();
        refresh();
        return true;
    case Command::Enlarge: setPart(zoomPart(m_part, kZoomStep)); return true;
    case Command::Shrink: setPart(zoomPart(m_part, 1.0 / kZoomStep)); return true;
    case Command::Fit:
        if (m_dragPane < 0)
            setPart(kWholePart);
        return true;
    case Command::ComparePanes: setPaneCount(m_paneCount == 2 ? 4 : 2); return true;
    case Command::Compare: Q_EMIT leaveRequested(); return true;
    case Command::Cancel:
        if (m_dragPane >= 0) {
            cancelSelection(m_panes[std::size_t(m_dragPane)].view);
            m_dragPane = -1;
            m_band->hide();
        } else {
            Q_EMIT leaveRequested();
        }
        return true;
    default: return false;
    }
}

bool CompareView::handleKey(QKeyEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier) {
        swap();
        return true;
    }
    if (mods == Qt::ShiftModifier) {
        double dx = 0, dy = 0;
        switch (key) {
        case Qt::Key_Left: dx = -kPanStep; break;
        case Qt::Key_Right: dx = kPanStep; break;
        case Qt::Key_Up: dy = -kPanStep; break;
        case Qt::Key_Down: dy = kPanStep; break;
        default: return false;
        }
        m_part = panPart(m_part, dx, dy);
        moved();
        return true;
    }
    return false;
}

void CompareView::swap()
{
    const int candidate = m_panes[1].index;
    const int reference = m_images.currentIndex();
    if (candidate < 0 || m_paneCount < 2)
        return;
    m_images.setCurrent(candidate);
    m_firstCandidate = reference;
    m_firstCandidateName.clear();
    // The scaled copies of each photo go with it to its new pane.
    std::swap(m_panes[0].renderer, m_panes[1].renderer);
    // The window shows its new current entry, and refreshes the panes with it.
    Q_EMIT referenceChanged();
}

// ---- painting ----------------------------------------------------------------------------------------

QString CompareView::labelText(int i) const
{
    const int index = m_panes[std::size_t(i)].index;
    if (index >= m_images.count())
        return {}; // the list shrank; the panes follow on the next refresh
    if (index < 0)
        return i == 0 ? QString() : QStringLiteral("(no more photos)");
    QString text;
    if (m_sources.position) {
        const auto [position, count] = m_sources.position(index);
        text = QStringLiteral("%1/%2").arg(position).arg(count);
    } else {
        text = QStringLiteral("%1/%2").arg(index + 1).arg(m_images.count());
    }
    text += QStringLiteral("  ") + QString::fromStdString(m_images.at(index).shownName());
    if (m_sources.marks) {
        const QString marks = m_sources.marks(index);
        if (!marks.isEmpty())
            text += QStringLiteral("  ") + marks;
    }
    if (i == 0)
        text = QStringLiteral("Reference  ") + text;
    return text;
}

void CompareView::paintPane(QPainter& painter, Pane& pane, bool reference)
{
    const QColor colour = background();
    const QRect label = pane.rect.label;
    const QRect area = pane.rect.picture;
    // The reference's label is drawn in the highlight colour: the pane the keys act on.
    painter.fillRect(label, reference ? palette().color(QPalette::Highlight) : colour.darker(140));
    painter.setPen(reference ? palette().color(QPalette::HighlightedText) : QColor(Qt::white));
    const int i = int(&pane - m_panes.data());
    painter.drawText(label.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(labelText(i), Qt::ElideMiddle, std::max(0, label.width() - 12)));
    if (area.isEmpty())
        return;
    const std::shared_ptr<PictureSlot> slot = slotOf(pane.index);
    if (pane.index < 0 || !slot || slot->loading.load(std::memory_order_acquire)) {
        painter.fillRect(area, colour);
        return;
    }
    const ImageEntry& entry = m_images.at(pane.index);
    if (!slot->loaded.load(std::memory_order_acquire)) {
        paintPlaceholder(painter, area, Placeholder::NoPicture, cannotReadText(slot->error));
        return;
    }
    if (!entry.isPicture || slot->image.isNull() || pane.view.source.isEmpty()) {
        paintPlaceholder(painter, area, Placeholder::Movie);
        return;
    }
    for (const QRect& margin : backgroundMargins(pane.view.destination, area.width(), area.height())) {
        if (!margin.isEmpty())
            painter.fillRect(margin.translated(area.topLeft()), colour);
    }
    const QRect destination = pane.view.destination.toQRect().translated(area.topLeft());
    if (slot->image.hasAlphaChannel())
        painter.fillRect(destination, colour);
    const QRectF part = decodedSourceRect(pane.view.source, slot->fullSize, slot->image.size());
    const qreal ratio = devicePixelRatioF();
    // The load's copy was fitted into a pane-sized client, so it is placed in the pane's own
    // coordinates, not the view's.
    if (slot->screen.fits(part, pane.view.destination.toQRect(), ratio))
        pane.renderer.adopt(slot->image, slot->screen, true);
    painter.save();
    painter.setClipRect(area);
    if (m_settled || pane.renderer.hasCopy(slot->image, part, destination, ratio) ||
        !paintFromScreenCopy(painter, slot->screen, part, destination, ratio))
        pane.renderer.paint(painter, slot->image, part, destination, ratio, m_settled);
    painter.restore();
}

bool CompareView::paintFromScreenCopy(QPainter& painter, const ScreenCopy& copy, const QRectF& part,
                                      const QRect& destination, qreal ratio)
{
    // The copy a load made for another view (the whole window) is far smaller than the decoded
    // picture: drawn filtered, it stands in until the view is still, as long as it is not enlarged.
    if (copy.scaled.isNull() || copy.source.isEmpty() || !copy.source.contains(part))
        return false;
    const double sx = copy.scaled.width() / copy.source.width();
    const double sy = copy.scaled.height() / copy.source.height();
    const QRectF from((part.x() - copy.source.x()) * sx, (part.y() - copy.source.y()) * sy, part.width() * sx,
                      part.height() * sy);
    const QSize device = deviceSize(destination, ratio);
    if (from.width() < device.width() - 1 || from.height() < device.height() - 1)
        return false;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(destination), copy.scaled, from);
    painter.restore();
    return true;
}

void CompareView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The gaps between the panes.
    painter.fillRect(rect(), background());
    for (int i = 0; i < m_paneCount; ++i)
        paintPane(painter, m_panes[std::size_t(i)], i == 0);
    Q_EMIT painted();
}

// ---- the mouse ---------------------------------------------------------------------------------------

int CompareView::paneAt(QPoint p) const
{
    for (int i = 0; i < m_paneCount; ++i)
        if (paneRect(i).contains(p))
            return i;
    return -1;
}

void CompareView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const int i = paneAt(p);
        if (m_dragPane >= 0 || m_panning || i < 0 || m_panes[std::size_t(i)].view.source.isEmpty())
            return;
        m_dragPane = i;
        const QPoint local = p - paneRect(i).topLeft();
        beginSelection(m_panes[std::size_t(i)].view, local.x(), local.y());
    } else if (event->button() == Qt::RightButton) {
        // As in the single view: the right button drops a selection, or else fits every pane.
        if (m_dragPane >= 0) {
            cancelSelection(m_panes[std::size_t(m_dragPane)].view);
            m_dragPane = -1;
            m_band->hide();
        } else {
            setPart(kWholePart);
        }
    } else if (event->button() == Qt::MiddleButton && m_dragPane < 0) {
        m_panning = true;
        m_panStart = p;
        m_panPart = m_part;
    }
}

void CompareView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (m_panning) {
        // The photo follows the mouse: dragging to the right shows more of its left.
        const QRect destination = m_panes[0].view.destination.toQRect();
        if (destination.isEmpty())
            return;
        const QPoint d = p - m_panStart;
        m_part = panPart(m_panPart, -double(d.x()) / destination.width(), -double(d.y()) / destination.height());
        moved();
        return;
    }
    if (m_dragPane < 0)
        return;
    ViewGeometry& view = m_panes[std::size_t(m_dragPane)].view;
    const QPoint origin = paneRect(m_dragPane).topLeft();
    const QPoint local = p - origin;
    const bool leftAlone =
        event->buttons() == Qt::LeftButton && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (moveSelection(view, local.x(), local.y(), leftAlone)) {
        m_band->setGeometry(selectionRect(view).normalized().translated(origin));
        m_band->show();
    } else {
        m_band->hide();
        if (!view.dragging)
            m_dragPane = -1;
    }
}

void CompareView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton && m_panning) {
        m_panning = false;
        return;
    }
    if (event->button() != Qt::LeftButton || m_dragPane < 0)
        return;
    m_band->hide();
    const int i = std::exchange(m_dragPane, -1);
    Pane& pane = m_panes[std::size_t(i)];
    const QPoint local = event->position().toPoint() - paneRect(i).topLeft();
    const std::shared_ptr<PictureSlot> slot = slotOf(pane.index);
    if (slot && endSelection(pane.view, local.x(), local.y(), paneRect(i).width(), paneRect(i).height())) {
        // Every pane shows the same part of its own photo as this one now does.
        setPart(partOfSource(pane.view.source, slot->fullSize));
        return;
    }
    update();
}

} // namespace marquelo
