#pragma once
// Forms built from tables: where each control goes, written as one row per control, so that a dialog's
// constructor reads as the form it shows. Shared by the preferences pages and the page dialogs.

#include <QString>

#include <initializer_list>
#include <variant>
#include <vector>

class QBoxLayout;
class QButtonGroup;
class QGridLayout;
class QLabel;
class QLayout;
class QRadioButton;
class QWidget;

namespace marquelo {

// Radio buttons with these texts, made in order with `parent`, each named namePrefix + its index, added
// to `group` with its index as id and to `layout` one after the other.
std::vector<QRadioButton*> addRadioButtons(QButtonGroup* group, const QString& namePrefix,
                                           std::initializer_list<const char*> texts, QWidget* parent,
                                           QBoxLayout* layout);

// One cell of a grid: a control or a nested layout, with its place and span.
struct GridCell {
    std::variant<QWidget*, QLayout*> item;
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
};

// Adds the cells to `grid` in the table's order.
void placeCells(QGridLayout* grid, std::initializer_list<GridCell> cells);

// A label that names `buddy` for the keyboard (its mnemonic focuses it). Plain text, so that a label
// such as "HTML page beginning of <body>" is never taken for markup.
QLabel* makeBuddyLabel(const QString& text, QWidget* buddy, QWidget* parent);

// One row of a form: a label (none when empty), the field it names, and a control after it (a
// browse button) or none.
struct FieldRow {
    const char* label;
    QWidget* field;
    QWidget* after = nullptr;
};

// The rows one under the other from row 0: label in column 0, field in 1, the control after it in 2.
void addFieldRows(QGridLayout* grid, QWidget* parent, std::initializer_list<FieldRow> rows);

} // namespace marquelo
