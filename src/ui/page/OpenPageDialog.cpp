#include "ui/page/OpenPageDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace marquelo {

OpenPageDialog::OpenPageDialog(const QString& notice, bool onlyWithShift, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Open existing page - automatic end tag removal failed"));
    auto* text = new QLabel(notice, this);
    text->setObjectName(QStringLiteral("notice"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setMinimumWidth(420);
    m_onlyWithShift = new QCheckBox(QStringLiteral("Only show this dialog when Shift key is down"), this);
    m_onlyWithShift->setObjectName(QStringLiteral("onlyWithShift"));
    m_onlyWithShift->setChecked(onlyWithShift);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_onlyWithShift);
    layout->addWidget(buttons);
}

bool OpenPageDialog::onlyWithShift() const
{
    return m_onlyWithShift->isChecked();
}

} // namespace marquelo
