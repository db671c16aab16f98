#include "ui/viewer/InfoLabels.h"

#include "ui/viewer/Placeholders.h"

#include <QLabel>
#include <QTimer>

#include <algorithm>

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

constexpr int kInfoWidth = 56;
constexpr int kFileNameX = 62;
constexpr int kFileNameWidth = 168;
constexpr int kPageTitleX = 233;

} // namespace

InfoLabels::InfoLabels(QWidget* window)
    : m_info(makeLabel(window, QRect(3, 3, kInfoWidth, 17), "info")),
      m_fileName(makeLabel(window, QRect(kFileNameX, 3, kFileNameWidth, 17), "fileName")),
      m_pageTitle(makeLabel(window, QRect(kPageTitleX, 3, 200, 17), "pageTitle"))
{
    m_pageTitle->hide();
}

void InfoLabels::show(int position, int count, const QString& name, const QString& marks)
{
    m_position = QStringLiteral("%1/%2").arg(position).arg(count);
    if (!marks.isEmpty())
        m_position += QLatin1Char(' ') + marks;
    if (m_hint.isEmpty())
        m_info->setText(m_position);
    placeBesideInfo();
    m_fileNameFull = name;
    if (m_whole) {
        m_whole = false;
        m_fileName->resize(kFileNameWidth, m_fileName->height());
    }
    m_fileName->setText(m_fileName->fontMetrics().elidedText(name, Qt::ElideRight, m_fileName->width() - 4));
    m_fileName->setToolTip(name);
}

void InfoLabels::showWhole(int position, int count, const QString& name)
{
    show(position, count, name);
    m_whole = true;
    const QWidget* window = m_fileName->parentWidget();
    const int room = std::max(kFileNameWidth, window->width() - m_fileName->x() - 3);
    const int width = std::clamp(m_fileName->fontMetrics().horizontalAdvance(name) + 12, kFileNameWidth, room);
    m_fileName->resize(width, m_fileName->height());
    m_fileName->setText(m_fileName->fontMetrics().elidedText(name, Qt::ElideMiddle, width - 4));
    // Over the page title while the grid is open; the title comes back with the viewer's label.
    m_pageTitle->setVisible(m_visible && !m_pageTitle->text().isEmpty() &&
                            m_fileName->geometry().right() < m_pageTitle->x());
}

void InfoLabels::setVisible(bool visible)
{
    m_visible = visible;
    m_info->setVisible(visible);
    m_fileName->setVisible(visible);
    m_pageTitle->setVisible(visible && !m_pageTitle->text().isEmpty());
}

void InfoLabels::showHint(const QString& text, int ms)
{
    m_hint = text;
    m_info->setText(text);
    // Over the file name for these few seconds, never over the toolbar beside it.
    m_info->resize(std::max(kInfoWidth, m_info->fontMetrics().horizontalAdvance(text) + 12), m_info->height());
    m_info->raise();
    QTimer::singleShot(ms, m_info, [this] {
        m_hint.clear();
        m_info->setText(m_position);
        placeBesideInfo();
    });
}

void InfoLabels::placeBesideInfo()
{
    // A folder of thousands ("1234/5678") needs more than the usual width: the line grows and the labels
    // beside it move along, so no digit is cut off and nothing is covered.
    const int needed = m_info->fontMetrics().horizontalAdvance(m_position) + 8;
    if (m_hint.isEmpty())
        m_info->resize(std::max(kInfoWidth, needed), m_info->height());
    const int shift = std::max(0, needed - kInfoWidth);
    m_fileName->move(kFileNameX + shift, m_fileName->y());
    m_pageTitle->move(kPageTitleX + shift, m_pageTitle->y());
}

void InfoLabels::setPageTitle(const QString& title)
{
    m_pageTitle->setText(title);
    m_pageTitle->setToolTip(title);
    const int width = std::min(320, m_pageTitle->fontMetrics().horizontalAdvance(title) + 12);
    m_pageTitle->resize(width, m_pageTitle->height());
    m_pageTitle->setText(m_pageTitle->fontMetrics().elidedText(title, Qt::ElideRight, width - 4));
    m_pageTitle->setVisible(m_visible && !title.isEmpty());
}

} // namespace marquelo
