#include "ui/viewer/GridAccessible.h"

#include "ui/viewer/ThumbnailGrid.h"

#include <QAccessible>
#include <QWidget>

namespace marquelo {

namespace {

class CellAccessible : public QAccessibleInterface {
public:
    CellAccessible(GridAccessible* parent, int cell) : m_parent(parent), m_cell(cell) {}

    bool isValid() const override
    {
        const ThumbnailGrid* grid = m_parent->grid();
        return grid && m_cell < grid->cellCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_parent->window(); }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return m_parent; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid())
            return QString();
        const ThumbnailGrid* grid = m_parent->grid();
        switch (kind) {
        case QAccessible::Name: return grid->cellName(m_cell);
        case QAccessible::Description: return grid->cellDescription(m_cell);
        default: return QString();
        }
    }

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const ThumbnailGrid* grid = m_parent->grid();
        const auto [first, last] = grid->cellsOnScreen();
        if (m_cell < first || m_cell >= last)
            return QRect();
        const QRect box = grid->cellRectInGrid(m_cell);
        return QRect(grid->mapToGlobal(box.topLeft()), box.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.selectable = true;
        state.focusable = true;
        if (!isValid())
            return state;
        const ThumbnailGrid* grid = m_parent->grid();
        const auto [first, last] = grid->cellsOnScreen();
        state.invisible = !grid->isVisible();
        state.offscreen = m_cell < first || m_cell >= last;
        if (grid->highlightedCell() == m_cell) {
            state.selected = true;
            state.focused = grid->isVisible();
        }
        return state;
    }

    int cell() const { return m_cell; }

private:
    GridAccessible* m_parent;
    int m_cell;
};

QAccessibleInterface* gridFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("marquelo::ThumbnailGrid") && object && object->isWidgetType())
        return new GridAccessible(static_cast<ThumbnailGrid*>(object));
    return nullptr;
}

} // namespace

GridAccessible::GridAccessible(ThumbnailGrid* grid) : QAccessibleWidget(grid, QAccessible::List) {}

GridAccessible::~GridAccessible()
{
    for (const auto& [cell, id] : m_cells)
        QAccessible::deleteAccessibleInterface(id);
}

void GridAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(gridFactory);
        return true;
    }();
    (void)installed;
}

void GridAccessible::highlightMoved(ThumbnailGrid* grid, int cell)
{
    if (!QAccessible::isActive() || cell < 0)
        return;
    auto* iface = dynamic_cast<GridAccessible*>(QAccessible::queryAccessibleInterface(grid));
    if (!iface)
        return;
    QAccessibleInterface* item = iface->child(cell);
    if (!item)
        return;
    QAccessibleEvent focus(item, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
    QAccessibleEvent selection(item, QAccessible::Selection);
    QAccessible::updateAccessibility(&selection);
}

ThumbnailGrid* GridAccessible::grid() const
{
    return static_cast<ThumbnailGrid*>(object());
}

int GridAccessible::childCount() const
{
    return grid() ? grid()->cellCount() : 0;
}

QAccessibleInterface* GridAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    const auto known = m_cells.find(index);
    if (known != m_cells.end())
        return QAccessible::accessibleInterface(known->second);
    auto* cell = new CellAccessible(const_cast<GridAccessible*>(this), index);
    m_cells.emplace(index, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

int GridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* cell = dynamic_cast<const CellAccessible*>(child);
    return cell && cell->parent() == this && cell->cell() < childCount() ? cell->cell() : -1;
}

QAccessibleInterface* GridAccessible::focusChild() const
{
    return grid() && grid()->isVisible() ? child(grid()->highlightedCell()) : nullptr;
}

QAccessibleInterface* GridAccessible::childAt(int x, int y) const
{
    const ThumbnailGrid* g = grid();
    if (!g)
        return nullptr;
    const int index = g->indexAt(g->mapFromGlobal(QPoint(x, y)));
    return index < 0 ? nullptr : child(g->cellOfEntry(index));
}

} // namespace marquelo
