#include "ui/viewer/CaptionBox.h"

#include "core/settings/AppConfig.h"
#include "ui/viewer/ViewerToolbar.h"

#include <QLineEdit>

namespace marquelo {

CaptionBox::CaptionBox(QWidget* window, ViewerToolbar& toolbar, const AppConfig& config)
    : m_edit(new QLineEdit(window)), m_toolbar(toolbar), m_config(config)
{
    m_edit->setObjectName(QStringLiteral("caption"));
    // It has no label beside it (it takes the toolbar's place); the placeholder is not read as a name.
    m_edit->setAccessibleName(QStringLiteral("Caption"));
    m_edit->setGeometry(ViewerToolbar::left(), 2, 592, 20);
    m_edit->setPlaceholderText(
        QStringLiteral("Caption \u2014 Enter adds to the page, Shift+Enter chooses the size, Esc cancels"));
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    m_edit->setPalette(palette);
    m_edit->hide();
}

void CaptionBox::open()
{
    m_edit->clear();
    m_open = true;
    m_toolbar.setVisible(false);
    m_edit->show();
    m_edit->raise();
    m_edit->setFocus(Qt::OtherFocusReason);
}

bool CaptionBox::close()
{
    const bool wasOpen = m_open;
    m_open = false;
    if (m_config.ShowToolbar)
        m_toolbar.setVisible(true);
    m_edit->hide();
    return wasOpen;
}

void CaptionBox::offer(const QString& text)
{
    if (!m_open)
        return;
    m_edit->setText(text);
    m_edit->selectAll();
}

QString CaptionBox::text() const
{
    return m_edit->text();
}

void CaptionBox::setHandlers(std::function<void(bool)> onEnter, std::function<void()> onEscape)
{
    m_onEnter = std::move(onEnter);
    m_onEscape = std::move(onEscape);
}

bool CaptionBox::enter(bool shift)
{
    if (!m_onEnter)
        return false;
    m_onEnter(shift);
    return true;
}

bool CaptionBox::escape()
{
    if (!m_onEscape)
        return false;
    m_onEscape();
    return true;
}

} // namespace marquelo
