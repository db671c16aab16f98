#include "ui/viewer/InfoLabels.h"

#include "ui/viewer/Placeholders.h"

#include <QLabel>

namespace marquelo {

namespace {

QLabel* makeLabel(QWidget* window, const QRect& where, const char* name)
{
    auto* label = new QLabel(window);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(where);
    label->setAlignment(Qt::AlignCenter);
    // File names are shown as they are: one called like markup must not become a heading or a picture.
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, kLabelColour);
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
    return label;
}

} // namespace

InfoLabels::InfoLabels(QWidget* window)
    : m_info(makeLabel(window, QRect(3, 3, 56, 17), "info")),
      m_fileName(makeLabel(window, QRect(62, 3, 168, 17), "fileName"))
{
}

void InfoLabels::show(int position, int count, const QString& name)
{
    m_info->setText(QStringLiteral("%1/%2").arg(position).arg(count));
    m_fileNameFull = name;
    m_fileName->setText(m_fileName->fontMetrics().elidedText(name, Qt::ElideRight, m_fileName->width() - 4));
    m_fileName->setToolTip(name);
}

void InfoLabels::setVisible(bool visible)
{
    m_info->setVisible(visible);
    m_fileName->setVisible(visible);
}

} // namespace marquelo
