#include "ui/viewer/ThumbnailGrid.h"

#include "core/viewer/Appearance.h"
#include "core/viewer/ThumbnailLoader.h"
#include "ui/viewer/GridAccessible.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QSet>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>

namespace marquelo {

namespace {

constexpr int kMargin = 8;
constexpr int kGap = 8;
// Room for the info line floating over the top edge.
constexpr int kTop = 30;
constexpr int kFileCheckMs = 1000;
// Of the memory budget, the share fetched ahead around the screen: the rest takes the thumbnails of the
// screens just left, so that paging back is instant too.
constexpr double kAheadShare = 0.6;
const QColor kHighlight(255, 200, 40);
const QColor kPending(128, 128, 128, 60);

qint64 fileTimeNs(const QByteArray& path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    return qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

} // namespace

ThumbnailGrid::ThumbnailGrid(QWidget* parent, ImageList& images, const AppConfig& config, ThumbnailCache cache)
    : QWidget(parent), m_images(images), m_config(config),
      m_loader(std::make_unique<ThumbnailLoader>(std::move(cache), 2))
{
    setObjectName(QStringLiteral("thumbnailGrid"));
    GridAccessible::install();
    setAccessibleName(QStringLiteral("Thumbnail grid"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    connect(m_loader.get(), &ThumbnailLoader::ready, this, &ThumbnailGrid::onReady, Qt::QueuedConnection);
    connect(m_loader.get(), &ThumbnailLoader::prepared, this, &ThumbnailGrid::onPrepared, Qt::QueuedConnection);
    m_fileCheck.setInterval(kFileCheckMs);
    connect(&m_fileCheck, &QTimer::timeout, this, &ThumbnailGrid::checkVisibleFiles);
    hide();
}

ThumbnailGrid::~ThumbnailGrid() = default;

void ThumbnailGrid::open()
{
    m_returnIndex = m_images.currentIndex();
    // The list may have changed while the grid was closed.
    m_allPreparedSide = 0;
    m_names.clear();
    chooseCells();
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    raise();
    scrollToHighlight();
    requestMissing();
    m_fileCheck.start();
    update();
    Q_EMIT highlightChanged(highlighted());
    GridAccessible::highlightMoved(this, highlightedCell());
}

void ThumbnailGrid::close(bool restore)
{
    if (restore)
        m_images.setCurrent(m_returnIndex);
    m_fileCheck.stop();
    m_loader->cancel();
    hide();
}

int ThumbnailGrid::sidePixels() const
{
    // Thumbnails are made and kept at the chosen size; the wider boxes that fill the row only spread
    // them out. Made at the box's size they cost a larger decode each and missed the shared cache.
    return int(std::lround(m_cell * devicePixelRatioF()));
}

QByteArray ThumbnailGrid::pathOf(int index) const
{
    const ImageEntry& entry = m_images.at(index);
    return QByteArray::fromStdString(m_images.pathOf(entry.shownName()));
}

int ThumbnailGrid::columns() const
{
    return std::max(1, (width() - 2 * kMargin + kGap) / (m_cell + kGap));
}

int ThumbnailGrid::boxSide() const
{
    // The columns the chosen size allows share the whole width: no strip is left over at the right.
    return std::max(m_cell, (width() - 2 * kMargin + kGap) / columns() - kGap);
}

int ThumbnailGrid::nameHeight() const
{
    return fontMetrics().height() + 2;
}

int ThumbnailGrid::rowPitch() const
{
    return boxSide() + nameHeight() + kGap;
}

int ThumbnailGrid::pageRows() const
{
    return std::max(1, (height() - kTop - kMargin + kGap) / rowPitch());
}

QRect ThumbnailGrid::cellRect(int index) const
{
    const int cell = cellOf(index);
    return cell < 0 ? QRect() : cellRectAt(cell);
}

QRect ThumbnailGrid::cellRectAt(int cell) const
{
    const int cols = columns();
    const int side = boxSide();
    const int used = cols * (side + kGap) - kGap;
    const int left = std::max(kMargin, (width() - used) / 2);
    const int row = cell / cols - m_firstRow;
    return QRect(left + (cell % cols) * (side + kGap), kTop + row * rowPitch(), side, side);
}

QRect ThumbnailGrid::nameRectAt(int cell) const
{
    const QRect box = cellRectAt(cell);
    return QRect(box.left(), box.bottom() + 1, box.width(), nameHeight());
}

int ThumbnailGrid::highlightedCell() const
{
    return cellOf(highlighted());
}

QString ThumbnailGrid::cellName(int cell) const
{
    return QString::fromStdString(m_images.at(entryAt(cell)).shownName());
}

QString ThumbnailGrid::cellDescription(int cell) const
{
    // What the badges show, in words.
    const int index = entryAt(cell);
    const ImageEntry& entry = m_images.at(index);
    QStringList parts;
    if (!entry.rawCompanion.empty())
        parts << QStringLiteral("RAW+JPEG");
    else if (!entry.isPicture)
        parts << QStringLiteral("movie");
    if (m_marksOf) {
        const CellMarks marks = m_marksOf(index);
        if (marks.known && marks.rating < 0)
            parts << QStringLiteral("Rejected");
        else if (marks.known && marks.rating > 0)
            parts << QStringLiteral("%1 of 5 stars").arg(marks.rating);
        if (marks.known && !marks.label.isEmpty())
            parts << marks.label;
    }
    return parts.join(QStringLiteral(", "));
}

int ThumbnailGrid::indexAt(QPoint point) const
{
    const auto [first, last] = visibleRange();
    for (int c = first; c < last; ++c)
        if (cellRectAt(c).contains(point))
            return entryAt(c);
    return -1;
}

std::pair<int, int> ThumbnailGrid::visibleRange() const
{
    const int cols = columns();
    const int pitch = rowPitch();
    const int rows = (height() - kTop + pitch - 1) / pitch;
    const int cells = cellCount();
    const int first = std::min(m_firstRow * cols, cells);
    return {first, std::min(cells, first + std::max(1, rows) * cols)};
}

// ---- the filter -----------------------------------------------------------------------------------

void ThumbnailGrid::setFilterSource(std::function<bool()> filtering, std::function<bool(int)> shown)
{
    m_filtering = std::move(filtering);
    m_shownOf = std::move(shown);
}

int ThumbnailGrid::cellCount() const
{
    return m_mapped ? int(m_cells.size()) : m_images.count();
}

int ThumbnailGrid::entryAt(int cell) const
{
    return m_mapped ? m_cells[std::size_t(cell)] : cell;
}

int ThumbnailGrid::cellOf(int index) const
{
    if (!m_mapped)
        return index >= 0 && index < m_images.count() ? index : -1;
    const auto at = std::lower_bound(m_cells.begin(), m_cells.end(), index);
    return at != m_cells.end() && *at == index ? int(at - m_cells.begin()) : -1;
}

void ThumbnailGrid::chooseCells()
{
    const bool wasMapped = m_mapped;
    const std::size_t before = m_cells.size();
    const int current = highlighted();
    m_cells.clear();
    m_kept = -1;
    m_mapped = m_filtering && m_shownOf && m_filtering();
    if (m_mapped) {
        const int count = m_images.count();
        m_cells.reserve(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            if (m_shownOf(i)) {
                m_cells.push_back(i);
            } else if (i == current) {
                m_cells.push_back(i);
                m_kept = i;
            }
        }
    }
    // Entries that come back with the filter were never walked for the shared cache.
    if (m_mapped != wasMapped || m_cells.size() != before)
        m_allPreparedSide = 0;
    const int cols = columns();
    const int maxRow = std::max(0, (cellCount() + cols - 1) / cols - pageRows());
    m_firstRow = std::min(m_firstRow, maxRow);
}

void ThumbnailGrid::marksChanged()
{
    if (!isVisible())
        return; // chosen again when the grid opens
    if (m_filtering && m_shownOf && (m_mapped || m_filtering())) {
        chooseCells();
        scrollToHighlight();
        requestMissing();
        // The highlight's place among the cells may have moved.
        Q_EMIT highlightChanged(highlighted());
    }
    update();
}

int ThumbnailGrid::visibleCount() const
{
    const auto [first, last] = visibleRange();
    return last - first;
}

int ThumbnailGrid::visibleDone() const
{
    const auto [first, last] = visibleRange();
    const int side = sidePixels();
    int done = 0;
    for (int c = first; c < last; ++c) {
        const int i = entryAt(c);
        if (!m_images.at(i).isPicture) {
            ++done;
            continue;
        }
        const ThumbnailMemory::Entry* thumb = m_thumbs.find(pathOf(i));
        done += thumb && thumb->side == side;
    }
    return done;
}

// ---- keys and mouse -------------------------------------------------------------------------------

bool ThumbnailGrid::handleKey(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int cols = columns();
    const int page = cols * pageRows();
    // Keys move among the cells, which under a filter are not every entry of the list.
    const int current = std::max(0, cellOf(highlighted()));
    const int last = std::max(0, cellCount() - 1);
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        const int* sizes = std::begin(kCellSizes);
        const int count = int(std::size(kCellSizes));
        const int at = int(std::find(sizes, sizes + count, m_cell) - sizes);
        if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
            setCellSize(sizes[std::min(count - 1, at + 1)]);
            return true;
        }
        if (key == Qt::Key_Minus) {
            setCellSize(sizes[std::max(0, std::min(count, at) - 1)]);
            return true;
        }
        // The filter is chosen here too; the grid follows it.
        return key != Qt::Key_F;
    }
    // The viewer's other keys (zoom, turns, tools) would act on a photo nobody sees.
    if (mods != Qt::NoModifier)
        return true;
    if (cellCount() == 0)
        return key != Qt::Key_Delete && key != Qt::Key_F2;
    const auto go = [this](int cell) { moveTo(entryAt(cell)); };
    switch (key) {
    case Qt::Key_Left: go(std::max(0, current - 1)); return true;
    case Qt::Key_Right: go(std::min(last, current + 1)); return true;
    case Qt::Key_Up:
        if (current >= cols)
            go(current - cols);
        return true;
    case Qt::Key_Down:
        // From a cell above the short last row, Down goes to that row's last cell.
        if (current / cols < last / cols)
            go(std::min(last, current + cols));
        return true;
    case Qt::Key_PageUp: go(std::max(0, current - page)); return true;
    case Qt::Key_PageDown: go(std::min(last, current + page)); return true;
    case Qt::Key_Home: go(0); return true;
    case Qt::Key_End: go(last); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_G: Q_EMIT activated(); return true;
    case Qt::Key_Escape: Q_EMIT leave(); return true;
    case Qt::Key_Delete:
    case Qt::Key_F2: return false;
    default: return true;
    }
}

void ThumbnailGrid::mousePressEvent(QMouseEvent* event)
{
    const int index = indexAt(event->position().toPoint());
    if (index < 0 || event->button() != Qt::LeftButton)
        return;
    moveTo(index);
    Q_EMIT activated();
}

void ThumbnailGrid::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0)
        return;
    const int cols = columns();
    const int maxRow = std::max(0, (cellCount() + cols - 1) / cols - pageRows());
    m_firstRow = std::clamp(m_firstRow - steps, 0, maxRow);
    requestMissing();
    update();
}

