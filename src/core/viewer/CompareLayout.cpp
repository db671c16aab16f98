#include "core/viewer/CompareLayout.h"

#include <algorithm>
#include <cmath>

namespace marquelo {

namespace {

constexpr double kSmallestPart = 1.0 / 64;

// Keeps a part inside the photo without changing its size (sizes above the whole are cut to it).
QRectF keptInside(QRectF part)
{
    part.setWidth(std::clamp(part.width(), kSmallestPart, 1.0));
    part.setHeight(std::clamp(part.height(), kSmallestPart, 1.0));
    part.moveLeft(std::clamp(part.left(), 0.0, 1.0 - part.width()));
    part.moveTop(std::clamp(part.top(), 0.0, 1.0 - part.height()));
    return part;
}

bool isWhole(const QRectF& part)
{
    constexpr double e = 1e-9;
    return part.left() <= e && part.top() <= e && part.right() >= 1.0 - e && part.bottom() >= 1.0 - e;
}

} // namespace

std::vector<ComparePane> comparePanes(QSize client, int paneCount, int gap, int labelHeight)
{
    const int columns = 2;
    const int rows = paneCount > 2 ? 2 : 1;
    const int paneWidth = std::max(0, (client.width() - gap * (columns - 1)) / columns);
    const int paneHeight = std::max(0, (client.height() - gap * (rows - 1)) / rows);
    std::vector<ComparePane> panes;
    for (int i = 0; i < columns * rows; ++i) {
        const int column = i % columns;
        const int row = i / columns;
        // The last column and row take the pixels the division left over, so the panes reach the edges.
        const int x = column * (paneWidth + gap);
        const int y = row * (paneHeight + gap);
        const int w = column == columns - 1 ? client.width() - x : paneWidth;
        const int h = row == rows - 1 ? client.height() - y : paneHeight;
        const int label = std::min(labelHeight, std::max(0, h));
        ComparePane pane;
        pane.label = QRect(x, y, std::max(0, w), label);
        pane.picture = QRect(x, y + label, std::max(0, w), std::max(0, h - label));
        panes.push_back(pane);
    }
    return panes;
}

Rect sourceOfPart(const QRectF& part, QSize fullSize)
{
    if (fullSize.isEmpty())
        return wholePicture(0, 0);
    const int w = fullSize.width();
    const int h = fullSize.height();
    int left = int(std::floor(part.left() * w + 1e-6));
    int top = int(std::floor(part.top() * h + 1e-6));
    int right = int(std::ceil(part.right() * w - 1e-6)) - 1;
    int bottom = int(std::ceil(part.bottom() * h - 1e-6)) - 1;
    left = std::clamp(left, 0, w - 1);
    top = std::clamp(top, 0, h - 1);
    right = std::clamp(right, left, w - 1);
    bottom = std::clamp(bottom, top, h - 1);
    // A source of one pixel cannot be laid out as a view: take in a neighbour.
    if (right == left)
        right < w - 1 ? ++right : --left;
    if (bottom == top)
        bottom < h - 1 ? ++bottom : --top;
    return Rect{std::max(0, left), std::max(0, top), right, bottom};
}

QRectF partOfSource(const Rect& source, QSize fullSize)
{
    if (fullSize.isEmpty())
        return kWholePart;
    const double w = fullSize.width();
    const double h = fullSize.height();
    return keptInside(QRectF(source.left / w, source.top / h, source.width() / w, source.height() / h));
}

bool layoutPart(ViewGeometry& view, const QRectF& part, QSize fullSize, QSize pane)
{
    view.dragging = false;
    if (isWhole(part))
        view.source = wholePicture(fullSize.width(), fullSize.height());
    else
        view.source = sourceOfPart(part, fullSize);
    return layoutPicture(view, pane.width(), pane.height(), !isWhole(part));
}

QRectF zoomPart(const QRectF& part, double factor)
{
    if (factor <= 0)
        return part;
    const QPointF centre = part.center();
    const double w = std::clamp(part.width() / factor, kSmallestPart, 1.0);
    const double h = std::clamp(part.height() / factor, kSmallestPart, 1.0);
    return keptInside(QRectF(centre.x() - w / 2, centre.y() - h / 2, w, h));
}

QRectF panPart(const QRectF& part, double dx, double dy)
{
    return keptInside(part.translated(dx * part.width(), dy * part.height()));
}

QRectF actualPixelsPart(QSize fullSize, QSize paneDevice, QPointF centre)
{
    if (fullSize.isEmpty() || paneDevice.isEmpty())
        return kWholePart;
    const double w = std::min(1.0, double(paneDevice.width()) / fullSize.width());
    const double h = std::min(1.0, double(paneDevice.height()) / fullSize.height());
    return keptInside(QRectF(centre.x() - w / 2, centre.y() - h / 2, w, h));
}

CompareWalk::CompareWalk(int count, int reference, std::function<bool(int)> shown)
    : m_count(count), m_reference(reference), m_shown(std::move(shown))
{
}

bool CompareWalk::eligible(int index) const
{
    return index >= 0 && index < m_count && index != m_reference && (!m_shown || m_shown(index));
}

std::vector<int> CompareWalk::run(int first, int candidates) const
{
    std::vector<int> out;
    for (int i = std::max(0, first); i < m_count && int(out.size()) < candidates; ++i) {
        if (eligible(i))
            out.push_back(i);
    }
    return out;
}

int CompareWalk::step(int first, int steps) const
{
    const int direction = steps < 0 ? -1 : 1;
    int at = first;
    for (int left = std::abs(steps); left > 0; --left) {
        int next = at + direction;
        while (next >= 0 && next < m_count && !eligible(next))
            next += direction;
        if (next < 0 || next >= m_count)
            break;
        at = next;
    }
    return at;
}

int CompareWalk::firstEligible() const
{
    for (int i = 0; i < m_count; ++i)
        if (eligible(i))
            return i;
    return -1;
}

int CompareWalk::lastEligible() const
{
    for (int i = m_count - 1; i >= 0; --i)
        if (eligible(i))
            return i;
    return -1;
}

} // namespace marquelo
