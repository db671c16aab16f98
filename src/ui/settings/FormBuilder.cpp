#include "ui/settings/FormBuilder.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

namespace marquelo {

std::vector<QRadioButton*> addRadioButtons(QButtonGroup* group, const QString& namePrefix,
                                           std::initializer_list<const char*> texts, QWidget* parent,
                                           QBoxLayout* layout)
{
    std::vector<QRadioButton*> radios;
    for (const char* text : texts) {
        const int id = int(radios.size());
        auto* radio = new QRadioButton(QString::fromUtf8(text), parent);
        radio->setObjectName(namePrefix + QString::number(id));
        group->addButton(radio, id);
        layout->addWidget(radio);
        radios.push_back(radio);
    }
    return radios;
}

void placeCells(QGridLayout* grid, std::initializer_list<GridCell> cells)
{
    for (const GridCell& cell : cells) {
        if (auto* const* widget = std::get_if<QWidget*>(&cell.item))
            grid->addWidget(*widget, cell.row, cell.column, cell.rowSpan, cell.columnSpan);
        else
            grid->addLayout(std::get<QLayout*>(cell.item), cell.row, cell.column, cell.rowSpan, cell.columnSpan);
    }
}

QLabel* makeBuddyLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(buddy);
    return label;
}

void addFieldRows(QGridLayout* grid, QWidget* parent, std::initializer_list<FieldRow> rows)
{
    int row = 0;
    for (const FieldRow& r : rows) {
        if (*r.label)
            grid->addWidget(makeBuddyLabel(QString::fromUtf8(r.label), r.field, parent), row, 0);
        grid->addWidget(r.field, row, 1);
        if (r.after)
            grid->addWidget(r.after, row, 2);
        ++row;
    }
}

} // namespace marquelo