void ThumbnailGrid::moveTo(int index)
{
    if (index == highlighted())
        return;
    const int before = m_firstRow;
    update(cellRect(highlighted()).adjusted(-4, -4, 4, 4 + nameHeight()));
    m_images.setCurrent(index);
    // A photo kept only because it was highlighted leaves once the highlight moves on.
    const bool regroup = m_kept >= 0 && m_kept != index;
    if (regroup)
        chooseCells();
    scrollToHighlight();
    if (m_firstRow != before || regroup) {
        requestMissing();
        update();
    } else {
        update(cellRect(index).adjusted(-4, -4, 4, 4 + nameHeight()));
    }
    Q_EMIT highlightChanged(index);
    GridAccessible::highlightMoved(this, highlightedCell());
}

void ThumbnailGrid::scrollToHighlight()
{
    const int row = std::max(0, cellOf(highlighted())) / columns();
    if (row < m_firstRow)
        m_firstRow = row;
    else if (row >= m_firstRow + pageRows())
        m_firstRow = row - pageRows() + 1;
}

void ThumbnailGrid::setCellSize(int cell)
{
    if (cell == m_cell)
        return;
    m_cell = cell;
    m_names.clear();
    scrollToHighlight();
    requestMissing();
    update();
}

void ThumbnailGrid::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_names.clear();
    scrollToHighlight();
    if (isVisible())
        requestMissing();
}

