#include "ui/viewer/NoticeOverlay.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

namespace marquelo {

NoticeOverlay::NoticeOverlay(QWidget* window)
    : QObject(window), m_window(window), m_label(new QLabel(window)), m_opacity(new QGraphicsOpacityEffect(m_label)),
      m_fade(new QPropertyAnimation(m_opacity, "opacity", this)), m_timer(new QTimer(this))
{
    m_label->setObjectName(QStringLiteral("notice"));
    m_label->setFocusPolicy(Qt::NoFocus);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->setAttribute(Qt::WA_ShowWithoutActivating);
    m_label->setAlignment(Qt::AlignCenter);
    // Notices carry file names, which may look like markup.
    m_label->setTextFormat(Qt::PlainText);
    m_label->setStyleSheet(QStringLiteral("QLabel { background-color: rgba(32, 32, 32, 210); color: white;"
                                          " border-radius: 6px; padding: 6px 14px; }"));
    m_label->setGraphicsEffect(m_opacity);
    m_label->hide();

    m_timer->setSingleShot(true);
    m_timer->setInterval(kShownMs);
    connect(m_timer, &QTimer::timeout, this, &NoticeOverlay::fade);
    m_fade->setDuration(kFadeMs);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QPropertyAnimation::finished, m_label, &QWidget::hide);
}

void NoticeOverlay::show(const QString& text)
{
    m_fade->stop();
    m_opacity->setOpacity(1.0);
    m_label->setText(text);
    place();
    // Over whatever covers the picture (the compare view, the grid).
    m_label->raise();
    m_label->show();
    m_label->raise();
    m_timer->start();
}

void NoticeOverlay::place()
{
    const int maxWidth = std::max(100, m_window->width() - 40);
    m_label->setMaximumWidth(maxWidth);
    m_label->adjustSize();
    const QSize size(std::min(m_label->sizeHint().width(), maxWidth), m_label->sizeHint().height());
    m_label->setGeometry((m_window->width() - size.width()) / 2, m_window->height() - size.height() - m_bottomMargin,
                         size.width(), size.height());
}

void NoticeOverlay::setBottomMargin(int pixels)
{
    m_bottomMargin = pixels;
    if (m_label->isVisible())
        place();
}

void NoticeOverlay::fade()
{
    m_fade->start();
}

bool NoticeOverlay::visible() const
{
    return m_label->isVisible();
}

QString NoticeOverlay::text() const
{
    return m_label->text();
}

} // namespace marquelo
