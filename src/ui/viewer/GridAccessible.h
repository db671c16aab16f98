#pragma once
// The thumbnail grid as a screen reader sees it: a list whose items are the cells, named by their files,
// described by their badges, the highlighted one selected and focused. The grid paints its cells itself,
// so without this it would be one empty box. Nothing here runs unless an assistive tool asks.

#include <QAccessibleWidget>

#include <unordered_map>

namespace marquelo {

class ThumbnailGrid;

class GridAccessible : public QAccessibleWidget {
public:
    explicit GridAccessible(ThumbnailGrid* grid);
    ~GridAccessible() override;

    // Makes Qt build this interface for every ThumbnailGrid (once per program).
    static void install();
    // Tells an assistive tool that the highlight moved to `cell`.
    static void highlightMoved(ThumbnailGrid* grid, int cell);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* focusChild() const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    ThumbnailGrid* grid() const;

private:
    // The cells' interfaces, made when first asked for and kept for the life of the grid, as the
    // accessibility cache wants the same object for the same item.
    mutable std::unordered_map<int, QAccessible::Id> m_cells;
};

} // namespace marquelo