// ---- following the list ---------------------------------------------------------------------------

void ThumbnailGrid::listChanged()
{
    m_allPreparedSide = 0;
    m_names.clear();
    chooseCells();
    scrollToHighlight();
    checkVisibleFiles();
    requestMissing();
    update();
    Q_EMIT highlightChanged(highlighted());
}

void ThumbnailGrid::checkVisibleFiles()
{
    // The change check watches the current file only; a file of another cell replaced or removed by
    // another program shows here within a second.
    const auto [first, last] = visibleRange();
    bool changed = false;
    for (int c = first; c < last; ++c) {
        const QByteArray path = pathOf(entryAt(c));
        const ThumbnailMemory::Entry* thumb = m_thumbs.find(path);
        if (thumb && fileTimeNs(path) != thumb->mtimeNs) {
            m_thumbs.remove(path);
            m_prepared.remove(path);
            m_allPreparedSide = 0;
            changed = true;
        }
    }
    if (changed) {
        requestMissing();
        update();
    }
}

void ThumbnailGrid::requestMissing()
{
    if (!isVisible() || m_images.count() == 0)
        return;
    const int side = sidePixels();
    const auto [first, last] = visibleRange();
    const int count = cellCount();
    // As many thumbnails as a share of the budget holds (a 4:3 photo fills three quarters of its cell)
    // are fetched around the screen; every cell on screen is, whatever it costs.
    const qint64 perThumb = std::max<qint64>(1, qint64(side) * side * 3);
    const int ahead = std::max(last - first, int(kAheadShare * double(m_thumbs.budget()) / double(perThumb)));
    std::vector<QByteArray> deliver, prepare;
    int reach = 0;
    auto want = [&](int c) {
        if (c < 0 || c >= count || !m_images.at(entryAt(c)).isPicture)
            return;
        QByteArray path = pathOf(entryAt(c));
        if (reach < ahead) {
            ++reach;
            const ThumbnailMemory::Entry* thumb = m_thumbs.find(path);
            if (!thumb || thumb->side != side)
                deliver.push_back(std::move(path));
            return;
        }
        const auto known = m_prepared.constFind(path);
        if (known == m_prepared.constEnd() || known->side != side)
            prepare.push_back(std::move(path));
    };
    // The screen first, then outwards: the screens after and before it in turn.
    for (int c = first; c < last; ++c) {
        m_thumbs.touch(pathOf(entryAt(c)));
        want(c);
    }
    const int span = std::max(1, last - first);
    // Once the whole folder is known to be in the shared cache, a page needs no walk past what it fetches:
    // with thousands of entries that walk would be most of the frame.
    const bool allPrepared = m_allPreparedSide == side;
    for (int after = last, before = first - 1; after < count || before >= 0;) {
        if (allPrepared && reach >= ahead)
            break;
        for (int k = 0; k < span && after < count; ++k)
            want(after++);
        for (int k = 0; k < span && before >= 0; ++k)
            want(before--);
    }
    if (!allPrepared && prepare.empty())
        m_allPreparedSide = side;
    const int delivered = int(deliver.size());
    deliver.insert(deliver.end(), std::make_move_iterator(prepare.begin()), std::make_move_iterator(prepare.end()));
    m_loader->request(std::move(deliver), side, delivered);
}

