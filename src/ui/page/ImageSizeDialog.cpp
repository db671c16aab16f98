#include "ui/page/ImageSizeDialog.h"

#include "ui/settings/FormBuilder.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include <vector>

namespace marquelo {

ImageSizeDialog::ImageSizeDialog(const AddImageChoice& initial, bool isPicture, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Choose Image Size & Alignment"));

    auto* sizeGroup = new QGroupBox(QStringLiteral("Image Size"), this);
    auto* sizeLayout = new QVBoxLayout(sizeGroup);
    m_size = new QButtonGroup(this);
    const std::vector<QRadioButton*> sizes =
        addRadioButtons(m_size, QStringLiteral("size"),
                        {"&Small", "&Medium", "&Large", "&Uncompressed", "Current Si&ze"}, sizeGroup, sizeLayout);
    // A movie is copied as it is: only the last choice stays open, and it changes nothing.
    for (QRadioButton* radio : sizes)
        radio->setEnabled(isPicture || radio == sizes.back());
    if (auto* button = m_size->button(initial.size))
        button->setChecked(true);

    auto* sideGroup = new QGroupBox(QStringLiteral("Image Alignment"), this);
    auto* sideLayout = new QVBoxLayout(sideGroup);
    m_side = new QButtonGroup(this);
    addRadioButtons(m_side, QStringLiteral("side"), {"L&eft", "&Center", "&Right"}, sideGroup, sideLayout);
    sideLayout->addStretch();
    m_side->button(int(initial.side))->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* groups = new QHBoxLayout;
    groups->addWidget(sizeGroup);
    groups->addWidget(sideGroup);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(buttons);
}

AddImageChoice ImageSizeDialog::choice() const
{
    AddImageChoice c;
    c.size = std::max(0, m_size->checkedId());
    c.side = Side(std::max(0, m_side->checkedId()));
    return c;
}

} // namespace marquelo