void ThumbnailGrid::onReady(const QByteArray& path, qint64 mtimeNs, const QImage& image, int side)
{
    if (side != sidePixels())
        return;
    QImage shown = image;
    shown.setDevicePixelRatio(devicePixelRatioF());
    m_thumbs.insert(path, {shown, mtimeNs, side});
    m_prepared.insert(path, {mtimeNs, side});
    const auto [first, last] = visibleRange();
    if (m_thumbs.bytes() > m_thumbs.budget()) {
        // The cells on screen stay whatever they cost; the rest is read again from the shared cache.
        QSet<QByteArray> onScreen;
        for (int c = first; c < last; ++c)
            onScreen.insert(pathOf(entryAt(c)));
        m_thumbs.trim([&](const QByteArray& held) { return onScreen.contains(held); });
    }
    for (int c = first; c < last; ++c)
        if (pathOf(entryAt(c)) == path) {
            update(cellRectAt(c));
            break;
        }
}

void ThumbnailGrid::onPrepared(const QByteArray& path, qint64 mtimeNs, int side)
{
    m_prepared.insert(path, {mtimeNs, side});
}

// ---- painting --------------------------------------------------------------------------------------

const QImage& ThumbnailGrid::sign(Placeholder which)
{
    // The signs are vector drawings; rendering them for every cell of every frame would cost more than
    // all the thumbnails' copies together, so they are drawn once per cell size.
    const int side = sidePixels();
    if (side != m_signSide) {
        m_signs[0] = m_signs[1] = QImage();
        m_signSide = side;
    }
    QImage& image = m_signs[which == Placeholder::Movie ? 1 : 0];
    if (image.isNull()) {
        // Scaled down into the cell, never up: at their own size they are already legible.
        const QSize own = placeholderSize(which);
        const double scale = std::min(1.0, double(boxSide()) / std::max(own.width(), own.height()));
        const double dpr = devicePixelRatioF();
        image = QImage(std::max(1, int(std::lround(own.width() * scale * dpr))),
                       std::max(1, int(std::lround(own.height() * scale * dpr))), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.scale(double(image.width()) / own.width(), double(image.height()) / own.height());
        paintPlaceholder(painter, QRect(QPoint(0, 0), own), which);
        painter.end();
        image.setDevicePixelRatio(dpr);
    }
    return image;
}

const QString& ThumbnailGrid::elidedName(int cell)
{
    // Eliding measures every glyph; done once per name and cell width, not on every frame.
    const int index = entryAt(cell);
    if (m_names.size() != std::size_t(m_images.count()))
        m_names.assign(std::size_t(m_images.count()), QString());
    QString& name = m_names[std::size_t(index)];
    // The middle goes, so that both the start and the number or extension at the end stay.
    if (name.isEmpty())
        name = fontMetrics().elidedText(cellName(cell), Qt::ElideMiddle, boxSide());
    return name;
}

static QColor labelColour(const QString& label)
{
    if (label == QLatin1String("Red"))
        return QColor(220, 40, 40);
    if (label == QLatin1String("Yellow"))
        return QColor(240, 200, 0);
    if (label == QLatin1String("Green"))
        return QColor(40, 170, 60);
    if (label == QLatin1String("Blue"))
        return QColor(40, 100, 230);
    if (label == QLatin1String("Purple"))
        return QColor(150, 60, 200);
    return QColor(128, 128, 128);
}

void ThumbnailGrid::paintBadges(QPainter& painter, const QRect& cell, const ImageEntry& entry, const CellMarks& marks)
{
    // Small marks in the corners, each on a dark ground so that it reads on any photo.
    QFont font = painter.font();
    font.setPixelSize(std::max(10, cell.height() / 12));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int pad = 3;
    auto pill = [&](const QString& text, Qt::Alignment corner, const QColor& colour) {
        const QSize size(metrics.horizontalAdvance(text) + 2 * pad, metrics.height());
        QPoint at = cell.topLeft();
        if (corner & Qt::AlignRight)
            at.setX(cell.right() - size.width() - 1);
        if (corner & Qt::AlignBottom)
            at.setY(cell.bottom() - size.height() - 1);
        const QRect box(at, size);
        painter.fillRect(box, QColor(0, 0, 0, 160));
        painter.setPen(colour);
        painter.drawText(box, Qt::AlignCenter, text);
    };
    // Only the highlighted photo is in the grid while the filter leaves it out (until the highlight
    // moves on): dimmed, so that it is plain why it goes.
    if (marks.known && !marks.shown)
        painter.fillRect(cell, QColor(0, 0, 0, 140));
    if (marks.known && marks.rating < 0)
        pill(QStringLiteral("\u2715 Rejected"), Qt::AlignLeft | Qt::AlignBottom, QColor(255, 90, 90));
    else if (marks.known && marks.rating > 0)
        pill(QString(marks.rating, QChar(0x2605)), Qt::AlignLeft | Qt::AlignBottom, QColor(255, 210, 0));
    if (marks.known && !marks.label.isEmpty()) {
        const int d = std::max(8, cell.height() / 10);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(labelColour(marks.label));
        painter.drawEllipse(QRect(cell.right() - d - 3, cell.top() + 3, d, d));
        painter.setBrush(Qt::NoBrush);
    }
    if (!entry.rawCompanion.empty())
        pill(QStringLiteral("RAW+JPEG"), Qt::AlignRight | Qt::AlignBottom, Qt::white);
    else if (!entry.isPicture)
        pill(QStringLiteral("\u25B6 movie"), Qt::AlignRight | Qt::AlignBottom, Qt::white);
}

void ThumbnailGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const ColourRef ground = viewerBackground(m_config);
    const QColor groundColour(colourRed(ground), colourGreen(ground), colourBlue(ground));
    painter.fillRect(event->rect(), groundColour);
    // The names read on any background colour the user chose.
    const QColor nameColour = groundColour.lightnessF() > 0.5 ? QColor(Qt::black) : QColor(235, 235, 235);
    const auto [first, last] = visibleRange();
    const int side = sidePixels();
    const double dpr = devicePixelRatioF();
    // Centred on whole device pixels, so the picture is copied 1:1 and stays sharp.
    auto centred = [&](const QRect& cell, const QImage& image) {
        const QSizeF logical = QSizeF(image.size()) / dpr;
        const QPointF at(cell.x() + (cell.width() - logical.width()) / 2,
                         cell.y() + (cell.height() - logical.height()) / 2);
        painter.drawImage(QPointF(std::round(at.x() * dpr) / dpr, std::round(at.y() * dpr) / dpr), image);
    };
    for (int c = first; c < last; ++c) {
        const int i = entryAt(c);
        const QRect cell = cellRectAt(c);
        if (!event->rect().intersects(cell.adjusted(-4, -4, 4, 4 + nameHeight())))
            continue;
        const ImageEntry& entry = m_images.at(i);
        const ThumbnailMemory::Entry* thumb = entry.isPicture ? m_thumbs.find(pathOf(i)) : nullptr;
        if (!entry.isPicture || (thumb && thumb->image.isNull())) {
            centred(cell, sign(entry.isPicture ? Placeholder::NoPicture : Placeholder::Movie));
        } else if (thumb && thumb->side == side) {
            centred(cell, thumb->image);
        } else {
            painter.fillRect(cell, kPending);
        }
        paintBadges(painter, cell, entry, m_marksOf ? m_marksOf(i) : CellMarks{});
        painter.setFont(font());
        painter.setPen(nameColour);
        painter.drawText(nameRectAt(c), Qt::AlignHCenter | Qt::AlignVCenter, elidedName(c));
        if (i == highlighted()) {
            painter.setPen(QPen(kHighlight, 3));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(cell.adjusted(-3, -3, 2, 2 + nameHeight()));
        }
    }
    Q_EMIT painted();
}

} // namespace marquelo
